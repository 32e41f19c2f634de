#include "Display.h"

#include <algorithm>

#include "Graticule.h"
#include "Trace.h"

namespace {

void Line(Canvas& canvas, int x0, int y0, int x1, int y1) {
  canvas.MoveTo(x0, y0);
  canvas.LineTo(x1, y1);
}

void DrawTraceSegments(Canvas& canvas, const ScopeState& state, int clientHeight) {
  const TraceMapping mapping(state, clientHeight);
  const int offset = state.traceOffset;
  // Keeps every point inside the channel arrays whatever the state holds.
  const int stride = std::clamp(state.traceStride, 0, (kChannelLength - 1 - offset) / kTracePoints);
  canvas.SetPenWidth(1);
  ScreenPoint previousFrom = mapping.Map(state.ulPrevious[stride], state.urPrevious[stride]);
  ScreenPoint from =
      mapping.Map(state.ulSamples[offset + stride], state.urSamples[offset + stride]);
  for (int p = 2; p <= kTracePoints; ++p) {
    const int index = p * stride;
    const ScreenPoint previousTo = mapping.Map(state.ulPrevious[index], state.urPrevious[index]);
    const ScreenPoint to =
        mapping.Map(state.ulSamples[offset + index], state.urSamples[offset + index]);
    // While the block is unchanged the new segment is the old one, which the aqua line
    // covers pixel for pixel: the black line would change nothing.
    if (previousFrom != from || previousTo != to) {
      canvas.SetPenColor(kEraseColor);
      Line(canvas, previousFrom.x, previousFrom.y, previousTo.x, previousTo.y);
    }
    canvas.SetPenColor(kTraceColor);
    Line(canvas, from.x, from.y, to.x, to.y);
    previousFrom = previousTo;
    from = to;
  }
}

}  // namespace

void DrawGraticule(Canvas& canvas, int clientHeight) {
  const int cy = GridCentreY(clientHeight);
  const int extent = kGridDivisions * kDivision;
  canvas.SetPenColor(kGridColor);
  canvas.SetPenWidth(1);
  for (const int side : {-1, 1}) {
    for (int k = 1; k <= kGridDivisions; ++k) {
      const int y = cy + side * kDivision * k;
      Line(canvas, kScreenCentreX - extent, y, kScreenCentreX - 20, y);
      Line(canvas, kScreenCentreX + 10, y, kScreenCentreX + extent, y);
    }
  }
  for (int k = 1; k <= kGridDivisions; ++k) {
    for (const int x : {kScreenCentreX - kDivision * k, kScreenCentreX + kDivision * k}) {
      Line(canvas, x, cy + extent, x, cy + 15);
      Line(canvas, x, cy - 4, x, cy - extent);
    }
  }
}

void DrawScaleLabels(Canvas& canvas, const ScopeState& state, int clientHeight) {
  const int cy = GridCentreY(clientHeight);
  ScaleText text;
  canvas.SetPenWidth(1);
  canvas.SetPenColor(kScaleColor);
  canvas.SetFontColor(kScaleColor);
  for (int k = 1; k <= 55; ++k) {  // minor ticks every 4 px, out to 220 px
    for (const int x : {kScreenCentreX - 4 * k, kScreenCentreX + 4 * k}) {
      Line(canvas, x, cy - 2, x, cy + 2);
    }
  }
  for (int k = 1; k <= kGridDivisions + 1; ++k) {  // major ticks, one division past the grid
    for (const int x : {kScreenCentreX - kDivision * k, kScreenCentreX + kDivision * k}) {
      Line(canvas, x, cy - 4, x, cy + 4);
    }
  }
  for (int k = 1; k <= 5; ++k) {  // a number at every second division
    const std::string_view number =
        FormatScaleNumber(k * state.ulDivisionValue * 2, kScaleFieldX, state.ulDivisionValue, text);
    canvas.TextOut(kScreenCentreX - 10 - 2 * kDivision * k, cy + 2, number);
    canvas.TextOut(kScreenCentreX - 10 + 2 * kDivision * k, cy + 2, number);
  }

  canvas.SetFontColor(kScaleNumberColorY);
  for (int k = 0; k <= 55; ++k) {
    for (const int y : {cy - 4 * k, cy + 4 * k}) Line(canvas, 398, y, 402, y);
  }
  for (int k = 0; k <= kGridDivisions; ++k) {
    const std::string_view number =
        FormatScaleNumber(k * state.urDivisionValue, kScaleFieldY, state.urDivisionValue, text);
    for (const int y : {cy - kDivision * k, cy + kDivision * k}) {
      Line(canvas, 396, y, 404, y);
      canvas.TextOut(370, y - 7, number);
    }
  }
  canvas.SetPenColor(qRgb(255, 255, 255));
}

void DrawTrace(Canvas& canvas, ScopeState& state, int clientHeight) {
  FindTraceOffset(state);
  DrawTraceSegments(canvas, state, clientHeight);
  StorePreviousTrace(state);
}
