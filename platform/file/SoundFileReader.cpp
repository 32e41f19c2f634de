#include "file/SoundFileReader.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "rate/RateConverter.h"

namespace osciloskop {

namespace {

constexpr size_t kPieceFrames = 4096;  // file frames read at a time

// A float sample (full scale 1.0) as a 16-bit value, rounded to the nearest; beyond the
// range (or not a number) it is clipped and counted.
int16_t toInt16(float value, size_t& clipped) {
  const double scaled = std::nearbyint(static_cast<double>(value) * 32768.0);
  if (scaled >= -32768.0 && scaled <= 32767.0) return static_cast<int16_t>(scaled);
  ++clipped;
  return scaled > 0 ? 32767 : scaled < 0 ? -32768 : 0;
}

// libsndfile takes a header that claims more sample data than the file holds for a damaged
// header: it reads what is there and says so only in its log, as "data : 7056000 (should be
// 44100)" (WAV) or "SSND : ..." (AIFF). That line, or empty. A size of 0xFFFFFFFF is what a
// recorder writes while it does not know the length yet, and claims nothing.
std::string missingDataLine(SNDFILE* file) {
  std::string log(16384, '\0');
  sf_command(file, SFC_GET_LOG_INFO, log.data(), static_cast<int>(log.size()));
  std::istringstream lines(log.c_str());
  for (std::string line; std::getline(lines, line);) {
    char chunk[8] = {};
    unsigned long long claimed = 0;
    unsigned long long present = 0;
    if (std::sscanf(line.c_str(), "%7s : %llu (should be %llu)", chunk, &claimed, &present) != 3)
      continue;
    const bool sampleData = std::strcmp(chunk, "data") == 0 || std::strcmp(chunk, "SSND") == 0;
    if (sampleData && claimed > present && claimed != 0xFFFFFFFFull) return line;
  }
  return {};
}

std::string position(int64_t frame, int rate) {
  char text[80];
  std::snprintf(text, sizeof text, "frame %lld (%.3f s)", static_cast<long long>(frame),
                static_cast<double>(frame) / rate);
  return text;
}

}  // namespace

void SoundFileReader::FileCloser::operator()(SNDFILE* file) const {
  sf_close(file);
}

std::unique_ptr<SoundFileReader> SoundFileReader::open(const std::string& path,
                                                       std::string* error) {
  // A named pipe or a device would block the open until someone writes to it, and a
  // recording is read by seeking (to loop it, to know its length): only files will do.
  struct stat status {};
  if (stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
    *error = S_ISFIFO(status.st_mode) ? "not a regular file but a named pipe (FIFO)"
                                      : "not a regular file";
    return nullptr;
  }
  SF_INFO info{};
  std::unique_ptr<SNDFILE, FileCloser> file(sf_open(path.c_str(), SFM_READ, &info));
  if (!file) {
    *error = std::string("cannot read the file (") + sf_strerror(nullptr) + ")";
    return nullptr;
  }
  if (info.frames <= 0) {
    *error = "the file holds no frames";
    return nullptr;
  }
  if (const std::string line = missingDataLine(file.get()); !line.empty()) {
    *error = "the file ends at " + position(info.frames, info.samplerate) +
             ", before the end its header claims (libsndfile: " + line + ")";
    return nullptr;
  }
  const bool estimatedLength = (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG;
  std::unique_ptr<SoundFileReader> reader(new SoundFileReader(
      file.release(), info.channels, info.samplerate, estimatedLength ? 0 : info.frames));
  if (info.samplerate != kRate) {
    reader->converter_ = std::make_unique<RateConverter>(info.samplerate, kRate, 2,
                                                         RateConverter::Input::Float, error);
    if (!reader->converter_->valid()) return nullptr;
  }
  return reader;
}

SoundFileReader::SoundFileReader(SNDFILE* file, int channels, int rate, int64_t frames)
    : file_(file),
      channels_(channels),
      rate_(rate),
      frames_(frames),
      // A stereo file is read straight into stereo_.
      fileFrames_(channels == 2 ? 0 : kPieceFrames * static_cast<size_t>(channels)),
      stereo_(2 * kPieceFrames) {}

SoundFileReader::~SoundFileReader() = default;

int SoundFileReader::channels() const {
  return channels_;
}

int SoundFileReader::fileRate() const {
  return rate_;
}

std::string SoundFileReader::unusedChannelsNote() const {
  if (channels_ <= 2) return {};
  return std::to_string(channels_) + " channels: the first two are used";
}

size_t SoundFileReader::clippedValues() const {
  return clipped_ + (converter_ ? converter_->clippedValues() : 0);
}

void SoundFileReader::refill() {
  stereoFrames_ = 0;
  stereoTaken_ = 0;
  const bool stereo = channels_ == 2;
  const sf_count_t read =
      sf_readf_float(file_.get(), stereo ? stereo_.data() : fileFrames_.data(), kPieceFrames);
  if (read < static_cast<sf_count_t>(kPieceFrames) && sf_error(file_.get()) != SF_ERR_NO_ERROR) {
    error_ = "read error at " + position(position_ + std::max<sf_count_t>(read, 0), rate_) + ": " +
             sf_strerror(file_.get());
    return;
  }
  if (read <= 0) {
    ended_ = true;
    if (position_ < frames_) {
      error_ = "the file ends at " + position(position_, rate_) + ", before its " +
               std::to_string(frames_) + " frames";
    }
    return;
  }
  const size_t frames = static_cast<size_t>(read);
  if (!stereo) {
    const size_t second = channels_ > 1 ? 1 : 0;
    for (size_t frame = 0; frame < frames; ++frame) {
      const float* values = fileFrames_.data() + frame * static_cast<size_t>(channels_);
      stereo_[2 * frame] = values[0];
      stereo_[2 * frame + 1] = values[second];
    }
  }
  stereoFrames_ = frames;
  position_ += read;
}

size_t SoundFileReader::read(int16_t* out, size_t frames) {
  size_t done = 0;
  while (done < frames && error_.empty()) {
    if (stereoTaken_ == stereoFrames_ && !ended_) refill();
    if (!error_.empty()) break;
    const size_t available = stereoFrames_ - stereoTaken_;
    const float* input = stereo_.data() + 2 * stereoTaken_;
    size_t taken = 0;
    size_t written = 0;
    if (converter_) {
      // No input left: the converter gives what it still holds back.
      const auto moved = converter_->process(available > 0 ? input : nullptr, available,
                                             out + 2 * done, frames - done);
      taken = moved.inputFrames;
      written = moved.outputFrames;
    } else {
      taken = written = std::min(available, frames - done);
      for (size_t i = 0; i < 2 * written; ++i) out[2 * done + i] = toInt16(input[i], clipped_);
    }
    stereoTaken_ += taken;
    done += written;
    if (ended_ && available == 0 && written == 0) break;
  }
  return done;
}

bool SoundFileReader::rewind() {
  if (!error_.empty()) return false;
  if (sf_seek(file_.get(), 0, SEEK_SET) != 0) {
    error_ =
        std::string("cannot go back to the start of the file (") + sf_strerror(file_.get()) + ")";
    return false;
  }
  if (converter_) {
    clipped_ += converter_->clippedValues();  // clear() starts the converter's count afresh
    converter_->clear();
  }
  stereoFrames_ = 0;
  stereoTaken_ = 0;
  position_ = 0;
  ended_ = false;
  return true;
}

}  // namespace osciloskop
