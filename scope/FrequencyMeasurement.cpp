#include "FrequencyMeasurement.h"

#include <algorithm>
#include <type_traits>

#include "RangeSelection.h"
#include "Rounding.h"

using osciloskop::RoundHalfEven;

namespace {

constexpr uint16_t kCoarseProbeStep = 3;
constexpr uint16_t kCoarseSkip = 95;
constexpr uint16_t kFineProbeStep = 1;
constexpr uint16_t kFineSkip = 5;
constexpr int32_t kSmoothingDivisor = 16;
// A half-wave of N values lasts N / 44100 s, so the frequency is 22050 / N Hz.
constexpr double kHalfWaveHertz = 22050;
// Frequencies up to this are shown from the coarse pass, in whole hertz.
constexpr double kCoarseOnlyUpTo = 100;
// Above this the trace cannot show the signal; the readout says so.
constexpr double kDisplayableUpTo = 2500;
// UR's edge search in its 20 V and 50 V ranges works with this gain (threshold 100 counts).
constexpr double kHighRangeSearchGain = 0.01;

bool LatchSet(const RangeLatch& latch, int item) {
  return latch[RangeRowOfItem(item).latchEntry] == 1;
}

// Computes the entries the previous run owes that a run from `start` up to `count` leaves
// alone: those up to the start, or all of them when the previous run reached further.
void SettleOutside(FollowerArrays arrays, int start, int32_t count) {
  const FollowerBacklog& backlog = arrays.backlog;
  if (backlog.first > backlog.last) return;
  SmoothUpTo(arrays, backlog.last > std::min(count, kChannelLength - 1) ? backlog.last : start);
}

bool FindFirstOfSign(FollowerArrays arrays, int32_t count, HalfWaveSign sign, uint16_t& start) {
  for (int i = 1; i <= count; ++i) {
    const int32_t value = arrays.samples[i];
    if (sign == HalfWaveSign::Positive ? value > 0 : value < 0) {
      SettleOutside(arrays, i, count);
      start = static_cast<uint16_t>(i);
      arrays.smoothed[i] = value;
      return true;
    }
  }
  SettleOutside(arrays, start, count);
  return false;
}

// x / s + p - p / s equals (x + (s - 1) p) / s; evaluated in integers and truncated toward
// zero it is exactly the truncation of the real-valued formula (whose floating-point
// evaluation with s = 16 is exact as well: every term is a multiple of 1/16 far inside 53
// bits). The integer form keeps the recursion's dependency chain short.
template <typename Divisor>
void FollowHalfWavesBy(const SampleArray& samples, SampleArray& smoothed, int from, int last,
                       Divisor divisor, HalfWaveSign sign) {
  if (from > last) return;
  const int64_t s = divisor;
  int64_t previous = smoothed[from - 1];  // carried in a register, not reloaded
  for (int i = from; i <= last; ++i) {
    const int32_t x = samples[i];
    const bool outside = sign == HalfWaveSign::Positive ? x < 0 : x >= 0;
    previous = outside ? 0 : (x + (s - 1) * previous) / divisor;
    smoothed[i] = static_cast<int32_t>(previous);
  }
}

}  // namespace

FollowerArrays FollowerArraysOf(const ChannelFields& ch) {
  return {ch.samples, ch.smoothed, ch.backlog};
}

bool FindFirstNegativeStartUR(ScopeState& state) {
  return FindFirstOfSign(FollowerArraysOf(UrFields(state)), ChannelCount(state),
                         HalfWaveSign::Negative, state.urStart);
}

bool FindFirstPositiveStart(ScopeState& state, const ChannelFields& ch) {
  return FindFirstOfSign(FollowerArraysOf(ch), ChannelCount(state), HalfWaveSign::Positive,
                         ch.start);
}

void FollowHalfWaves(FollowerArrays arrays, int start, int32_t count, int32_t smoothing,
                     HalfWaveSign sign) {
  SettleOutside(arrays, start, count);
  arrays.backlog.first = start + 1;
  arrays.backlog.last = std::min(count, kChannelLength - 1);
  arrays.backlog.smoothing = smoothing;
  arrays.backlog.negative = sign == HalfWaveSign::Negative;
  arrays.backlog.valuesRetired = false;
}

void RetireBacklogValues(FollowerArrays arrays) {
  FollowerBacklog& backlog = arrays.backlog;
  if (backlog.first > backlog.last || backlog.valuesRetired) return;
  std::copy(arrays.samples.begin() + backlog.first, arrays.samples.begin() + backlog.last + 1,
            backlog.retiredValues.begin() + backlog.first);
  backlog.valuesRetired = true;
}

void SmoothBacklogUpTo(FollowerArrays arrays, int index) {
  FollowerBacklog& backlog = arrays.backlog;
  // Computed in chunks, so that a search reading one entry further at a time does not
  // restart the loop for each.
  constexpr int kChunk = 64;
  const int last = std::min(std::max(index, backlog.first + kChunk - 1), backlog.last);
  const HalfWaveSign sign = backlog.negative ? HalfWaveSign::Negative : HalfWaveSign::Positive;
  const SampleArray& values = backlog.valuesRetired ? backlog.retiredValues : arrays.samples;
  // The follower runs with 16 in every frame; a constant divisor becomes a shift.
  if (backlog.smoothing == kSmoothingDivisor) {
    FollowHalfWavesBy(values, arrays.smoothed, backlog.first, last,
                      std::integral_constant<int64_t, kSmoothingDivisor>{}, sign);
  } else {
    FollowHalfWavesBy(values, arrays.smoothed, backlog.first, last,
                      int64_t{std::max(backlog.smoothing, 1)}, sign);
  }
  backlog.first = std::max(backlog.first, last + 1);
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
  ch.smoothing = kSmoothingDivisor;
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
  if (ch.frequency > kDisplayableUpTo) return {FrequencyAboveLimitText(), false};

  // Measured frequencies above the coarse range are shown to 10 Hz.
  const int64_t shown =
      followsGenerator ? RoundHalfEven(ch.frequency) : RoundHalfEven(ch.frequency / 10) * 10;
  return {FrequencyText(shown), true};
}
