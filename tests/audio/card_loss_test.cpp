// The stream components on a simulated card pulled out: closed by the watchdog, refused
// while the card is out, reopened once it is back, and destroyed cleanly at any moment.

#include <gtest/gtest.h>

#include "StreamTestSupport.h"

using namespace osciloskop;

namespace {

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
