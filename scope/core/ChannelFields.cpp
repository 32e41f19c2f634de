#include "ChannelFields.h"

#include <algorithm>

namespace osciloskop {

ChannelFields UlFields(ScopeState& s) {
  return {.channel = Channel::UL,
          .frameOffset = 1,
          .lowersHighRangeGain = false,
          .samples = s.ulSamples,
          .sumSquares = s.ulSumSquares,
          .smoothed = s.ulSmoothed,
          .backlog = s.ulBacklog,
          .peak = s.ulPeak,
          .rms = s.ulRms,
          .start = s.ulStart,
          .probeStep = s.ulProbeStep,
          .skip = s.ulSkip,
          .smoothing = s.ulSmoothing,
          .probe = s.ulProbe,
          .halfStart = s.ulHalfStart,
          .halfEnd = s.ulHalfEnd,
          .measuredFrequency = s.ulMeasuredFrequency,
          .frequency = s.ulFrequency,
          .divisionValue = s.ulDivisionValue,
          .gain = s.ulGain,
          .rangeApplied = s.ulRangeApplied,
          .autoRange = s.ulAutoRange};
}

ChannelFields UrFields(ScopeState& s) {
  return {.channel = Channel::UR,
          .frameOffset = 0,
          .lowersHighRangeGain = true,
          .samples = s.urSamples,
          .sumSquares = s.urSumSquares,
          .smoothed = s.urSmoothed,
          .backlog = s.urBacklog,
          .peak = s.urPeak,
          .rms = s.urRms,
          .start = s.urStart,
          .probeStep = s.urProbeStep,
          .skip = s.urSkip,
          .smoothing = s.urSmoothing,
          .probe = s.urProbe,
          .halfStart = s.urHalfStart,
          .halfEnd = s.urHalfEnd,
          .measuredFrequency = s.urMeasuredFrequency,
          .frequency = s.urFrequency,
          .divisionValue = s.urDivisionValue,
          .gain = s.urGain,
          .rangeApplied = s.urRangeApplied,
          .autoRange = s.urAutoRange};
}

int32_t ChannelCount(const ScopeState& state) {
  return std::clamp(state.sampleCount, 0, kChannelLength - 1);
}

}  // namespace osciloskop
