#pragma once

// The one shared record of the instrument: capture buffer, channel arrays, levels,
// frequencies, ranges, time base and display modes. Every numeric field starts at zero
// and every array zero-filled; the instrument sets the start values. Nothing in it is
// allocated at run time. Fields typed uint16_t wrap at 65536, as the measurement relies on.
//
// Channels: UR is the first value of each stereo frame, UL the second.

#include <array>
#include <cstdint>

constexpr int kChannelLength = 44100;  // entries of every sample array
constexpr int kRangeCount = 12;        // fixed voltage ranges of a channel
constexpr int kTimeBaseCount = 7;      // fixed time bases

// The entries first ... last of a smoothed array that the latest half-wave follower run
// covers but has not computed yet (none while first > last), with what that run needs to
// compute them later; and the capture the channel's values were last split from.
struct FollowerBacklog {
  int32_t first = 1;
  int32_t last = 0;
  int32_t smoothing = 1;
  bool negative = false;
  // Once a split has replaced the channel's values, entries first ... last of retiredValues
  // hold the values the run was started on.
  bool valuesRetired = false;
  std::array<int32_t, kChannelLength> retiredValues{};
  uint32_t valuesGeneration = 0;  // captureGeneration of the split
  int32_t valuesCount = -1;       // its count; -1 before the first split
};

struct ScopeState {
  // Capture and channel data.
  int32_t sampleCount = 0;
  std::array<int32_t, kChannelLength> captureBuffer{};
  uint32_t captureGeneration = 0;  // counts the blocks written into captureBuffer
  std::array<int32_t, kChannelLength> ulSamples{};
  std::array<int32_t, kChannelLength> urSamples{};
  // Running sums of squares: entry k+1 = sum of squares of channel values 1..k; needs
  // sampleCount + 2 entries for the largest count (22100).
  std::array<double, kChannelLength + 2> ulSumSquares{};
  std::array<double, kChannelLength + 2> urSumSquares{};
  std::array<int32_t, kChannelLength> ulSmoothed{};
  std::array<int32_t, kChannelLength> urSmoothed{};
  FollowerBacklog ulBacklog;
  FollowerBacklog urBacklog;
  std::array<int32_t, kChannelLength> ulPrevious{};
  std::array<int32_t, kChannelLength> urPrevious{};

  // Level measurement.
  uint16_t ulPeak = 0;
  uint16_t urPeak = 0;
  double ulRms = 0;
  double urRms = 0;
  double millivoltsPerCount = 0;

  // Frequency measurement.
  uint16_t ulStart = 0;
  uint16_t urStart = 0;
  uint16_t ulProbeStep = 0;
  uint16_t urProbeStep = 0;
  uint16_t ulSkip = 0;
  uint16_t urSkip = 0;
  int32_t ulSmoothing = 0;
  int32_t urSmoothing = 0;
  std::array<uint16_t, 3> ulProbe{};
  std::array<uint16_t, 3> urProbe{};
  uint16_t ulHalfStart = 0;
  uint16_t ulHalfEnd = 0;
  uint16_t urHalfStart = 0;
  uint16_t urHalfEnd = 0;
  double ulMeasuredFrequency = 0;
  double urMeasuredFrequency = 0;
  double ulFrequency = 0;
  double urFrequency = 0;
  uint16_t frequencyFromGenerator = 0;

  // Display and ranges.
  double ulDivisionValue = 0;
  double urDivisionValue = 0;
  double ulGain = 0;
  double urGain = 0;
  std::array<int32_t, kRangeCount> ulRangeApplied{};
  std::array<int32_t, kRangeCount> urRangeApplied{};
  int32_t ulAutoRange = 0;
  int32_t urAutoRange = 0;
  int32_t autoTimeBase = 0;
  std::array<int32_t, kTimeBaseCount> timeBaseApplied{};
  int32_t traceStride = 0;
  double traceScaleX = 0;
  double traceScaleY = 0;
  uint16_t traceOffset = 0;
  int32_t periodicDisplay = 0;
};
