#include "FrequencyMeasurement.h"

#include "DisplayLimit.h"
#include "RangeSelection.h"
#include "Rounding.h"

namespace osciloskop {

namespace {

constexpr uint16_t kCoarseProbeStep = 3;
constexpr uint16_t kCoarseSkip = 95;
constexpr uint16_t kFineProbeStep = 1;
constexpr uint16_t kFineSkip = 5;
// A half-wave of N values lasts N / 44100 s, so the frequency is 22050 / N Hz.
constexpr double kHalfWaveHertz = 22050;
// Frequencies up to this are shown from the coarse pass, in whole hertz.
constexpr double kCoarseOnlyUpTo = 100;
// UR's edge search in its 20 V and 50 V ranges works with this gain (threshold 100 counts).
constexpr double kHighRangeSearchGain = 0.01;

bool LatchSet(const RangeLatch& latch, int item) {
  return latch[RangeRowOfItem(item).latchEntry] == 1;
}

}  // namespace

bool FindFirstPositiveStart(ScopeState& state, const ChannelFields& ch) {
  return FindFirstOfSign(FollowerArraysOf(ch), ChannelCount(state), HalfWaveSign::Positive,
                         ch.start);
}

void FindHalfWave(const ChannelFields& ch) {
  const bool in20V = ch.lowersHighRangeGain && LatchSet(ch.rangeApplied, kRange20VItem);
  const bool in50V = ch.lowersHighRangeGain && LatchSet(ch.rangeApplied, kRange50VItem);
  if (in20V || in50V) ch.gain = kHighRangeSearchGain;
  const double threshold = 1 / ch.gain;

  // The smoothed values are read as uint16. Every read probes i, i + d and i + 2d. Where the
  // next probe would leave the array, the rising-edge search ends as if it had found no
  // edge and the end search as if the rest of the array were zeros (one more value), so the
  // half-wave is never shorter than skip + 2 values.
  const int d = ch.probeStep;
  const int lastProbedIndex = kChannelLength - 1 - 2 * d;
  const FollowerArrays arrays = FollowerArraysOf(ch);
  const auto probeAt = [&](int i) {
    SmoothUpTo(arrays, i + 2 * d);
    ch.probe = {static_cast<uint16_t>(ch.smoothed[i]), static_cast<uint16_t>(ch.smoothed[i + d]),
                static_cast<uint16_t>(ch.smoothed[i + 2 * d])};
  };

  ch.halfStart = 0;
  ch.halfEnd = 0;
  int i = ch.start;
  while (i <= lastProbedIndex) {
    probeAt(i);
    ++i;
    const auto [e0, e1, e2] = ch.probe;
    if (e0 <= threshold && e1 > e0 && e2 > e0) break;  // rising edge
    if (i == kHalfWaveSearchLimit) break;
  }
  ch.halfStart = static_cast<uint16_t>(i - 1);

  i += ch.skip;
  while (true) {
    if (i > lastProbedIndex) {
      ++i;
      break;
    }
    probeAt(i);
    ++i;
    if (ch.probe[0] == 0 || i == kHalfWaveSearchLimit) break;  // end of the half-wave
  }
  ch.halfEnd = static_cast<uint16_t>(i);

  ch.measuredFrequency =
      kHalfWaveHertz / (static_cast<int32_t>(ch.halfEnd) - static_cast<int32_t>(ch.halfStart));

  // Back to the ranges' own gains, with which the trace is drawn.
  if (in20V) ch.gain = RangeRowOfItem(kRange20VItem).gain;
  if (in50V) ch.gain = RangeRowOfItem(kRange50VItem).gain;
}

void RunFrequencyPass(ScopeState& state, const ChannelFields& ch, uint16_t probeStep,
                      uint16_t skip) {
  ch.probeStep = probeStep;
  ch.skip = skip;
  ch.smoothing = kFollowerSmoothing;
  FindFirstPositiveStart(state, ch);
  FollowHalfWaves(FollowerArraysOf(ch), ch.start, ChannelCount(state), ch.smoothing,
                  HalfWaveSign::Positive);
  FindHalfWave(ch);
}

FrequencyReadout MeasureChannelFrequency(ScopeState& state, const ChannelFields& ch,
                                         int32_t generatorFrequency) {
  const bool followsGenerator = state.frequencyFromGenerator == 1;
  // The passes always run; while the readouts follow the generator their result stays in
  // measuredFrequency only.
  const auto chooseShownFrequency = [&] {
    ch.frequency = followsGenerator ? generatorFrequency : ch.measuredFrequency;
  };

  RunFrequencyPass(state, ch, kCoarseProbeStep, kCoarseSkip);
  chooseShownFrequency();
  if (ch.frequency <= kCoarseOnlyUpTo) return {LowFrequencyText(ch.frequency), false};

  RunFrequencyPass(state, ch, kFineProbeStep, kFineSkip);
  chooseShownFrequency();
  if (ExceedsDisplayLimit(ch.frequency)) return {FrequencyAboveLimitText(), false};

  // Measured frequencies above the coarse range are shown to 10 Hz.
  const int64_t shown =
      followsGenerator ? RoundHalfEven(ch.frequency) : RoundHalfEven(ch.frequency / 10) * 10;
  return {FrequencyText(shown), true};
}

}  // namespace osciloskop
