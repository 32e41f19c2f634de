// The instrument without a window: what a pass or a display frame writes into the readouts,
// the warnings and the captions, and when a frame clears the screen.

#include "Instrument.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ToneGenerator.h"
#include "measurement_fixtures.h"

using namespace osciloskop;

namespace {

std::string text(const ReadoutText& readout) {
  return std::string(readout.view());
}

struct Started {
  Started() { generator.SetFrequency(100); }
  ToneGenerator generator;
  Instrument instrument{generator};
  ScopeState& state = instrument.Record();
};

TEST(Instrument, SingleShotPassMeasuresLevelsAndTheOverloadWarning) {
  Started s;
  s.instrument.SetPeriodicDisplay(false);
  struct Frame {
    int32_t ulValue;
    int32_t urValue;
    bool overload;
    const char* diagnostic;  // with the UR peak of the frame before
  };
  const std::vector<Frame> frames = {
      {0, -30500, true, "rmaxl =0rmaxr =0"},
      {0, 30499, false, "rmaxl =0rmaxr =30500"},
      {32767, 0, false, "rmaxl =32767rmaxr =30499"},
      {-32768, -32768, true, "rmaxl =32768rmaxr =0"},
  };
  for (const Frame& f : frames) {
    SCOPED_TRACE(f.diagnostic);
    // One value at frame 7 of a standard block.
    FillBlock(
        s.state, [&](int k) { return k == 7 ? f.ulValue : 0; },
        [&](int k) { return k == 7 ? f.urValue : 0; });
    EXPECT_FALSE(s.instrument.StartPass());
    EXPECT_EQ(s.instrument.Readouts().overRangeWarning, f.overload);
    EXPECT_EQ(text(s.instrument.Readouts().peakDiagnostic), f.diagnostic);
  }
  FillBlock(s.state, Sine(10000, 1000), Constant(0));
  s.instrument.StartPass();
  EXPECT_EQ(text(s.instrument.Readouts().ulLevel), " 332 mV");
  EXPECT_EQ(text(s.instrument.Readouts().urLevel), " 0.0 mV");
}

TEST(Instrument, FramesClearTheScreenWhenTheyChooseARangeOrTimeBase) {
  Started s;
  EXPECT_EQ(text(s.instrument.Readouts().ulLevel), "465 mA") << "the design-time texts";
  EXPECT_EQ(s.instrument.UlCaptions().plus, std::string("mA"));
  ASSERT_TRUE(s.instrument.StartPass());
  EXPECT_TRUE(s.instrument.DisplayFrame().ScreenCleared()) << "the first frame chooses";
  EXPECT_FALSE(s.instrument.DisplayFrame().ScreenCleared()) << "the second keeps the choice";
  for (const AxisCaptions& captions : {s.instrument.UlCaptions(), s.instrument.UrCaptions()}) {
    EXPECT_EQ(captions.plus, std::string("+mV"));
    EXPECT_EQ(captions.minus, std::string("-mV"));
  }
  EXPECT_EQ(text(s.instrument.Readouts().ulLevel), " 0.0 mV");
  EXPECT_EQ(text(s.instrument.Readouts().ulFrequency), "   100 Hz");
  EXPECT_EQ(text(s.instrument.Readouts().urFrequency), "   100 Hz");
  EXPECT_EQ(s.state.traceStride, 1);

  // Chosen by hand: UL "      50 V" clears once more; UR switched off keeps its range.
  FillBlock(s.state, Constant(0), Constant(30000));
  const double urGain = s.state.urGain;
  s.instrument.ShowListItems({1, kUrRangeOffItem, 2});
  s.instrument.UlRangeChosen();
  s.instrument.UrRangeChosen();
  s.instrument.TimeBaseChosen();
  EXPECT_TRUE(s.instrument.DisplayFrame().ScreenCleared());
  EXPECT_EQ(s.instrument.UlCaptions().plus, std::string("+ V"));
  EXPECT_EQ(s.instrument.UrCaptions().plus, std::string("+mV"));
  EXPECT_DOUBLE_EQ(s.state.ulGain, 0.002);
  EXPECT_DOUBLE_EQ(s.state.urGain, urGain);
  EXPECT_EQ(s.state.traceStride, 3) << "    50 msec";
  EXPECT_FALSE(s.instrument.DisplayFrame().ScreenCleared());
}

TEST(Instrument, DisplayLimitWarningFollowsTheGeneratorUntilAFrequencyIsShown) {
  Started s;
  s.instrument.ShowListItems({0, 0, 0});
  s.instrument.TimeBaseChosen();  // automatic, not the generator's
  struct Case {
    std::function<int32_t(int)> signal;
    const char* text;
    bool warningStays;
  };
  const std::vector<Case> cases = {
      {Sine(10000, 1000), "  920 Hz", false},
      {Sine(10000, 50), "    50 Hz", true},
      {Constant(0), "  f > fmax", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    s.generator.SetFrequency(20000);
    s.instrument.GeneratorFrequencyMoved();
    ASSERT_TRUE(s.instrument.Readouts().displayLimitWarning);
    FillBlock(s.state, c.signal, c.signal);
    s.instrument.StartPass();
    s.instrument.DisplayFrame();
    EXPECT_EQ(text(s.instrument.Readouts().ulFrequency), c.text);
    EXPECT_EQ(text(s.instrument.Readouts().urFrequency), c.text);
    EXPECT_EQ(s.instrument.Readouts().displayLimitWarning, c.warningStays);
  }
}

TEST(Instrument, TakesWhatTheCaptureArraysHoldAndMeasuresFiguresOnRequest) {
  Started s;
  std::vector<int16_t> block(2 * kChannelLength + 10, 1000);
  EXPECT_EQ(s.instrument.TakeBlock(block).size(), static_cast<size_t>(kChannelLength));
  EXPECT_EQ(s.state.sampleCount, kChannelLength);
  EXPECT_EQ(s.instrument.Figures().ur.peakCounts, 0) << "not measured unless asked";
  s.instrument.MeasureBlockFigures(std::nullopt);
  s.instrument.TakeBlock(std::span(block).first(22050));
  EXPECT_EQ(s.instrument.Figures().ur.peakCounts, 1000);
  EXPECT_EQ(s.instrument.BlocksTaken(), 2);
}

}  // namespace
