// The wave functions' own checks, their error texts, and the device queue every backend
// keeps its headers in.

#include <array>
#include <cstring>
#include <functional>
#include <string>

#include "WaveTestSupport.h"
#include "wave/WaveDeviceQueue.h"

namespace {

TEST(WaveFunctions, WithoutBackendOpenFindsNoDriver) {
  installWaveBackend(nullptr);
  const WAVEFORMATEX format = pcmFormat(2, 16, 44100);
  NotificationLog log;
  HWAVEIN in = nullptr;
  HWAVEOUT out = nullptr;
  EXPECT_EQ(waveInOpen(&in, WAVE_MAPPER, &format, &log, 0, CALLBACK_WINDOW), MMSYSERR_NODRIVER);
  EXPECT_EQ(waveOutOpen(&out, WAVE_MAPPER, &format, &log, 0, CALLBACK_WINDOW), MMSYSERR_NODRIVER);
  EXPECT_EQ(waveInStart(in), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(waveOutClose(out), MMSYSERR_INVALHANDLE);
}

TEST(WaveFunctions, EventTypeIsRegisteredOnce) {
  const QEvent::Type first = WaveMessageEvent::eventType();
  EXPECT_GE(first, QEvent::User);
  EXPECT_EQ(WaveMessageEvent::eventType(), first);
}

class WaveFunctionChecks : public SimulatedCardTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(waveInOpen(&in, WAVE_MAPPER, &format, &log, 0, CALLBACK_WINDOW | WAVE_ALLOWSYNC),
              MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutOpen(&out, WAVE_MAPPER, &format, &log, 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);
    for (auto* h : {&queued, &prepared}) {
      h->lpData = data.data();
      h->dwBufferLength = data.size();
    }
    unprepared.lpData = data.data();
    unprepared.dwBufferLength = data.size();
    ASSERT_EQ(waveInPrepareHeader(in, &queued, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInAddBuffer(in, &queued, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutPrepareHeader(out, &prepared, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  }
  void TearDown() override {
    waveInReset(in);
    waveInClose(in);
    waveOutClose(out);
  }

  const WAVEFORMATEX format = pcmFormat(2, 16, 44100);
  NotificationLog log;
  HWAVEIN in = nullptr;
  HWAVEOUT out = nullptr;
  std::array<char, 400> data{};
  WAVEHDR queued{}, prepared{}, unprepared{};
};

TEST_F(WaveFunctionChecks, RefuseWhatCanBeCheckedWithoutDevice) {
  HWAVEIN other = nullptr;
  WAVEHDR noData{};
  const auto outAsIn = reinterpret_cast<HWAVEIN>(out);
  struct Case {
    const char* what;
    std::function<MMRESULT()> call;
    MMRESULT expected;
  };
  const Case cases[] = {
      {"open without handle out",
       [&] { return waveInOpen(nullptr, WAVE_MAPPER, &format, &log, 0, CALLBACK_WINDOW); },
       MMSYSERR_INVALPARAM},
      {"open without format",
       [&] { return waveInOpen(&other, WAVE_MAPPER, nullptr, &log, 0, CALLBACK_WINDOW); },
       MMSYSERR_INVALPARAM},
      {"window callback missing",
       [&] { return waveInOpen(&other, WAVE_MAPPER, &format, nullptr, 0, CALLBACK_WINDOW); },
       MMSYSERR_INVALPARAM},
      {"unknown open flag",
       [&] { return waveInOpen(&other, WAVE_MAPPER, &format, &log, 0, 0x40000); },
       MMSYSERR_INVALFLAG},
      {"unknown device", [&] { return waveInOpen(&other, 7, &format, &log, 0, CALLBACK_WINDOW); },
       MMSYSERR_BADDEVICEID},
      {"second open",
       [&] { return waveInOpen(&other, WAVE_MAPPER, &format, &log, 0, CALLBACK_WINDOW); },
       MMSYSERR_ALLOCATED},
      {"prepare null header", [&] { return waveInPrepareHeader(in, nullptr, sizeof(WAVEHDR)); },
       MMSYSERR_INVALPARAM},
      {"prepare with wrong size", [&] { return waveInPrepareHeader(in, &unprepared, 32); },
       MMSYSERR_INVALPARAM},
      {"prepare without data", [&] { return waveOutPrepareHeader(out, &noData, sizeof(WAVEHDR)); },
       MMSYSERR_INVALPARAM},
      {"prepare on null handle",
       [&] { return waveInPrepareHeader(nullptr, &unprepared, sizeof(WAVEHDR)); },
       MMSYSERR_INVALHANDLE},
      {"add unprepared", [&] { return waveInAddBuffer(in, &unprepared, sizeof(WAVEHDR)); },
       WAVERR_UNPREPARED},
      {"write unprepared", [&] { return waveOutWrite(out, &unprepared, sizeof(WAVEHDR)); },
       WAVERR_UNPREPARED},
      {"add a header already queued", [&] { return waveInAddBuffer(in, &queued, sizeof(WAVEHDR)); },
       WAVERR_STILLPLAYING},
      {"unprepare a queued header",
       [&] { return waveInUnprepareHeader(in, &queued, sizeof(WAVEHDR)); }, WAVERR_STILLPLAYING},
      {"unprepare with wrong size", [&] { return waveOutUnprepareHeader(out, &prepared, 0); },
       MMSYSERR_INVALPARAM},
      {"output handle given to input", [&] { return waveInStart(outAsIn); }, MMSYSERR_INVALHANDLE},
      {"close with a block queued", [&] { return waveInClose(in); }, WAVERR_STILLPLAYING},
  };
  for (const Case& c : cases) EXPECT_EQ(c.call(), c.expected) << c.what;
  // Nothing of the refused calls changed the queued header.
  EXPECT_EQ(queued.dwFlags, WHDR_PREPARED | WHDR_INQUEUE);
  EXPECT_EQ(unprepared.dwFlags, 0u);
}

TEST(WaveErrorTexts, CopyTruncatedAndRefuseUnknownCodes) {
  char text[256];
  for (MMRESULT code : {MMSYSERR_NOERROR, MMSYSERR_ALLOCATED, MMSYSERR_NODRIVER, WAVERR_BADFORMAT,
                        WAVERR_STILLPLAYING, WAVERR_UNPREPARED}) {
    ASSERT_EQ(waveInGetErrorTextA(code, text, sizeof text), MMSYSERR_NOERROR) << code;
    EXPECT_GT(std::strlen(text), 10u) << code;
    char outText[256];
    ASSERT_EQ(waveOutGetErrorTextA(code, outText, sizeof outText), MMSYSERR_NOERROR);
    EXPECT_STREQ(text, outText);
  }
  char distinct[256];
  waveInGetErrorTextA(MMSYSERR_ALLOCATED, text, sizeof text);
  waveInGetErrorTextA(MMSYSERR_NODRIVER, distinct, sizeof distinct);
  EXPECT_STRNE(text, distinct);

  const std::string full = text;
  std::array<char, 8> small;
  small.fill('#');
  ASSERT_EQ(waveInGetErrorTextA(MMSYSERR_ALLOCATED, small.data(), 6), MMSYSERR_NOERROR);
  EXPECT_EQ(std::string(small.data()), full.substr(0, 5));
  EXPECT_EQ(small[6], '#') << "wrote past the given length";

  EXPECT_EQ(waveOutGetErrorTextA(999, text, sizeof text), MMSYSERR_BADERRNUM);
  EXPECT_EQ(waveInGetErrorTextA(MMSYSERR_ERROR, nullptr, 10), MMSYSERR_INVALPARAM);
  EXPECT_EQ(waveInGetErrorTextA(MMSYSERR_ERROR, text, 0), MMSYSERR_INVALPARAM);
}

class WaveDeviceQueueTest : public ::testing::Test {
 protected:
  WaveDeviceQueueTest() {
    for (size_t i = 0; i < headers.size(); ++i) {
      headers[i].lpData = blocks[i].data();
      headers[i].dwBufferLength = static_cast<DWORD>(blocks[i].size());
      queue.prepare(&headers[i]);
    }
  }
  std::vector<UINT> messages() {
    QCoreApplication::sendPostedEvents();
    std::vector<UINT> result;
    for (const auto& e : log.entries) result.push_back(e.message);
    return result;
  }

  NotificationLog log;
  WaveDeviceQueue queue{WaveDirection::In};
  std::array<std::array<char, 8>, 3> blocks{};
  std::array<WAVEHDR, 3> headers{};
};

TEST_F(WaveDeviceQueueTest, ReturnsBlocksInQueueOrderWithFlagsAndBytes) {
  ASSERT_EQ(queue.open(pcmFormat(2, 16, 44100), &log), MMSYSERR_NOERROR);
  EXPECT_EQ(queue.open(pcmFormat(2, 16, 44100), &log), MMSYSERR_ALLOCATED);
  EXPECT_TRUE(log.entries.empty()) << "notifications must be posted, not sent";
  for (auto& h : headers) ASSERT_EQ(queue.add(&h), MMSYSERR_NOERROR);
  EXPECT_EQ(queue.close(), WAVERR_STILLPLAYING);

  // 8-byte blocks of 4-byte frames: three frames fill the first block and half the second.
  for (int frame = 0; frame < 3; ++frame) {
    ASSERT_EQ(queue.remaining() % 4, 0u);
    std::memset(queue.cursor(), frame + 1, 4);
    queue.advance(4);
  }
  EXPECT_EQ(headers[0].dwFlags, WHDR_PREPARED | WHDR_DONE);
  EXPECT_EQ(headers[0].dwBytesRecorded, 8u);
  EXPECT_EQ(blocks[0][4], 2);
  EXPECT_EQ(blocks[1][0], 3);
  EXPECT_EQ(headers[1].dwFlags, WHDR_PREPARED | WHDR_INQUEUE);

  queue.returnAll();
  EXPECT_EQ(headers[1].dwBytesRecorded, 4u) << "reset returns the bytes recorded so far";
  EXPECT_EQ(headers[2].dwBytesRecorded, 0u);
  EXPECT_EQ(queue.queued(), 0);
  EXPECT_EQ(queue.close(), MMSYSERR_NOERROR);
  EXPECT_EQ(messages(),
            (std::vector<UINT>{MM_WIM_OPEN, MM_WIM_DATA, MM_WIM_DATA, MM_WIM_DATA, MM_WIM_CLOSE}));
  for (size_t i = 0; i < headers.size(); ++i) EXPECT_EQ(log.entries[i + 1].header, &headers[i]);
}

TEST_F(WaveDeviceQueueTest, BlocksShorterThanAFrameComeBackAtOnce) {
  WaveDeviceQueue out{WaveDirection::Out};
  ASSERT_EQ(out.open(pcmFormat(1, 16, 44100), &log), MMSYSERR_NOERROR);
  headers[0].dwBufferLength = 0;
  headers[1].dwBufferLength = 3;  // one whole sample and a stray byte
  for (auto& h : headers) out.add(&h);
  out.advance(0);
  EXPECT_EQ(out.queued(), 2);
  out.advance(2);
  EXPECT_EQ(out.queued(), 1) << "a stray byte is not played";
  EXPECT_EQ(headers[1].dwBytesRecorded, 0u) << "output does not count recorded bytes";
  EXPECT_EQ(messages(), (std::vector<UINT>{MM_WOM_OPEN, MM_WOM_DONE, MM_WOM_DONE}));
}

TEST_F(WaveDeviceQueueTest, RefusesMoreThanItsCapacity) {
  queue.open(pcmFormat(1, 8, 8000), &log);
  std::vector<WAVEHDR> many(WaveDeviceQueue::kCapacity + 1, headers[0]);
  for (int i = 0; i < WaveDeviceQueue::kCapacity; ++i)
    ASSERT_EQ(queue.add(&many[i]), MMSYSERR_NOERROR);
  EXPECT_EQ(queue.add(&many.back()), MMSYSERR_NOMEM);
  EXPECT_EQ(many.back().dwFlags & WHDR_INQUEUE, 0u);
  queue.returnAll();
}

TEST(PcmFormat, SupportedFormats) {
  struct Case {
    WAVEFORMATEX format;
    bool supported;
  };
  WAVEFORMATEX badAlign = pcmFormat(2, 16, 44100);
  badAlign.nBlockAlign = 2;
  WAVEFORMATEX notPcm = pcmFormat(2, 16, 44100);
  notPcm.wFormatTag = 3;
  const Case cases[] = {
      {pcmFormat(2, 16, 44100), true},
      {pcmFormat(1, 8, 8000), true},
      {pcmFormat(2, 8, 192000), true},
      {pcmFormat(1, 16, 7999), false},
      {pcmFormat(1, 16, 192001), false},
      {pcmFormat(3, 16, 44100), false},
      {pcmFormat(1, 24, 44100), false},
      {pcmFormat(1, 12, 44100), false},
      {badAlign, false},
      {notPcm, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(isSupportedPcmFormat(c.format), c.supported)
        << c.format.nChannels << " ch " << c.format.wBitsPerSample << " bit "
        << c.format.nSamplesPerSec << " Hz tag " << c.format.wFormatTag;
}

}  // namespace
