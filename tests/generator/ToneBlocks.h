#pragma once

// Tone blocks as the generator writes them, read back as samples: what the generator's tests
// and the window's stream tests compare the output ring with.

#include <cstdint>
#include <vector>

#include "ToneSynthesis.h"

namespace osciloskop {

inline constexpr int32_t kRate = 44100;
inline constexpr int32_t kBlockSamples = 11000;

inline std::vector<int16_t> Synthesize(int64_t firstSample, int32_t count, int32_t frequency,
                                       int32_t amplitude) {
  std::vector<unsigned char> bytes(2 * static_cast<size_t>(count));
  SynthesizeToneBlock(bytes.data(), count, firstSample, kRate, frequency, amplitude);
  std::vector<int16_t> samples(count);
  for (int32_t k = 0; k < count; ++k)
    samples[k] = static_cast<int16_t>(bytes[2 * k] | (bytes[2 * k + 1] << 8));
  return samples;
}

}  // namespace osciloskop
