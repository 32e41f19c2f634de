#pragma once

// The twin channels UL and UR keep the same set of fields in ScopeState. ChannelFields
// gathers references to one channel's set, so that a single implementation of each
// measurement and range step serves both channels.

#include <array>
#include <cstdint>

#include "ScopeState.h"

namespace osciloskop {

enum class Channel { UL, UR };

using SampleArray = std::array<int32_t, kChannelLength>;
using SumSquaresArray = std::array<double, kChannelLength + 2>;
using RangeLatch = std::array<int32_t, kRangeCount>;

struct ChannelFields {
  Channel channel;
  // Position of the channel's value within a stereo frame of captureBuffer.
  int frameOffset;
  // Only UR's half-wave search lowers the gain in its 20 V and 50 V ranges (see
  // FindHalfWave).
  bool lowersHighRangeGain;

  SampleArray& samples;
  SumSquaresArray& sumSquares;
  SampleArray& smoothed;
  FollowerBacklog& backlog;
  uint16_t& peak;
  double& rms;

  uint16_t& start;
  uint16_t& probeStep;
  uint16_t& skip;
  int32_t& smoothing;
  std::array<uint16_t, 3>& probe;
  uint16_t& halfStart;
  uint16_t& halfEnd;
  double& measuredFrequency;
  double& frequency;

  double& divisionValue;
  double& gain;
  RangeLatch& rangeApplied;
  int32_t& autoRange;
};

ChannelFields UlFields(ScopeState& state);
ChannelFields UrFields(ScopeState& state);

// Number of entries that the per-channel loops process: sampleCount, kept inside the
// channel arrays (the sum of squares also reads the entry at the count itself).
int32_t ChannelCount(const ScopeState& state);

}  // namespace osciloskop
