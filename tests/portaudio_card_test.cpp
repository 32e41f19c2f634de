// The real-card backend's parts that need no sound server: the device choice from the
// command line, the device list, the lock-free queue between the audio thread and the UI
// thread, the block mover the audio callback runs, and the card's refusals.

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <sstream>
#include <thread>
#include <vector>

#include "wave/AudioBlockChannel.h"
#include "wave/AudioDeviceList.h"
#include "wave/PortAudioCard.h"
#include "wave/SpscQueue.h"

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

TEST(SpscQueue, RefusesWhenFullAndKeepsOrderAcrossTheWrap) {
  SpscQueue<int, 4> queue;
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(queue.tryPush(i));
  EXPECT_FALSE(queue.tryPush(99));
  EXPECT_EQ(queue.tryPop(), 0);
  EXPECT_TRUE(queue.tryPush(4));
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(queue.tryPop(), i);
  EXPECT_EQ(queue.tryPop(), std::nullopt);
}

TEST(SpscQueue, TwoThreadsLoseNothingAndKeepOrder) {
  constexpr int kCount = 50000;
  SpscQueue<int, 8> queue;
  std::thread producer([&] {
    for (int i = 0; i < kCount;)
      if (queue.tryPush(i)) ++i;
  });
  std::vector<int> received;
  received.reserve(kCount);
  while (static_cast<int>(received.size()) < kCount)
    if (const auto value = queue.tryPop()) received.push_back(*value);
  producer.join();
  std::vector<int> expected(kCount);
  std::iota(expected.begin(), expected.end(), 0);
  EXPECT_EQ(received, expected);
}

// Headers over blocks of the given lengths.
struct Blocks {
  explicit Blocks(const std::vector<DWORD>& lengths)
      : data(lengths.size()), headers(lengths.size()) {
    for (std::size_t i = 0; i < lengths.size(); ++i) {
      data[i].assign(lengths[i], '\x55');
      headers[i].lpData = data[i].data();
      headers[i].dwBufferLength = lengths[i];
    }
  }
  std::vector<std::vector<char>> data;
  std::vector<WAVEHDR> headers;
};

std::vector<char> counting(std::size_t bytes, int from = 0) {
  std::vector<char> samples(bytes);
  std::iota(samples.begin(), samples.end(), static_cast<char>(from));
  return samples;
}

struct CaptureCase {
  const char* what;
  DWORD frameBytes;
  std::vector<DWORD> blockLengths;
  std::vector<std::size_t> callbackFrames;  // frames per callback
  std::vector<DWORD> finishedBytes;         // blocks back, in order
  DWORD partial;                            // bytes in the block still being filled
};

TEST(AudioBlockChannel, CaptureFillsBlocksInQueueOrderWithWholeFrames) {
  const CaptureCase cases[] = {
      {"exact blocks", 4, {8, 8}, {2, 2}, {8, 8}, 0},
      {"callback spans blocks", 4, {8, 8, 8}, {3, 1}, {8, 8}, 0},
      {"partial block at the end", 4, {8, 8}, {3}, {8}, 4},
      {"length rounded down to frames", 4, {10, 9}, {2, 2}, {8, 8}, 0},
      {"block shorter than a frame comes back empty", 4, {3, 4}, {1}, {0, 4}, 0},
      {"frames beyond the blocks are dropped", 2, {4}, {10}, {4}, 0},
      {"8-bit mono", 1, {5, 5}, {7}, {5}, 2},
  };
  for (const CaptureCase& c : cases) {
    SCOPED_TRACE(c.what);
    Blocks blocks(c.blockLengths);
    AudioBlockChannel channel;
    channel.configure(c.frameBytes, 0);
    for (WAVEHDR& header : blocks.headers) ASSERT_TRUE(channel.give(&header));
    std::size_t total = 0;
    for (std::size_t frames : c.callbackFrames) total += frames * c.frameBytes;
    const std::vector<char> samples = counting(total);
    std::size_t at = 0;
    for (std::size_t frames : c.callbackFrames) {
      channel.capture(samples.data() + at, frames);
      at += frames * c.frameBytes;
    }

    std::size_t expectedAt = 0;
    for (std::size_t i = 0; i < c.finishedBytes.size(); ++i) {
      const auto finished = channel.takeFinished();
      ASSERT_TRUE(finished) << "block " << i;
      EXPECT_EQ(finished->header, &blocks.headers[i]);
      ASSERT_EQ(finished->bytes, c.finishedBytes[i]) << "block " << i;
      EXPECT_EQ(std::memcmp(blocks.data[i].data(), samples.data() + expectedAt, finished->bytes), 0)
          << "block " << i;
      expectedAt += finished->bytes;
    }
    EXPECT_FALSE(channel.takeFinished());
    EXPECT_EQ(channel.reclaim(), c.partial);
  }
}

TEST(AudioBlockChannel, PlayConsumesBlocksInOrderThenSilence) {
  struct PlayCase {
    const char* what;
    DWORD frameBytes;
    unsigned char silence;
    std::vector<DWORD> blockLengths;
    std::size_t frames;
    std::size_t playedBytes;  // the rest is silence
    std::size_t finished;
  };
  const PlayCase cases[] = {
      {"16-bit, runs dry", 2, 0, {4, 6}, 8, 10, 2},
      {"8-bit silence is 0x80", 1, 0x80, {3}, 5, 3, 1},
      {"stops inside a block", 2, 0, {8, 8}, 5, 10, 1},
      {"odd length plays whole frames", 2, 0, {5}, 4, 4, 1},
  };
  for (const PlayCase& c : cases) {
    SCOPED_TRACE(c.what);
    Blocks blocks(c.blockLengths);
    std::size_t total = 0;
    for (std::size_t i = 0; i < blocks.data.size(); ++i) {
      const std::vector<char> content = counting(blocks.data[i].size(), static_cast<int>(total));
      blocks.data[i] = content;
      blocks.headers[i].lpData = blocks.data[i].data();
      total += content.size();
    }
    AudioBlockChannel channel;
    channel.configure(c.frameBytes, c.silence);
    for (WAVEHDR& header : blocks.headers) channel.give(&header);
    std::vector<char> out(c.frames * c.frameBytes, '\x11');
    channel.play(out.data(), c.frames);

    std::vector<char> expected;
    for (const std::vector<char>& block : blocks.data) {
      const std::size_t whole = block.size() - block.size() % c.frameBytes;
      expected.insert(expected.end(), block.begin(), block.begin() + whole);
    }
    expected.resize(c.playedBytes);
    expected.resize(out.size(), static_cast<char>(c.silence));
    EXPECT_EQ(out, expected);
    std::size_t finished = 0;
    while (channel.takeFinished()) ++finished;
    EXPECT_EQ(finished, c.finished);
  }
}

TEST(AudioBlockChannel, PausedPlaysSilenceAndKeepsItsPlace) {
  Blocks blocks({8});
  blocks.data[0] = counting(8, 1);
  blocks.headers[0].lpData = blocks.data[0].data();
  AudioBlockChannel channel;
  channel.configure(2, 0);
  channel.give(&blocks.headers[0]);
  std::vector<char> out(4);
  channel.play(out.data(), 2);
  EXPECT_EQ(out, (std::vector<char>{1, 2, 3, 4}));
  channel.setPaused(true);
  channel.play(out.data(), 2);
  EXPECT_EQ(out, (std::vector<char>{0, 0, 0, 0}));
  EXPECT_FALSE(channel.takeFinished());
  channel.setPaused(false);
  channel.play(out.data(), 2);
  EXPECT_EQ(out, (std::vector<char>{5, 6, 7, 8}));
  EXPECT_TRUE(channel.takeFinished());
}

// The audio thread records a running count in chunks of varying size while the UI thread
// keeps four blocks queued; every block must come back in order holding the next bytes.
TEST(AudioBlockChannel, CaptureAcrossThreadsKeepsEverySample) {
  constexpr DWORD kBlockBytes = 4000;
  constexpr int kBlocksWanted = 400;
  Blocks blocks(std::vector<DWORD>(4, kBlockBytes));
  AudioBlockChannel channel;
  channel.configure(2, 0);
  for (WAVEHDR& header : blocks.headers) channel.give(&header);

  // Stops and joins when the test ends, also on a failed assertion.
  std::jthread audio([&](std::stop_token stop) {
    std::vector<char> chunk(2 * 997);
    unsigned char next = 0;
    std::size_t frames = 1;
    while (!stop.stop_requested()) {
      frames = frames % 997 + 1;
      for (std::size_t i = 0; i < frames * 2; ++i) chunk[i] = static_cast<char>(next++);
      channel.capture(chunk.data(), frames);
    }
  });

  // Frames dropped while no block was queued break the count between blocks, so each
  // block is checked on its own: consecutive bytes inside it.
  int received = 0;
  std::size_t expectedBlock = 0;
  while (received < kBlocksWanted) {
    const auto finished = channel.takeFinished();
    if (!finished) continue;
    ASSERT_EQ(finished->header, &blocks.headers[expectedBlock]);
    ASSERT_EQ(finished->bytes, kBlockBytes);
    const std::vector<char>& data = blocks.data[expectedBlock];
    for (std::size_t i = 1; i < data.size(); ++i)
      ASSERT_EQ(static_cast<unsigned char>(data[i]), static_cast<unsigned char>(data[i - 1] + 1))
          << "block " << received << " byte " << i;
    channel.give(finished->header);
    expectedBlock = (expectedBlock + 1) % blocks.headers.size();
    ++received;
  }
}

WAVEFORMATEX pcm(uint16_t channels, uint16_t bits, uint32_t rate) {
  const uint16_t align = channels * bits / 8;
  return {WAVE_FORMAT_PCM, channels, rate, align * rate, align, bits, 0};
}

TEST(PortAudioCard, RefusesFormatsItCannotMoveBeforeLookingForADevice) {
  std::string error;
  const auto card = PortAudioCard::create({}, &error);
  ASSERT_TRUE(card) << error;
  WAVEFORMATEX adpcm = pcm(2, 16, 44100);
  adpcm.wFormatTag = 2;
  const WAVEFORMATEX refused[] = {pcm(2, 24, 44100), pcm(3, 16, 44100), pcm(1, 32, 44100), adpcm};
  for (const WAVEFORMATEX& format : refused) {
    HWAVEIN in = nullptr;
    HWAVEOUT out = nullptr;
    EXPECT_EQ(card->inOpen(&in, format, nullptr), WAVERR_BADFORMAT) << format.wBitsPerSample;
    EXPECT_EQ(card->outOpen(&out, format, nullptr), WAVERR_BADFORMAT) << format.wBitsPerSample;
  }
}

TEST(PortAudioCard, RefusesHandlesItDidNotGive) {
  std::string error;
  const auto card = PortAudioCard::create({}, &error);
  ASSERT_TRUE(card) << error;
  int other = 0;
  const auto hwi = reinterpret_cast<HWAVEIN>(&other);
  const auto hwo = reinterpret_cast<HWAVEOUT>(&other);
  WAVEHDR header{};
  EXPECT_EQ(card->inPrepareHeader(hwi, &header), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(card->inAddBuffer(hwi, &header), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(card->inStart(hwi), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(card->inReset(hwi), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(card->inClose(hwi), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(card->outWrite(hwo, &header), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(card->outPause(hwo), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(card->outClose(hwo), MMSYSERR_INVALHANDLE);
}

TEST(PortAudioCard, UnknownDeviceNameFailsWithTheList) {
  std::string error;
  EXPECT_FALSE(PortAudioCard::create({"no card has this name", ""}, &error));
  EXPECT_NE(error.find("no input device matches \"no card has this name\""), std::string::npos)
      << error;
  EXPECT_NE(error.find("Input devices:"), std::string::npos) << error;
}

}  // namespace
