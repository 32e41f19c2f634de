// The sound-file reader: every format, sample type and rate comes out as 16-bit stereo at
// 44100 Hz, exactly as stored where nothing needs converting, the same on every pass, and
// every file it cannot read gives one line naming the problem.

#include <QTemporaryDir>
#include <algorithm>
#include <limits>
#include <random>

#include "SoundFileSupport.h"
#include "file/SoundFileReader.h"
#include "wave/SignalSource.h"

using namespace osciloskop;

namespace {

// Everything the reader gives, read in pieces of `piece` frames.
std::vector<int16_t> readAll(SoundFileReader& reader, size_t piece) {
  std::vector<int16_t> values;
  std::vector<int16_t> buffer(2 * piece);
  for (size_t read; (read = reader.read(buffer.data(), piece)) > 0;)
    values.insert(values.end(), buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(2 * read));
  return values;
}

// What reading the case's file should give: the tone at 44100 Hz as stereo frames (mono:
// its channel twice; of three channels the first two), an 8-bit file's values to its steps.
std::vector<int16_t> expectedStereo(const SoundFileCase& c, int frames) {
  const std::vector<int16_t> tone = toneFrames(44100, c.channels, frames);
  std::vector<int16_t> stereo;
  for (int n = 0; n < frames; ++n) {
    for (int channel = 0; channel < 2; ++channel) {
      int16_t value = tone[static_cast<size_t>(n * c.channels + std::min(channel, c.channels - 1))];
      if (c.expect == SoundFileCase::EightBit) value = static_cast<int16_t>(value >> 8 << 8);
      stereo.push_back(value);
    }
  }
  return stereo;
}

std::unique_ptr<SoundFileReader> openOrFail(const std::string& path) {
  std::string error;
  auto reader = SoundFileReader::open(path, &error);
  EXPECT_TRUE(reader) << path << ": " << error;
  return reader;
}

TEST(SoundFileReader, ReadsEveryFormatAsTheToneAt44100HzSixteenBit) {
  QTemporaryDir dir;
  constexpr int kFrames = 44100;
  for (const SoundFileCase& c : soundFileCases()) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.filePath(c.name).toStdString();
    writeToneFile(path, c, 1.0);
    const auto reader = openOrFail(path);
    if (!reader) continue;
    EXPECT_EQ(reader->channels(), c.channels);
    EXPECT_EQ(reader->fileRate(), c.rate);
    EXPECT_EQ(reader->unusedChannelsNote().empty(), c.channels <= 2);
    const std::vector<int16_t> values = readAll(*reader, 1000);
    EXPECT_EQ(reader->error(), "");
    EXPECT_EQ(reader->clippedValues(), 0u);
    const std::vector<int16_t> expected = expectedStereo(c, kFrames);
    if (c.expect != SoundFileCase::Near) {
      EXPECT_EQ(values, expected);
      continue;
    }
    // Converted or lossy: as long, and close to the tone sample by sample (converted
    // frames keep their instants: the converter's delay is taken out).
    ASSERT_NEAR(static_cast<double>(values.size()) / 2, kFrames, 2);
    int largest = 0;
    for (size_t i = 2 * 2205; i < 2 * (kFrames - 2205); ++i)
      largest = std::max(largest, std::abs(values[i] - expected[i]));
    EXPECT_LE(largest, c.format == (SF_FORMAT_OGG | SF_FORMAT_VORBIS) ? 500 : 2);
  }
}

// A 16-bit file at 44100 Hz gives exactly what reading it whole as 16-bit values gave
// before the reader streamed it, in pieces of any size, on every pass, and through a file
// source on a card at 44100 and 22050 frames per second.
TEST(SoundFileReader, SixteenBitFilesGiveTheValuesTheyHeldBefore) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("noise.wav").toStdString();
  constexpr int kFrames = 10007;  // not a multiple of any piece
  std::mt19937 random(7);
  std::uniform_int_distribution<int> value(-32768, 32767);
  std::vector<int16_t> written(2 * kFrames);
  for (int16_t& v : written) v = static_cast<int16_t>(value(random));
  written[0] = -32768;
  written[1] = 32767;
  SF_INFO info{0, 44100, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0, 0};
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  sf_writef_short(file, written.data(), kFrames);
  sf_close(file);

  // The earlier reading: the whole file as 16-bit values.
  SF_INFO readInfo{};
  file = sf_open(path.c_str(), SFM_READ, &readInfo);
  std::vector<int16_t> before(2 * kFrames);
  ASSERT_EQ(sf_readf_short(file, before.data(), kFrames), kFrames);
  sf_close(file);

  const auto reader = openOrFail(path);
  ASSERT_TRUE(reader);
  for (size_t piece : {1u, 7u, 4095u, 20000u}) {
    EXPECT_EQ(readAll(*reader, piece), before) << "pieces of " << piece;
    ASSERT_TRUE(reader->rewind());
  }

  class Silent : public LineOutputHistory {
    int16_t playedAt(int64_t, uint32_t) const override { return 0; }
  } line;
  for (uint32_t rate : {44100u, 22050u}) {
    for (int channel : {0, 1}) {
      std::string error;
      const auto source = parseSignalSource("file:" + path + ":" + std::to_string(channel), error);
      ASSERT_TRUE(source) << error;
      // Two and a half passes: the earlier source took frame (t * 44100 / rate) mod length.
      for (int64_t t = 0; t < 5 * kFrames / 2; ++t) {
        const int64_t at = t * 44100 / rate % kFrames;
        ASSERT_EQ(source->sample(t, rate, line), before[static_cast<size_t>(2 * at + channel)])
            << "frame " << t << " at " << rate << " Hz, channel " << channel;
      }
    }
  }
}

TEST(SoundFileReader, ConvertedFilesGiveTheSameFramesOnEveryPass) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("48000.wav").toStdString();
  writeToneFile(path, soundFileCase("48000-float.wav"), 0.3);
  const auto reader = openOrFail(path);
  ASSERT_TRUE(reader);
  const std::vector<int16_t> first = readAll(*reader, 333);
  ASSERT_TRUE(reader->rewind());
  EXPECT_EQ(readAll(*reader, 4096), first);
}

// libsndfile's length of an MPEG file is an estimate (from a tag, or from the first frames),
// which the decoded stream may fall short of: where the stream ends, the file ends. Here
// the stream is cut short of its tag's length.
TEST(SoundFileReader, MpegFilesEndWhereTheirStreamEnds) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("tone.mp3").toStdString();
  const SoundFileCase mp3{
      "tone.mp3",         SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 2, SoundFileCase::Float,
      SoundFileCase::Near};
  SF_INFO info{0, mp3.rate, mp3.channels, mp3.format, 0, 0};
  if (!sf_format_check(&info)) GTEST_SKIP() << "this libsndfile writes no MPEG";
  writeToneFile(path, mp3, 1.0);
  std::vector<char> bytes = fileBytes(path);
  bytes.resize(bytes.size() * 3 / 4);
  writeBytes(path, bytes);
  const auto reader = openOrFail(path);
  ASSERT_TRUE(reader);
  const std::vector<int16_t> values = readAll(*reader, 4096);
  EXPECT_EQ(reader->error(), "");
  EXPECT_NEAR(static_cast<double>(values.size()) / 2, 0.75 * 44100, 2000);
}

TEST(SoundFileReader, FloatsBeyondFullScaleAreClippedAndCounted) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("loud.wav").toStdString();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<float> written = {0.5f, -0.5f, 1.5f, -2.0f, nan, 1.0f, -1.0f, 0.25f};
  SF_INFO info{0, 44100, 2, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0, 0};
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  sf_writef_float(file, written.data(), 4);
  sf_close(file);
  const auto reader = openOrFail(path);
  ASSERT_TRUE(reader);
  EXPECT_EQ(readAll(*reader, 10),
            (std::vector<int16_t>{16384, -16384, 32767, -32768, 0, 32767, -32768, 8192}));
  EXPECT_EQ(reader->clippedValues(), 4u) << "1.5, -2, not a number, and 1.0 (32768 counts)";
}

// Each problem is found where it first shows: at the open when the header or the length
// tells, else at the read that meets it, with the position.
TEST(SoundFileReader, DamagedFilesGiveOneLineNamingTheProblem) {
  QTemporaryDir dir;
  for (const DamagedFile& damaged : damagedFiles()) {
    SCOPED_TRACE(damaged.name);
    const std::string path = makeDamagedFile(dir.path().toStdString(), damaged.name);
    std::string error;
    const auto reader = SoundFileReader::open(path, &error);
    if (reader) {
      readAll(*reader, 4096);
      error = reader->error();
      EXPECT_FALSE(reader->rewind()) << "a failed reader stays failed";
    }
    EXPECT_NE(error.find(damaged.problem), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
  // The position: the header of 40 s stands over 0.25 s of frames.
  std::string error;
  SoundFileReader::open(dir.filePath("claims-40s.wav").toStdString(), &error);
  EXPECT_NE(error.find("frame 11025 (0.250 s)"), std::string::npos) << error;
}

}  // namespace
