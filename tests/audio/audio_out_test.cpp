// The output stream against the simulated card with the manual clock.

#include <vector>

#include "StreamTestSupport.h"

using namespace osciloskop;

namespace {

constexpr double kBlock = 11000 / 44100.0;  // 22000 bytes of 16-bit mono

class AudioOutTest : public StreamTest {
 protected:
  AudioOutTest() { makeOutput(); }

  // Fills every sample of a block with the number of the fill (from 1) and answers
  // `accept(fill)`; `length(fill)` may shorten the block.
  void fillWithNumbers(std::function<bool(int)> accept,
                       std::function<int32_t(int, int32_t)> length = nullptr) {
    AudioOut1->OnFillBuffer = [this, accept, length](void* buffer, int32_t& size) {
      const int fill = static_cast<int>(fills.size()) + 1;
      fills.push_back({buffer, size});
      auto* samples = static_cast<int16_t*>(buffer);
      std::fill(samples, samples + size / 2, static_cast<int16_t>(fill));
      if (length) size = length(fill, size);
      return accept(fill);
    };
  }
  // Records what the line output plays through a loopback input, one value per block of
  // 441 frames (10 ms), and returns the distinct values heard in order.
  std::vector<int16_t> heard() const {
    std::vector<int16_t> order;
    for (int16_t v : line)
      if (order.empty() || order.back() != v) order.push_back(v);
    return order;
  }
  void listen() {
    setSource(0, "loopback");
    makeInput();
    AudioIn1->SetBufferSize(441 * 4);
    AudioIn1->OnBufferFilled = [this](void* buffer, int32_t& size) {
      const auto* values = static_cast<const int16_t*>(buffer);
      for (int32_t i = 0; i < size / 2; i += 2) line.push_back(values[i]);
      return true;
    };
    ASSERT_TRUE(AudioIn1->Launch(&AudioIn1));
  }

  struct Fill {
    void* buffer;
    int32_t size;
  };
  std::vector<Fill> fills;
  std::vector<int16_t> line;
};

TEST_F(AudioOutTest, PlaysBlocksInRingOrderAndRefillsEachAsItFinishes) {
  fillWithNumbers([](int) { return true; });
  QObject* started = nullptr;
  AudioOut1->OnStart = [&](QObject* sender) { started = sender; };
  listen();
  ASSERT_TRUE(AudioOut1->Launch(&AudioOut1));
  EXPECT_EQ(started, nullptr) << "OnStart runs from the posted notification";
  EXPECT_EQ(AudioOut1->FilledCount(), 4);
  EXPECT_EQ(AudioOut1->QueuedCount(), 4);
  EXPECT_EQ(AudioOut1->NextIndex(), 0);
  run(10 * kBlock + 0.001);
  EXPECT_EQ(started, AudioOut1->CallbackWindow());
  EXPECT_EQ(AudioOut1->ProcessedCount(), 10);
  EXPECT_EQ(AudioOut1->FilledCount(), 14);
  EXPECT_EQ(AudioOut1->QueuedCount(), 4);
  ASSERT_EQ(fills.size(), 14u);
  for (size_t i = 0; i < fills.size(); ++i) {
    EXPECT_EQ(fills[i].buffer, AudioOut1->Buffer(static_cast<int>(i % 4))) << i;
    EXPECT_EQ(fills[i].size, 22000) << i;
  }
  run(0.02);  // the input hands over what it heard in 10 ms blocks
  EXPECT_EQ(heard(), (std::vector<int16_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
}

TEST_F(AudioOutTest, ASizeOf1000PlaysOnly1000Bytes) {
  fillWithNumbers([](int) { return true; },
                  [](int fill, int32_t size) { return fill == 1 ? 1000 : size; });
  listen();
  ASSERT_TRUE(AudioOut1->Launch(&AudioOut1));
  EXPECT_EQ(AudioOut1->Header(0)->dwBufferLength, 1000u);
  run(500 / 44100.0);
  EXPECT_EQ(AudioOut1->ProcessedCount(), 1) << "500 samples played the whole first block";
  EXPECT_EQ(fills[4].size, 22000) << "the next fill of the position starts from the full size";
  EXPECT_EQ(AudioOut1->Header(0)->dwBufferLength, 22000u);
  run(kBlock);
  const size_t ones = static_cast<size_t>(std::count(line.begin(), line.end(), 1));
  EXPECT_EQ(ones, 500u);
}

TEST_F(AudioOutTest, SizesOutsideTheBlockAreKeptWithinIt) {
  fillWithNumbers([](int) { return true; },
                  [](int fill, int32_t size) {
                    return fill == 1 ? 1 << 30 : fill == 2 ? -5 : size;
                  });
  ASSERT_TRUE(AudioOut1->Launch(&AudioOut1));
  EXPECT_EQ(AudioOut1->Header(0)->dwBufferLength, 22000u);
  EXPECT_EQ(AudioOut1->Header(1)->dwBufferLength, 0u);
  run(kBlock + 0.001);
  EXPECT_EQ(AudioOut1->ProcessedCount(), 2)
      << "an empty block comes back as soon as its turn comes";
}

TEST_F(AudioOutTest, LaunchWithoutAFilledFirstBlockFails) {
  ASSERT_FALSE(AudioOut1->Launch(&AudioOut1));
  EXPECT_EQ(AudioOut1->ErrorMessage(), "There must be at least one filled buffer");
  EXPECT_FALSE(AudioOut1->DeviceOpen());
  fillWithNumbers([](int fill) { return fill != 1; });
  ASSERT_FALSE(AudioOut1->Launch(&AudioOut1));
  EXPECT_EQ(AudioOut1->ErrorMessage(), "There must be at least one filled buffer");
  EXPECT_FALSE(AudioOut1->DeviceOpen());
  EXPECT_EQ(fills.size(), 1u) << "nothing after the first pre-fill";
}

TEST_F(AudioOutTest, LaunchWhileOpenLeavesThePlayingStreamAlone) {
  fillWithNumbers([](int) { return true; });
  ASSERT_TRUE(AudioOut1->Launch(&AudioOut1));
  run(kBlock + 0.01);
  EXPECT_FALSE(AudioOut1->Launch(&AudioOut1));
  EXPECT_EQ(AudioOut1->ErrorMessage(), "Wave output device is already open");
  EXPECT_EQ(AudioOut1->FilledCount(), 5);
  EXPECT_EQ(AudioOut1->NextIndex(), 1);
  run(kBlock);
  EXPECT_EQ(AudioOut1->FilledCount(), 6);
}

TEST_F(AudioOutTest, PausedHoldsTheBlocksAndClosingClearsIt) {
  fillWithNumbers([](int) { return true; });
  AudioOut1->SetPaused(true);  // on a closed stream only the value changes
  ASSERT_TRUE(AudioOut1->Launch(&AudioOut1));
  run(2.0);
  EXPECT_EQ(AudioOut1->ProcessedCount(), 0) << "written, but held";
  AudioOut1->SetPaused(false);
  run(kBlock + 0.001);
  EXPECT_EQ(AudioOut1->ProcessedCount(), 1);
  AudioOut1->SetPaused(true);
  run(1.0);
  EXPECT_EQ(AudioOut1->ProcessedCount(), 1) << "pause holds";
  AudioOut1->AbortStream();
  EXPECT_FALSE(AudioOut1->DeviceOpen());
  EXPECT_FALSE(AudioOut1->Paused());
}

TEST_F(AudioOutTest, ADeclinedPreFillIsStillWrittenAndPlayed) {
  fillWithNumbers([](int fill) { return fill != 3; });
  listen();
  ASSERT_TRUE(AudioOut1->Launch(&AudioOut1));
  EXPECT_EQ(AudioOut1->FilledCount(), 3);
  run(6 * kBlock + 0.01);
  EXPECT_EQ(AudioOut1->ProcessedCount(), 6);
  EXPECT_EQ(heard(), (std::vector<int16_t>{1, 2, 3, 4, 5, 6, 7}));
  EXPECT_TRUE(AudioOut1->DeviceOpen());
}

TEST_F(AudioOutTest, DrainPlaysWhatIsQueuedThenCloses) {
  fillWithNumbers([](int) { return true; });
  int stops = 0;
  AudioOut1->OnStop = [&](QObject*) { ++stops; };
  ASSERT_TRUE(AudioOut1->Launch(&AudioOut1));
  run(kBlock + 0.001);
  AudioOut1->DrainStream();
  // The block refilled at the first notification and the three before it still play.
  run(4 * kBlock - 0.01);
  EXPECT_TRUE(AudioOut1->DeviceOpen());
  EXPECT_EQ(fills.size(), 5u) << "no refill after the drain";
  run(0.02);
  EXPECT_FALSE(AudioOut1->DeviceOpen());
  EXPECT_FALSE(AudioOut1->Active());
  EXPECT_EQ(stops, 1);
}

TEST_F(AudioOutTest, EachFailingCallLeavesItsMessageAndAClosedDevice) {
  using Call = SimulatedCard::WaveCall;
  struct Case {
    Call call;
    MMRESULT code;
  };
  const Case cases[] = {
      {Call::Open, MMSYSERR_ALLOCATED},
      {Call::Open, WAVERR_BADFORMAT},
      {Call::Prepare, MMSYSERR_NOMEM},
      {Call::Write, MMSYSERR_INVALPARAM},
  };
  fillWithNumbers([](int) { return true; });
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    card.failNext(c.call, c.code);
    EXPECT_FALSE(AudioOut1->Launch(&AudioOut1));
    EXPECT_EQ(AudioOut1->ErrorMessage(), inputText(c.code));
    EXPECT_FALSE(AudioOut1->DeviceOpen());
    EXPECT_FALSE(AudioOut1->Active());
    deliverPostedEvents();
    ASSERT_TRUE(AudioOut1->Launch(&AudioOut1));
    AudioOut1->AbortStream();
    deliverPostedEvents();
  }
}

// The refilled block is counted as filled but never reaches the device; the stream must still
// close once the device has played what it holds.
TEST_F(AudioOutTest, ALaterFailedWriteDrainsAndCloses) {
  fillWithNumbers([](int) { return true; });
  ASSERT_TRUE(AudioOut1->Launch(&AudioOut1));
  card.failNext(SimulatedCard::WaveCall::Write, MMSYSERR_NOMEM);
  run(kBlock + 0.001);
  EXPECT_EQ(AudioOut1->ErrorMessage(), inputText(MMSYSERR_NOMEM));
  EXPECT_FALSE(AudioOut1->Feeding());
  EXPECT_TRUE(AudioOut1->DeviceOpen());
  EXPECT_EQ(AudioOut1->NextIndex(), 0);
  run(3 * kBlock);
  EXPECT_FALSE(AudioOut1->DeviceOpen());
  ASSERT_TRUE(AudioOut1->Launch(&AudioOut1));
}

TEST_F(AudioOutTest, AStreamLaunchedAgainAfterUnplugResumes) {
  fillWithNumbers([](int) { return true; });
  ASSERT_TRUE(AudioOut1->Launch(&AudioOut1));
  // Past the time a newly started device is given for its first frames.
  run(DeviceWatch::kStartSeconds + 0.1);
  card.unplug();
  run(DeviceWatch::kStallSeconds - 0.01);
  EXPECT_TRUE(AudioOut1->DeviceOpen()) << "a card pulled out gives nothing back by itself";
  run(0.02);
  EXPECT_FALSE(AudioOut1->DeviceOpen());
  EXPECT_EQ(AudioOut1->ErrorMessage(), inputText(MMSYSERR_NODRIVER));
  EXPECT_FALSE(AudioOut1->Launch(&AudioOut1));
  card.replug();
  ASSERT_TRUE(AudioOut1->Launch(&AudioOut1));
  run(kBlock + 0.001);
  EXPECT_EQ(AudioOut1->ProcessedCount(), 1);
  EXPECT_TRUE(AudioOut1->DeviceOpen());
}

TEST_F(AudioOutTest, ABlockAcceptedWhenTheDeviceRanEmptyKeepsTheStreamGoing) {
  // Fills 1-4 are the pre-fills; the refills at the first three notifications decline, the
  // one at the fourth (which finds nothing left with the device) accepts again.
  fillWithNumbers([](int fill) { return fill <= 4 || fill >= 8; });
  ASSERT_TRUE(AudioOut1->Launch(&AudioOut1));
  run(4 * kBlock + 0.001);
  EXPECT_EQ(fills.size(), 8u);
  EXPECT_TRUE(AudioOut1->DeviceOpen());
  EXPECT_TRUE(AudioOut1->Active());
  EXPECT_TRUE(AudioOut1->Feeding());
  run(2 * kBlock + 0.01);  // the device ran empty until the notification was handled
  EXPECT_EQ(AudioOut1->ProcessedCount(), 6);
  EXPECT_TRUE(AudioOut1->DeviceOpen());
}

}  // namespace
