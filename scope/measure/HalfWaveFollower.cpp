#include "HalfWaveFollower.h"

#include <algorithm>
#include <type_traits>

namespace osciloskop {

namespace {

// Computes the entries the previous run owes that a run from `start` up to `count` leaves
// alone: those up to the start, or all of them when the previous run reached further.
void SettleOutside(FollowerArrays arrays, int start, int32_t count) {
  const FollowerBacklog& backlog = arrays.backlog;
  if (backlog.first > backlog.last) return;
  SmoothUpTo(arrays, backlog.last > std::min(count, kChannelLength - 1) ? backlog.last : start);
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
  // The follower runs with the same smoothing in every frame; a constant divisor becomes a
  // shift.
  if (backlog.smoothing == kFollowerSmoothing) {
    FollowHalfWavesBy(values, arrays.smoothed, backlog.first, last,
                      std::integral_constant<int64_t, kFollowerSmoothing>{}, sign);
  } else {
    FollowHalfWavesBy(values, arrays.smoothed, backlog.first, last,
                      int64_t{std::max(backlog.smoothing, 1)}, sign);
  }
  backlog.first = std::max(backlog.first, last + 1);
}

}  // namespace osciloskop
