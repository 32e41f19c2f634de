// The real-card backend's parts that need no sound server: the device choice from the
// command line, the device list, the shapes a device is opened with, the bounded calls into
// PortAudio, the filter of the sound libraries' chatter, and the card's refusals.

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>
#include <vector>

#include "WaveTestSupport.h"
#include "wave/PortAudioCard.h"
#include "wave/portaudio/AudioDeviceList.h"
#include "wave/portaudio/BoundedCaller.h"
#include "wave/portaudio/LibraryChatter.h"

using namespace osciloskop;

namespace {

const std::vector<AudioDeviceInfo> kDevices = {
    {0, "HDA Intel PCH: ALC892 Analog (hw:0,0)", 2, 2, 44100},
    {1, "USB Audio Device: Mic (hw:1,0)", 1, 0, 48000},
    {2, "sysdefault", 128, 128, 48000},
    {3, "HDMI 0 (hw:0,3)", 0, 8, 44100},
    {4, "default", 32, 32, 44100},
    {7, "pulse", 32, 32, 44100},
};

struct ChoiceCase {
  const char* wanted;
  AudioDirection direction;
  int expected;  // -1: refused
};

TEST(AudioDeviceChoice, PicksByNumberOrName) {
  const ChoiceCase cases[] = {
      {"usb", AudioDirection::Input, 1},       // part of a name, any case
      {"USB", AudioDirection::Output, -1},     // the USB device has no output
      {"DEFAULT", AudioDirection::Input, 4},   // the exact name beats "sysdefault"
      {"default", AudioDirection::Output, 4},  //
      {"defa", AudioDirection::Input, 2},      // several partial matches: the first
      {"hdmi", AudioDirection::Output, 3},     //
      {"hdmi", AudioDirection::Input, -1},     // output only
      {"7", AudioDirection::Input, 7},         // a device number, not a list position
      {"3", AudioDirection::Output, 3},        //
      {"3", AudioDirection::Input, -1},        // number of an output-only device
      {"0", AudioDirection::Input, 0},         // "0" is no part of "hw:0,0" here
      {"5", AudioDirection::Output, -1},       // no device 5
      {"1,0", AudioDirection::Input, 1},       // not a number: a part of a name
      {"", AudioDirection::Input, -1},         // nothing named
      {"no such card", AudioDirection::Input, -1},
  };
  for (const ChoiceCase& c : cases) {
    std::string error;
    EXPECT_EQ(chooseAudioDevice(kDevices, c.direction, c.wanted, &error), c.expected)
        << '"' << c.wanted << '"';
    EXPECT_EQ(error.empty(), c.expected >= 0) << '"' << c.wanted << "\": " << error;
  }
}

TEST(AudioDeviceChoice, RefusalListsTheDevicesOfThatDirection) {
  std::string error;
  ASSERT_EQ(chooseAudioDevice(kDevices, AudioDirection::Output, "mic", &error), -1);
  EXPECT_NE(error.find("no output device matches \"mic\""), std::string::npos) << error;
  EXPECT_NE(error.find("HDMI 0 (hw:0,3)"), std::string::npos) << error;
  EXPECT_EQ(error.find("USB Audio Device"), std::string::npos) << error;
}

TEST(AudioDeviceList, MarksDefaultsAndSaysWhenThereAreNone) {
  const std::vector<AudioDeviceInfo> devices = {
      {0, "HDMI", 0, 8, 48000},
      {2, "default", 2, 1, 44100},
  };
  std::ostringstream both;
  writeAudioDeviceList(both, devices, -1, 2);
  EXPECT_EQ(both.str(),
            "Input devices:\n"
            "    2  default (2 channels, 44100 Hz)\n"
            "Output devices:\n"
            "    0  HDMI (8 channels, 48000 Hz)\n"
            "  * 2  default (1 channel, 44100 Hz)\n");

  std::ostringstream none;
  writeAudioDeviceList(none, {}, -1, -1);
  EXPECT_EQ(none.str(), "Input devices: none\nOutput devices: none\n");
}

TEST(DeviceShapes, TheBlocksOwnShapeFirstThenTheDevicesThenOtherChannelCounts) {
  struct ShapeCase {
    const char* what;
    uint32_t rate;
    unsigned channels;
    int maxChannels;
    double defaultRate;
    std::vector<DeviceShape> first;  // the first candidates, in order
    unsigned mostChannels;           // no candidate has more
  };
  const ShapeCase cases[] = {
      {"stereo input, 48 kHz device", 44100, 2, 2, 48000, {{44100, 2}, {48000, 2}, {96000, 2}}, 2},
      {"the default rate comes before the common ones",
       44100,
       1,
       2,
       32000,
       {{44100, 1}, {32000, 1}, {48000, 1}},
       2},
      {"a mono device for stereo blocks", 44100, 2, 1, 44100, {{44100, 1}, {48000, 1}}, 1},
      {"a device with many channels", 44100, 1, 8, 44100, {{44100, 1}, {48000, 1}}, 8},
      {"no default rate", 44100, 2, 2, 0, {{44100, 2}, {48000, 2}}, 2},
  };
  for (const ShapeCase& c : cases) {
    SCOPED_TRACE(c.what);
    const auto shapes = deviceShapesToTry(c.rate, c.channels, c.maxChannels, c.defaultRate);
    ASSERT_GE(shapes.size(), c.first.size());
    EXPECT_TRUE(std::equal(c.first.begin(), c.first.end(), shapes.begin()));
    for (const DeviceShape& shape : shapes) {
      EXPECT_LE(shape.channels, c.mostChannels);
      EXPECT_EQ(std::count(shapes.begin(), shapes.end(), shape), 1) << shape.rate;
    }
  }
}

TEST(BoundedCaller, AnOverrunningCallIsLeftBehindAndRefusesTheNextUntilItEnds) {
  using namespace std::chrono_literals;
  BoundedCaller caller;
  EXPECT_EQ(caller.run([] { return 7; }, 1s), 7);

  auto release = std::make_shared<std::atomic<bool>>(false);
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(caller.run(
                [release] {
                  while (!release->load()) std::this_thread::sleep_for(1ms);
                  return 1;
                },
                50ms),
            std::nullopt);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
  EXPECT_TRUE(caller.stuck());
  EXPECT_EQ(caller.run([] { return 2; }, 1s), std::nullopt) << "refused at once while stuck";

  release->store(true);
  while (caller.stuck()) std::this_thread::sleep_for(1ms);
  EXPECT_EQ(caller.run([] { return 3; }, 1s), 3);
}

TEST(BoundedCaller, GoingAwayWhileStuckDoesNotWait) {
  using namespace std::chrono_literals;
  auto release = std::make_shared<std::atomic<bool>>(false);
  const auto started = std::chrono::steady_clock::now();
  {
    BoundedCaller caller;
    caller.run(
        [release] {
          while (!release->load()) std::this_thread::sleep_for(1ms);
          return 0;
        },
        10ms);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
  release->store(true);  // the thread left behind ends now
}

TEST(LibraryChatter, TellsTheSoundLibrariesLinesFromEveryoneElses) {
  const std::pair<const char*, bool> lines[] = {
      {"ALSA lib pcm.c:8570:(snd_pcm_recover) underrun occurred", true},
      {"Expression 'alsa_snd_pcm_prepare( stream->playback.pcm )' failed in "
       "'src/hostapi/alsa/pa_linux_alsa.c', line: 2920",
       true},
      {"Cannot connect to server socket err = No such file or directory", true},
      {"JackShmReadWritePtr::~JackShmReadWritePtr - Init not done for -1, skipping unlock", true},
      {"jack server is not running or cannot be started", true},
      {"sound input lost: default", false},
      {"osciloskop: no display found: running headless on the offscreen platform", false},
      {"QStandardPaths: XDG_RUNTIME_DIR not set, defaulting to '/tmp/runtime-root'", false},
      {"==1234==ERROR: AddressSanitizer: heap-use-after-free", false},
      {"screenshot saved to /tmp/x.png", false},
  };
  for (const auto& [line, chatter] : lines) EXPECT_EQ(isLibraryChatter(line), chatter) << line;
}

// The wave functions refuse what the card could not take before they reach it.
TEST(PortAudioCard, RefusesFormatsItCannotMoveBeforeLookingForADevice) {
  std::string error;
  const auto card = PortAudioCard::create({}, &error);
  ASSERT_TRUE(card) << error;
  installWaveBackend(card.get());
  WAVEFORMATEX adpcm = pcmFormat(2, 16, 44100);
  adpcm.wFormatTag = 2;
  const WAVEFORMATEX refused[] = {pcmFormat(2, 24, 44100), pcmFormat(3, 16, 44100),
                                  pcmFormat(1, 32, 44100), adpcm};
  QObject callback;
  for (const WAVEFORMATEX& format : refused) {
    HWAVEIN in = nullptr;
    HWAVEOUT out = nullptr;
    EXPECT_EQ(waveInOpen(&in, WAVE_MAPPER, &format, &callback, 0, CALLBACK_WINDOW),
              WAVERR_BADFORMAT)
        << format.wBitsPerSample;
    EXPECT_EQ(waveOutOpen(&out, WAVE_MAPPER, &format, &callback, 0, CALLBACK_WINDOW),
              WAVERR_BADFORMAT)
        << format.wBitsPerSample;
  }
  installWaveBackend(nullptr);
}

TEST(PortAudioCard, RefusesHandlesItDidNotGive) {
  std::string error;
  const auto card = PortAudioCard::create({}, &error);
  ASSERT_TRUE(card) << error;
  installWaveBackend(card.get());
  int other = 0;
  const auto hwi = reinterpret_cast<HWAVEIN>(&other);
  const auto hwo = reinterpret_cast<HWAVEOUT>(&other);
  WAVEHDR header{};
  const UINT size = sizeof header;
  EXPECT_EQ(waveInPrepareHeader(hwi, &header, size), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(waveInAddBuffer(hwi, &header, size), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(waveInStart(hwi), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(waveInReset(hwi), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(waveInClose(hwi), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(waveOutWrite(hwo, &header, size), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(waveOutPause(hwo), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(waveOutClose(hwo), MMSYSERR_INVALHANDLE);
  installWaveBackend(nullptr);
}

TEST(PortAudioCard, UnknownDeviceNameFailsWithTheListAndItsDirection) {
  struct Case {
    PortAudioCard::DeviceChoice choice;
    const char* message;
    const char* list;
    WaveDirection unmatched;
  };
  const Case cases[] = {
      {{"no card has this name", ""},
       "no input device matches \"no card has this name\"",
       "Input devices:",
       WaveDirection::In},
      {{"", "no card has this name"},
       "no output device matches \"no card has this name\"",
       "Output devices:",
       WaveDirection::Out},
  };
  for (const Case& c : cases) {
    std::string error;
    std::optional<WaveDirection> unmatched;
    EXPECT_FALSE(PortAudioCard::create(c.choice, &error, &unmatched));
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
    EXPECT_NE(error.find(c.list), std::string::npos) << error;
    EXPECT_EQ(unmatched, c.unmatched) << c.message;
  }
}

}  // namespace
