#pragma once

// Frequency measurement of one channel from the length of one positive half-wave of its
// smoothed values.

#include <cstdint>

#include "ChannelFields.h"
#include "HalfWaveFollower.h"
#include "Readouts.h"
#include "ScopeState.h"

namespace osciloskop {

// The edge searches stop when their index reaches this value (when they begin below it).
inline constexpr int kHalfWaveSearchLimit = 20000;

// The start search of the channel's frequency measurement: its first positive value among
// entries 1 ... sampleCount (FindFirstOfSign).
bool FindFirstPositiveStart(ScopeState& state, const ChannelFields& channel);

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

}  // namespace osciloskop
