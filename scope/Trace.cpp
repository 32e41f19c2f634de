#include "Trace.h"

#include <algorithm>

#include "FrequencyMeasurement.h"
#include "Graticule.h"

namespace {

constexpr int kLastIndex = kChannelLength - 1;

// The nearest integer, halves to even, as a conversion that cannot overflow whatever gains
// the ranges set. Rounded inline rather than by a library call: for |c| < 2^51, adding and
// subtracting 1.5 * 2^52 leaves exactly the integer that the default rounding picks.
int ToPixel(double coordinate) {
  constexpr double kFar = 1.0e9;                   // far outside any image, well inside int
  constexpr double kRoundingBias = 0x1.8p52;       // 1.5 * 2^52
  const double clamped = std::clamp(coordinate, -kFar, kFar);
  return static_cast<int>((clamped + kRoundingBias) - kRoundingBias);
}

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

ScreenPoint TraceMapping::Map(int32_t u, int32_t v) const {
  return {ToPixel(u * scaleX * gainX + kScreenCentreX), ToPixel(centreY + v * scaleY * gainY)};
}
