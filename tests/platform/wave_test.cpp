// The wave functions' own checks, their error texts, and the device queue every backend
// keeps its headers in.

#include <array>
#include <cstring>
#include <functional>
#include <string>

#include "WaveTestSupport.h"
#include "wave/WaveDeviceQueue.h"

using namespace osciloskop;

namespace {

TEST(WaveFunctions, WithoutBackendOpenFindsNoDriver) {
  installWaveBackend(nullptr);
  const WAVEFORMATEX format = pcmFormat(2, 16, 44100);
  NotificationLog log;
  HWAVEIN in = nullptr;
  EXPECT_EQ(waveInOpen(&in, WAVE_MAPPER, &format, &log, 0, CALLBACK_WINDOW), MMSYSERR_NODRIVER);
  EXPECT_EQ(waveInStart(in), MMSYSERR_INVALHANDLE);
}

class WaveFunctionChecks : public SimulatedCardTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(waveInOpen(&in, WAVE_MAPPER, &format, &log, 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutOpen(&out, WAVE_MAPPER, &format, &log, 0, CALLBACK_WINDOW), MMSYSERR_NOERROR);
    for (WAVEHDR* h : {&queued, &unprepared})
      *h = WAVEHDR{data.data(), 400, 0, 0, 0, 0, nullptr, 0};
    ASSERT_EQ(waveInPrepareHeader(in, &queued, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInAddBuffer(in, &queued, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
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
  WAVEHDR queued{}, unprepared{};
};

TEST_F(WaveFunctionChecks, RefuseWhatCanBeCheckedWithoutDevice) {
  HWAVEIN other = nullptr;
  WAVEHDR noData{};
  const UINT size = sizeof(WAVEHDR);
  struct Case {
    const char* what;
    std::function<MMRESULT()> call;
    MMRESULT expected;
  };
  const Case cases[] = {
      {"no handle out", [&] { return waveInOpen(nullptr, 0, &format, &log, 0, 0); },
       MMSYSERR_INVALPARAM},
      {"no format", [&] { return waveInOpen(&other, 0, nullptr, &log, 0, 0); },
       MMSYSERR_INVALPARAM},
      {"no window", [&] { return waveInOpen(&other, 0, &format, nullptr, 0, CALLBACK_WINDOW); },
       MMSYSERR_INVALPARAM},
      {"unknown flag", [&] { return waveInOpen(&other, 0, &format, &log, 0, 0x40000); },
       MMSYSERR_INVALFLAG},
      {"unknown device", [&] { return waveInOpen(&other, 7, &format, &log, 0, 0); },
       MMSYSERR_BADDEVICEID},
      {"second open", [&] { return waveInOpen(&other, 0, &format, &log, 0, 0); },
       MMSYSERR_ALLOCATED},
      {"null header", [&] { return waveInPrepareHeader(in, nullptr, size); }, MMSYSERR_INVALPARAM},
      {"header size", [&] { return waveInPrepareHeader(in, &unprepared, 32); },
       MMSYSERR_INVALPARAM},
      {"no data", [&] { return waveOutPrepareHeader(out, &noData, size); }, MMSYSERR_INVALPARAM},
      {"null handle", [&] { return waveInPrepareHeader(nullptr, &unprepared, size); },
       MMSYSERR_INVALHANDLE},
      {"add unprepared", [&] { return waveInAddBuffer(in, &unprepared, size); }, WAVERR_UNPREPARED},
      {"write unprepared", [&] { return waveOutWrite(out, &unprepared, size); }, WAVERR_UNPREPARED},
      {"add queued", [&] { return waveInAddBuffer(in, &queued, size); }, WAVERR_STILLPLAYING},
      {"unprepare queued", [&] { return waveInUnprepareHeader(in, &queued, size); },
       WAVERR_STILLPLAYING},
      {"wrong direction", [&] { return waveInStart(reinterpret_cast<HWAVEIN>(out)); },
       MMSYSERR_INVALHANDLE},
      {"close while queued", [&] { return waveInClose(in); }, WAVERR_STILLPLAYING},
  };
  for (const Case& c : cases) EXPECT_EQ(c.call(), c.expected) << c.what;
  EXPECT_EQ(queued.dwFlags, WHDR_PREPARED | WHDR_INQUEUE);
  EXPECT_EQ(unprepared.dwFlags, 0u);
}

TEST(WaveErrorTexts, CopyTruncatedAndRefuseUnknownCodes) {
  char text[256], other[256];
  ASSERT_EQ(waveInGetErrorTextA(MMSYSERR_ALLOCATED, text, sizeof text), MMSYSERR_NOERROR);
  ASSERT_EQ(waveOutGetErrorTextA(MMSYSERR_NODRIVER, other, sizeof other), MMSYSERR_NOERROR);
  EXPECT_STRNE(text, other);
  EXPECT_GT(std::strlen(text), 10u);

  std::array<char, 8> small;
  small.fill('#');
  ASSERT_EQ(waveInGetErrorTextA(MMSYSERR_ALLOCATED, small.data(), 6), MMSYSERR_NOERROR);
  EXPECT_EQ(std::string(small.data()), std::string(text).substr(0, 5));
  EXPECT_EQ(small[6], '#') << "wrote past the given length";

  EXPECT_EQ(waveOutGetErrorTextA(999, text, sizeof text), MMSYSERR_BADERRNUM);
  EXPECT_EQ(waveInGetErrorTextA(MMSYSERR_ERROR, nullptr, 10), MMSYSERR_INVALPARAM);
}

class WaveDeviceQueueTest : public ::testing::Test {
 protected:
  WaveDeviceQueueTest() {
    for (size_t i = 0; i < headers.size(); ++i)
      headers[i] = WAVEHDR{blocks[i].data(), 8, 0, 0, WHDR_PREPARED, 0, nullptr, 0};
  }
  std::vector<UINT> messages() {
    QCoreApplication::sendPostedEvents();
    std::vector<UINT> result;
    for (const auto& e : log.entries) result.push_back(e.message);
    return result;
  }

  NotificationLog log;
  std::array<std::array<char, 8>, 3> blocks{};
  std::array<WAVEHDR, 3> headers{};
};

TEST_F(WaveDeviceQueueTest, BlocksShorterThanAFrameComeBackAtOnce) {
  WaveDeviceQueue out{WaveDirection::Out};
  out.open(pcmFormat(1, 16, 44100), &log);
  headers[0].dwBufferLength = 0;
  headers[1].dwBufferLength = 3;  // one whole sample and a stray byte
  for (auto& h : headers) out.add(&h);
  out.advance(0);
  EXPECT_EQ(out.queued(), 2);
  out.advance(2);
  EXPECT_EQ(out.queued(), 1) << "a stray byte is not played";
  out.advance(100);  // more than the block holds
  EXPECT_EQ(out.queued(), 0);
  EXPECT_EQ(messages(), (std::vector<UINT>{MM_WOM_OPEN, MM_WOM_DONE, MM_WOM_DONE, MM_WOM_DONE}));
}

}  // namespace
