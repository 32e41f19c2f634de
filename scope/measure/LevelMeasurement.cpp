#include "LevelMeasurement.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "FrequencyMeasurement.h"

namespace osciloskop {

namespace {

// The split of the channel's values out of captureBuffer, its peak and its running sums of
// squares.
void SplitChannel(const ScopeState& state, const ChannelFields& ch, int32_t count) {
  // The split, the peak and the running sums of squares run as one pass over the values:
  // in a display frame the block competes for the cache with the screen image. The values
  // are 16-bit: the largest magnitude is the peak, a square is at most 2^30 and the sum of
  // 44099 of them stays below 2^53, so the integer running sum converted on each store
  // equals the sum accumulated in double. Entry 0 takes part in neither the peak nor the
  // sum; the sum runs up to the entry at the count itself, one past the split's output.
  ch.sumSquares[0] = 0;
  ch.sumSquares[1] = 0;
  int64_t sum = 0;
  const auto addSquare = [&](int i, int32_t value) {
    sum += int64_t{value} * value;
    ch.sumSquares[i + 1] = static_cast<double>(sum);
  };

  int32_t* samples = ch.samples.data();
  const int32_t* capture = state.captureBuffer.data() + ch.frameOffset;
  const int inBuffer = std::clamp((kChannelLength - ch.frameOffset + 1) / 2, 0, count);
  if (inBuffer > 0) samples[0] = capture[0];
  int32_t peak = 0;
  for (int i = 1; i < inBuffer; ++i) {
    const int32_t value = capture[2 * i];
    samples[i] = value;
    peak = std::max(peak, std::abs(value));
    addSquare(i, value);
  }
  ch.peak = static_cast<uint16_t>(peak);  // -32768 gives 32768, still a uint16

  // captureBuffer holds 44100 values, but the split of the start-up count 22100 reads
  // 2 x 22100 of them; those past its end read as 0, like its never-written upper part.
  std::fill(samples + inBuffer, samples + std::max(count, inBuffer), 0);
  for (int i = std::max(inBuffer, 1); i <= count; ++i) addSquare(i, samples[i]);
}

}  // namespace

void MeasureChannelLevel(ScopeState& state, const ChannelFields& ch) {
  const int32_t count = ChannelCount(state);

  ch.probe[0] = 0;
  ch.probe[1] = 0;
  if (ch.channel == Channel::UR) state.traceOffset = 1;

  // Nothing but the split writes the channel's values, its peak and its sums: split again
  // from the same capture with the same count, they would come out as they stand. The
  // display measures many times per block, so only a new block or count pays for them.
  FollowerBacklog& backlog = ch.backlog;
  if (backlog.valuesGeneration != state.captureGeneration || backlog.valuesCount != count) {
    // The follower's backlog is computed from the values its run was started on.
    RetireBacklogValues(FollowerArraysOf(ch));
    SplitChannel(state, ch, count);
    backlog.valuesGeneration = state.captureGeneration;
    backlog.valuesCount = count;
  }

  ch.rms = count > 0 ? std::sqrt(ch.sumSquares[count + 1] / count) * state.millivoltsPerCount : 0;
}

}  // namespace osciloskop
