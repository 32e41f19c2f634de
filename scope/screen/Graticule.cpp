#include "Graticule.h"

#include <algorithm>
#include <cstdio>

namespace osciloskop {

std::string_view FormatScaleNumber(double value, int fieldWidth, double divisionValue,
                                   ScaleText& buffer) {
  const int decimals = divisionValue >= 1.0 ? 0 : 1;
  const int length =
      std::snprintf(buffer.data(), buffer.size(), "%*.*f", fieldWidth, decimals, value);
  if (length < 0) return {};
  return {buffer.data(), std::min(static_cast<size_t>(length), buffer.size() - 1)};
}

void DrawGraticule(Canvas& canvas, int clientHeight) {
  const int cy = GridCentreY(clientHeight);
  const int extent = kGridDivisions * kDivision;
  canvas.SetPenColor(kGridColor);
  canvas.SetPenWidth(1);
  for (const int side : {-1, 1}) {
    for (int k = 1; k <= kGridDivisions; ++k) {
      const int y = cy + side * kDivision * k;
      DrawLine(canvas, kScreenCentreX - extent, y, kScreenCentreX - kGridGapLeft, y);
      DrawLine(canvas, kScreenCentreX + kGridGapRight, y, kScreenCentreX + extent, y);
    }
  }
  for (int k = 1; k <= kGridDivisions; ++k) {
    for (const int x : {kScreenCentreX - kDivision * k, kScreenCentreX + kDivision * k}) {
      DrawLine(canvas, x, cy + extent, x, cy + kGridGapBelow);
      DrawLine(canvas, x, cy - kGridGapAbove, x, cy - extent);
    }
  }
}

void DrawScaleLabels(Canvas& canvas, const ScopeState& state, int clientHeight) {
  const int cy = GridCentreY(clientHeight);
  ScaleText text;
  canvas.SetPenWidth(1);
  canvas.SetPenColor(kScaleColor);
  canvas.SetFontColor(kScaleColor);
  for (int k = 1; k <= kMinorTickCount; ++k) {
    for (const int x :
         {kScreenCentreX - kMinorTickSpacing * k, kScreenCentreX + kMinorTickSpacing * k}) {
      DrawLine(canvas, x, cy - kMinorTickReach, x, cy + kMinorTickReach);
    }
  }
  for (int k = 1; k <= kGridDivisions + 1; ++k) {  // one division past the grid
    for (const int x : {kScreenCentreX - kDivision * k, kScreenCentreX + kDivision * k}) {
      DrawLine(canvas, x, cy - kMajorTickReach, x, cy + kMajorTickReach);
    }
  }
  for (int k = 1; k <= kNumberCountX; ++k) {  // a number at every second division
    const std::string_view number =
        FormatScaleNumber(k * state.ulDivisionValue * 2, kScaleFieldX, state.ulDivisionValue, text);
    const int left = kScreenCentreX - kNumberLeftOfTickX;
    canvas.TextOut(left - 2 * kDivision * k, cy + kNumberBelowAxisX, number);
    canvas.TextOut(left + 2 * kDivision * k, cy + kNumberBelowAxisX, number);
  }

  canvas.SetFontColor(kScaleNumberColorY);
  for (int k = 0; k <= kMinorTickCount; ++k) {
    for (const int y : {cy - kMinorTickSpacing * k, cy + kMinorTickSpacing * k}) {
      DrawLine(canvas, kScreenCentreX - kMinorTickReach, y, kScreenCentreX + kMinorTickReach, y);
    }
  }
  for (int k = 0; k <= kGridDivisions; ++k) {
    const std::string_view number =
        FormatScaleNumber(k * state.urDivisionValue, kScaleFieldY, state.urDivisionValue, text);
    for (const int y : {cy - kDivision * k, cy + kDivision * k}) {
      DrawLine(canvas, kScreenCentreX - kMajorTickReach, y, kScreenCentreX + kMajorTickReach, y);
      canvas.TextOut(kScreenCentreX - kNumberLeftOfAxisY, y - kNumberAboveTickY, number);
    }
  }
  canvas.SetPenColor(kPenColorAfterScale);
}

}  // namespace osciloskop
