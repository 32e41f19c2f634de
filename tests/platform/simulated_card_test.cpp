// The simulated card as a device (formats, clock, order, pause, loopback) and its signal
// sources. Faults and unplugging are tested through the stream components.

#include <sndfile.h>

#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <deque>
#include <numbers>
#include <vector>

#include "WaveTestSupport.h"

using namespace osciloskop;

namespace {

class SilentLine : public LineOutputHistory {
 public:
  int16_t playedAt(int64_t, uint32_t) const override { return 0; }
};

std::vector<int16_t> samples(const std::string& text, uint32_t rate, int64_t first, int count) {
  std::string error;
  auto source = parseSignalSource(text, error);
  EXPECT_TRUE(source) << error;
  std::vector<int16_t> values;
  SilentLine line;
  for (int64_t n = first; source && n < first + count; ++n)
    values.push_back(source->sample(n, rate, line));
  return values;
}

void expectRefused(const std::string& text, const char* reason) {
  std::string error;
  EXPECT_FALSE(parseSignalSource(text, error)) << text;
  EXPECT_NE(error.find('"' + text + '"'), std::string::npos) << error;
  EXPECT_NE(error.find(reason), std::string::npos) << error;
  EXPECT_EQ(error.find('\n'), std::string::npos) << error;
}

TEST(SignalSourceParse, AcceptsGoodTextsAndNamesTheFaultOfBadOnes) {
  for (const char* good :
       {"sine:1000", "sine:50:2000:90", "sine:0", "square:10", "triangle:440:100", "dc:-500",
        "noise:300:7", "silence", "loopback", "loopback-rc:100"}) {
    std::string error;
    EXPECT_TRUE(parseSignalSource(good, error)) << good << ": " << error;
  }
  const std::pair<const char*, const char*> bad[] = {{"", "unknown kind"},
                                                     {"saw:100", "unknown kind"},
                                                     {"sine", "needs a frequency"},
                                                     {"sine:abc", "bad number"},
                                                     {"sine:-5", "negative frequency"},
                                                     {"square:1:2:3:4", "too many"},
                                                     {"sine:nan", "bad number"},
                                                     {"dc:1e", "bad number"},
                                                     {"noise:5:-1", "bad seed"},
                                                     {"silence:3", "too many"},
                                                     {"loopback-rc:0", "corner"},
                                                     {"file:/nonexistent/x.wav", "cannot read"}};
  for (auto [text, reason] : bad) expectRefused(text, reason);
}

TEST(SignalSourceValues, PeriodicAndConstantSources) {
  struct Case {
    const char* text;
    uint32_t rate;
    std::vector<int16_t> expected;  // frames 0, 1, 2, ...
  };
  // 1000 Hz at 8000 frames per second: eight frames a period.
  const Case cases[] = {
      {"sine:1000", 8000, {0, 7071, 10000, 7071, 0, -7071, -10000, -7071, 0}},
      {"sine:1000:100:90", 8000, {100, 71, 0, -71, -100}},
      {"sine:1000:40000", 8000, {0, 28284, 32767}},
      {"square:1000:5000", 8000, {5000, 5000, 5000, 5000, -5000, -5000, -5000, -5000, 5000}},
      {"triangle:1000:8000", 8000, {0, 4000, 8000, 4000, 0, -4000, -8000, -4000, 0}},
      {"sine:2000:10000", 16000, {0, 7071, 10000}},
      {"dc:40000", 44100, {32767}},
      {"dc:-40000", 44100, {-32768}},
      {"silence", 44100, {0, 0}}};
  for (const Case& c : cases)
    EXPECT_EQ(samples(c.text, c.rate, 0, static_cast<int>(c.expected.size())), c.expected)
        << c.text;
  // Far from the start the phase is still exact: 1000 Hz at frame 8e9 + 2 is a crest.
  EXPECT_EQ(samples("sine:1000", 8000, 8'000'000'002, 1), std::vector<int16_t>{10000});

  const auto noise = samples("noise:1000:7", 44100, 0, 4000);
  EXPECT_NE(noise, samples("noise:1000:8", 44100, 0, 4000));
  // The values depend on the seed and the frame alone.
  EXPECT_EQ(std::vector<int16_t>(noise.begin() + 100, noise.begin() + 110),
            samples("noise:1000:7", 44100, 100, 10));
  const auto [low, high] = std::minmax_element(noise.begin(), noise.end());
  EXPECT_TRUE(*low >= -1000 && *low < -900 && *high <= 1000 && *high > 900) << *low << " " << *high;
}

// A 16-bit WAV whose channel c holds (c + 1) * 10 * frame, negated for odd c.
std::string writeWav(const QTemporaryDir& dir, const char* name, int rate, int channels,
                     int frames) {
  const std::string path = dir.filePath(name).toStdString();
  SF_INFO info{0, rate, channels, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0, 0};
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  std::vector<int16_t> data;
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      data.push_back(static_cast<int16_t>((c % 2 ? -1 : 1) * (c + 1) * 10 * i));
  sf_writef_short(file, data.data(), frames);
  sf_close(file);
  return path;
}

TEST(SignalSourceFile, ReadsOneChannelLoopedAndRefusesUnfitFiles) {
  QTemporaryDir dir;
  const std::string stereo = writeWav(dir, "stereo.wav", 44100, 2, 100);
  EXPECT_EQ(samples("file:" + stereo, 44100, 3, 2), (std::vector<int16_t>{30, 40}));
  EXPECT_EQ(samples("file:" + stereo + ":1", 44100, 3, 2), (std::vector<int16_t>{-60, -80}));
  EXPECT_EQ(samples("file:" + stereo, 44100, 99, 3), (std::vector<int16_t>{990, 0, 10}))
      << "looped";
  EXPECT_EQ(samples("file:" + stereo, 22050, 1, 2), (std::vector<int16_t>{20, 40}));
  // Of three channels the first two are read, and the source says so once.
  const std::string three = writeWav(dir, "three.wav", 44100, 3, 10);
  EXPECT_EQ(samples("file:" + three + ":1", 44100, 2, 2), (std::vector<int16_t>{-40, -60}));
  std::string error;
  EXPECT_NE(parseSignalSource("file:" + three, error)->note().find("3 channels"),
            std::string::npos);
  EXPECT_EQ(parseSignalSource("file:" + stereo, error)->note(), "");
  expectRefused("file:" + stereo + ":2", "no channel 2");
  expectRefused("file:" + writeWav(dir, "empty.wav", 44100, 2, 0), "no frames");
}

class SimulatedCardDevice : public SimulatedCardTest {
 protected:
  void openInput(const WAVEFORMATEX& format) {
    ASSERT_EQ(waveInOpen(&in, WAVE_MAPPER, &format, &log, 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);
  }
  void openOutput(const WAVEFORMATEX& format) {
    ASSERT_EQ(waveOutOpen(&out, WAVE_MAPPER, &format, &log, 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);
  }
  // A prepared header over `block`, queued (output) or added (input).
  template <class T, class Device>
  WAVEHDR* queue(std::vector<T>& block, Device device) {
    WAVEHDR& h = headers.emplace_back();
    h.lpData = reinterpret_cast<char*>(block.data());
    h.dwBufferLength = static_cast<DWORD>(block.size() * sizeof(T));
    if constexpr (std::is_same_v<Device, HWAVEIN>) {
      waveInPrepareHeader(device, &h, sizeof h);
      EXPECT_EQ(waveInAddBuffer(device, &h, sizeof h), MMSYSERR_NOERROR);
    } else {
      waveOutPrepareHeader(device, &h, sizeof h);
      EXPECT_EQ(waveOutWrite(device, &h, sizeof h), MMSYSERR_NOERROR);
    }
    return &h;
  }
  std::vector<UINT> messages() const {
    std::vector<UINT> result;
    for (const auto& e : log.entries) result.push_back(e.message);
    return result;
  }
  void setSource(int channel, const std::string& text) {
    std::string error;
    card.setSource(channel, parseSignalSource(text, error));
  }

  NotificationLog log;
  HWAVEIN in = nullptr;
  HWAVEOUT out = nullptr;
  std::deque<WAVEHDR> headers;
};

TEST_F(SimulatedCardDevice, InputAcceptsPcmFormatsOnlyAndOnlyOnce) {
  WAVEFORMATEX notPcm = pcmFormat(2, 16, 44100);
  notPcm.wFormatTag = 3;
  const std::pair<WAVEFORMATEX, MMRESULT> cases[] = {
      {pcmFormat(2, 16, 44100), MMSYSERR_NOERROR},  {pcmFormat(1, 8, 8000), MMSYSERR_NOERROR},
      {pcmFormat(2, 16, 192000), MMSYSERR_NOERROR}, {pcmFormat(2, 24, 44100), WAVERR_BADFORMAT},
      {pcmFormat(1, 16, 4000), WAVERR_BADFORMAT},   {notPcm, WAVERR_BADFORMAT}};
  for (const auto& [format, expected] : cases) {
    HWAVEIN device = nullptr, second = nullptr;
    ASSERT_EQ(waveInOpen(&device, WAVE_MAPPER, &format, &log, 0, 0), expected)
        << format.nChannels << " ch " << format.wBitsPerSample << " bit " << format.nSamplesPerSec;
    if (expected != MMSYSERR_NOERROR) continue;
    EXPECT_EQ(waveInOpen(&second, WAVE_MAPPER, &format, &log, 0, 0), MMSYSERR_ALLOCATED);
    EXPECT_EQ(waveInClose(device), MMSYSERR_NOERROR);
  }
  deliverPostedEvents();
  EXPECT_EQ(log.entries.size(), 6u) << "an open and a close for each accepted format";
}

TEST_F(SimulatedCardDevice, RecordsQueuedBlocksInOrderAtTheClocksRateOnceStarted) {
  setSource(0, "dc:1000");
  setSource(1, "dc:-2000");
  openInput(pcmFormat(2, 16, 44100));
  std::vector<int16_t> a(2 * 4410), b(2 * 4410);  // 0.1 s each
  WAVEHDR* ha = queue(a, in);
  WAVEHDR* hb = queue(b, in);
  run(0.5);
  EXPECT_EQ(messages(), std::vector<UINT>{MM_WIM_OPEN}) << "a block added while stopped waits";

  ASSERT_EQ(waveInStart(in), MMSYSERR_NOERROR);
  run(0.099);
  EXPECT_EQ(ha->dwFlags, WHDR_PREPARED | WHDR_INQUEUE);
  run(0.002);
  EXPECT_EQ(messages(), (std::vector<UINT>{MM_WIM_OPEN, MM_WIM_DATA}));
  EXPECT_EQ(log.entries[1].header, ha);
  EXPECT_EQ(ha->dwFlags, WHDR_PREPARED | WHDR_DONE);
  EXPECT_EQ(ha->dwBytesRecorded, ha->dwBufferLength);
  EXPECT_EQ(std::vector<int16_t>(a.end() - 4, a.end()),
            (std::vector<int16_t>{1000, -2000, 1000, -2000}))
      << "channel 0 (UR) is the first value of a frame";

  // Reset returns the block in progress with what it holds so far, and stops recording.
  run(0.05);
  ASSERT_EQ(waveInReset(in), MMSYSERR_NOERROR);
  EXPECT_EQ(hb->dwFlags, WHDR_PREPARED | WHDR_DONE);
  EXPECT_NEAR(hb->dwBytesRecorded, 0.051 * 44100 * 4, 8);  // it began at 0.1 s
  queue(a, in);
  run(0.2);
  EXPECT_EQ(log.entries.size(), 3u) << "after a reset nothing records until the next start";
  waveInReset(in);
  EXPECT_EQ(waveInClose(in), MMSYSERR_NOERROR);
}

TEST_F(SimulatedCardDevice, MonoEightBitInputTakesChannelZero) {
  setSource(0, "dc:1000");
  setSource(1, "dc:-2000");
  openInput(pcmFormat(1, 8, 8000));
  std::vector<uint8_t> block(80);
  queue(block, in);
  waveInStart(in);
  run(0.02);
  EXPECT_EQ(block.back(), 128 + 3);  // 1000 / 256 above the 8-bit centre
  waveInClose(in);
}

TEST_F(SimulatedCardDevice, OutputPlaysInOrderHoldsWhilePausedAndLoopbackHearsIt) {
  setSource(0, "loopback");
  openOutput(pcmFormat(1, 16, 44100));
  std::vector<int16_t> first(441), second(441);  // 10 ms each
  for (size_t i = 0; i < first.size(); ++i) {
    first[i] = static_cast<int16_t>(7 * i - 1000);
    second[i] = static_cast<int16_t>(-13 * i + 500);
  }
  WAVEHDR* h1 = queue(first, out);
  WAVEHDR* h2 = queue(second, out);
  openInput(pcmFormat(2, 16, 44100));
  std::vector<int16_t> recorded(2 * 1000);
  queue(recorded, in);
  waveInStart(in);

  run(0.0099);
  EXPECT_EQ(h1->dwFlags & WHDR_DONE, 0u);
  run(0.0002);
  EXPECT_EQ(h1->dwFlags & WHDR_DONE, WHDR_DONE);
  ASSERT_EQ(waveOutPause(out), MMSYSERR_NOERROR);
  run(0.05);
  EXPECT_EQ(h2->dwFlags & WHDR_DONE, 0u) << "paused output does not advance";
  ASSERT_EQ(waveOutRestart(out), MMSYSERR_NOERROR);
  run(0.05);
  EXPECT_EQ(h2->dwFlags & WHDR_DONE, WHDR_DONE);
  EXPECT_EQ(messages(),
            (std::vector<UINT>{MM_WOM_OPEN, MM_WIM_OPEN, MM_WOM_DONE, MM_WIM_DATA, MM_WOM_DONE}));

  // Frame by frame the input heard the first block, four samples of the second, then the
  // pause's silence: exactly what played at each instant.
  std::vector<int16_t> expected(1000, 0);
  std::copy(first.begin(), first.end(), expected.begin());
  std::copy(second.begin(), second.begin() + 4, expected.begin() + 441);
  std::vector<int16_t> heard;
  for (size_t n = 0; n < 1000; ++n) heard.push_back(recorded[2 * n]);
  EXPECT_EQ(heard, expected);
  waveInClose(in);
  EXPECT_EQ(waveOutClose(out), MMSYSERR_NOERROR);
}

// The default input is the output looped back on UR and through the RC phase shifter on UL:
// a 100 Hz tone shows as an ellipse with UL lagging by 45 degrees at 1/sqrt(2) of the level.
TEST_F(SimulatedCardDevice, DefaultInputShowsTheToneAsAnOpenEllipse) {
  openOutput(pcmFormat(1, 16, 44100));
  std::vector<int16_t> tone(44100);
  for (size_t i = 0; i < tone.size(); ++i)
    tone[i] = static_cast<int16_t>(
        std::lround(10000 * std::sin(2 * std::numbers::pi * 100 * i / 44100.0)));
  queue(tone, out);
  openInput(pcmFormat(2, 16, 44100));
  std::vector<int16_t> recorded(2 * 22050);
  run(0.5);  // let the filter settle
  queue(recorded, in);
  waveInStart(in);
  run(0.5);
  auto phasor = [&](size_t channel) {
    double re = 0, im = 0;
    for (size_t n = 0; n < 22050; ++n) {
      const double angle = 2 * std::numbers::pi * 100 * n / 44100.0;
      re += recorded[2 * n + channel] * std::cos(angle);
      im += recorded[2 * n + channel] * std::sin(angle);
    }
    return std::pair{std::hypot(re, im), std::atan2(im, re)};
  };
  const auto [ur, urPhase] = phasor(0);
  const auto [ul, ulPhase] = phasor(1);
  EXPECT_NEAR(ul / ur, std::sqrt(0.5), 0.02);
  EXPECT_NEAR((ulPhase - urPhase) * 180 / std::numbers::pi, 45, 1.5);
  waveOutReset(out);
  waveOutClose(out);
  waveInClose(in);
}

TEST_F(SimulatedCardDevice, InputFileFeedsBothChannels) {
  QTemporaryDir dir;
  std::string error;
  std::unique_ptr<SignalSource> first;
  std::unique_ptr<SignalSource> second;
  EXPECT_FALSE(loadFileSources(dir.filePath("none.wav").toStdString(), first, second, error));
  EXPECT_NE(error.find("none.wav"), std::string::npos) << error;
  ASSERT_TRUE(loadFileSources(writeWav(dir, "in.wav", 44100, 2, 50), first, second, error))
      << error;
  card.setSource(0, std::move(first));
  card.setSource(1, std::move(second));
  openInput(pcmFormat(2, 16, 44100));
  std::vector<int16_t> block(2 * 60);
  queue(block, in);
  waveInStart(in);
  run(0.01);
  // The file's first channel on channel 0 (UR), looped.
  EXPECT_EQ(std::vector<int16_t>(block.begin() + 6, block.begin() + 8),
            (std::vector<int16_t>{30, -60}));
  EXPECT_EQ(block[2 * 52], 20);
  waveInClose(in);
}

// The manual clock counts whole microseconds: however long a run of 5 ms steps, each
// 0.25 s block is done exactly when the clock reaches its multiple of 0.25 s.
TEST_F(SimulatedCardDevice, ManualClockKeepsBlocksOnTheirGridInLongRuns) {
  openInput(pcmFormat(2, 16, 44100));
  std::vector<int16_t> a(2 * 11025), b(2 * 11025);
  WAVEHDR* const blocks[] = {queue(a, in), queue(b, in)};
  ASSERT_EQ(waveInStart(in), MMSYSERR_NOERROR);
  int done = 0;
  for (int step = 1; step <= 120 * 200; ++step) {
    card.advance(kStep);
    for (WAVEHDR* h : blocks) {
      if ((h->dwFlags & WHDR_DONE) == 0) continue;
      ++done;
      ASSERT_EQ(step % 50, 0) << "block " << done << " done at " << card.deviceTime() << " s";
      ASSERT_EQ(card.deviceTime(), 0.25 * done);
      waveInAddBuffer(in, h, sizeof *h);
    }
    if (step % 200 == 0) deliverPostedEvents();
  }
  EXPECT_EQ(done, 480);
  waveInReset(in);
  waveInClose(in);
}

TEST(SimulatedCardClock, RealClockRunsOnItsOwnTimer) {
  SimulatedCard card(SimulatedCard::ClockMode::Real);
  installWaveBackend(&card);
  NotificationLog log;
  const WAVEFORMATEX format = pcmFormat(1, 16, 8000);
  const double start = card.deviceTime();
  HWAVEOUT out = nullptr;
  ASSERT_EQ(waveOutOpen(&out, WAVE_MAPPER, &format, &log, 0, 0), MMSYSERR_NOERROR);
  std::vector<int16_t> block(80);  // 10 ms
  WAVEHDR h{reinterpret_cast<char*>(block.data()), 160, 0, 0, 0, 0, nullptr, 0};
  waveOutPrepareHeader(out, &h, sizeof h);
  waveOutWrite(out, &h, sizeof h);
  while ((h.dwFlags & WHDR_DONE) == 0 && card.deviceTime() - start < 5)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_EQ(h.dwFlags & WHDR_DONE, WHDR_DONE);
  // The block takes its 10 ms of clock time to play (less the card's rounding to frames).
  EXPECT_GE(card.deviceTime() - start, 0.0099);
  waveOutClose(out);
  installWaveBackend(nullptr);
}

// On the real clock the input must hear every frame the output has played: reading the
// clock once per service keeps the two directions at the same instant.
TEST(SimulatedCardClock, RealClockLoopbackHearsEveryPlayedFrame) {
  SimulatedCard card(SimulatedCard::ClockMode::Real);
  installWaveBackend(&card);
  NotificationLog outLog;
  NotificationLog inLog;
  const WAVEFORMATEX mono = pcmFormat(1, 16, 44100);
  HWAVEOUT out = nullptr;
  ASSERT_EQ(waveOutOpen(&out, WAVE_MAPPER, &mono, &outLog, 0, 0), MMSYSERR_NOERROR);
  std::vector<int16_t> level(44100, 1000);  // one second of a steady 1000
  WAVEHDR played{reinterpret_cast<char*>(level.data()), 88200, 0, 0, 0, 0, nullptr, 0};
  waveOutPrepareHeader(out, &played, sizeof played);
  waveOutWrite(out, &played, sizeof played);

  HWAVEIN in = nullptr;
  ASSERT_EQ(waveInOpen(&in, WAVE_MAPPER, &mono, &inLog, 0, 0), MMSYSERR_NOERROR);
  std::vector<int16_t> heard(4410, -1);  // 0.1 s
  WAVEHDR recorded{reinterpret_cast<char*>(heard.data()), 8820, 0, 0, 0, 0, nullptr, 0};
  waveInPrepareHeader(in, &recorded, sizeof recorded);
  waveInAddBuffer(in, &recorded, sizeof recorded);
  waveInStart(in);
  const double start = card.deviceTime();
  while ((recorded.dwFlags & WHDR_DONE) == 0 && card.deviceTime() - start < 5) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
  }
  ASSERT_EQ(recorded.dwFlags & WHDR_DONE, WHDR_DONE);
  EXPECT_EQ(std::count(heard.begin(), heard.end(), 1000), 4410) << "no frame heard as silence";

  waveInReset(in);
  waveInUnprepareHeader(in, &recorded, sizeof recorded);
  waveInClose(in);
  waveOutReset(out);
  waveOutUnprepareHeader(out, &played, sizeof played);
  waveOutClose(out);
  QCoreApplication::sendPostedEvents();
  installWaveBackend(nullptr);
}

}  // namespace
