#pragma once

// The tone generator: its frequency and amplitude, and the output blocks it fills. The
// phase of each block follows from the number of blocks the output stream has filled since
// it opened, so that a reopened stream plays the tone from its first sample again.

#include <cstdint>
#include <optional>

#include "GeneratorSlider.h"

namespace osciloskop {

class ToneGenerator {
 public:
  int32_t Frequency() const { return frequency_; }
  int32_t Amplitude() const { return amplitude_; }
  void SetFrequency(int32_t hertz) { frequency_ = hertz; }
  void SetAmplitude(int32_t counts) { amplitude_ = counts; }
  // The frequency slider has moved to `position`: the generator takes the frequency it
  // means, and the setting (readout text, slider steps) comes back for the slider's view.
  // A position with no meaning changes nothing and gives no setting.
  std::optional<GeneratorFrequencySetting> FrequencySliderMoved(int32_t position);

  // Fills an output block of `sizeBytes` bytes that follows `blocksFilled` blocks of the
  // same size since the stream opened, at `frameRate` samples per second.
  void FillBlock(unsigned char* block, int32_t sizeBytes, int32_t blocksFilled,
                 int32_t frameRate) const;

 private:
  // Zero until the start-up sets the sliders.
  int32_t frequency_ = 0;
  int32_t amplitude_ = 0;
};

}  // namespace osciloskop
