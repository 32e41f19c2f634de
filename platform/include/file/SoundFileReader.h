#pragma once

// A sound file of any format libsndfile reads, delivered as 16-bit stereo frames at 44100
// frames per second, a bounded piece at a time: memory stays the same whatever the file's
// length.
//
// Samples are read as floats (full scale 1.0) and scaled to the 16-bit range, values beyond
// it clipped and counted, so that float and double files read like integer ones; 8-bit and
// 16-bit files come out exactly as stored. A file at another rate goes through the
// RateConverter. A mono file gives both channels the same values; of a file with more than
// two channels the first two are used.
//
// The texts of open() and error() name the problem, not the file: the caller knows which
// option gave the path and says so.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

typedef struct sf_private_tag SNDFILE;  // libsndfile's handle, as <sndfile.h> declares it

namespace osciloskop {

class RateConverter;

class SoundFileReader {
 public:
  static constexpr int kRate = 44100;

  // Null, with *error set to one line, when libsndfile cannot open the file, the file holds
  // no frames, or it is shorter than its header claims.
  static std::unique_ptr<SoundFileReader> open(const std::string& path, std::string* error);
  ~SoundFileReader();
  SoundFileReader(const SoundFileReader&) = delete;
  SoundFileReader& operator=(const SoundFileReader&) = delete;

  // Writes up to `frames` stereo frames to `out` (the first channel's value first) and
  // returns how many. Fewer only at the end of the file or after a read error, which
  // error() then describes; a failed reader reads nothing more.
  size_t read(int16_t* out, size_t frames);
  // Starts again at the first frame: the frames that follow are the same as the first time.
  // False, with error() set, when the file cannot be read from its start again.
  bool rewind();

  // The file's own channel count and frame rate.
  int channels() const;
  int fileRate() const;
  // A note for the user when the file has channels that are not used, else empty.
  std::string unusedChannelsNote() const;
  // Empty, or why reading stopped: the position in the file and libsndfile's text.
  const std::string& error() const { return error_; }
  // Values beyond the 16-bit range, clipped, since the file was opened.
  size_t clippedValues() const;

 private:
  struct FileCloser {
    void operator()(SNDFILE* file) const;
  };
  SoundFileReader(SNDFILE* file, int channels, int rate, int64_t frames);
  // Reads the next piece of the file into stereo_, or marks the end or an error.
  void refill();

  std::unique_ptr<SNDFILE, FileCloser> file_;
  const int channels_;
  const int rate_;
  // The file's length in its own frames, as its header gives it; 0 where that is only an
  // estimate (MPEG), so that the stream may end a little before it.
  const int64_t frames_;
  std::vector<float> fileFrames_;  // one piece of the file, all its channels (none if stereo)
  std::vector<float> stereo_;      // the piece's first two channels (mono: the one twice)
  size_t stereoFrames_ = 0;        // frames in stereo_
  size_t stereoTaken_ = 0;         // of those, frames already delivered or converted
  int64_t position_ = 0;           // file frames read so far
  bool ended_ = false;             // the file has no more frames
  std::unique_ptr<RateConverter> converter_;  // null for a file at 44100 Hz
  size_t clipped_ = 0;
  std::string error_;
};

}  // namespace osciloskop
