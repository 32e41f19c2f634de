#include "ToneGenerator.h"

#include "ToneSynthesis.h"

namespace osciloskop {

void ToneGenerator::FillBlock(unsigned char* block, int32_t sizeBytes, int32_t blocksFilled,
                              int32_t frameRate) const {
  FillToneBlock(block, sizeBytes, blocksFilled, frameRate, frequency_, amplitude_);
}

}  // namespace osciloskop
