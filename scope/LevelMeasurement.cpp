#include "LevelMeasurement.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "FrequencyMeasurement.h"

void MeasureChannelLevel(ScopeState& state, const ChannelFields& ch) {
  const int32_t count = ChannelCount(state);

  // The split changes the values unless they come from the same capture and count again;
  // the follower's backlog is computed from the values its run was started on.
  FollowerBacklog& backlog = ch.backlog;
  if (backlog.valuesGeneration != state.captureGeneration || backlog.valuesCount != count) {
    SettleBacklog(FollowerArraysOf(ch));
    backlog.valuesGeneration = state.captureGeneration;
    backlog.valuesCount = count;
  }

  ch.probe[0] = 0;
  ch.probe[1] = 0;
  if (ch.channel == Channel::UR) state.traceOffset = 1;
  ch.sumSquares[0] = 0;
  ch.sumSquares[1] = 0;

  // The split, the peak and the running sums of squares each run as a loop of their own,
  // the first two vectorised. Entry 0 takes part in neither the peak nor the sum. The
  // values are 16-bit: the largest magnitude is the peak, a square is at most 2^30 and the
  // sum of 44099 of them stays below 2^53, so the integer running sum converted on each
  // store equals the sum accumulated in double.
  int32_t* samples = ch.samples.data();
  const int32_t* capture = state.captureBuffer.data() + ch.frameOffset;
  const int inBuffer = std::clamp((kChannelLength - ch.frameOffset + 1) / 2, 0, count);
  for (int i = 0; i < inBuffer; ++i) samples[i] = capture[2 * i];
  // captureBuffer holds 44100 values, but the split of the start-up count 22100 reads
  // 2 x 22100 of them; those past its end read as 0, like its never-written upper part.
  std::fill(samples + inBuffer, samples + std::max(count, inBuffer), 0);

  int32_t peak = 0;
  for (int i = 1; i < count; ++i) peak = std::max(peak, std::abs(samples[i]));
  ch.peak = static_cast<uint16_t>(peak);  // -32768 gives 32768, still a uint16

  // The sum runs up to the entry at the count itself, one past the split's output.
  int64_t sum = 0;
  for (int i = 1; i <= count; ++i) {
    sum += int64_t{samples[i]} * samples[i];
    ch.sumSquares[i + 1] = static_cast<double>(sum);
  }

  ch.rms = count > 0 ? std::sqrt(ch.sumSquares[count + 1] / count) * state.millivoltsPerCount : 0;
}
