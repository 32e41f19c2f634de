#pragma once

// The trigger of the X-Y trace: the figure starts where UR, after its first negative value,
// leaves a negative half-wave as the follower sees it.

#include "ScopeState.h"

namespace osciloskop {

constexpr int kTriggerSearchLimit = 19999;  // last index the crossing search examines
constexpr int kNoTriggerOffset = 19998;     // offset used when no crossing is found

// The start search of the trigger: the first negative UR value among entries
// 1 ... sampleCount into urStart and urSmoothed (FindFirstOfSign).
bool FindFirstNegativeStartUR(ScopeState& state);

// The trigger after the first-negative search: runs the negative follower of UR from
// urStart and sets traceOffset to one before the first index (after urStart, up to
// kTriggerSearchLimit) where the follower leaves zero; kNoTriggerOffset when there is none
// or when urStart already lies beyond the search limit.
void FindTraceOffset(ScopeState& state);

}  // namespace osciloskop
