#pragma once

// The texts of the level and frequency readouts and of the peak diagnostic. They are
// formatted into a fixed buffer, so a frame formats its readouts without allocating.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <string_view>

namespace osciloskop {

class ReadoutText {
 public:
  static constexpr int kCapacity = 32;

  std::string_view view() const { return {chars.data(), length}; }
  // Appends printf-formatted text, cut at the capacity.
  template <typename... Args>
  void Append(const char* format, Args... args) {
    const int room = kCapacity - static_cast<int>(length);
    const int written = std::snprintf(chars.data() + length, room + 1, format, args...);
    if (written > 0) length += static_cast<std::size_t>(std::min(written, room));
  }

 private:
  std::array<char, kCapacity + 1> chars{};
  std::size_t length = 0;
};

// Level readout of an RMS value in millivolts: " 5.3 mV", " 150 mV", "1.23 V".
ReadoutText LevelText(double millivolts);

// Frequency readouts in hertz: up to 100 Hz "    50 Hz"; above, "  920 Hz"; above the
// displayable limit "  f > fmax".
ReadoutText LowFrequencyText(double hertz);
ReadoutText FrequencyText(int64_t shownHertz);
ReadoutText FrequencyAboveLimitText();

// The off-screen diagnostic of both peaks, "rmaxl =<UL peak>rmaxr =<UR peak>".
ReadoutText PeakDiagnosticText(uint16_t ulPeak, uint16_t urPeak);

}  // namespace osciloskop
