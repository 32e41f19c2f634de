#include "GeneratorSlider.h"

#include "Rounding.h"

namespace osciloskop {

namespace {

// numerator / denominator to the nearest integer, an exact half to the even neighbour
// (exact through the double quotient for the slider's positions).
int32_t DivideRoundingHalfToEven(int32_t numerator, int32_t denominator) {
  return static_cast<int32_t>(RoundHalfEven(static_cast<double>(numerator) / denominator));
}

}  // namespace

std::string FormatHertz(int32_t frequency) {
  return " " + std::to_string(frequency) + " Hz";
}

std::optional<GeneratorFrequencySetting> FrequencyForSliderPosition(int32_t position) {
  if (position < 100) return GeneratorFrequencySetting{position, FormatHertz(position), 10, 1};
  if (position < 1000) return GeneratorFrequencySetting{position, FormatHertz(position), 100, 1};
  if (position > 20000) return std::nullopt;

  const int32_t frequency = 100 * DivideRoundingHalfToEven(position, 100);
  // The readout is position / 10 rounded, in hundredths of kHz, written with one decimal;
  // the decimal is rounded from the exact hundredths so that a half goes to even as well.
  const int32_t hundredths = DivideRoundingHalfToEven(position, 10);
  const int32_t tenths = DivideRoundingHalfToEven(hundredths, 10);
  std::string text = " " + std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " kHz";
  return GeneratorFrequencySetting{frequency, std::move(text), 1000, 100};
}

}  // namespace osciloskop
