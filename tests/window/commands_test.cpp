// The commands of the control strip and the menu, driven through the real widgets as a user
// would: list choices, radio-button clicks, typing, Enter, the menu and window resizes.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <vector>

#include "ScreenWidget.h"
#include "TForm1.h"

using namespace osciloskop;

namespace {

// A mark drawn on the screen where neither grid, scale nor a quiet trace ever draws, to see
// whether a command cleared the screen.
const QRect kMark(111, 151, 6, 6);

// The fields the commands set.
struct Modes {
  int32_t periodicDisplay, ulAutoRange, urAutoRange, autoTimeBase, sampleCount;
  uint16_t frequencyFromGenerator;
  bool operator==(const Modes&) const = default;
};

Modes modesOf(const ScopeState& state) {
  return {state.periodicDisplay, state.ulAutoRange, state.urAutoRange,
          state.autoTimeBase,    state.sampleCount, state.frequencyFromGenerator};
}

struct DisplayPass {
  int periodicDisplay;  // the mode while the pass ran
  bool screenCleared;   // the mark was gone when the pass ran
};

class Commands : public ::testing::Test {
 protected:
  Commands() {
    form.onDisplayFrame = [this] { passes.push_back({state().periodicDisplay, !marked()}); };
    form.show();
    form.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&form));
  }

  ScopeState& state() { return form.State(); }

  void mark() {
    QImage& image = form.Screen()->image();
    for (int y = kMark.top(); y <= kMark.bottom(); ++y) {
      for (int x = kMark.left(); x <= kMark.right(); ++x) image.setPixel(x, y, qRgb(255, 255, 255));
    }
  }
  bool marked() { return form.Screen()->image().pixel(kMark.center()) == qRgb(255, 255, 255); }

  // Display passes the single-shot commands ran (the periodic idle cycle runs its own).
  int singleShots() const {
    int count = 0;
    for (const DisplayPass& pass : passes) count += pass.periodicDisplay == 0;
    return count;
  }

  // Chooses an item the way a user does: opens the list and clicks the item.
  void choose(QComboBox* list, int index) {
    list->showPopup();
    QAbstractItemView* view = list->view();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view->window()));
    view->scrollTo(view->model()->index(index, 0));
    const QPoint item = view->visualRect(view->model()->index(index, 0)).center();
    QTest::mouseMove(view->viewport(), item);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item);
    ASSERT_FALSE(view->isVisible());
    ASSERT_EQ(list->currentIndex(), index);
  }

  void clickSingleShot() { QTest::mouseClick(form.RadioButton2, Qt::LeftButton); }

  TForm1 form;
  std::vector<DisplayPass> passes;
};

TEST_F(Commands, TimeBaseChoicesSetAutomaticAndGeneratorModes) {
  const struct {
    int index;
    int autoTimeBase;
    int frequencyFromGenerator;
  } choices[] = {{8, 1, 1}, {7, 0, 0}, {0, 1, 0}, {1, 0, 0}, {8, 1, 1}, {2, 0, 0},
                 {3, 0, 0}, {4, 0, 0}, {5, 0, 0}, {6, 0, 0}, {0, 1, 0}, {0, 1, 0}};
  for (const auto& choice : choices) {
    SCOPED_TRACE(choice.index);
    choose(form.ComboBox1, choice.index);
    EXPECT_EQ(state().autoTimeBase, choice.autoTimeBase);
    EXPECT_EQ(state().frequencyFromGenerator, choice.frequencyFromGenerator);
  }
}

TEST_F(Commands, EveryRangeItemButAutomaticIsAFixedChoice) {
  const struct {
    QComboBox* list;
    int32_t& autoRange;
  } channels[] = {{form.ComboBox2, state().ulAutoRange}, {form.ComboBox3, state().urAutoRange}};
  for (const auto& channel : channels) {
    for (int index = 0; index < channel.list->count(); ++index) {
      SCOPED_TRACE(channel.list->itemText(index).toStdString());
      // Start from the other answer, so that the choice must set it.
      channel.autoRange = index == 0 ? 0 : 1;
      choose(channel.list, index);
      EXPECT_EQ(channel.autoRange, index == 0 ? 1 : 0);
    }
  }
}

TEST_F(Commands, IndexSetByTheProgramRunsNoCommand) {
  clickSingleShot();
  mark();
  const Modes before = modesOf(state());
  form.ComboBox1->setCurrentIndex(0);
  form.ComboBox2->setCurrentIndex(5);
  form.ComboBox3->setCurrentIndex(13);
  form.ComboBox4->setCurrentIndex(2);
  EXPECT_EQ(modesOf(state()), before);
  EXPECT_TRUE(marked());
}

TEST_F(Commands, TextTypedIntoEditableListsRunsNothing) {
  clickSingleShot();
  const char* texts[] = {"      50 V", "od kanálu L", "      vypnuto", "xyz"};
  for (QComboBox* list : {form.ComboBox3, form.ComboBox4}) {
    for (const char* text : texts) {
      SCOPED_TRACE(list->objectName().toStdString() + " <- " + text);
      mark();
      const int index = list->currentIndex();
      const Modes before = modesOf(state());
      list->lineEdit()->setFocus();
      list->lineEdit()->selectAll();
      for (const QChar character : QString::fromUtf8(text)) {
        QTest::sendKeyEvent(QTest::Click, list->lineEdit(), Qt::Key_unknown, character,
                            Qt::NoModifier);
      }
      QTest::keyClick(list->lineEdit(), Qt::Key_Tab);
      EXPECT_EQ(list->currentIndex(), index);
      EXPECT_EQ(modesOf(state()), before);
      EXPECT_TRUE(marked());
    }
  }
  EXPECT_EQ(singleShots(), 1);
}

TEST_F(Commands, ClickOnCheckedPeriodicDoesNothing) {
  ASSERT_TRUE(form.RadioButton1->isChecked());
  // Were the command run, it would set the field back to 1.
  state().periodicDisplay = 0;
  QTest::mouseClick(form.RadioButton1, Qt::LeftButton);
  EXPECT_EQ(state().periodicDisplay, 0);
  EXPECT_TRUE(form.RadioButton1->isChecked());
  EXPECT_FALSE(form.RadioButton2->isChecked());
}

TEST_F(Commands, EveryClickOnSingleShotGivesANewShot) {
  const struct {
    const char* how;
    void (*press)(QRadioButton*);
  } presses[] = {
      {"mouse", [](QRadioButton* button) { QTest::mouseClick(button, Qt::LeftButton); }},
      {"mouse", [](QRadioButton* button) { QTest::mouseClick(button, Qt::LeftButton); }},
      {"space key", [](QRadioButton* button) { QTest::keyClick(button, Qt::Key_Space); }},
  };
  int shots = 0;
  for (const auto& press : presses) {
    SCOPED_TRACE(press.how);
    mark();
    press.press(form.RadioButton2);
    ++shots;
    ASSERT_EQ(singleShots(), shots);
    // The screen was cleared before the pass drew.
    EXPECT_TRUE(passes.back().screenCleared);
    EXPECT_EQ(state().periodicDisplay, 0);
    EXPECT_FALSE(form.RadioButton1->isChecked());
    EXPECT_FALSE(form.RadioButton2->isChecked());
  }
}

TEST_F(Commands, PeriodicReturnsFromSingleShot) {
  clickSingleShot();
  QTest::mouseClick(form.RadioButton1, Qt::LeftButton);
  EXPECT_EQ(state().periodicDisplay, 1);
  EXPECT_TRUE(form.RadioButton1->isChecked());
  EXPECT_FALSE(form.RadioButton2->isChecked());
  EXPECT_EQ(singleShots(), 1);
}

TEST_F(Commands, EraseMenuClearsAndDrawsOnce) {
  clickSingleShot();
  for (int shot = 2; shot <= 3; ++shot) {
    mark();
    QMenuBar* bar = form.menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(form.file1).center());
    ASSERT_EQ(singleShots(), shot);
    EXPECT_TRUE(passes.back().screenCleared);
    EXPECT_EQ(state().periodicDisplay, 0);
  }
}

TEST_F(Commands, TriggerSourceChoiceOnlyClearsTheScreen) {
  clickSingleShot();
  for (int index : {1, 2, 0, 0}) {
    SCOPED_TRACE(index);
    mark();
    const Modes before = modesOf(state());
    choose(form.ComboBox4, index);
    EXPECT_FALSE(marked());
    EXPECT_EQ(modesOf(state()), before);
  }
  EXPECT_EQ(singleShots(), 1);
}

TEST_F(Commands, ResizeInSingleShotModeLeavesTheScreenEmpty) {
  clickSingleShot();
  mark();
  form.resize(760, 480);
  QTest::qWait(50);
  EXPECT_FALSE(marked());
  const QImage& image = form.Screen()->image();
  int lit = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) lit += image.pixel(x, y) != qRgb(0, 0, 0);
  }
  EXPECT_EQ(lit, 0);
  EXPECT_EQ(singleShots(), 1);
}

void expectOptimumLayout(TForm1& form) {
  EXPECT_EQ(form.State().sampleCount, 22100);
  EXPECT_EQ(form.pos(), QPoint(0, 0));
  EXPECT_EQ(form.width(), 800);
  EXPECT_EQ(form.ClientHeight(), 526);
  EXPECT_EQ(form.Edit18->geometry(), QRect(384, 37, 27, 15));
  EXPECT_EQ(form.Edit2->geometry(), QRect(624, 37, 27, 15));
  EXPECT_EQ(form.Edit19->geometry(), QRect(384, 475, 27, 15));
  EXPECT_EQ(form.Edit5->geometry(), QRect(152, 475, 27, 15));
}

TEST_F(Commands, EnterAnywhereRunsOptimum) {
  const struct {
    const char* where;
    QWidget* focus;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
  } presses[] = {
      {"readout", form.Edit1, Qt::Key_Return, {}},
      {"editable list", form.ComboBox3->lineEdit(), Qt::Key_Return, {}},
      {"trigger list", form.ComboBox4->lineEdit(), Qt::Key_Enter, Qt::KeypadModifier},
      {"time-base list", form.ComboBox1, Qt::Key_Return, {}},
      {"radio button", form.RadioButton1, Qt::Key_Enter, Qt::KeypadModifier},
      {"scale caption", form.Edit18, Qt::Key_Return, {}},
      {"optimum button", form.Button2, Qt::Key_Return, {}},
  };
  for (const auto& press : presses) {
    SCOPED_TRACE(press.where);
    form.setGeometry(40, 30, 640, 400);
    state().sampleCount = 22050;
    press.focus->setFocus();
    QTest::keyClick(press.focus, press.key, press.modifiers);
    expectOptimumLayout(form);
  }
  // Enter in a list's field does not choose an item.
  EXPECT_EQ(form.ComboBox3->currentIndex(), 0);
  EXPECT_EQ(form.ComboBox4->currentIndex(), 0);
}

TEST_F(Commands, OptimumRestoresTheWindowButNotTheGeneratorStrip) {
  const int stripTop = form.Panel13->y();
  form.setGeometry(100, 80, 900, 640);
  QTest::qWait(20);
  QTest::mouseClick(form.Button2, Qt::LeftButton);
  expectOptimumLayout(form);
  EXPECT_EQ(form.Panel13->y(), stripTop);
}

}  // namespace
