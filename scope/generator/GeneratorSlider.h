#pragma once

// What the generator's frequency slider and its band list mean, free of the window: the
// frequency, the readout text and the slider's steps for a slider position, and the order
// in which each band sets the slider's range.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "DisplayLimit.h"  // the window warns of a tone above the display limit

namespace osciloskop {

// The sliders' ranges as the window starts: frequency 100..1000 (the band list's second
// band, in hertz), amplitude 0..32767 (counts of the 16-bit output).
inline constexpr int32_t kStartFrequencyMin = 100;
inline constexpr int32_t kStartFrequencyMax = 1000;
inline constexpr int32_t kAmplitudeMin = 0;
inline constexpr int32_t kAmplitudeMax = 32767;
// The sliders' positions at start: a 100 Hz tone of 10000 counts.
inline constexpr int32_t kStartFrequencyPosition = 100;
inline constexpr int32_t kStartAmplitude = 10000;

struct GeneratorFrequencySetting {
  int32_t frequency;    // Hz
  std::string text;     // the readout next to the slider, e.g. " 999 Hz", " 1.0 kHz"
  int32_t largeChange;  // the slider's steps at this position
  int32_t smallChange;
};

// The readout of a frequency below 1 kHz: " 100 Hz".
std::string FormatHertz(int32_t frequency);

// The setting for a slider position: below 100 in 1 Hz steps, below 1000 in 1 Hz steps with
// a large step of 100, from 1000 to 20000 in 100 Hz steps shown in kHz with one decimal
// (every rounding to the nearest with halves to even). Above 20000 the slider has no
// meaning and nothing changes: no value.
std::optional<GeneratorFrequencySetting> FrequencyForSliderPosition(int32_t position);

// One assignment to the slider's range or position.
struct SliderStep {
  enum Property { Min, Max, Position } property;
  int32_t value;
};

// The frequency bands of the band list, by item index. Each sets Min and Max in an order
// that never puts Max below Min on the way from any other band (and from the start-up
// range 100..1000), then the position.
inline constexpr int kFrequencyBandCount = 4;
inline constexpr std::array<std::array<SliderStep, 3>, kFrequencyBandCount> kFrequencyBandSteps = {{
    {{{SliderStep::Min, 20}, {SliderStep::Max, 100}, {SliderStep::Position, 50}}},
    {{{SliderStep::Min, 100}, {SliderStep::Max, 1000}, {SliderStep::Position, 1000}}},
    {{{SliderStep::Max, 20000}, {SliderStep::Min, 1000}, {SliderStep::Position, 4000}}},
    {{{SliderStep::Min, 10}, {SliderStep::Max, 20000}, {SliderStep::Position, 100}}},
}};

}  // namespace osciloskop
