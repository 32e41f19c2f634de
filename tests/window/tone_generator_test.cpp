// The generator strip of the window as a user drives it, and the tone it plays through the
// window's streams.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "AudioIO.h"
#include "GeneratorSlider.h"
#include "ListItems.h"
#include "StreamLaunch.h"
#include "TForm1.h"
#include "TScrollBar.h"
#include "ToneBlocks.h"
#include "WaveTestSupport.h"

using namespace osciloskop;

namespace {

// A stream that refuses a given number of launches, and records the field it was given.
struct StubStream {
  int refusals = 0;
  int launches = 0;
  StubStream** lastField = nullptr;
  bool Launch(StubStream** field) {
    ++launches;
    lastField = field;
    return launches > refusals;
  }
};

}  // namespace

TEST(StreamLaunch, TriesOnceMoreAfterARefusalAndNeverMore) {
  struct Case {
    int refusals;
    int launches;
  };
  for (const Case c : {Case{0, 1}, Case{1, 2}, Case{5, 2}}) {
    StubStream stream{c.refusals};
    StubStream* field = &stream;
    LaunchWithRetry(field);
    EXPECT_EQ(stream.launches, c.launches) << c.refusals;
    EXPECT_EQ(stream.lastField, &field);
  }
  StubStream* none = nullptr;
  LaunchWithRetry(none);  // no component: nothing to start, no crash
}

// --- The generator strip of the window ---

namespace {

// Picks a band from the open list with the mouse, as a user does.
void ChooseBand(TForm1& window, int band) {
  QComboBox* list = window.ComboBox8;
  list->showPopup();
  QAbstractItemView* view = list->view();
  const QRect item = view->visualRect(view->model()->index(band, 0));
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
  ASSERT_EQ(list->currentIndex(), band);
}

// Clicks a part of a slider (an arrow, or the trough on one side of the handle).
void ClickScrollBar(TScrollBar* bar, QStyle::SubControl part) {
  QStyleOptionSlider option;
  option.initFrom(bar);
  option.orientation = Qt::Horizontal;
  option.state |= QStyle::State_Horizontal;
  option.minimum = bar->minimum();
  option.maximum = bar->maximum();
  option.sliderPosition = bar->sliderPosition();
  option.sliderValue = bar->value();
  option.singleStep = bar->singleStep();
  option.pageStep = bar->pageStep();
  const QRect area = bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, part, bar);
  ASSERT_TRUE(area.isValid()) << part;
  QTest::mouseClick(bar, Qt::LeftButton, {}, area.center());
}

struct StripState {
  int min, max, position;
  int32_t frequency;
  QString text;
  bool warning;
};

void ExpectStrip(const TForm1& window, const StripState& expected, const char* context) {
  EXPECT_EQ(window.ScrollBar5->Min(), expected.min) << context;
  EXPECT_EQ(window.ScrollBar5->Max(), expected.max) << context;
  EXPECT_EQ(window.ScrollBar5->Position(), expected.position) << context;
  EXPECT_EQ(window.Generator().Frequency(), expected.frequency) << context;
  EXPECT_EQ(window.Edit14->text(), expected.text) << context;
  EXPECT_EQ(!window.Panel14->isHidden(), expected.warning) << context;
}

}  // namespace

TEST(GeneratorStrip, StartUpValues) {
  TForm1 window;
  const ScopeState& state = window.State();
  EXPECT_EQ(window.Panel13->pos(), QPoint(0, window.ClientHeight() / 2 + 235));
  ExpectStrip(window, {100, 1000, 100, 100, QStringLiteral(" 100 Hz"), false}, "start");
  EXPECT_EQ(window.ScrollBar5->LargeChange(), 10);
  EXPECT_EQ(window.ScrollBar5->SmallChange(), 1);
  EXPECT_EQ(window.ComboBox8->currentText(), QStringLiteral("100 Hz až 1 kHz"));
  EXPECT_EQ(window.ScrollBar4->Min(), 0);
  EXPECT_EQ(window.ScrollBar4->Max(), 32767);
  EXPECT_EQ(window.ScrollBar4->Position(), 10000);
  EXPECT_EQ(window.Generator().Amplitude(), 10000);
  EXPECT_EQ(window.Edit13->text(), QStringLiteral("amplituda (číslo) = 10000"));
  EXPECT_EQ(state.ulFrequency, 40.0);
  EXPECT_EQ(state.urFrequency, 40.0);
  EXPECT_EQ(state.frequencyFromGenerator, 1);
  EXPECT_EQ(state.autoTimeBase, 1);
}

TEST(GeneratorStrip, EveryBandChangeKeepsTheRangeValid) {
  const StripState bands[] = {
      {20, 100, 50, 50, QStringLiteral(" 50 Hz"), false},
      {100, 1000, 1000, 1000, QStringLiteral(" 1.0 kHz"), false},
      {1000, 20000, 4000, 4000, QStringLiteral(" 4.0 kHz"), true},
      {10, 20000, 100, 100, QStringLiteral(" 100 Hz"), false},
  };
  for (int from = -1; from < kFrequencyBandCount; ++from) {
    for (int to = 0; to < kFrequencyBandCount; ++to) {
      TForm1 window;  // from -1: the start-up range 100..1000
      if (from >= 0) ChooseBand(window, from);
      ChooseBand(window, to);
      const std::string context = std::to_string(from) + " -> " + std::to_string(to);
      ExpectStrip(window, bands[to], context.c_str());
    }
  }
}

TEST(GeneratorStrip, ChoosingTheBandTheSliderAlreadyShowsChangesNothing) {
  TForm1 window;
  ChooseBand(window, 1);  // 100..1000, now at 1000
  window.Edit14->setText(QStringLiteral("untouched"));
  ChooseBand(window, 1);
  EXPECT_EQ(window.Edit14->text(), QStringLiteral("untouched"));
  EXPECT_EQ(window.Generator().Frequency(), 1000);
}

TEST(GeneratorStrip, SettingTheBandFromTheProgramDoesNotMoveTheSlider) {
  TForm1 window;
  window.ComboBox8->setCurrentIndex(2);
  ExpectStrip(window, {100, 1000, 100, 100, QStringLiteral(" 100 Hz"), false}, "program");
}

TEST(GeneratorStrip, SliderSetsFrequencyAndAmplitude) {
  struct Case {
    int band;  // -1: as started
    QStyle::SubControl part;
    int32_t frequency;
    const char* text;
    bool warning;
  };
  const Case cases[] = {
      {-1, QStyle::SC_ScrollBarAddPage, 110, " 110 Hz", false},  // the start-up's large step
      {0, QStyle::SC_ScrollBarSubLine, 49, " 49 Hz", false},
      {2, QStyle::SC_ScrollBarSubPage, 3000, " 3.0 kHz", true},
      // Band 3 keeps the position at 100: no handler ran, the start-up's large step holds.
      {3, QStyle::SC_ScrollBarSubPage, 90, " 90 Hz", false},
  };
  for (const Case& c : cases) {
    TForm1 window;
    window.show();
    if (c.band >= 0) ChooseBand(window, c.band);
    ClickScrollBar(window.ScrollBar5, c.part);
    EXPECT_EQ(window.Generator().Frequency(), c.frequency) << c.text;
    EXPECT_EQ(window.Edit14->text(), QString::fromUtf8(c.text));
    EXPECT_EQ(!window.Panel14->isHidden(), c.warning) << c.text;
  }

  TForm1 window;
  window.show();
  ClickScrollBar(window.ScrollBar4, QStyle::SC_ScrollBarAddPage);
  EXPECT_EQ(window.Generator().Amplitude(), 10010);
  EXPECT_EQ(window.Edit13->text(), QStringLiteral("amplituda (číslo) = 10010"));
  QTest::keyClick(window.ScrollBar4, Qt::Key_Home);
  EXPECT_EQ(window.Generator().Amplitude(), 0);
  EXPECT_EQ(window.Edit13->text(), QStringLiteral("amplituda (číslo) = 0"));
}

TEST(GeneratorStrip, MaximumBelowMinimumIsRefused) {
  TForm1 window;
  EXPECT_STREQ(EScrollBarRange().what(), "Scrollbar property out of range");
  EXPECT_THROW(window.ScrollBar5->SetMax(50), EScrollBarRange);
  EXPECT_THROW(window.ScrollBar5->SetMin(2000), EScrollBarRange);
  ExpectStrip(window, {100, 1000, 100, 100, QStringLiteral(" 100 Hz"), false}, "refused");
}

// The window's streams on the simulated card, configured as the window's form does.
class GeneratorStreams : public SimulatedCardTest {
 protected:
  GeneratorStreams() {
    delete window.AudioOut1;
    window.AudioOut1 = new TAudioOut(&window);
    window.AudioOut1->SetBufferSize(2 * kBlockSamples);
    window.AudioOut1->SetFrameRate(kRate);
    window.AudioOut1->OnFillBuffer = [this](void* buffer, int32_t& size) {
      return window.AudioOut1FillBuffer(buffer, size);
    };
    delete window.AudioIn1;
    window.AudioIn1 = new TAudioIn(&window);
    window.AudioIn1->SetBufferSize(44100);
    window.AudioIn1->SetFrameRate(kRate);
    window.AudioIn1->SetStereo(true);
  }
  std::vector<int16_t> RingBlock(int index) const {
    const auto* bytes = reinterpret_cast<const unsigned char*>(window.AudioOut1->Buffer(index));
    std::vector<int16_t> samples(kBlockSamples);
    for (int k = 0; k < kBlockSamples; ++k)
      samples[k] = static_cast<int16_t>(bytes[2 * k] | (bytes[2 * k + 1] << 8));
    return samples;
  }

  TForm1 window;
};

TEST_F(GeneratorStreams, OutputPlaysTheToneBlockAfterBlock) {
  ASSERT_TRUE(window.AudioOut1->Launch(&window.AudioOut1));
  ASSERT_EQ(window.AudioOut1->FilledCount(), 4);
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(RingBlock(i), Synthesize(int64_t{i} * kBlockSamples, kBlockSamples, 100, 10000));

  // A new frequency is heard from the next block filled, at the phase of its index.
  window.ScrollBar5->SetPosition(440);
  run(0.3);
  ASSERT_EQ(window.AudioOut1->FilledCount(), 5);
  EXPECT_EQ(RingBlock(0), Synthesize(4 * kBlockSamples, kBlockSamples, 440, 10000));
}

TEST_F(GeneratorStreams, FrequencyChangeStartsTheInputOnlyWhenItIsClosed) {
  ASSERT_FALSE(window.AudioIn1->DeviceOpen());
  window.ScrollBar5->SetPosition(500);
  EXPECT_TRUE(window.AudioIn1->DeviceOpen());
  window.ScrollBar5->SetPosition(600);  // recording: both launches are refused harmlessly
  EXPECT_TRUE(window.AudioIn1->DeviceOpen());
  EXPECT_EQ(window.Generator().Frequency(), 600);
}
