// A sound device that goes away: the watchdog's timing and its announcements, and the
// simulated card's model of a card pulled out, as the streams and the user see it.

#include <gtest/gtest.h>

#include "StreamTestSupport.h"
#include "wave/DeviceWatch.h"

namespace {

TEST(DeviceWatch, GivesANewStreamTimeToStartThenExpectsSteadyProgress) {
  struct Step {
    double at;
    bool progress;  // the device moved frames at `at`
    bool stalled;   // what the watch says at `at`, after the progress
  };
  struct Case {
    const char* what;
    std::vector<Step> steps;
  };
  const double start = DeviceWatch::kStartSeconds;
  const double stall = DeviceWatch::kStallSeconds;
  const Case cases[] = {
      {"a stream that never delivers is gone after its start time",
       {{start - 0.01, false, false}, {start, false, true}}},
      {"the first frames leave the start time in force",
       {{0.1, true, false}, {start - 0.01, false, false}, {start, false, true}}},
      {"after the start time, progress is due every stall time",
       {{2, true, false},
        {start + 0.5, true, false},
        {start + 0.5 + stall - 0.01, false, false},
        {start + 0.5 + stall, false, true}}},
      {"steady progress keeps it alive",
       {{1, true, false}, {1.9, true, false}, {2.8, true, false}, {3.7, true, false}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeviceWatch watch(WaveDirection::In);
    watch.started(0);
    for (const Step& step : c.steps) {
      if (step.progress) watch.progressed(step.at, "card", [](const std::string&) {});
      EXPECT_EQ(watch.stalled(step.at), step.stalled) << step.at;
    }
  }
  DeviceWatch stopped(WaveDirection::Out);
  EXPECT_FALSE(stopped.stalled(1e9)) << "a stopped device is never overdue";
}

TEST(DeviceWatch, SaysOnceThatTheDeviceWentAndOnceThatItCameBack) {
  std::vector<std::string> lines;
  const auto say = [&lines](const std::string& line) { lines.push_back(line); };
  DeviceWatch watch(WaveDirection::Out);
  watch.started(0);
  watch.progressed(0.1, "pulse", say);
  watch.lost("pulse", say);
  // Opened again while the device is still away, and taken for gone again: no second line.
  watch.started(1);
  watch.lost("pulse", say);
  watch.started(2);
  watch.progressed(2.1, "pulse", say);
  EXPECT_EQ(lines.size(), 1u) << "back only once it has run for a while";
  watch.progressed(2 + DeviceWatch::kStallSeconds, "pulse", say);
  watch.progressed(3.5, "pulse", say);
  EXPECT_EQ(lines,
            (std::vector<std::string>{"sound output lost: pulse", "sound output back: pulse"}));
}

class CardPulledOut : public StreamTest {
 protected:
  CardPulledOut() {
    card.setStatusSink([this](const std::string& line) { said.push_back(line); });
    makeInput()->OnBufferFilled = [](void*, int32_t&) { return true; };
    makeOutput()->OnFillBuffer = [](void*, int32_t&) { return true; };
    EXPECT_TRUE(AudioIn1->Launch(&AudioIn1));
    EXPECT_TRUE(AudioOut1->Launch(&AudioOut1));
    // Past the time newly started devices are given for their first frames.
    run(DeviceWatch::kStartSeconds + 0.1);
  }
  std::vector<std::string> said;
};

TEST_F(CardPulledOut, StreamsCloseThroughTheWatchdogAndReopenOnceItIsBack) {
  card.unplug();
  run(DeviceWatch::kStallSeconds + 0.1);
  EXPECT_FALSE(AudioIn1->DeviceOpen());
  EXPECT_FALSE(AudioOut1->DeviceOpen());
  EXPECT_EQ(said, (std::vector<std::string>{"sound input lost: simulated card",
                                            "sound output lost: simulated card"}));
  run(2.0);
  EXPECT_FALSE(AudioIn1->Launch(&AudioIn1)) << "refused while the card is out";
  EXPECT_EQ(said.size(), 2u) << "no word per failed try";

  card.replug();
  ASSERT_TRUE(AudioIn1->Launch(&AudioIn1));
  ASSERT_TRUE(AudioOut1->Launch(&AudioOut1));
  run(DeviceWatch::kStallSeconds + 0.1);
  EXPECT_TRUE(AudioIn1->DeviceOpen());
  EXPECT_GT(AudioOut1->ProcessedCount(), 0);
  EXPECT_EQ(said, (std::vector<std::string>{
                      "sound input lost: simulated card", "sound output lost: simulated card",
                      "sound input back: simulated card", "sound output back: simulated card"}));
}

// The window goes (and with it the streams) at any moment of a loss: before the watchdog
// has returned the blocks, and after.
TEST_F(CardPulledOut, StreamsGoAwayCleanlyBeforeAndAfterTheWatchdog) {
  for (const double wait : {0.2, DeviceWatch::kStallSeconds + 0.1}) {
    SCOPED_TRACE(wait);
    card.unplug();
    run(wait);
    delete AudioIn1;
    delete AudioOut1;
    AudioIn1 = nullptr;
    AudioOut1 = nullptr;
    deliverPostedEvents();
    card.replug();
    makeInput()->OnBufferFilled = [](void*, int32_t&) { return true; };
    makeOutput()->OnFillBuffer = [](void*, int32_t&) { return true; };
    ASSERT_TRUE(AudioIn1->Launch(&AudioIn1)) << "the device was closed, so it opens again";
    ASSERT_TRUE(AudioOut1->Launch(&AudioOut1));
    run(0.3);
  }
}

}  // namespace
