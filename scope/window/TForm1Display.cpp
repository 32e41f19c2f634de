// A display frame of the main window: the instrument's steps, what they hand back shown in
// the controls, then the grid, the scale and the X-Y trace drawn from the record.

#include <QLabel>
#include <QLineEdit>

#include "Graticule.h"
#include "ScreenWidget.h"
#include "TForm1.h"
#include "Trace.h"

using namespace osciloskop;

namespace {

// The readouts are shown on every pass of the cycle; an unchanged text is left alone, so
// that the box is not repainted (nor a string made) for nothing.
void ShowText(QLineEdit* edit, std::string_view text) {
  const QUtf8StringView utf8(text.data(), static_cast<qsizetype>(text.size()));
  if (QAnyStringView::compare(edit->text(), utf8) == 0) return;
  edit->setText(utf8.toString());
}

}  // namespace

void TForm1::ShowReadouts() {
  const InstrumentReadouts& readouts = instrument_->Readouts();
  ShowText(Edit11, readouts.peakDiagnostic.view());
  ShowText(Edit4, readouts.ulLevel.view());
  ShowText(Edit12, readouts.ulFrequency.view());
  ShowText(Edit1, readouts.urLevel.view());
  ShowText(Edit8, readouts.urFrequency.view());
  Panel2->setVisible(readouts.overRangeWarning);
  Panel14->setVisible(readouts.displayLimitWarning);
}

void TForm1::ShowAppliedRanges(const FrameOutcome& outcome) {
  // A range applied anew writes its captions again, whatever they said.
  const auto write = [](QLineEdit* plus, QLineEdit* minus, const AxisCaptions& captions) {
    plus->setText(QString::fromLatin1(captions.plus));
    minus->setText(QString::fromLatin1(captions.minus));
  };
  if (outcome.ulRangeApplied) write(Edit2, Edit5, instrument_->UlCaptions());
  if (outcome.urRangeApplied) write(Edit18, Edit19, instrument_->UrCaptions());
  if (outcome.ScreenCleared()) RepaintWindow();
}

void TForm1::DrawGrid() {
  DrawGraticule(canvas(), ClientHeight());
  screen->update();
}

void TForm1::DrawScale() {
  DrawScaleLabels(canvas(), State(), ClientHeight());
}

void TForm1::DrawDisplay() {
  const FrameOutcome outcome = instrument_->DisplayFrame();
  ShowReadouts();
  ShowAppliedRanges(outcome);
  DrawScale();
  DrawTrace(canvas(), State(), ClientHeight());
  screen->update();  // one repaint for the whole frame
  if (onDisplayFrame) onDisplayFrame();
}
