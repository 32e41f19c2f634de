#include "ToneGenerator.h"

#include "ToneSynthesis.h"

namespace osciloskop {

std::optional<GeneratorFrequencySetting> ToneGenerator::FrequencySliderMoved(int32_t position) {
  std::optional<GeneratorFrequencySetting> setting = FrequencyForSliderPosition(position);
  if (setting) frequency_ = setting->frequency;
  return setting;
}

void ToneGenerator::FillBlock(unsigned char* block, int32_t sizeBytes, int32_t blocksFilled,
                              int32_t frameRate) const {
  FillToneBlock(block, sizeBytes, blocksFilled, frameRate, frequency_, amplitude_);
}

}  // namespace osciloskop
