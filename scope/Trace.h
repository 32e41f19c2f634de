#pragma once

// The pure parts of the X-Y trace: the trigger search on UR, the mapping of a pair of
// channel values to a screen point, and the store of the values the trace on screen was
// drawn from. Qt-free; every index stays inside the channel arrays.

#include <algorithm>
#include <cstdint>

#include "Graticule.h"
#include "ScopeState.h"

constexpr int kTracePoints = 1000;          // points joined per figure (999 segments)
constexpr int kTriggerSearchLimit = 19999;  // last index the crossing search examines
constexpr int kNoTriggerOffset = 19998;     // offset used when no crossing is found

// The trigger after the first-negative search: runs the negative follower of UR from
// urStart and sets traceOffset to one before the first index (after urStart, up to
// kTriggerSearchLimit) where the follower leaves zero; kNoTriggerOffset when there is none
// or when urStart already lies beyond the search limit.
void FindTraceOffset(ScopeState& state);

// Keeps the values the trace was drawn from: entry i of ulPrevious / urPrevious =
// entry traceOffset + i of ulSamples / urSamples, for i = 1 .. sampleCount as far as the
// arrays reach.
void StorePreviousTrace(ScopeState& state);

// The nearest integer, halves to even, as a conversion that cannot overflow whatever gains
// the ranges set. Rounded inline rather than by a library call: for |c| < 2^51, adding and
// subtracting 1.5 * 2^52 leaves exactly the integer that the default rounding picks.
inline int ToPixel(double coordinate) {
  constexpr double kFar = 1.0e9;              // far outside any image, well inside int
  constexpr double kRoundingBias = 0x1.8p52;  // 1.5 * 2^52
  const double clamped = std::clamp(coordinate, -kFar, kFar);
  return static_cast<int>((clamped + kRoundingBias) - kRoundingBias);
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
