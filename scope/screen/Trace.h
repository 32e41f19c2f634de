#pragma once

// The X-Y trace: the mapping of a pair of channel values to a screen point, the drawing of
// the figure over the previous one, and the store of the values the trace on screen was
// drawn from. Every index stays inside the channel arrays.

#include <QRgb>
#include <algorithm>
#include <cstdint>

#include "Canvas.h"
#include "Graticule.h"
#include "Rounding.h"
#include "ScopeState.h"

namespace osciloskop {

constexpr int kTracePoints = 1000;  // points joined per figure (999 segments)

inline constexpr QRgb kTraceColor = qRgb(0, 255, 255);
inline constexpr QRgb kEraseColor = qRgb(0, 0, 0);

// Keeps the values the trace was drawn from: entry i of ulPrevious / urPrevious =
// entry traceOffset + i of ulSamples / urSamples, for i = 1 .. sampleCount as far as the
// arrays reach.
void StorePreviousTrace(ScopeState& state);

// The nearest integer, halves to even, as a conversion that cannot overflow whatever gains
// the ranges set.
inline int ToPixel(double coordinate) {
  constexpr double kFar = 1.0e9;  // far outside any image, well inside int
  return static_cast<int>(RoundHalfEven(std::clamp(coordinate, -kFar, kFar)));
}

struct ScreenPoint {
  int x;
  int y;
  bool operator==(const ScreenPoint&) const = default;
};

// Maps a UL value u and a UR value v to the screen: x = nearest(u * scaleX * gainX + 400),
// y = nearest(clientHeight / 2 + v * scaleY * gainY), halves to even. UL deflects to the
// right, UR downwards; the centre is not truncated, unlike the grid's.
class TraceMapping {
 public:
  TraceMapping(const ScopeState& state, int clientHeight);
  // Inline: a frame maps 2000 points, and calls through the loop would run them one by one.
  ScreenPoint Map(int32_t u, int32_t v) const {
    return {ToPixel(u * scaleX * gainX + kScreenCentreX), ToPixel(centreY + v * scaleY * gainY)};
  }

 private:
  double scaleX;
  double gainX;
  double scaleY;
  double gainY;
  double centreY;
};

// The X-Y trace from traceOffset, which the instrument's trigger has set: for every segment
// of the figure the previous frame's segment is drawn in black and the new one in aqua,
// traceStride channel entries apart; last the values drawn are kept for the next frame's
// erasing. Leaves the pen aqua, one pixel wide.
void DrawTrace(Canvas& canvas, ScopeState& state, int clientHeight);

}  // namespace osciloskop
