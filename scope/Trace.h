#pragma once

// The pure parts of the X-Y trace: the trigger search on UR, the mapping of a pair of
// channel values to a screen point, and the store of the values the trace on screen was
// drawn from. Qt-free; every index stays inside the channel arrays.

#include <cstdint>

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
  ScreenPoint Map(int32_t u, int32_t v) const;

 private:
  double scaleX;
  double gainX;
  double scaleY;
  double gainY;
  double centreY;
};
