#include "Trace.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

#include "Graticule.h"

namespace {

constexpr int kLastIndex = kChannelLength - 1;

// Real-to-integer conversion that cannot overflow, whatever gains the ranges set.
int ToPixel(double coordinate) {
  constexpr double kFar = 1.0e9;  // far outside any image, well inside int
  return static_cast<int>(std::clamp(coordinate, -kFar, kFar));
}

constexpr int32_t kUsualSmoothing = 16;

// x / s + p - p / s equals (x + (s - 1) p) / s; evaluated in integers and truncated toward
// zero it gives exactly the truncation of the real-valued formula (whose floating-point
// evaluation with s = 16 is exact as well: every term is a multiple of 1/16).
template <typename Divisor>
void Follow(const ChannelArray& samples, ChannelArray& smoothed, int from, int last,
            Divisor divisor, HalfWave halfWave) {
  const int64_t s = divisor;
  for (int i = from; i <= last; ++i) {
    const int32_t x = samples[i];
    const bool inside = halfWave == HalfWave::Positive ? x >= 0 : x < 0;
    smoothed[i] = inside ? static_cast<int32_t>((x + (s - 1) * smoothed[i - 1]) / divisor) : 0;
  }
}

}  // namespace

void FollowHalfWave(const ChannelArray& samples, ChannelArray& smoothed, int start, int count,
                    int32_t smoothing, HalfWave halfWave) {
  const int from = std::max(start + 1, 1);
  const int last = std::min(count, kLastIndex);
  // The follower always runs with 16; a constant divisor becomes a shift.
  if (smoothing == kUsualSmoothing) {
    Follow(samples, smoothed, from, last, std::integral_constant<int64_t, kUsualSmoothing>{},
           halfWave);
  } else {
    Follow(samples, smoothed, from, last, int64_t{std::max(smoothing, 1)}, halfWave);
  }
}

void FindFirstNegativeSample(ScopeState& state) {
  const int last = std::min(state.sampleCount, kLastIndex);
  for (int i = 1; i <= last; ++i) {
    if (state.urSamples[i] < 0) {
      state.urStart = static_cast<uint16_t>(i);
      state.urSmoothed[i] = state.urSamples[i];
      return;
    }
  }
}

void FindTraceOffset(ScopeState& state) {
  FollowHalfWave(state.urSamples, state.urSmoothed, state.urStart, state.sampleCount,
                 state.urSmoothing, HalfWave::Negative);
  state.traceOffset = kNoTriggerOffset;
  // The search reads one entry ahead, at most entry kTriggerSearchLimit + 1.
  for (int i = state.urStart + 1; i <= kTriggerSearchLimit; ++i) {
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
  return {ToPixel(std::nearbyint(u * scaleX * gainX + kScreenCentreX)),
          ToPixel(std::nearbyint(centreY + v * scaleY * gainY))};
}
