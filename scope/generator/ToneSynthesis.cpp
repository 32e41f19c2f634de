#include "ToneSynthesis.h"

#include <cmath>

#include "Rounding.h"

namespace osciloskop {

namespace {

int16_t ToneSample(int64_t sampleIndex, int32_t frameRate, int32_t frequency, int32_t amplitude) {
  // The steps in this order and in long double: the rounding of each product is part of
  // the tone the program has always played (3.14159 rather than pi included).
  const long double t = static_cast<long double>(sampleIndex) / frameRate;
  const long double x = t * 3.14159L * 2 * frequency;
  // |value| <= amplitude <= 32767, so the narrowing keeps it.
  return static_cast<int16_t>(static_cast<int32_t>(RoundHalfEven(std::sin(x) * amplitude)));
}

}  // namespace

void SynthesizeToneBlock(unsigned char* block, int32_t sampleCount, int64_t firstSample,
                         int32_t frameRate, int32_t frequency, int32_t amplitude) {
  for (int32_t k = 0; k < sampleCount; ++k) {
    const auto value =
        static_cast<uint16_t>(ToneSample(firstSample + k, frameRate, frequency, amplitude));
    block[2 * k] = static_cast<unsigned char>(value & 0xFF);
    block[2 * k + 1] = static_cast<unsigned char>(value >> 8);
  }
}

void FillToneBlock(unsigned char* block, int32_t sizeBytes, int32_t blocksFilled, int32_t frameRate,
                   int32_t frequency, int32_t amplitude) {
  const int32_t sampleCount = sizeBytes / 2;
  // In 64 bits: the 32-bit product overflows after 195226 blocks of 11000 samples, about
  // 13.5 hours of playing, and the tone would jump there.
  const int64_t firstSample = int64_t{sampleCount} * blocksFilled;
  SynthesizeToneBlock(block, sampleCount, firstSample, frameRate, frequency, amplitude);
}

}  // namespace osciloskop
