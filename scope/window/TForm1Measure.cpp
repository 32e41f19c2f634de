// Level and frequency measurement, ranges and time base of the main window: the
// computations are Qt-free (LevelMeasurement, FrequencyMeasurement, RangeSelection,
// TimeBase, Readouts); these operations run them on the window's state and write the
// results into the controls.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "ChannelFields.h"
#include "FrequencyMeasurement.h"
#include "LevelMeasurement.h"
#include "RangeSelection.h"
#include "Readouts.h"
#include "TForm1.h"
#include "TimeBase.h"
#include "Trigger.h"

using namespace osciloskop;

namespace {

// The readouts are written on every pass of the cycle; an unchanged text is left alone, so
// that the box is not repainted (nor a string made) for nothing.
void ShowText(QLineEdit* edit, const ReadoutText& text) {
  const std::string_view view = text.view();
  const QUtf8StringView utf8(view.data(), static_cast<qsizetype>(view.size()));
  if (QAnyStringView::compare(edit->text(), utf8) == 0) return;
  edit->setText(utf8.toString());
}

// Applies the channel's range, when it changes, to its captions and clears the window.
void ApplyRange(TForm1& window, const ChannelFields& channel, const QComboBox* list,
                QLineEdit* plusCaption, QLineEdit* minusCaption) {
  const std::optional<RangeCaptions> captions = SelectRange(channel, list->currentIndex());
  if (!captions) return;
  plusCaption->setText(QString::fromLatin1(captions->plus));
  minusCaption->setText(QString::fromLatin1(captions->minus));
  window.RepaintWindow();
}

void ShowFrequency(QLineEdit* edit, QLabel* displayLimitWarning, const FrequencyReadout& readout) {
  ShowText(edit, readout.text);
  if (readout.hideDisplayLimitWarning) displayLimitWarning->hide();
}

}  // namespace

void TForm1::MeasureLevelUL() {
  MeasureChannelLevel(state, UlFields(state));
  // urPeak is the one the previous UR measurement left.
  ShowText(Edit11, PeakDiagnosticText(state.ulPeak, state.urPeak));
  ShowText(Edit4, LevelText(state.ulRms));
}

void TForm1::MeasureLevelUR() {
  MeasureChannelLevel(state, UrFields(state));
  Panel2->setVisible(OverloadWarningShown(state.urPeak));
  ShowText(Edit1, LevelText(state.urRms));
}

void TForm1::SetRangeUL() {
  ApplyRange(*this, UlFields(state), ComboBox2, Edit2, Edit5);
}

void TForm1::SetRangeUR() {
  ApplyRange(*this, UrFields(state), ComboBox3, Edit18, Edit19);
}

void TForm1::MeasureFrequencyUL() {
  ShowFrequency(Edit12, Panel14,
                MeasureChannelFrequency(state, UlFields(state), generatorFrequency));
}

void TForm1::MeasureFrequencyUR() {
  ShowFrequency(Edit8, Panel14,
                MeasureChannelFrequency(state, UrFields(state), generatorFrequency));
}

void TForm1::FindHalfWaveUL() {
  FindHalfWave(UlFields(state));
}

void TForm1::FindHalfWaveUR() {
  FindHalfWave(UrFields(state));
}

void TForm1::FindFirstPositiveUL() {
  FindFirstPositiveStart(state, UlFields(state));
}

void TForm1::FindFirstPositiveUR() {
  FindFirstPositiveStart(state, UrFields(state));
}

void TForm1::FindFirstNegativeUR() {
  FindFirstNegativeStartUR(state);
}

void TForm1::SetTimeBase() {
  if (SelectTimeBase(state, ComboBox1->currentIndex())) RepaintWindow();
}
