#pragma once

// Sound files for the tests of the sound-file reader and of the program that reads them:
// one tone written in every format, sample type, rate and channel count the tests cover,
// by libsndfile itself, and files damaged in the ways recorders and copies damage them.

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

// The tone at `rate`: UR 100 Hz of 10000 counts (the generator's start-up tone), UL 1000 Hz
// of 5000, and a third channel, when asked for, of 333 Hz at 20000 that must not be heard.
inline std::vector<int16_t> toneFrames(int rate, int channels, int frames) {
  constexpr double kHertz[] = {100, 1000, 333};
  constexpr double kAmplitude[] = {10000, 5000, 20000};
  std::vector<int16_t> values;
  for (int n = 0; n < frames; ++n) {
    for (int c = 0; c < channels; ++c) {
      values.push_back(static_cast<int16_t>(
          std::lround(kAmplitude[c] * std::sin(2 * std::numbers::pi * kHertz[c] * n / rate))));
    }
  }
  return values;
}

// One format of the table: how the tone is written and what reading it gives back.
struct SoundFileCase {
  const char* name;
  int format;                             // libsndfile's container and sample type
  int rate;                               // of the file
  int channels;                           // of the file
  enum Written { Int16, Float } written;  // integer files from the 16-bit values, others in floats
  enum Expect {
    Exact,
    EightBit,
    Near
  } expect;  // the values read back: as written (8-bit:
             // to the 256 steps it holds), or close
};

inline const std::vector<SoundFileCase>& soundFileCases() {
  static const std::vector<SoundFileCase> cases = {
      {"16-bit.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, SoundFileCase::Int16,
       SoundFileCase::Exact},
      {"8-bit.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 44100, 2, SoundFileCase::Int16,
       SoundFileCase::EightBit},
      {"24-bit.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 44100, 2, SoundFileCase::Int16,
       SoundFileCase::Exact},
      {"32-bit.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 44100, 2, SoundFileCase::Int16,
       SoundFileCase::Exact},
      {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 2, SoundFileCase::Float,
       SoundFileCase::Exact},
      {"double.wav", SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 44100, 2, SoundFileCase::Float,
       SoundFileCase::Exact},
      {"mono.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, SoundFileCase::Int16,
       SoundFileCase::Exact},
      {"3-channels.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 3, SoundFileCase::Int16,
       SoundFileCase::Exact},
      {"8000.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 2, SoundFileCase::Int16,
       SoundFileCase::Near},
      {"22050.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 22050, 2, SoundFileCase::Int16,
       SoundFileCase::Near},
      {"48000-float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2, SoundFileCase::Float,
       SoundFileCase::Near},
      {"96000.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 96000, 2, SoundFileCase::Int16,
       SoundFileCase::Near},
      {"16-bit.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2, SoundFileCase::Int16,
       SoundFileCase::Exact},
      {"vorbis.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 2, SoundFileCase::Float,
       SoundFileCase::Near},
      {"16-bit.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 44100, 2, SoundFileCase::Int16,
       SoundFileCase::Exact},
  };
  return cases;
}

inline const SoundFileCase& soundFileCase(const std::string& name) {
  for (const SoundFileCase& c : soundFileCases()) {
    if (name == c.name) return c;
  }
  throw std::invalid_argument(name);
}

// Writes `seconds` of the tone in the case's format to `path`.
inline void writeToneFile(const std::string& path, const SoundFileCase& c, double seconds) {
  SF_INFO info{0, c.rate, c.channels, c.format, 0, 0};
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr) << c.name << ": " << sf_strerror(nullptr);
  const int frames = static_cast<int>(std::lround(seconds * c.rate));
  const std::vector<int16_t> values = toneFrames(c.rate, c.channels, frames);
  if (c.written == SoundFileCase::Int16) {
    EXPECT_EQ(sf_writef_short(file, values.data(), frames), frames) << c.name;
  } else {
    // Full scale 1.0 is 32768 counts, as the reader scales it back.
    std::vector<float> floats;
    for (int16_t value : values) floats.push_back(static_cast<float>(value) / 32768.0f);
    EXPECT_EQ(sf_writef_float(file, floats.data(), frames), frames) << c.name;
  }
  sf_close(file);
}

inline std::vector<char> fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::string& path, const std::vector<char>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The ways a file can be unfit, each made from a good 16-bit WAV or FLAC of the tone.
struct DamagedFile {
  const char* name;
  const char* problem;  // a word the error names
};

inline const std::vector<DamagedFile>& damagedFiles() {
  static const std::vector<DamagedFile> files = {
      {"missing.wav", "No such file"},     {"text.wav", "cannot read the file"},
      {"empty.wav", "no frames"},           // a header and an empty data chunk
      {"three-bytes.wav", "no frames"},     // a data chunk of less than one frame
      {"claims-40s.wav", "header claims"},  // 0.25 s of data under a header of 40 s
      {"cut.flac", "read error at frame"},  // the second half of the stream missing
      {"fifo.wav", "not a regular file"},   // a named pipe that no one writes to
  };
  return files;
}

// Makes the damaged file `name` in `folder` (the missing one is not made).
inline std::string makeDamagedFile(const std::string& folder, const std::string& name) {
  const std::string path = folder + "/" + name;
  const SoundFileCase& wav = soundFileCase("16-bit.wav");
  if (name == "text.wav") {
    std::ofstream(path) << "This is a text, not a recording.\n";
  } else if (name == "empty.wav" || name == "three-bytes.wav" || name == "claims-40s.wav") {
    writeToneFile(path, wav, 0.25);
    std::vector<char> bytes = fileBytes(path);
    // The canonical 44-byte header: the data chunk's size at byte 40, its data after it.
    const uint32_t claimed = name == "claims-40s.wav" ? 40 * 44100 * 4 : 0;
    if (name == "claims-40s.wav") {
      std::memcpy(bytes.data() + 40, &claimed, sizeof claimed);
    } else {
      bytes.resize(name == "empty.wav" ? 44 : 47);
      const uint32_t present = static_cast<uint32_t>(bytes.size() - 44);
      std::memcpy(bytes.data() + 40, &present, sizeof present);
      const uint32_t riff = static_cast<uint32_t>(bytes.size() - 8);
      std::memcpy(bytes.data() + 4, &riff, sizeof riff);
    }
    writeBytes(path, bytes);
  } else if (name == "fifo.wav") {
    mkfifo(path.c_str(), 0600);
  } else if (name == "cut.flac") {
    writeToneFile(path, soundFileCase("16-bit.flac"), 2.0);
    std::vector<char> bytes = fileBytes(path);
    bytes.resize(bytes.size() / 2);
    writeBytes(path, bytes);
  }
  return path;
}
