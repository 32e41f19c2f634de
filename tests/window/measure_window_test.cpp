// The measurement operations of the main window: which controls each one writes, and when
// a range or time-base step clears the window.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <functional>
#include <vector>

#include "ScreenWidget.h"
#include "TForm1.h"
#include "measurement_fixtures.h"

using namespace osciloskop;

namespace {

// Marks a pixel of the screen, runs `step` and tells whether the step cleared the window.
bool ClearsWindow(TForm1& window, const std::function<void()>& step) {
  window.show();  // the screen image takes the client area's size when shown
  QImage& image = window.Screen()->image();
  image.setPixelColor(10, 100, QColor(0, 255, 255));
  step();
  return image.pixelColor(10, 100) == QColor(Qt::black);
}

TEST(MeasureWindow, LevelReadoutsAndOverloadWarning) {
  TForm1 window;
  ScopeState& state = window.State();
  struct Frame {
    int32_t ulValue;
    int32_t urValue;
    bool overload;
    const char* edit11;  // with the UR peak of the frame before
  };
  const std::vector<Frame> frames = {
      {0, -30500, true, "rmaxl =0rmaxr =0"},
      {0, 30499, false, "rmaxl =0rmaxr =30500"},
      {32767, 0, false, "rmaxl =32767rmaxr =30499"},
      {-32768, -32768, true, "rmaxl =32768rmaxr =0"},
  };
  for (const Frame& f : frames) {
    SCOPED_TRACE(f.edit11);
    // One value at frame 7 of a standard block.
    FillBlock(
        state, [&](int k) { return k == 7 ? f.ulValue : 0; },
        [&](int k) { return k == 7 ? f.urValue : 0; });
    window.MeasureLevelUL();
    window.MeasureLevelUR();
    EXPECT_EQ(!window.Panel2->isHidden(), f.overload);
    EXPECT_EQ(window.Edit11->text(), QString::fromLatin1(f.edit11));
  }
  FillBlock(state, Sine(10000, 1000), Constant(0));
  window.MeasureLevelUL();
  window.MeasureLevelUR();
  EXPECT_EQ(window.Edit4->text(), QStringLiteral(" 332 mV"));
  EXPECT_EQ(window.Edit1->text(), QStringLiteral(" 0.0 mV"));
}

TEST(MeasureWindow, FirstFrameAppliesRangesAndTimeBaseOnce) {
  TForm1 window;
  window.generatorFrequency = 100;
  const std::vector<std::function<void()>> frame = {
      [&] { window.MeasureLevelUL(); },     [&] { window.SetRangeUL(); },
      [&] { window.MeasureFrequencyUL(); }, [&] { window.MeasureLevelUR(); },
      [&] { window.SetRangeUR(); },         [&] { window.MeasureFrequencyUR(); },
      [&] { window.SetTimeBase(); }};
  // Before the first block every step that chooses something clears the window once.
  const std::vector<bool> firstClears = {false, true, false, false, true, false, true};
  for (std::size_t i = 0; i < frame.size(); ++i)
    EXPECT_EQ(ClearsWindow(window, frame[i]), firstClears[i]) << "step " << i;
  for (std::size_t i = 0; i < frame.size(); ++i)
    EXPECT_FALSE(ClearsWindow(window, frame[i])) << "second frame, step " << i;

  for (QLineEdit* plus : {window.Edit2, window.Edit18}) EXPECT_EQ(plus->text(), "+mV");
  for (QLineEdit* minus : {window.Edit5, window.Edit19}) EXPECT_EQ(minus->text(), "-mV");
  EXPECT_EQ(window.Edit4->text(), QStringLiteral(" 0.0 mV"));
  EXPECT_EQ(window.Edit12->text(), QStringLiteral("   100 Hz"));
  EXPECT_EQ(window.Edit8->text(), QStringLiteral("   100 Hz"));
  EXPECT_EQ(window.State().traceStride, 1);
}

TEST(MeasureWindow, EachChannelWritesItsOwnCaptionsFromItsOwnList) {
  TForm1 window;
  ScopeState& state = window.State();
  FillBlock(state, Constant(0), Constant(30000));
  window.MeasureLevelUL();
  window.MeasureLevelUR();
  window.SetRangeUL();
  window.SetRangeUR();
  EXPECT_EQ(window.Edit18->text(), "+ V");
  EXPECT_EQ(window.Edit19->text(), "- V");
  EXPECT_EQ(window.Edit2->text(), "+mV");
  EXPECT_EQ(window.Edit5->text(), "-mV");

  // UL by hand on "      50 V"; UR switched off keeps its range and captions.
  state.ulAutoRange = 0;
  window.ComboBox2->setCurrentIndex(1);
  state.urAutoRange = 0;
  window.ComboBox3->setCurrentIndex(13);
  EXPECT_TRUE(ClearsWindow(window, [&] { window.SetRangeUL(); }));
  EXPECT_FALSE(ClearsWindow(window, [&] { window.SetRangeUR(); }));
  EXPECT_EQ(window.Edit2->text(), "+ V");
  EXPECT_DOUBLE_EQ(state.ulGain, 0.002);
  EXPECT_DOUBLE_EQ(state.urGain, 0.1);
}

TEST(MeasureWindow, FrequencyReadoutHidesTheDisplayLimitWarningOnlyWhenShown) {
  TForm1 window;
  ScopeState& state = window.State();
  state.frequencyFromGenerator = 0;
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
    FillBlock(state, c.signal, c.signal);
    window.MeasureLevelUL();
    window.MeasureLevelUR();
    window.Panel14->show();
    window.MeasureFrequencyUL();
    EXPECT_EQ(window.Edit12->text(), QString::fromLatin1(c.text));
    EXPECT_EQ(!window.Panel14->isHidden(), c.warningStays);
    window.Panel14->show();
    window.MeasureFrequencyUR();
    EXPECT_EQ(window.Edit8->text(), QString::fromLatin1(c.text));
    EXPECT_EQ(!window.Panel14->isHidden(), c.warningStays);
  }
}

TEST(MeasureWindow, ManualTimeBaseFollowsTheList) {
  TForm1 window;
  ScopeState& state = window.State();
  state.autoTimeBase = 0;
  window.ComboBox1->setCurrentIndex(2);  // "    50 msec"
  EXPECT_TRUE(ClearsWindow(window, [&] { window.SetTimeBase(); }));
  EXPECT_EQ(state.traceStride, 3);
  window.ComboBox1->setCurrentIndex(0);  // no time base of its own
  EXPECT_FALSE(ClearsWindow(window, [&] { window.SetTimeBase(); }));
  EXPECT_EQ(state.traceStride, 3);
}

}  // namespace
