#pragma once

// Level measurement of one channel: splits the channel's values out of captureBuffer,
// finds the peak and the RMS level of the block.

#include <cstdint>

#include "ChannelFields.h"
#include "ScopeState.h"

namespace osciloskop {

// Splits the channel out of captureBuffer into its sample array and writes its peak, its
// running sums of squares and its RMS level in millivolts. Resets the first two probe
// entries (and, for UR, traceOffset to 1) as every level measurement does. The split, peak
// and sums are left as they stand while captureGeneration and the count are those of the
// last split: whatever writes captureBuffer counts the change in captureGeneration.
void MeasureChannelLevel(ScopeState& state, const ChannelFields& channel);

// The overload warning is shown while the UR peak reaches this many counts.
inline constexpr uint16_t kOverloadPeak = 30500;
inline bool OverloadWarningShown(uint16_t urPeak) {
  return urPeak >= kOverloadPeak;
}

}  // namespace osciloskop
