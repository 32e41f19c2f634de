#include "wave/SignalSource.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

#include "file/SoundFileReader.h"

namespace osciloskop {

namespace {

constexpr double kDefaultAmplitude = 10000.0;

int16_t clip(double value) {
  return static_cast<int16_t>(std::clamp(std::lround(value), -32768L, 32767L));
}

enum class Wave { Sine, Square, Triangle };

class PeriodicSource : public SignalSource {
 public:
  PeriodicSource(Wave wave, double frequency, double amplitude, double phaseDeg)
      : wave_(wave), frequency_(frequency), amplitude_(amplitude), phase_(phaseDeg / 360.0) {}

  int16_t sample(int64_t frame, uint32_t frameRate, const LineOutputHistory&) override {
    // Cycles as a fraction of one period; fmod keeps the precision over long runs.
    const double cycles = std::fmod(frequency_ * static_cast<double>(frame) / frameRate, 1.0);
    double position = cycles + phase_;
    position -= std::floor(position);
    double unit = 0;
    switch (wave_) {
      case Wave::Sine:
        unit = std::sin(2 * std::numbers::pi * position);
        break;
      case Wave::Square:
        unit = position < 0.5 ? 1.0 : -1.0;
        break;
      case Wave::Triangle:  // rises through 0 at position 0, like the sine
        unit = position < 0.25   ? 4 * position
               : position < 0.75 ? 2 - 4 * position
                                 : 4 * position - 4;
        break;
    }
    return clip(amplitude_ * unit);
  }

 private:
  Wave wave_;
  double frequency_, amplitude_, phase_;
};

class ConstantSource : public SignalSource {
 public:
  explicit ConstantSource(double value) : value_(clip(value)) {}
  int16_t sample(int64_t, uint32_t, const LineOutputHistory&) override { return value_; }

 private:
  int16_t value_;
};

// Uniform in -amplitude..amplitude; a function of the seed and the frame alone, so a run
// gives the same samples whatever the block sizes.
class NoiseSource : public SignalSource {
 public:
  NoiseSource(double amplitude, uint64_t seed) : amplitude_(amplitude), seed_(seed) {}
  int16_t sample(int64_t frame, uint32_t, const LineOutputHistory&) override {
    uint64_t z = seed_ + 0x9E3779B97F4A7C15ull * static_cast<uint64_t>(frame + 1);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    const double unit = static_cast<double>(z >> 11) / static_cast<double>(1ull << 53);
    return clip(amplitude_ * (2 * unit - 1));
  }

 private:
  double amplitude_;
  uint64_t seed_;
};

class LoopbackSource : public SignalSource {
 public:
  int16_t sample(int64_t frame, uint32_t frameRate, const LineOutputHistory& line) override {
    return line.playedAt(frame, frameRate);
  }
};

// The line output through a first-order RC low-pass: at the corner frequency the phase lags
// by 45 degrees, so a tone and its filtered copy draw an open ellipse.
class RcLoopbackSource : public SignalSource {
 public:
  explicit RcLoopbackSource(double cornerHz) : corner_(cornerHz) {}
  int16_t sample(int64_t frame, uint32_t frameRate, const LineOutputHistory& line) override {
    if (frameRate != rate_) {
      rate_ = frameRate;
      alpha_ = 1 - std::exp(-2 * std::numbers::pi * corner_ / frameRate);
      next_ = frame;
    }
    // Frames skipped since the last call (input stopped) still pass through the filter, so
    // the state is that of a filter that kept running; a long gap starts afresh.
    if (frame < next_ || frame - next_ > static_cast<int64_t>(frameRate)) {
      next_ = frame;
      state_ = line.playedAt(frame, frameRate);
    }
    for (; next_ <= frame; ++next_) state_ += alpha_ * (line.playedAt(next_, frameRate) - state_);
    return clip(state_);
  }

 private:
  double corner_;
  uint32_t rate_ = 0;
  double alpha_ = 0;
  double state_ = 0;
  int64_t next_ = 0;
};

// A sound file looped on the card's clock: the frame at 44100-Hz time t is frame t mod L of
// the file as the reader gives it (L frames long), so a run hears the same whatever the
// block sizes. The file is read a piece at a time as the frames are asked for; both
// channels of one file share the stream.
class FileStream {
 public:
  FileStream(std::unique_ptr<SoundFileReader> reader, std::string path)
      : reader_(std::move(reader)), path_(std::move(path)), piece_(2 * kPieceFrames) {}

  // The stereo frame at time `frame`; silence once the file has failed.
  const int16_t* frameAt(int64_t frame) {
    static constexpr int16_t kSilence[2] = {0, 0};
    if (!failure_.empty()) return kSilence;
    int64_t pass = length_ > 0 ? frame / length_ : 0;
    int64_t offset = length_ > 0 ? frame % length_ : frame;
    for (;;) {
      // Another pass, or an earlier frame than the piece holds: read again from the start.
      if (pass != pass_ || offset < pieceStart_) {
        if (!reader_->rewind()) break;
        pass_ = pass;
        pieceStart_ = 0;
        pieceFrames_ = 0;
      }
      if (offset < pieceStart_ + pieceFrames_) return piece_.data() + 2 * (offset - pieceStart_);
      pieceStart_ += pieceFrames_;
      pieceFrames_ = static_cast<int64_t>(reader_->read(piece_.data(), kPieceFrames));
      if (!reader_->error().empty()) break;
      if (pieceFrames_ == 0) {
        // The end of a pass: the length is known from now on.
        length_ = pieceStart_;
        if (length_ == 0) break;  // too short to give a frame at 44100 Hz
        pass = frame / length_;
        offset = frame % length_;
        pass_ = -1;
      }
    }
    const std::string& error = reader_->error();
    failure_ = '"' + path_ + "\": " + (error.empty() ? "the file gives no frames" : error);
    return kSilence;
  }

  std::string note() const {
    const std::string note = reader_->unusedChannelsNote();
    return note.empty() ? note : '"' + path_ + "\": " + note;
  }
  const std::string& failure() const { return failure_; }

 private:
  static constexpr size_t kPieceFrames = 4096;
  std::unique_ptr<SoundFileReader> reader_;
  const std::string path_;
  std::vector<int16_t> piece_;  // stereo frames pieceStart_ ... of the current pass
  int64_t pieceStart_ = 0;
  int64_t pieceFrames_ = 0;
  int64_t pass_ = 0;
  int64_t length_ = 0;  // frames of one pass; 0 until the first pass has ended
  std::string failure_;
};

// One channel (0 or 1) of a file stream.
class FileSource : public SignalSource {
 public:
  FileSource(std::shared_ptr<FileStream> stream, int channel)
      : stream_(std::move(stream)), channel_(channel) {}
  int16_t sample(int64_t frame, uint32_t frameRate, const LineOutputHistory&) override {
    return stream_->frameAt(frame * SoundFileReader::kRate / frameRate)[channel_];
  }
  std::string note() const override { return stream_->note(); }
  std::string failure() const override { return stream_->failure(); }

 private:
  std::shared_ptr<FileStream> stream_;
  int channel_;
};

std::vector<std::string> splitFields(const std::string& text) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t colon; (colon = text.find(':', start)) != std::string::npos; start = colon + 1)
    fields.push_back(text.substr(start, colon - start));
  fields.push_back(text.substr(start));
  return fields;
}

std::optional<double> parseNumber(const std::string& field) {
  double value = 0;
  const char* end = field.data() + field.size();
  const auto [ptr, ec] = std::from_chars(field.data(), end, value);
  if (field.empty() || ec != std::errc() || ptr != end || !std::isfinite(value)) return {};
  return value;
}

std::optional<uint64_t> parseUnsigned(const std::string& field) {
  uint64_t value = 0;
  const char* end = field.data() + field.size();
  const auto [ptr, ec] = std::from_chars(field.data(), end, value);
  if (field.empty() || ec != std::errc() || ptr != end) return {};
  return value;
}

// The stream of a file, or null with a one-line `reason`.
std::shared_ptr<FileStream> openFileStream(const std::string& path, std::string& reason) {
  auto reader = SoundFileReader::open(path, &reason);
  return reader ? std::make_shared<FileStream>(std::move(reader), path) : nullptr;
}

std::unique_ptr<SignalSource> parseFields(const std::vector<std::string>& fields,
                                          std::string& reason) {
  const std::string& kind = fields[0];
  const size_t count = fields.size() - 1;
  // Whether the fields after the kind are between `fewest` and `most`; `first` names the
  // first one for the message when it is missing.
  auto fieldsFit = [&](size_t fewest, size_t most, const char* first) {
    if (count < fewest) reason = kind + " needs " + first;
    if (count > most) reason = "too many fields for " + kind;
    return count >= fewest && count <= most;
  };
  auto number = [&](size_t index, double fallback) -> std::optional<double> {
    if (index > count) return fallback;
    auto value = parseNumber(fields[index]);
    if (!value) reason = "bad number \"" + fields[index] + "\"";
    return value;
  };

  if (kind == "sine" || kind == "square" || kind == "triangle") {
    if (!fieldsFit(1, 3, "a frequency")) return nullptr;
    const auto frequency = number(1, 0);
    const auto amplitude = number(2, kDefaultAmplitude);
    const auto phase = number(3, 0);
    if (!frequency || !amplitude || !phase) return nullptr;
    if (*frequency < 0) {
      reason = "negative frequency";
      return nullptr;
    }
    const Wave wave = kind == "sine"     ? Wave::Sine
                      : kind == "square" ? Wave::Square
                                         : Wave::Triangle;
    return std::make_unique<PeriodicSource>(wave, *frequency, *amplitude, *phase);
  }
  if (kind == "dc") {
    if (!fieldsFit(1, 1, "a value")) return nullptr;
    const auto value = number(1, 0);
    return value ? std::make_unique<ConstantSource>(*value) : nullptr;
  }
  if (kind == "silence") {
    if (!fieldsFit(0, 0, "")) return nullptr;
    return std::make_unique<ConstantSource>(0);
  }
  if (kind == "noise") {
    if (!fieldsFit(1, 2, "an amplitude")) return nullptr;
    const auto amplitude = number(1, 0);
    if (!amplitude) return nullptr;
    uint64_t seed = 1;
    if (count == 2) {
      const auto parsed = parseUnsigned(fields[2]);
      if (!parsed) {
        reason = "bad seed \"" + fields[2] + "\"";
        return nullptr;
      }
      seed = *parsed;
    }
    return std::make_unique<NoiseSource>(*amplitude, seed);
  }
  if (kind == "loopback") {
    if (!fieldsFit(0, 0, "")) return nullptr;
    return std::make_unique<LoopbackSource>();
  }
  if (kind == "loopback-rc") {
    if (!fieldsFit(1, 1, "a corner frequency")) return nullptr;
    const auto corner = number(1, 0);
    if (!corner) return nullptr;
    if (*corner <= 0) {
      reason = "the corner frequency must be above 0 Hz";
      return nullptr;
    }
    return std::make_unique<RcLoopbackSource>(*corner);
  }
  reason = "unknown kind \"" + kind + "\"";
  return nullptr;
}

}  // namespace

std::unique_ptr<SignalSource> parseSignalSource(const std::string& text, std::string& error) {
  std::string reason;
  std::unique_ptr<SignalSource> source;
  if (text.rfind("file:", 0) == 0) {
    // The path may hold colons; a last field of digits is the channel.
    std::string path = text.substr(5);
    int channel = 0;
    const size_t colon = path.rfind(':');
    if (colon != std::string::npos) {
      if (const auto parsed = parseUnsigned(path.substr(colon + 1)); parsed && *parsed < 1000) {
        channel = static_cast<int>(*parsed);
        path.resize(colon);
      }
    }
    if (channel > 1) {
      reason = "no channel " + std::to_string(channel) + " to read: only channels 0 and 1 are";
    } else if (auto stream = openFileStream(path, reason)) {
      source = std::make_unique<FileSource>(std::move(stream), channel);
    }
  } else {
    source = parseFields(splitFields(text), reason);
  }
  if (!source) error = "signal source \"" + text + "\": " + reason;
  return source;
}

bool loadFileSources(const std::string& path, std::unique_ptr<SignalSource>& first,
                     std::unique_ptr<SignalSource>& second, std::string& error) {
  std::string reason;
  auto stream = openFileStream(path, reason);
  if (!stream) {
    error = '"' + path + "\": " + reason;
    return false;
  }
  first = std::make_unique<FileSource>(stream, 0);
  second = std::make_unique<FileSource>(std::move(stream), 1);
  return true;
}

}  // namespace osciloskop
