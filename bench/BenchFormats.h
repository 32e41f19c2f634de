#pragma once

// The block format the benchmarks move: 16-bit PCM at 44100 frames per second.

#include <cstdint>

#include "wave/WaveApi.h"

inline WAVEFORMATEX pcm16(uint16_t channels) {
  const auto align = static_cast<uint16_t>(channels * 2);
  return WAVEFORMATEX{WAVE_FORMAT_PCM, channels, 44100, align * 44100u, align, 16, 0};
}
