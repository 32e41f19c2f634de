#include "Trigger.h"

#include "ChannelFields.h"
#include "HalfWaveFollower.h"

namespace osciloskop {

bool FindFirstNegativeStartUR(ScopeState& state) {
  return FindFirstOfSign(FollowerArraysOf(UrFields(state)), ChannelCount(state),
                         HalfWaveSign::Negative, state.urStart);
}

void FindTraceOffset(ScopeState& state) {
  const FollowerArrays ur = FollowerArraysOf(UrFields(state));
  FollowHalfWaves(ur, state.urStart, state.sampleCount, state.urSmoothing, HalfWaveSign::Negative);
  state.traceOffset = kNoTriggerOffset;
  // The search reads one entry ahead, at most entry kTriggerSearchLimit + 1.
  for (int i = state.urStart + 1; i <= kTriggerSearchLimit; ++i) {
    SmoothUpTo(ur, i + 1);
    if (state.urSmoothed[i] == 0 && state.urSmoothed[i + 1] != 0) {
      state.traceOffset = static_cast<uint16_t>(i - 1);
      return;
    }
  }
}

}  // namespace osciloskop
