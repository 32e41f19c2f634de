#include "SignalSource.h"

#include <sndfile.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

namespace {

constexpr double kDefaultAmplitude = 10000.0;
constexpr uint32_t kFileRate = 44100;

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

// One channel of a whole file, kept in memory and looped; other clock rates read the file
// at its own rate (nearest earlier sample).
class FileSource : public SignalSource {
 public:
  FileSource(std::shared_ptr<const std::vector<int16_t>> frames, int channels, int channel)
      : frames_(std::move(frames)), channels_(channels), channel_(channel) {}
  int16_t sample(int64_t frame, uint32_t frameRate, const LineOutputHistory&) override {
    const int64_t length = static_cast<int64_t>(frames_->size()) / channels_;
    const int64_t index = frame * kFileRate / frameRate % length;
    return (*frames_)[static_cast<size_t>(index * channels_ + channel_)];
  }

 private:
  std::shared_ptr<const std::vector<int16_t>> frames_;
  int channels_, channel_;
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

struct FileData {
  std::shared_ptr<const std::vector<int16_t>> frames;
  int channels = 0;
};

std::optional<FileData> readFile(const std::string& path, std::string& reason) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) {
    reason = std::string("cannot read the file (") + sf_strerror(nullptr) + ")";
    return {};
  }
  std::optional<FileData> result;
  if (info.samplerate != static_cast<int>(kFileRate)) {
    reason = "the file has " + std::to_string(info.samplerate) + " Hz, not 44100 Hz";
  } else if (info.channels < 1 || info.channels > 2) {
    reason = "the file has " + std::to_string(info.channels) + " channels, at most 2 are usable";
  } else if (info.frames <= 0) {
    reason = "the file holds no samples";
  } else {
    auto frames = std::make_shared<std::vector<int16_t>>(static_cast<size_t>(info.frames) *
                                                         static_cast<size_t>(info.channels));
    const sf_count_t read = sf_readf_short(file, frames->data(), info.frames);
    if (read <= 0) {
      reason = "cannot read the samples of the file";
    } else {
      frames->resize(static_cast<size_t>(read) * static_cast<size_t>(info.channels));
      result = FileData{std::move(frames), info.channels};
    }
  }
  sf_close(file);
  return result;
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
    if (auto data = readFile(path, reason)) {
      if (channel < data->channels)
        source = std::make_unique<FileSource>(data->frames, data->channels, channel);
      else
        reason = "the file has no channel " + std::to_string(channel);
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
  const auto data = readFile(path, reason);
  if (!data) {
    error = "input file \"" + path + "\": " + reason;
    return false;
  }
  first = std::make_unique<FileSource>(data->frames, data->channels, 0);
  second = std::make_unique<FileSource>(data->frames, data->channels, data->channels - 1);
  return true;
}
