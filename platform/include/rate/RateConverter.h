#pragma once

// Converts interleaved audio from one frame rate to another as a stream: what goes in at
// the input rate comes out at the output rate, with the same pitch and level, however the
// stream is cut into calls. libsoxr does the filtering (high quality, linear phase, no
// dither, so that equal input always gives equal output).
//
// The output is 16-bit; the input 16-bit or float (full scale 1.0, as libsndfile reads
// it). Values beyond 16 bits are clipped and counted. Allocates at construction only.

#include <cstddef>
#include <cstdint>
#include <string>

struct soxr;

namespace osciloskop {

class RateConverter {
 public:
  enum class Input { Int16, Float };

  // *error is set (and valid() false) when libsoxr refuses the rates or the channel count.
  RateConverter(double inputRate, double outputRate, unsigned channels, Input input,
                std::string* error);
  ~RateConverter();
  RateConverter(const RateConverter&) = delete;
  RateConverter& operator=(const RateConverter&) = delete;

  bool valid() const { return resampler_ != nullptr; }
  double inputRate() const { return inputRate_; }
  double outputRate() const { return outputRate_; }
  unsigned channels() const { return channels_; }

  struct Moved {
    size_t inputFrames;   // taken from `input`
    size_t outputFrames;  // written to `output`
  };
  // Takes up to `inputFrames` frames and writes up to `outputFrames`. The filter holds
  // back a few milliseconds, so output lags input; input null flushes what is held back
  // (the end of the stream).
  Moved process(const void* input, size_t inputFrames, int16_t* output, size_t outputFrames);

  // Output frames that `inputFrames` input frames make, rounded up (room for one call).
  size_t outputFramesFor(size_t inputFrames) const;
  // Output frames the filter holds back at the moment.
  double delayFrames() const;

  // Output values clipped to the 16-bit range since construction or clear().
  size_t clippedValues() const;
  // Forgets the stream so far (a new stream starts, as after construction).
  void clear();

 private:
  soxr* resampler_ = nullptr;
  double inputRate_;
  double outputRate_;
  unsigned channels_;
};

}  // namespace osciloskop
