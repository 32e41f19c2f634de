#pragma once

// Frequency measurement of one channel from the length of one positive half-wave of its
// smoothed values, and the family of start searches (the trigger search of the screen uses
// the negative one).

#include <cstdint>

#include "ChannelFields.h"
#include "Readouts.h"
#include "ScopeState.h"

// The edge searches stop when their index reaches this value (when they begin below it).
inline constexpr int kHalfWaveSearchLimit = 20000;

// Positive half-waves are the values >= 0 (the start search looks for a value > 0),
// negative ones the values < 0.
enum class HalfWaveSign { Positive, Negative };

// The arrays one half-wave follower works on: a channel's values, its smoothed array and
// the entries of the latest run still to be computed.
struct FollowerArrays {
  const SampleArray& samples;
  SampleArray& smoothed;
  FollowerBacklog& backlog;
};
FollowerArrays FollowerArraysOf(const ChannelFields& channel);

// The start searches scan entries 1 ... sampleCount for the first value of their sign. On a
// match they set the start field to its index, copy the value into the same entry of the
// smoothed array and return true; with no match they leave both unchanged and return false.
// Either way the entries the previous follower run still owes outside the coming run are
// computed first.

// The start search of the screen's trigger: the first negative UR value into urStart and
// urSmoothed.
bool FindFirstNegativeStartUR(ScopeState& state);

// The start search of the channel's frequency measurement: its first positive value.
bool FindFirstPositiveStart(ScopeState& state, const ChannelFields& channel);

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

// The edge search of one pass: the rising edge from the start index, then the end of the
// half-wave after the skip; writes halfStart, halfEnd, probe and measuredFrequency.
// A search whose look-ahead would read past the last array entry ends there: the rising
// edge as not found, the end as found at that index.
void FindHalfWave(const ChannelFields& channel);

// One pass with the given look-ahead and skip: start search, smoothing, edge search.
void RunFrequencyPass(ScopeState& state, const ChannelFields& channel, uint16_t probeStep,
                      uint16_t skip);

struct FrequencyReadout {
  ReadoutText text;
  bool hideDisplayLimitWarning = false;  // Panel14
};

// The whole measurement of one channel: coarse pass, and a fine pass above 100 Hz; sets
// the channel's shown frequency (the measured one, or the generator's setting while the
// readouts follow the generator) and returns the readout.
FrequencyReadout MeasureChannelFrequency(ScopeState& state, const ChannelFields& channel,
                                         int32_t generatorFrequency);
