#pragma once

// The sine tone the generator plays, one output block at a time. The phase is a function of
// the absolute sample index counted from the opening of the output stream, so consecutive
// blocks join without a jump for as long as the frequency stays the same.

#include <cstdint>

namespace osciloskop {

// Writes `sampleCount` signed 16-bit little-endian samples to `block`: sample k is
// sin(t * 3.14159 * 2 * frequency) * amplitude with t = (firstSample + k) / frameRate, in
// extended precision, rounded to the nearest integer with halves to even. The index is kept
// in 64 bits so the tone stays continuous however long the stream runs.
void SynthesizeToneBlock(unsigned char* block, int32_t sampleCount, int64_t firstSample,
                         int32_t frameRate, int32_t frequency, int32_t amplitude);

// Fills an output block of `sizeBytes` bytes (Size div 2 samples) that follows
// `blocksFilled` blocks of the same size since the stream opened.
void FillToneBlock(unsigned char* block, int32_t sizeBytes, int32_t blocksFilled, int32_t frameRate,
                   int32_t frequency, int32_t amplitude);

}  // namespace osciloskop
