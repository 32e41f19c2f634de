// The screen of the main window: grid, scale and the X-Y trace of a display frame.

#include <QComboBox>

#include "Graticule.h"
#include "ListItems.h"
#include "ScreenWidget.h"
#include "TForm1.h"
#include "Trace.h"

using namespace osciloskop;

void TForm1::DrawGrid() {
  DrawGraticule(canvas(), ClientHeight());
  screen->update();
}

void TForm1::DrawScale() {
  DrawScaleLabels(canvas(), state, ClientHeight());
  // The next frame's UL frequency search starts from 0 when its block has no positive value.
  state.ulStart = 0;
}

void TForm1::DrawDisplay() {
  MeasureLevelUL();
  SetRangeUL();
  MeasureFrequencyUL();
  if (ComboBox3->currentIndex() != kUrRangeOffItem) {
    MeasureLevelUR();
    SetRangeUR();
    MeasureFrequencyUR();
  }
  SetTimeBase();
  DrawScale();
  FindFirstNegativeUR();
  DrawTrace(canvas(), state, ClientHeight());
  screen->update();  // one repaint for the whole frame
  if (onDisplayFrame) onDisplayFrame();
}
