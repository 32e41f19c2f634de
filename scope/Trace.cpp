#include "Trace.h"

#include <algorithm>

#include "FrequencyMeasurement.h"

namespace {

constexpr int kLastIndex = kChannelLength - 1;

}  // namespace

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

void StorePreviousTrace(ScopeState& state) {
  const int offset = state.traceOffset;
  const int count = std::min(state.sampleCount, kLastIndex - offset);
  if (count <= 0) return;
  std::copy_n(state.ulSamples.begin() + offset + 1, count, state.ulPrevious.begin() + 1);
  std::copy_n(state.urSamples.begin() + offset + 1, count, state.urPrevious.begin() + 1);
}

TraceMapping::TraceMapping(const ScopeState& state, int clientHeight)
    : scaleX(state.traceScaleX),
      gainX(state.ulGain),
      scaleY(state.traceScaleY),
      gainY(state.urGain),
      centreY(clientHeight / 2.0) {}
