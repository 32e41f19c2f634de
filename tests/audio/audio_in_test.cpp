// The input stream against the simulated card with the manual clock.

#include <vector>

#include "StreamTestSupport.h"

using namespace osciloskop;

namespace {

constexpr double kBlock = 0.25;  // 44100 bytes of 16-bit stereo at 44100 Hz

struct Delivery {
  void* buffer;
  int32_t size;
  int16_t first, second;  // the first frame's two values
  int32_t processed, queued;
  bool active;
};

class AudioInTest : public StreamTest {
 protected:
  AudioInTest() { makeInput(); }
  // A handler that records what it is offered and answers `accept`.
  void recordDeliveries(std::function<bool(int)> accept) {
    AudioIn1->OnBufferFilled = [this, accept](void* buffer, int32_t& size) {
      const auto* values = static_cast<const int16_t*>(buffer);
      deliveries.push_back({buffer, size, values[0], values[1], AudioIn1->ProcessedCount(),
                            AudioIn1->QueuedCount(), AudioIn1->Active()});
      size = 0;  // of no consequence
      return accept(static_cast<int>(deliveries.size()));
    };
  }

  std::vector<Delivery> deliveries;
};

TEST_F(AudioInTest, ADecliningHandlerGetsTheSamePositionFourTimesAndTheDeviceCloses) {
  recordDeliveries([](int) { return false; });
  int stops = 0;
  AudioIn1->OnStop = [&](QObject*) { ++stops; };
  ASSERT_TRUE(AudioIn1->Launch(&AudioIn1));
  EXPECT_EQ(AudioIn1->NextIndex(), 0);
  EXPECT_EQ(AudioIn1->QueuedCount(), 4);
  EXPECT_TRUE(AudioIn1->Active());
  EXPECT_TRUE(AudioIn1->Feeding());

  for (int block = 1; block <= 4; ++block) {
    run(kBlock);
    ASSERT_EQ(deliveries.size(), static_cast<size_t>(block));
    const Delivery& d = deliveries.back();
    EXPECT_EQ(d.buffer, AudioIn1->Buffer(0));
    EXPECT_EQ(d.size, 44100);
    EXPECT_EQ(d.first, 1000);  // UR first
    EXPECT_EQ(d.second, -2000);
    EXPECT_EQ(d.processed, block);
    EXPECT_EQ(d.queued, 4 - block);
    EXPECT_EQ(d.active, block < 4);
    EXPECT_EQ(AudioIn1->NextIndex(), 0);
    EXPECT_EQ(AudioIn1->FilledCount(), 0);
  }
  EXPECT_FALSE(AudioIn1->DeviceOpen());
  EXPECT_FALSE(AudioIn1->Active());
  EXPECT_FALSE(AudioIn1->Feeding());
  EXPECT_EQ(stops, 1);
  run(1.0);
  EXPECT_EQ(deliveries.size(), 4u);
  // The next cycle opens again.
  ASSERT_TRUE(AudioIn1->Launch(&AudioIn1));
  run(kBlock);
  EXPECT_EQ(deliveries.size(), 5u);
  EXPECT_EQ(deliveries.back().processed, 1);
}

TEST_F(AudioInTest, AnAcceptingHandlerGoesRoundTheRingWithTheFullSizeEveryTime) {
  recordDeliveries([](int) { return true; });
  ASSERT_TRUE(AudioIn1->Launch(&AudioIn1));
  run(10 * kBlock);
  ASSERT_EQ(deliveries.size(), 10u);
  for (size_t i = 0; i < deliveries.size(); ++i) {
    EXPECT_EQ(deliveries[i].buffer, AudioIn1->Buffer(static_cast<int>(i % 4))) << i;
    EXPECT_EQ(deliveries[i].size, 44100) << i;
  }
  EXPECT_EQ(AudioIn1->FilledCount(), 10);
  EXPECT_EQ(AudioIn1->ProcessedCount(), 10);
  EXPECT_EQ(AudioIn1->QueuedCount(), 4);
  EXPECT_EQ(AudioIn1->NextIndex(), 10 % 4);
  EXPECT_TRUE(AudioIn1->DeviceOpen());
}

TEST_F(AudioInTest, WithoutHandlerItKeepsRecordingUntilDrained) {
  ASSERT_TRUE(AudioIn1->Launch(&AudioIn1));
  run(3.0);
  EXPECT_EQ(AudioIn1->ProcessedCount(), 12);
  EXPECT_EQ(AudioIn1->FilledCount(), 12);
  EXPECT_TRUE(AudioIn1->DeviceOpen());

  AudioIn1->DrainStream();
  EXPECT_FALSE(AudioIn1->Feeding());
  EXPECT_TRUE(AudioIn1->Active());
  recordDeliveries([](int) { return true; });
  run(0.9);
  EXPECT_TRUE(AudioIn1->DeviceOpen()) << "the last queued block is not back yet";
  run(0.1);
  EXPECT_FALSE(AudioIn1->DeviceOpen());
  EXPECT_TRUE(deliveries.empty()) << "after a drain the handler is never called";
  EXPECT_EQ(AudioIn1->ProcessedCount(), 16);
}

TEST_F(AudioInTest, LaunchWhileOpenChangesNothing) {
  recordDeliveries([](int) { return true; });
  ASSERT_TRUE(AudioIn1->Launch(&AudioIn1));
  run(0.6);
  QObject* window = AudioIn1->CallbackWindow();
  const auto counters = std::tuple(AudioIn1->FilledCount(), AudioIn1->QueuedCount(),
                                   AudioIn1->ProcessedCount(), AudioIn1->NextIndex());
  EXPECT_FALSE(AudioIn1->Launch(&AudioIn1));
  EXPECT_EQ(AudioIn1->ErrorMessage(), "Wave Input device is already open");
  EXPECT_EQ(counters, std::tuple(AudioIn1->FilledCount(), AudioIn1->QueuedCount(),
                                 AudioIn1->ProcessedCount(), AudioIn1->NextIndex()));
  EXPECT_EQ(AudioIn1->CallbackWindow(), window);
  EXPECT_TRUE(AudioIn1->Active());
  EXPECT_TRUE(AudioIn1->Feeding());
  run(0.4);
  EXPECT_EQ(deliveries.size(), 4u) << "the running stream goes on";
}

TEST_F(AudioInTest, EachFailingCallLeavesItsMessageAndAClosedDevice) {
  using Call = SimulatedCard::WaveCall;
  struct Case {
    Call call;
    MMRESULT code;
    QString message;
    bool windowMade;
  };
  const Case cases[] = {
      {Call::Open, MMSYSERR_ALLOCATED, inputText(MMSYSERR_ALLOCATED), true},
      {Call::Open, WAVERR_BADFORMAT, inputText(WAVERR_BADFORMAT), true},
      {Call::Prepare, MMSYSERR_NOMEM, inputText(MMSYSERR_NOMEM), true},
      {Call::Start, MMSYSERR_NOTENABLED,
       "Error starting wave record: " + inputText(MMSYSERR_NOTENABLED), true},
      {Call::Add, MMSYSERR_ERROR, inputText(MMSYSERR_ERROR), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message.toStdString());
    card.failNext(c.call, c.code);
    EXPECT_FALSE(AudioIn1->Launch(&AudioIn1));
    EXPECT_EQ(AudioIn1->ErrorMessage(), c.message);
    EXPECT_FALSE(AudioIn1->DeviceOpen());
    EXPECT_FALSE(AudioIn1->Active());
    EXPECT_NE(AudioIn1->CallbackWindow(), nullptr);
    deliverPostedEvents();
    // The device really is closed: the next launch runs.
    ASSERT_TRUE(AudioIn1->Launch(&AudioIn1));
    AudioIn1->AbortStream();
    deliverPostedEvents();
  }
  EXPECT_LE(callbackWindows(), 2);
}

TEST_F(AudioInTest, AFailedRequeueDrainsAndClosesWhenTheQueueIsEmpty) {
  recordDeliveries([](int) { return true; });
  ASSERT_TRUE(AudioIn1->Launch(&AudioIn1));
  card.failNext(SimulatedCard::WaveCall::Add, MMSYSERR_NOMEM);
  run(kBlock);
  EXPECT_EQ(AudioIn1->ErrorMessage(), inputText(MMSYSERR_NOMEM));
  EXPECT_FALSE(AudioIn1->Feeding());
  EXPECT_TRUE(AudioIn1->Active());
  EXPECT_TRUE(AudioIn1->DeviceOpen());
  EXPECT_EQ(AudioIn1->QueuedCount(), 3);
  EXPECT_EQ(AudioIn1->NextIndex(), 0);
  run(3 * kBlock);
  EXPECT_FALSE(AudioIn1->DeviceOpen());
  EXPECT_EQ(deliveries.size(), 1u);
}

TEST_F(AudioInTest, AStreamLaunchedAgainAfterUnplugResumes) {
  recordDeliveries([](int) { return true; });
  ASSERT_TRUE(AudioIn1->Launch(&AudioIn1));
  // Past the time a newly started device is given for its first frames.
  run(DeviceWatch::kStartSeconds + 0.1);
  const size_t recorded = deliveries.size();
  card.unplug();
  run(DeviceWatch::kStallSeconds - 0.01);
  EXPECT_EQ(deliveries.size(), recorded) << "a card pulled out gives nothing back by itself";
  EXPECT_TRUE(AudioIn1->DeviceOpen());
  run(0.02);
  EXPECT_FALSE(AudioIn1->DeviceOpen()) << "the watchdog returned every block: the stream closed";
  EXPECT_EQ(AudioIn1->ErrorMessage(), inputText(MMSYSERR_NODRIVER));
  EXPECT_FALSE(AudioIn1->Launch(&AudioIn1));
  EXPECT_EQ(AudioIn1->ErrorMessage(), inputText(MMSYSERR_NODRIVER));
  card.replug();
  const size_t before = deliveries.size();
  ASSERT_TRUE(AudioIn1->Launch(&AudioIn1));
  run(1.0);
  EXPECT_EQ(deliveries.size(), before + 4);
  EXPECT_TRUE(AudioIn1->DeviceOpen());
}

TEST_F(AudioInTest, NotificationsOfAnAbortedRunDoNotReachTheNextOne) {
  recordDeliveries([](int) { return true; });
  ASSERT_TRUE(AudioIn1->Launch(&AudioIn1));
  run(0.3);
  AudioIn1->AbortStream();
  EXPECT_FALSE(AudioIn1->DeviceOpen());
  EXPECT_FALSE(AudioIn1->Active());
  EXPECT_FALSE(AudioIn1->Feeding());
  // Launched again before the reset's notifications are delivered.
  ASSERT_TRUE(AudioIn1->Launch(&AudioIn1));
  deliverPostedEvents();
  EXPECT_EQ(AudioIn1->ProcessedCount(), 0);
  EXPECT_EQ(AudioIn1->QueuedCount(), 4);
  EXPECT_EQ(deliveries.size(), 1u);
  run(kBlock);
  EXPECT_EQ(deliveries.size(), 2u);
  EXPECT_EQ(deliveries.back().buffer, AudioIn1->Buffer(0));
}

}  // namespace
