#pragma once

// One sample of a PCM block as a signed 16-bit value: 16-bit samples are signed little-endian,
// 8-bit ones unsigned and centred on 128.

#include <cstdint>
#include <cstring>

namespace osciloskop {

inline int16_t readPcmSample(const char* data, uint16_t bits) {
  if (bits == 8) return static_cast<int16_t>((static_cast<uint8_t>(*data) - 128) * 256);
  int16_t value;
  std::memcpy(&value, data, sizeof value);
  return value;
}

inline void writePcmSample(char* data, uint16_t bits, int16_t value) {
  if (bits == 8)
    *data = static_cast<char>(static_cast<uint8_t>((value >> 8) + 128));
  else
    std::memcpy(data, &value, sizeof value);
}

}  // namespace osciloskop
