// The window's acquisition cycle on the simulated card: what reaches the capture buffer,
// when the input closes and reopens, and that an unplugged card stops nothing for good.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "AudioIO.h"
#include "TForm1.h"
#include "ToneSynthesis.h"
#include "WaveTestSupport.h"

using namespace osciloskop;

namespace {

class CaptureCycle : public SimulatedCardTest {
 protected:
  CaptureCycle() {
    // Slow sines whose phase differs from one quarter second, and one second, to the next.
    std::string error;
    card.setSource(0, parseSignalSource("sine:3.3:10000", error));
    card.setSource(1, parseSignalSource("sine:5.5:5000:30", error));
    form = std::make_unique<TForm1>();
    // As a run on the manual clock does: a failed launch is tried again at the next pass.
    form->SetLaunchRetryWait(std::chrono::milliseconds::zero());
  }
  ~CaptureCycle() override { form.reset(); }

  // Moves the clock on in 5 ms steps; after each, passes of the event loop until the cycle's
  // frames have settled (and a launch retry has had its pass): device messages are
  // dispatched and the idle cycle runs, as in the running program, where frames take next
  // to no time.
  void live(double seconds) {
    for (auto left = wholeMicroseconds(seconds); left.count() > 0; left -= kStep) {
      card.advance(kStep);
      settle();
    }
  }
  void settle() {
    constexpr int kRetryPasses = 3;
    for (int pass = 1; pass <= 100; ++pass) {
      QCoreApplication::processEvents();
      if (pass >= kRetryPasses && form->FramesSettled()) return;
    }
    ADD_FAILURE() << "the cycle's frames do not settle";
  }

  std::vector<int32_t> captured(int count) const {
    const auto& buffer = form->State().captureBuffer;
    return {buffer.begin(), buffer.begin() + count};
  }

  std::unique_ptr<TForm1> form;
};

TEST_F(CaptureCycle, BeforeTheFirstBlockTheCycleMeasuresZeros) {
  QCoreApplication::processEvents();
  EXPECT_EQ(form->State().sampleCount, 22100);
  EXPECT_EQ(form->BlocksHandedOff(), 0);
  EXPECT_EQ(form->Edit4->text(), " 0.0 mV");
  EXPECT_EQ(form->Edit1->text(), " 0.0 mV");
  EXPECT_TRUE(form->AudioIn1->DeviceOpen()) << "start-up starts the first recording";
}

TEST_F(CaptureCycle, ARunHandsOverItsFirstQuarterSecondFourTimesThenReopens) {
  live(0.25);
  ASSERT_EQ(form->BlocksHandedOff(), 1);
  EXPECT_EQ(form->State().sampleCount, 22050);
  const std::vector<int32_t> first = captured(22050);
  EXPECT_NE(std::count(first.begin(), first.end(), 0), 22050);
  EXPECT_TRUE(std::all_of(form->State().captureBuffer.begin() + 22050,
                          form->State().captureBuffer.end(), [](int32_t v) { return v == 0; }));

  // Blocks 2 to 4 of the run come back, but the stream offers its first position again.
  live(0.75);
  ASSERT_EQ(form->BlocksHandedOff(), 4);
  EXPECT_EQ(captured(22050), first) << "the sound of blocks 2 to 4 never reaches the buffer";

  // The fourth notification closed the device; the next idle pass has opened it again.
  EXPECT_TRUE(form->AudioIn1->DeviceOpen());
  live(0.25);
  ASSERT_EQ(form->BlocksHandedOff(), 5);
  EXPECT_NE(captured(22050), first) << "a new run brings new sound";
}

TEST_F(CaptureCycle, RecordingResumesByItselfAfterTheCardComesBack) {
  live(0.5);
  card.unplug();
  live(DeviceWatch::kStartSeconds + 0.5);
  const int64_t whileUnplugged = form->BlocksHandedOff();
  live(1.0);
  EXPECT_EQ(form->BlocksHandedOff(), whileUnplugged) << "nothing is recorded without a card";
  card.replug();
  live(1.0);
  EXPECT_GT(form->BlocksHandedOff(), whileUnplugged) << "the idle cycle starts recording again";
}

// A lost card closes the output too; the cycle starts it again once the card is back, and
// the tone begins anew from its first sample, as at any open.
TEST_F(CaptureCycle, TheToneStartsAgainAfterTheCardComesBack) {
  std::string error;
  card.setSource(0, parseSignalSource("loopback", error));  // UR hears the tone
  live(1.0);
  ASSERT_TRUE(form->AudioOut1->DeviceOpen());
  card.unplug();
  // However long the card takes to give the queued blocks back.
  live(3.0);
  EXPECT_FALSE(form->AudioOut1->DeviceOpen());
  EXPECT_FALSE(form->AudioIn1->DeviceOpen());

  card.replug();
  live(0.005);
  ASSERT_TRUE(form->AudioOut1->DeviceOpen());
  ASSERT_TRUE(form->AudioIn1->DeviceOpen());
  std::vector<char> firstBlock(static_cast<size_t>(form->AudioOut1->BufferSize()));
  int32_t size = form->AudioOut1->BufferSize();
  FillToneBlock(reinterpret_cast<unsigned char*>(firstBlock.data()), size, 0, 44100,
                form->Generator().Frequency(), form->Generator().Amplitude());
  EXPECT_TRUE(std::equal(firstBlock.begin(), firstBlock.end(), form->AudioOut1->Buffer(0)))
      << "the tone restarts from sample 0";
  live(0.5);
  EXPECT_NE(form->Edit1->text(), QStringLiteral(" 0.0 mV")) << "the input hears the tone again";
}

// On the real clock a launch that fails waits about a block period before the next try,
// instead of trying on every pass of the event loop.
TEST_F(CaptureCycle, AFailedLaunchIsRetriedOnATimer) {
  form->SetLaunchRetryWait(std::chrono::milliseconds(250));
  live(0.5);
  card.unplug();
  live(3.0);
  ASSERT_FALSE(form->AudioIn1->DeviceOpen());
  int frames = 0;
  form->onDisplayFrame = [&frames] { ++frames; };
  QTest::qWait(1000);
  EXPECT_GE(frames, 1) << "the retry timer runs the cycle";
  EXPECT_LE(frames, 20) << "the cycle does not run while it waits to try again";

  card.replug();
  EXPECT_TRUE(QTest::qWaitFor(
      [this] { return form->AudioIn1->DeviceOpen() && form->AudioOut1->DeviceOpen(); }, 5000));
}

// A card whose input opens but never starts: each failed launch closes the stream again,
// and that close must not run the cycle at once (which would try again at once, for ever).
class InputThatNeverStarts : public SimulatedCard {
 public:
  InputThatNeverStarts() : SimulatedCard(ClockMode::Manual) {}
  MMRESULT start(WaveDirection) override { return MMSYSERR_ERROR; }
};

TEST(LaunchRetry, TheCloseOfAFailedLaunchWaitsForTheTimer) {
  InputThatNeverStarts card;
  installWaveBackend(&card);
  {
    TForm1 form;
    int frames = 0;
    form.onDisplayFrame = [&frames] { ++frames; };
    QTest::qWait(1000);
    EXPECT_FALSE(form.AudioIn1->DeviceOpen());
    EXPECT_GE(frames, 2) << "the retry timer runs the cycle";
    EXPECT_LE(frames, 20) << "the cycle waits for the timer between tries";
  }
  deliverPostedEvents();
  installWaveBackend(nullptr);
}

}  // namespace
