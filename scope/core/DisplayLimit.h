#pragma once

// The highest frequency the trace can show properly. Above it the frequency readouts say
// "f > fmax" instead of a value, and the generator strip warns of its tone (Panel14).

#include <cstdint>

namespace osciloskop {

inline constexpr int32_t kDisplayLimitHz = 2500;

constexpr bool ExceedsDisplayLimit(double frequency) {
  return frequency > kDisplayLimitHz;
}

}  // namespace osciloskop
