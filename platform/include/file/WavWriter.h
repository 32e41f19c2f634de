#pragma once

// A 16-bit stereo WAV file at the capture's 44100 frames per second, written a block at a
// time through libsndfile onto a descriptor the caller owns. The header is brought up to
// date when the file is started and after every write, so the file is a whole, readable
// recording at every moment, even when the process is killed. The reader of such files is
// SoundFileReader, beside this.

#include <cstdint>
#include <memory>
#include <span>
#include <string>

typedef struct sf_private_tag SNDFILE;  // libsndfile's handle, as <sndfile.h> declares it

namespace osciloskop {

class WavWriter {
 public:
  static constexpr int kRate = 44100;
  static constexpr int kChannels = 2;

  // Starts the file on `descriptor` (open for writing, left open); null, with *error set to
  // libsndfile's text, when it cannot.
  static std::unique_ptr<WavWriter> start(int descriptor, std::string* error);
  ~WavWriter();
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // Appends the stereo frames of `interleaved`; false, with *error set, when they could not
  // all be written.
  bool write(std::span<const int16_t> interleaved, std::string* error);

 private:
  explicit WavWriter(SNDFILE* sound) : sound_(sound) {}
  SNDFILE* const sound_;
};

}  // namespace osciloskop
