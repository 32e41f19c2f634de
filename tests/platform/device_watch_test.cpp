// A sound device that goes away: the watchdog's timing and its announcements.

#include <gtest/gtest.h>

#include "wave/DeviceWatch.h"

using namespace osciloskop;

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

}  // namespace
