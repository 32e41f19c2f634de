#include "rate/RateConverter.h"

#include <soxr.h>

#include <cmath>

namespace osciloskop {

RateConverter::RateConverter(double inputRate, double outputRate, unsigned channels, Input input,
                             std::string* error)
    : inputRate_(inputRate), outputRate_(outputRate), channels_(channels) {
  const soxr_io_spec_t io =
      soxr_io_spec(input == Input::Int16 ? SOXR_INT16_I : SOXR_FLOAT32_I, SOXR_INT16_I);
  // Dither would make two runs over the same input differ; the 16-bit output of a 16-bit
  // or float input loses nothing audible without it.
  soxr_io_spec_t formats = io;
  formats.flags |= SOXR_NO_DITHER;
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
  const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
  soxr_error_t failure = nullptr;
  resampler_ = soxr_create(inputRate, outputRate, channels, &failure, &formats, &quality, &runtime);
  if (failure != nullptr) {
    if (resampler_ != nullptr) soxr_delete(resampler_);
    resampler_ = nullptr;
    if (error) *error = std::string("rate conversion: ") + failure;
  }
}

RateConverter::~RateConverter() {
  if (resampler_ != nullptr) soxr_delete(resampler_);
}

RateConverter::Moved RateConverter::process(const void* input, size_t inputFrames, int16_t* output,
                                            size_t outputFrames) {
  size_t taken = 0;
  size_t written = 0;
  if (resampler_ == nullptr) return {0, 0};
  soxr_process(resampler_, input, input != nullptr ? inputFrames : 0, &taken, output, outputFrames,
               &written);
  return {taken, written};
}

size_t RateConverter::outputFramesFor(size_t inputFrames) const {
  return static_cast<size_t>(
      std::ceil(static_cast<double>(inputFrames) * outputRate_ / inputRate_));
}

double RateConverter::delayFrames() const {
  return resampler_ != nullptr ? soxr_delay(resampler_) : 0;
}

size_t RateConverter::clippedValues() const {
  return resampler_ != nullptr ? *soxr_num_clips(resampler_) : 0;
}

void RateConverter::clear() {
  if (resampler_ != nullptr) soxr_clear(resampler_);
}

}  // namespace osciloskop
