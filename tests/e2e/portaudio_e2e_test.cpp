// The real-card backend against a real sound server: PulseAudio with a null sink whose
// monitor is the default source (scripts/pulse-fixture), reached by PortAudio through ALSA's
// pulse plugin. A tone played into the sink must be recorded by the input stream at its
// frequency, and blocks written to the output must come back from the monitor.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QTemporaryFile>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <vector>

#include "../WaveTestSupport.h"
#include "AudioIO.h"
#include "wave/PortAudioCard.h"

using namespace osciloskop;

namespace {

constexpr uint32_t kRate = 44100;

WAVEFORMATEX pcm16(uint16_t channels) {
  const uint16_t align = channels * 2;
  return {WAVE_FORMAT_PCM, channels, kRate, align * kRate, align, 16, 0};
}

// A mono 16-bit sine, phase continuous from sample `first` on.
std::vector<int16_t> sine(double frequency, double amplitude, std::size_t count,
                          std::size_t first = 0) {
  std::vector<int16_t> samples(count);
  for (std::size_t i = 0; i < count; ++i)
    samples[i] = static_cast<int16_t>(std::lround(
        amplitude * std::sin(2 * std::numbers::pi * frequency * double(first + i) / kRate)));
  return samples;
}

double rms(const std::vector<double>& samples) {
  double sum = 0;
  for (double s : samples) sum += s * s;
  return samples.empty() ? 0 : std::sqrt(sum / double(samples.size()));
}

// The lengths, in samples, between neighbouring rising zero crossings (interpolated).
std::vector<double> risingCrossingIntervals(const std::vector<double>& samples) {
  std::vector<double> intervals;
  double previous = -1;
  for (std::size_t i = 1; i < samples.size(); ++i) {
    if (samples[i - 1] < 0 && samples[i] >= 0) {
      const double at = double(i - 1) + samples[i - 1] / (samples[i - 1] - samples[i]);
      if (previous >= 0) intervals.push_back(at - previous);
      previous = at;
    }
  }
  return intervals;
}

// Frequency from the rising zero crossings; 0 with fewer than two.
double zeroCrossingFrequency(const std::vector<double>& samples) {
  const std::vector<double> intervals = risingCrossingIntervals(samples);
  double span = 0;
  for (double interval : intervals) span += interval;
  return intervals.empty() ? 0 : double(intervals.size()) * kRate / span;
}

// One channel of interleaved 16-bit frames.
std::vector<double> channelOf(const char* bytes, std::size_t byteCount, int channels, int channel) {
  std::vector<double> samples;
  const std::size_t frames = byteCount / (2 * channels);
  samples.reserve(frames);
  for (std::size_t f = 0; f < frames; ++f) {
    int16_t value;
    std::memcpy(&value, bytes + (f * channels + channel) * 2, 2);
    samples.push_back(value);
  }
  return samples;
}

// pacat or parec on raw mono 16-bit samples at kRate, started with fork and exec: QProcess
// starts children in a way the thread sanitizer cannot follow. `input` becomes the tool's
// standard input (pacat plays it); parec's standard output is read with recorded().
class PulseTool {
 public:
  PulseTool(const char* program, int input) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(input, STDIN_FILENO);
      dup2(out[1], STDOUT_FILENO);
      const std::string rate = "--rate=" + std::to_string(kRate);
      execlp(program, program, "--raw", "--format=s16le", rate.c_str(), "--channels=1",
             "--latency-msec=20", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    output_ = out[0];
    fcntl(output_, F_SETFL, O_NONBLOCK);
  }
  ~PulseTool() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    if (output_ >= 0) close(output_);
  }
  PulseTool(const PulseTool&) = delete;
  PulseTool& operator=(const PulseTool&) = delete;

  bool started() const { return pid_ > 0; }

  // Everything the tool has written so far; read often, the pipe holds less than a second.
  const std::vector<char>& recorded() {
    char chunk[4096];
    ssize_t n;
    while ((n = read(output_, chunk, sizeof chunk)) > 0)
      recorded_.insert(recorded_.end(), chunk, chunk + n);
    return recorded_;
  }

 private:
  pid_t pid_ = -1;
  int output_ = -1;
  std::vector<char> recorded_;
};

class PortAudioEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    card_ = PortAudioCard::create({}, &error);
    ASSERT_TRUE(card_) << error;
    ASSERT_GE(card_->inputDevice(), 0)
        << "PortAudio has no input device: is the sound server running "
           "(scripts/pulse-fixture start) and PULSE_SERVER set?";
    ASSERT_GE(card_->outputDevice(), 0) << "PortAudio has no output device";
    installWaveBackend(card_.get());
  }
  void TearDown() override { installWaveBackend(nullptr); }

  std::unique_ptr<PortAudioCard> card_;
};

struct Block {
  explicit Block(std::size_t bytes) : data(bytes) {
    header.lpData = data.data();
    header.dwBufferLength = static_cast<DWORD>(bytes);
  }
  std::vector<char> data;
  WAVEHDR header{};
};

// The input stream as the oscilloscope sets it up: 44100 frames per second, stereo, 16-bit,
// blocks of 0.25 s. Blocks before the tone reaches the sink hold silence; it records until two
// blocks hold the tone, then declines, and the stream closes the device by itself.
TEST_F(PortAudioEndToEnd, InputStreamRecordsTheFrequencyOfAToneInTheSink) {
  constexpr double kTone = 1000;
  QTemporaryFile toneFile;
  ASSERT_TRUE(toneFile.open());
  const std::vector<int16_t> tone = sine(kTone, 12000, 5 * kRate);
  toneFile.write(reinterpret_cast<const char*>(tone.data()), qint64(tone.size() * 2));
  toneFile.flush();
  toneFile.seek(0);
  PulseTool player("pacat", toneFile.handle());
  ASSERT_TRUE(player.started());

  QObject owner;
  TAudioIn* AudioIn1 = new TAudioIn(&owner);
  AudioIn1->SetBufferSize(44100);
  AudioIn1->SetFrameRate(kRate);
  AudioIn1->SetStereo(true);
  std::vector<double> left, right;
  int blocks = 0;
  int toneBlocks = 0;
  AudioIn1->OnBufferFilled = [&](void* Buffer, int32_t& Size) {
    ++blocks;
    EXPECT_EQ(Size, 44100);
    left = channelOf(static_cast<const char*>(Buffer), std::size_t(Size), 2, 0);
    right = channelOf(static_cast<const char*>(Buffer), std::size_t(Size), 2, 1);
    if (rms(left) > 4000 && rms(right) > 4000) ++toneBlocks;
    return toneBlocks < 2;
  };
  ASSERT_TRUE(AudioIn1->Launch(&AudioIn1)) << AudioIn1->ErrorMessage().toStdString();

  ASSERT_TRUE(QTest::qWaitFor([&] { return toneBlocks >= 2; }, 6000))
      << "the tone never arrived; " << blocks << " blocks recorded";
  EXPECT_NEAR(zeroCrossingFrequency(left), kTone, kTone * 0.005);
  EXPECT_NEAR(zeroCrossingFrequency(right), kTone, kTone * 0.005);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !AudioIn1->DeviceOpen(); }, 3000))
      << "the stream did not close after declining";
}

TEST_F(PortAudioEndToEnd, WrittenBlocksComeBackFromTheMonitor) {
  constexpr double kTone = 700;
  constexpr std::size_t kBlockSamples = 11000;
  PulseTool recorder("parec", STDIN_FILENO);
  ASSERT_TRUE(recorder.started());
  // The keep-alive stream makes the monitor deliver from the start.
  ASSERT_TRUE(QTest::qWaitFor([&] { return !recorder.recorded().empty(); }, 3000))
      << "parec recorded nothing from the monitor";

  NotificationLog messages;
  HWAVEOUT out = nullptr;
  const WAVEFORMATEX format = pcm16(1);
  ASSERT_EQ(waveOutOpen(&out, WAVE_MAPPER, &format, &messages, 0, CALLBACK_WINDOW),
            MMSYSERR_NOERROR);
  std::vector<std::unique_ptr<Block>> blocks;
  for (std::size_t i = 0; i < 4; ++i) {
    blocks.push_back(std::make_unique<Block>(kBlockSamples * 2));
    const std::vector<int16_t> samples = sine(kTone, 12000, kBlockSamples, i * kBlockSamples);
    std::memcpy(blocks.back()->data.data(), samples.data(), samples.size() * 2);
    ASSERT_EQ(waveOutPrepareHeader(out, &blocks.back()->header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(out, &blocks.back()->header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  }
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return !recorder.recorded().empty() && messages.count(MM_WOM_DONE) == 4; }, 5000))
      << messages.count(MM_WOM_DONE) << " of 4 blocks played";
  std::vector<WAVEHDR*> order;
  for (const auto& m : messages.entries)
    if (m.message == MM_WOM_DONE) order.push_back(m.header);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(order[i], &blocks[i]->header) << "block " << i << " out of order";
    EXPECT_EQ(blocks[i]->header.dwFlags & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
  }
  // The last block is done when handed over, not when heard.
  QElapsedTimer tail;
  tail.start();
  while (tail.elapsed() < 500) {
    recorder.recorded();
    QTest::qWait(10);
  }
  const std::vector<char>& recorded = recorder.recorded();
  for (auto& block : blocks)
    EXPECT_EQ(waveOutUnprepareHeader(out, &block->header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutClose(out), MMSYSERR_NOERROR);

  const std::vector<double> samples = channelOf(recorded.data(), recorded.size(), 1, 0);
  const auto loud = [](double s) { return std::abs(s) > 6000; };
  const auto first = std::find_if(samples.begin(), samples.end(), loud);
  const auto last = std::find_if(samples.rbegin(), samples.rend(), loud).base();
  ASSERT_LT(first, last) << "the tone never reached the monitor (" << samples.size()
                         << " samples recorded)";
  // Four blocks of 11000 samples, neither lost nor repeated: as many periods of the tone as
  // they hold, each of its length. (A machine slow enough to let the server run dry, as under
  // the thread sanitizer, puts a gap between two periods, but loses none.)
  const std::vector<double> tone(first, last);
  const std::vector<double> periods = risingCrossingIntervals(tone);
  EXPECT_NEAR(double(periods.size()), 4.0 * kBlockSamples * kTone / kRate, 3);
  std::vector<double> sorted = periods;
  std::sort(sorted.begin(), sorted.end());
  ASSERT_FALSE(sorted.empty());
  EXPECT_NEAR(kRate / sorted[sorted.size() / 2], kTone, kTone * 0.005);
}

TEST_F(PortAudioEndToEnd, InputKeepsTheDeviceContract) {
  NotificationLog messages;
  HWAVEIN in = nullptr;
  WAVEFORMATEX wide = pcm16(2);
  wide.wBitsPerSample = 24;
  wide.nBlockAlign = 6;
  wide.nAvgBytesPerSec = 6 * kRate;
  EXPECT_EQ(waveInOpen(&in, WAVE_MAPPER, &wide, &messages, 0, CALLBACK_WINDOW), WAVERR_BADFORMAT);

  const WAVEFORMATEX format = pcm16(2);
  ASSERT_EQ(waveInOpen(&in, WAVE_MAPPER, &format, &messages, 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);
  HWAVEIN second = nullptr;
  EXPECT_EQ(waveInOpen(&second, WAVE_MAPPER, &format, &messages, 0, CALLBACK_WINDOW),
            MMSYSERR_ALLOCATED);

  // Blocks of 10 s: reset finds them queued, the first partly recorded.
  std::vector<std::unique_ptr<Block>> blocks;
  for (int i = 0; i < 2; ++i) {
    blocks.push_back(std::make_unique<Block>(10 * 4 * kRate));
    ASSERT_EQ(waveInPrepareHeader(in, &blocks.back()->header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInAddBuffer(in, &blocks.back()->header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  }
  ASSERT_EQ(waveInStart(in), MMSYSERR_NOERROR);
  QTest::qWait(800);
  EXPECT_EQ(waveInClose(in), WAVERR_STILLPLAYING);
  EXPECT_EQ(waveInUnprepareHeader(in, &blocks[0]->header, sizeof(WAVEHDR)), WAVERR_STILLPLAYING);
  EXPECT_EQ(messages.count(MM_WIM_DATA), 0);

  ASSERT_EQ(waveInReset(in), MMSYSERR_NOERROR);
  for (auto& block : blocks)
    EXPECT_EQ(block->header.dwFlags & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
  // Recorded for about 0.8 s, in whole frames.
  EXPECT_GT(blocks[0]->header.dwBytesRecorded, 0u);
  EXPECT_LT(blocks[0]->header.dwBytesRecorded, 2 * 4 * kRate);
  EXPECT_EQ(blocks[0]->header.dwBytesRecorded % 4, 0u);
  EXPECT_EQ(blocks[1]->header.dwBytesRecorded, 0u);
  EXPECT_EQ(messages.count(MM_WIM_DATA), 0) << "notifications must be posted, not sent";
  QTest::qWait(20);
  ASSERT_EQ(messages.count(MM_WIM_DATA), 2);

  for (auto& block : blocks)
    EXPECT_EQ(waveInUnprepareHeader(in, &block->header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  EXPECT_EQ(waveInClose(in), MMSYSERR_NOERROR);
  QTest::qWait(20);
  std::vector<UINT> sequence;
  for (const auto& m : messages.entries) sequence.push_back(m.message);
  EXPECT_EQ(sequence, (std::vector<UINT>{MM_WIM_OPEN, MM_WIM_DATA, MM_WIM_DATA, MM_WIM_CLOSE}));
  EXPECT_EQ(messages.entries[1].header, &blocks[0]->header);
  EXPECT_EQ(messages.entries[2].header, &blocks[1]->header);
}

TEST_F(PortAudioEndToEnd, PausedOutputHoldsItsBlocksUntilRestart) {
  NotificationLog messages;
  HWAVEOUT out = nullptr;
  const WAVEFORMATEX format = pcm16(1);
  ASSERT_EQ(waveOutOpen(&out, WAVE_MAPPER, &format, &messages, 0, CALLBACK_WINDOW),
            MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutPause(out), MMSYSERR_NOERROR);
  Block block(2 * kRate / 10);  // 0.1 s
  ASSERT_EQ(waveOutPrepareHeader(out, &block.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutWrite(out, &block.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  QTest::qWait(400);
  EXPECT_EQ(messages.count(MM_WOM_DONE), 0) << "a paused device played";
  ASSERT_EQ(waveOutRestart(out), MMSYSERR_NOERROR);
  EXPECT_TRUE(QTest::qWaitFor([&] { return messages.count(MM_WOM_DONE) == 1; }, 3000));

  // Reset returns what is queued at once, also while paused.
  Block longBlock(2 * 10 * kRate);
  ASSERT_EQ(waveOutPause(out), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutPrepareHeader(out, &longBlock.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutWrite(out, &longBlock.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutReset(out), MMSYSERR_NOERROR);
  EXPECT_EQ(longBlock.header.dwFlags & (WHDR_DONE | WHDR_INQUEUE), WHDR_DONE);
  EXPECT_EQ(waveOutUnprepareHeader(out, &block.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutUnprepareHeader(out, &longBlock.header, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  EXPECT_EQ(waveOutClose(out), MMSYSERR_NOERROR);
  QTest::qWait(20);
  EXPECT_EQ(messages.count(MM_WOM_DONE), 2);
  EXPECT_EQ(messages.entries.back().message, MM_WOM_CLOSE);
}

}  // namespace
