#pragma once

// The half-wave follower of a channel: its smoothed values inside the half-waves of one
// sign, computed lazily as the searches read them, and the start search that finds where a
// run begins. The frequency measurement follows positive half-waves, the trigger negative
// ones.

#include <cstdint>

#include "ChannelFields.h"
#include "ScopeState.h"

namespace osciloskop {

// Positive half-waves are the values >= 0 (the start search looks for a value > 0),
// negative ones the values < 0.
enum class HalfWaveSign { Positive, Negative };

// The smoothing every measurement runs the follower with.
inline constexpr int32_t kFollowerSmoothing = 16;

// The arrays one half-wave follower works on: a channel's values, its smoothed array and
// the entries of the latest run still to be computed.
struct FollowerArrays {
  const SampleArray& samples;
  SampleArray& smoothed;
  FollowerBacklog& backlog;
};
FollowerArrays FollowerArraysOf(const ChannelFields& channel);

// Scans entries 1 ... count for the first value of the sign. On a match sets `start` to its
// index, copies the value into the same entry of the smoothed array and returns true; with
// no match leaves both unchanged and returns false. Either way the entries the previous
// follower run still owes outside the coming run are computed first.
bool FindFirstOfSign(FollowerArrays arrays, int32_t count, HalfWaveSign sign, uint16_t& start);

// The half-wave follower: for i = start + 1 ... count, entry i of `smoothed` is 0 where the
// sample lies outside the half-waves of the sign, and Trunc(x / s + p - p / s) inside
// them, with x the sample, p entry i - 1 of `smoothed` and s = `smoothing`. Entries past
// the arrays are not visited.
//
// A run computes its entries only as its readers reach them: FollowHalfWaves starts the run
// (the entries become its backlog), SmoothUpTo computes them up to an index before a read.
// Before the channel's values change, RetireBacklogValues keeps the values the backlog
// needs; where the next run does not cover the backlog, it is computed before that run
// starts. So every entry read later holds the value a run computing all its entries at
// once would have left, while entries that the next run overwrites are never computed.
void FollowHalfWaves(FollowerArrays arrays, int start, int32_t count, int32_t smoothing,
                     HalfWaveSign sign);
void RetireBacklogValues(FollowerArrays arrays);
void SmoothBacklogUpTo(FollowerArrays arrays, int index);
inline void SmoothUpTo(FollowerArrays arrays, int index) {
  const FollowerBacklog& backlog = arrays.backlog;
  if (index >= backlog.first && backlog.first <= backlog.last) SmoothBacklogUpTo(arrays, index);
}

}  // namespace osciloskop
