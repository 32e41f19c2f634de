// The main window as the user first sees it: every control of the strip, the scale captions,
// the warning panels and the menu bar, checked on the real widgets and on a rendering of the
// whole window.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTest>
#include <vector>

#include "ScreenWidget.h"
#include "TForm1.h"

using namespace osciloskop;

namespace {

// The standard colours of those names.
const QColor kTeal(u"teal");
const QColor kAqua(u"aqua");
const QColor kYellow(u"yellow");
const QColor kRed(u"red");
const QColor kBlack(u"black");
const QColor kWhite(u"white");

QWidget* control(TForm1& form, const char* name) {
  auto* widget = form.findChild<QWidget*>(QLatin1String(name));
  EXPECT_NE(widget, nullptr) << name;
  return widget;
}

QString textOf(QWidget* widget) {
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
  if (auto* list = qobject_cast<QComboBox*>(widget)) return list->currentText();
  return {};
}

enum class Typing { None, ReadOnly, Accepted };

struct StartUpRow {
  const char* name;
  QRect geometry;  // in the client area (Edit11: in Panel3)
  const char* text;
  const char* hint;
  QColor textColour;  // invalid where the control keeps the default
  int pixelSize;
  bool bold;
  bool shown;
  bool enabled;
  Typing typing;
};

// Start-up positions of the scale captions and the generator strip come from the client
// height of 526: centre 263.
constexpr bool kBold = true, kRegular = false, kShown = true, kHidden = false, kOn = true,
               kOff = false;
// clang-format off
const StartUpRow kStartUp[] = {
    {"ComboBox4", {0, 0, 82, 21}, "automaticky", "", {}, 11, kRegular, kShown, kOn,
     Typing::Accepted},
    {"RadioButton1", {84, 2, 71, 19}, "periodické", "provádí periodické zobrazování průběhu",
     kWhite, 11, kRegular, kShown, kOn, Typing::None},
    {"RadioButton2", {157, 2, 80, 19}, "jednorázové",
     "provede po stisku levého tlačítka myši  VŽDY  jednorázové zobrazení",
     kWhite, 11, kRegular, kShown, kOn, Typing::None},
    {"Edit4", {237, 0, 56, 21}, "465 mA", "velikost napětí v prvním měřicím kanálu",
     kBlack, 11, kBold, kShown, kOn, Typing::ReadOnly},
    {"ComboBox2", {293, 0, 81, 21}, "automaticky", "nastavení rozsahu na ose napětí",
     kBlack, 11, kRegular, kShown, kOn, Typing::None},
    {"Edit12", {374, 0, 62, 21}, "12760 Hz", "frekvence napětí v prvním měřicím kanálu",
     kBlack, 11, kBold, kShown, kOn, Typing::ReadOnly},
    {"Edit1", {435, 0, 67, 21}, "532.2 mV", "", kBlack, 11, kBold, kShown, kOn, Typing::Accepted},
    {"ComboBox3", {502, 0, 81, 21}, "automaticky", "", kBlack, 11, kRegular, kShown, kOn,
     Typing::Accepted},
    {"Edit8", {583, 0, 62, 21}, "12760 Hz", "", kBlack, 11, kBold, kShown, kOn, Typing::Accepted},
    {"ComboBox1", {644, 0, 83, 21}, " generátoru", "nastavení časové osy",
     {}, 11, kRegular, kShown, kOn, Typing::None},
    {"Edit17", {727, 0, 68, 21}, "          jas", "nastavuje jas rastru",
     kBlack, 11, kRegular, kShown, kOff, Typing::ReadOnly},
    {"Button2", {730, 2, 61, 18}, "optimum", "vytvoří nebo odstraní svítící rastr na obrazovce",
     {}, 11, kRegular, kShown, kOn, Typing::None},
    {"Edit18", {384, 29, 27, 15}, "+mV", "", kAqua, 11, kBold, kShown, kOn, Typing::Accepted},
    {"Edit19", {384, 483, 27, 15}, "-mV", "", kAqua, 11, kBold, kShown, kOn, Typing::Accepted},
    {"Edit2", {624, 265, 27, 15}, "mA", "", kYellow, 11, kBold, kShown, kOn, Typing::Accepted},
    {"Edit5", {152, 265, 27, 15}, "mA", "", kYellow, 11, kBold, kShown, kOn, Typing::Accepted},
    {"Panel2", {76, 424, 417, 25}, "překročen nastavený rozsah - snižte měřenou veličinu", "",
     kWhite, 13, kBold, kHidden, kOn, Typing::None},
    {"Panel14", {72, 172, 629, 21}, "překročena mez zobrazitelnosti - snižte frekvenci", "",
     kWhite, 13, kBold, kHidden, kOn, Typing::None},
    {"Panel3", {806, 0, 217, 22}, "", "", {}, 11, kBold, kShown, kOn, Typing::None},
    {"Edit11", {4, 0, 209, 21}, "Edit11", "", {}, 11, kBold, kShown, kOn, Typing::Accepted},
    {"Panel13", {0, 498, 800, 29}, "< amplituda frekvence >", "", kWhite, 11, kBold, kShown, kOn,
     Typing::None},
};
// clang-format on

TEST(WindowControls, StartUpStateOfEveryControl) {
  TForm1 form;
  for (const StartUpRow& row : kStartUp) {
    SCOPED_TRACE(row.name);
    QWidget* widget = control(form, row.name);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->geometry(), row.geometry);
    EXPECT_EQ(textOf(widget), QString::fromUtf8(row.text));
    EXPECT_EQ(widget->toolTip(), QString::fromUtf8(row.hint));
    if (row.textColour.isValid()) {
      EXPECT_EQ(widget->palette().color(widget->foregroundRole()), row.textColour);
    }
    EXPECT_EQ(widget->font().pixelSize(), row.pixelSize);
    EXPECT_EQ(widget->font().bold(), row.bold);
    EXPECT_EQ(widget->isVisibleTo(&form), row.shown);
    EXPECT_EQ(widget->isEnabled(), row.enabled);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
      EXPECT_EQ(edit->isReadOnly(), row.typing == Typing::ReadOnly);
    } else if (auto* list = qobject_cast<QComboBox*>(widget)) {
      EXPECT_EQ(list->isEditable(), row.typing == Typing::Accepted);
    } else {
      EXPECT_EQ(row.typing, Typing::None);
    }
  }
}

TEST(WindowControls, ButtonsAndCaptionsAtStart) {
  TForm1 form;
  EXPECT_TRUE(form.RadioButton1->isChecked());
  EXPECT_FALSE(form.RadioButton2->isChecked());
  EXPECT_TRUE(form.Button2->isDefault());
  for (QLineEdit* caption : {form.Edit18, form.Edit19, form.Edit2, form.Edit5}) {
    EXPECT_FALSE(caption->hasFrame()) << caption->objectName().toStdString();
  }
  // The off-screen panel lies wholly beyond the right edge of the client area.
  EXPECT_GE(form.Panel3->x(), form.ClientWidth());
  EXPECT_EQ(form.Edit11->parentWidget(), form.Panel3);
}

struct ListRow {
  const char* name;
  std::vector<const char*> items;
  int currentIndex;
  int visibleRows;
};

const ListRow kLists[] = {
    {"ComboBox1",
     {"automatická", "   100 msec", "    50 msec", "    20 msec", "    10 msec", "      5 msec",
      "      2 msec", "      1 msec", " generátoru"},
     8,
     9},
    {"ComboBox2",
     {"automaticky", "      50 V", "      20 V", "      10 V", "        5 V", "        2 V",
      "        1 V", "    500 mV", "    200 mV", "    100 mV", "      50 mV", "      20 mV",
      "      10 mV"},
     0,
     15},
    {"ComboBox3",
     {"automaticky", "      50 V", "      20 V", "      10 V", "        5 V", "        2 V",
      "        1 V", "     500 mV", "     200 mV", "     100 mV", "       50 mV", "       20 mV",
      "       10 mV", "      vypnuto"},
     0,
     15},
    {"ComboBox4", {"automaticky", "od kanálu L", "od kanálu R"}, 0, 8},
};

// The space a list leaves for the text of its item.
QRect textFieldOf(QComboBox* list) {
  QStyleOptionComboBox option;
  option.initFrom(list);
  option.editable = list->isEditable();
  option.rect = list->rect();
  return list->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField,
                                       list);
}

TEST(WindowControls, ListsHoldTheirItemsAndEachFitsTheField) {
  TForm1 form;
  for (const ListRow& row : kLists) {
    SCOPED_TRACE(row.name);
    auto* list = qobject_cast<QComboBox*>(control(form, row.name));
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count(), static_cast<int>(row.items.size()));
    const QFontMetrics metrics(list->font());
    const int room = textFieldOf(list).width();
    for (int i = 0; i < list->count(); ++i) {
      const QString item = QString::fromUtf8(row.items[i]);
      EXPECT_EQ(list->itemText(i), item) << i;
      EXPECT_LE(metrics.horizontalAdvance(item.trimmed()), room) << i;
    }
    EXPECT_EQ(list->currentIndex(), row.currentIndex);
    EXPECT_EQ(list->maxVisibleItems(), row.visibleRows);
  }
}

// Width a line edit leaves for its text: the frame and Qt's fixed inner margin of two pixels
// on each side.
int textRoomOf(QLineEdit* edit) {
  const int frame = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) : 0;
  return edit->width() - 2 * frame - 2 * 2;
}

TEST(WindowControls, TextsFitTheirFields) {
  TForm1 form;
  // The start-up texts and the widest texts the measurement and the ranges write.
  const std::vector<const char*> levels = {"465 mA", "532.2 mV", "99.9 mV", " 999 mV", "2.18 V"};
  const std::vector<const char*> frequencies = {"12760 Hz", "    50 Hz", " 2500 Hz", "  f > fmax"};
  const std::vector<const char*> captions = {"+mV", "-mV", "+ V", "- V", "mA"};
  const struct {
    QLineEdit* edit;
    const std::vector<const char*>& texts;
  } boxes[] = {{form.Edit4, levels},      {form.Edit1, levels},    {form.Edit12, frequencies},
               {form.Edit8, frequencies}, {form.Edit18, captions}, {form.Edit19, captions},
               {form.Edit2, captions},    {form.Edit5, captions}};
  for (const auto& box : boxes) {
    for (const char* text : box.texts) {
      SCOPED_TRACE(box.edit->objectName().toStdString() + " <- " + text);
      EXPECT_LE(QFontMetrics(box.edit->font()).horizontalAdvance(QString::fromUtf8(text)),
                textRoomOf(box.edit));
    }
  }
  for (QRadioButton* button : {form.RadioButton1, form.RadioButton2}) {
    SCOPED_TRACE(button->text().toStdString());
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const QRect label =
        button->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, button);
    EXPECT_LE(QFontMetrics(button->font()).horizontalAdvance(button->text()), label.width());
  }
  for (QLabel* panel : {form.Panel2, form.Panel14}) {
    SCOPED_TRACE(panel->objectName().toStdString());
    EXPECT_LE(QFontMetrics(panel->font()).horizontalAdvance(panel->text()),
              panel->contentsRect().width());
  }
}

struct MenuRow {
  const char* name;
  const char* caption;
  bool enabled;
};

const MenuRow kMenuBar[] = {
    {"spoutn1", "   spouštění", true},
    {"test2", "test", false},
    {"volbazobrazen1", "  volba zobrazení", true},
    {"file1", "mazání", true},
    {"mickanl1", "napětí UL", true},
    {"volbarozsahu1", "volba rozsahu", true},
    {"frekvence1", " frekvence", true},
    {"naptR1", "napětí UR", true},
    {"volbarozsahu2", "volba rozsahu", true},
    {"frekvence2", " frekvence", true},
    {"asovzkladna1", " časová &osa", true},
    {"mixer1", "mixážní pult", false},
};

TEST(WindowControls, MenuBarHasTwelveTitlesInOneRow) {
  TForm1 form;
  form.show();
  QMenuBar* bar = form.menuBar();
  const QList<QAction*> titles = bar->actions();
  ASSERT_EQ(titles.size(), std::size(kMenuBar));
  int right = 0;
  for (std::size_t i = 0; i < std::size(kMenuBar); ++i) {
    const MenuRow& row = kMenuBar[i];
    SCOPED_TRACE(row.name);
    QAction* title = titles[static_cast<int>(i)];
    const QString name = title->menu() ? title->menu()->objectName() : title->objectName();
    EXPECT_EQ(name, QLatin1String(row.name));
    EXPECT_EQ(title->text(), QString::fromUtf8(row.caption));
    EXPECT_EQ(title->isEnabled(), row.enabled);
    // Left to right in one row, none pushed into the overflow.
    const QRect place = bar->actionGeometry(title);
    EXPECT_FALSE(place.isEmpty());
    EXPECT_EQ(place.top(), bar->actionGeometry(titles.first()).top());
    EXPECT_GE(place.left(), right);
    right = place.right();
  }
  EXPECT_LT(right, form.width());
  EXPECT_EQ(form.volbazobrazen1->actions(), (QList<QAction*>{form.dosebe1, form.nadsebou1}));
  EXPECT_EQ(form.dosebe1->text(), QStringLiteral("do sebe"));
  EXPECT_TRUE(form.dosebe1->isEnabled());
  EXPECT_EQ(form.nadsebou1->text(), QStringLiteral("nad sebou"));
  EXPECT_FALSE(form.nadsebou1->isEnabled());
}

TEST(WindowControls, DisabledMenuEntriesCannotBeChosen) {
  TForm1 form;
  form.show();
  QMenuBar* bar = form.menuBar();
  // The enabled headings show that a click does reach an entry.
  for (QAction* title : {form.spoutn1, form.test2, form.mickanl1, form.mixer1, form.frekvence2}) {
    SCOPED_TRACE(title->objectName().toStdString());
    QSignalSpy chosen(title, &QAction::triggered);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(title).center());
    EXPECT_EQ(chosen.count(), title->isEnabled() ? 1 : 0);
  }
  for (QAction* entry : {form.nadsebou1, form.dosebe1}) {
    SCOPED_TRACE(entry->text().toStdString());
    QSignalSpy chosen(entry, &QAction::triggered);
    form.volbazobrazen1->popup(form.mapToGlobal(QPoint(100, 30)));
    QTest::mouseClick(form.volbazobrazen1, Qt::LeftButton, {},
                      form.volbazobrazen1->actionGeometry(entry).center());
    EXPECT_EQ(chosen.count(), entry->isEnabled() ? 1 : 0);
    form.volbazobrazen1->close();
  }
}

TEST(WindowControls, TimeAxisTitleAnswersItsAccelerator) {
  TForm1 form;
  form.show();
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  EXPECT_EQ(QKeySequence::mnemonic(form.asovzkladna1->text()), QKeySequence(Qt::ALT | Qt::Key_O));
  QSignalSpy chosen(form.asovzkladna1, &QAction::triggered);
  QTest::keyClick(&form, Qt::Key_O, Qt::AltModifier);
  EXPECT_EQ(chosen.count(), 1);
}

// --- The window as rendered ---

bool near(QColor actual, QColor expected, int tolerance) {
  return std::abs(actual.red() - expected.red()) <= tolerance &&
         std::abs(actual.green() - expected.green()) <= tolerance &&
         std::abs(actual.blue() - expected.blue()) <= tolerance;
}

class RenderedWindow {
 public:
  explicit RenderedWindow(TForm1& form) : form(form), image(form.grab().toImage()) {}
  QColor at(QWidget* widget, QPoint local) const {
    return image.pixelColor(widget->mapTo(&form, local));
  }
  // Pixels of about the given colour inside a widget.
  int countIn(QWidget* widget, QColor colour) const {
    int count = 0;
    for (int y = 0; y < widget->height(); ++y) {
      for (int x = 0; x < widget->width(); ++x) count += near(at(widget, {x, y}), colour, 48);
    }
    return count;
  }

 private:
  TForm1& form;
  QImage image;
};

struct ProbeRow {
  const char* name;
  QPoint local;  // inside the control, clear of frame and text
  QColor background;
  int tolerance;  // the style shades the faces of lists and buttons
};

const QColor kLight(240, 240, 240);  // the standard face of controls and the menu bar

const ProbeRow kProbes[] = {
    {"ComboBox4", {70, 3}, kLight, 80},   {"RadioButton1", {68, 2}, kTeal, 24},
    {"RadioButton2", {77, 2}, kTeal, 24}, {"Edit4", {52, 3}, kYellow, 24},
    {"ComboBox2", {3, 17}, kYellow, 80},  {"Edit12", {58, 3}, kYellow, 24},
    {"Edit1", {63, 3}, kAqua, 24},        {"ComboBox3", {3, 17}, kAqua, 80},
    {"Edit8", {58, 3}, kAqua, 24},        {"ComboBox1", {3, 17}, kLight, 80},
    {"Edit17", {64, 10}, kRed, 24},       {"Button2", {4, 9}, kLight, 80},
    {"Edit18", {1, 1}, kBlack, 24},       {"Edit5", {1, 1}, kBlack, 24},
    {"Panel13", {200, 2}, kTeal, 24},
};

TEST(WindowControls, RenderedColoursOfEveryControl) {
  TForm1 form;
  form.show();
  const RenderedWindow window(form);
  for (const ProbeRow& row : kProbes) {
    SCOPED_TRACE(row.name);
    const QColor seen = window.at(control(form, row.name), row.local);
    EXPECT_TRUE(near(seen, row.background, row.tolerance)) << seen.name().toStdString();
  }
  // The screen is black and the menu bar light with dark titles.
  EXPECT_EQ(window.at(form.Screen(), {130, 150}), kBlack);
  EXPECT_TRUE(near(window.at(form.menuBar(), {form.menuBar()->width() - 3, 4}), kLight, 24));
  EXPECT_GT(window.countIn(form.menuBar(), kBlack), 100);
  // The scale captions write in their channel's colour.
  EXPECT_GT(window.countIn(form.Edit18, kAqua), 10);
  EXPECT_GT(window.countIn(form.Edit19, kAqua), 10);
  EXPECT_GT(window.countIn(form.Edit2, kYellow), 10);
  EXPECT_GT(window.countIn(form.Edit5, kYellow), 10);
}

TEST(WindowControls, WarningPanelsShowOnlyWhenShown) {
  TForm1 form;
  form.show();
  for (QLabel* panel : {form.Panel2, form.Panel14}) {
    SCOPED_TRACE(panel->objectName().toStdString());
    const QPoint inside(4, 4);
    EXPECT_FALSE(near(RenderedWindow(form).at(panel, inside), kRed, 24));
    panel->show();
    const RenderedWindow shown(form);
    EXPECT_EQ(shown.at(panel, inside), kRed);
    EXPECT_GT(shown.countIn(panel, kWhite), 100);
    panel->hide();
    EXPECT_FALSE(near(RenderedWindow(form).at(panel, inside), kRed, 24));
  }
}

}  // namespace
