// The acquisition cycle that waits once its frames have settled shows exactly what the cycle
// that runs on every pass of the event loop shows. The same scripted session runs once in
// each mode; the screen image, every readout, caption and panel must agree when each block
// arrives, at the first frame after it, and after every step of the clock.

#include "ScriptedSession.h"

namespace {

using namespace scripted_session;

class SettledCycle : public ::testing::TestWithParam<Signals> {};

TEST_P(SettledCycle, ShowsWhatTheCycleOnEveryPassShows) {
  Session everyPass(TForm1::CycleMode::EveryPass, GetParam());
  runScript(everyPass);
  Session settled(TForm1::CycleMode::UntilSettled, GetParam());
  runScript(settled);

  ASSERT_EQ(settled.looks.size(), everyPass.looks.size());
  for (size_t i = 0; i < settled.looks.size(); ++i) {
    const Look& expected = everyPass.looks[i];
    const Look& seen = settled.looks[i];
    ASSERT_EQ(seen.when, expected.when);
    ASSERT_TRUE(seen == expected) << seen.when << "\n   every pass: " << expected.screen << " "
                                  << expected.controls.toStdString()
                                  << "\n  settled: " << seen.screen << " "
                                  << seen.controls.toStdString();
  }
  // The session holds about 900 steps and 40 blocks: the settled cycle draws a few frames
  // after each change, not one on every pass.
  EXPECT_LT(settled.frames * 4, everyPass.frames)
      << settled.frames << " frames against " << everyPass.frames;
}

INSTANTIATE_TEST_SUITE_P(Signals, SettledCycle, ::testing::ValuesIn(kSessionSignals),
                         [](const ::testing::TestParamInfo<Signals>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
