// The generator strip: the amplitude and frequency sliders with the band list set the tone
// generator, whose blocks the output stream plays, and its start-up positions.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "AudioIO.h"
#include "GeneratorSlider.h"
#include "ListItems.h"
#include "StreamLaunch.h"
#include "TForm1.h"
#include "TScrollBar.h"

using namespace osciloskop;

void TForm1::ConnectGenerator() {
  ScrollBar4->OnChange = [this](QObject* sender) { ScrollBar4Change(sender); };
  ScrollBar5->OnChange = [this](QObject* sender) { ScrollBar5Change(sender); };
  ScrollBar5->OnEndDrag = [this](QObject* sender) { ScrollBar5EndDrag(sender); };
  // Only a user's choice: setting the item index from the program must not move the slider.
  connect(ComboBox8, &QComboBox::activated, this, [this] { ComboBox8Click(ComboBox8); });
}

void TForm1::SetUpGenerator() {
  Panel13->move(0, ClientHeight() / 2 + 235);

  // Raising Min moves the position from 0 to 100 and so runs ScrollBar5Change once, which
  // also makes the first start of the input stream.
  ScrollBar5->SetMin(kStartFrequencyMin);
  ScrollBar5->SetMax(kStartFrequencyMax);
  ScrollBar5->SetPosition(kStartFrequencyPosition);
  generator_->SetFrequency(ScrollBar5->Position());
  Edit14->setText(QString::fromStdString(FormatHertz(ScrollBar5->Position())));
  ScrollBar5->SetLargeChange(10);
  ScrollBar5->SetSmallChange(1);

  instrument_->HideDisplayLimitWarning();
  ShowReadouts();
  ComboBox8->setCurrentIndex(1);

  ScrollBar4->SetMin(kAmplitudeMin);
  ScrollBar4->SetMax(kAmplitudeMax);
  ScrollBar4->SetPosition(kStartAmplitude);
  ScrollBar4Change(ScrollBar4);
}

bool TForm1::AudioOut1FillBuffer(void* Buffer, int32_t& Size) {
  generator_->FillBlock(static_cast<unsigned char*>(Buffer), Size, AudioOut1->FilledCount(),
                        AudioOut1->FrameRate());
  return true;
}

void TForm1::AudioOut1Start(QObject* /*Sender*/) {}

void TForm1::AudioOut1Stop(QObject* /*Sender*/) {
  // The cycle starts the tone again at its next pass; after a failed launch of its own
  // (whose close this is) the retry timer runs it.
  if (!outputLaunchFailed) FrameInputsChanged();
}

void TForm1::ScrollBar4Change(QObject* /*Sender*/) {
  generator_->SetAmplitude(ScrollBar4->Position());
  Edit13->setText(QStringLiteral("amplituda (číslo) = ") +
                  QString::number(generator_->Amplitude()));
  FrameInputsChanged();
}

void TForm1::ScrollBar5Change(QObject* /*Sender*/) {
  if (const auto setting = generator_->FrequencySliderMoved(ScrollBar5->Position())) {
    Edit14->setText(QString::fromStdString(setting->text));
    ScrollBar5->SetLargeChange(setting->largeChange);
    ScrollBar5->SetSmallChange(setting->smallChange);
  }
  instrument_->GeneratorFrequencyMoved();
  ShowReadouts();
  LaunchWithRetry(AudioIn1);
  FrameInputsChanged();
}

void TForm1::ComboBox8Click(QObject* /*Sender*/) {
  const int band = ComboBox8->currentIndex();
  if (band < 0 || band >= kFrequencyBandCount) return;
  // Each assignment that moves the position runs ScrollBar5Change.
  for (const SliderStep& step : kFrequencyBandSteps[band]) {
    switch (step.property) {
      case SliderStep::Min:
        ScrollBar5->SetMin(step.value);
        break;
      case SliderStep::Max:
        ScrollBar5->SetMax(step.value);
        break;
      case SliderStep::Position:
        ScrollBar5->SetPosition(step.value);
        break;
    }
  }
}

void TForm1::ScrollBar5EndDrag(QObject* /*Sender*/) {}
