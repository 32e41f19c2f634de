// The controls and the menu bar of the main window, at their fixed pixel positions.

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <algorithm>

#include "GeneratorSlider.h"
#include "ListItems.h"
#include "ScreenWidget.h"
#include "TForm1.h"
#include "TScrollBar.h"

using namespace osciloskop;

namespace {

// The standard colours the controls are named by.
const QColor kTeal(0, 128, 128);
const QColor kAqua(0, 255, 255);
const QColor kYellow(255, 255, 0);
const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);
const QColor kWhite(255, 255, 255);

// The form's faces are bitmap fonts whose smallest size is about 11 pixels, so smaller
// heights show at that size. The condensed width keeps the captions inside the narrow
// controls, whose sizes are fixed in pixels.
QFont controlFont(int pixelHeight, bool bold) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setStretch(QFont::Condensed);
  font.setPixelSize(std::max(pixelHeight, 11));
  font.setBold(bold);
  return font;
}

// The window itself is black; controls of default colours get the style's light standard
// colours with every role set, so that none of the window's black shows through.
void setStandardColours(QWidget* widget) {
  QPalette palette = QApplication::style()->standardPalette();
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
      const auto colourRole = static_cast<QPalette::ColorRole>(role);
      palette.setColor(group, colourRole, palette.color(group, colourRole));
    }
  }
  widget->setPalette(palette);
}

// Background and text colour of a control, alike whether it is enabled or not.
void setColours(QWidget* widget, const QColor& background, const QColor& text) {
  setStandardColours(widget);
  QPalette palette = widget->palette();
  for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button}) {
    palette.setColor(role, background);
  }
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    palette.setColor(role, text);
  }
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

struct Place {
  int left, top, width, height;
};

template <typename Widget>
Widget* placed(Widget* widget, Place place, const QFont& font) {
  widget->setGeometry(place.left, place.top, place.width, place.height);
  widget->setFont(font);
  return widget;
}

QLineEdit* makeEdit(QWidget* parent, Place place, const QFont& font, const QString& text,
                    bool readOnly) {
  auto* edit = placed(new QLineEdit(text, parent), place, font);
  edit->setReadOnly(readOnly);
  edit->setCursorPosition(0);
  edit->setTextMargins(0, 0, 0, 0);
  return edit;
}

// A scale caption on the screen: an edit field without border, black with coloured text.
QLineEdit* makeScaleCaption(QWidget* parent, Place place, const QFont& font, const QColor& colour,
                            const QString& text) {
  auto* edit = makeEdit(parent, place, font, text, false);
  edit->setFrame(false);
  setColours(edit, kBlack, colour);
  return edit;
}

// A warning panel: red with white bold text, raised, hidden until its condition arises.
QLabel* makeWarningPanel(QWidget* parent, Place place, const QFont& font, const QString& caption) {
  auto* panel = placed(new QLabel(caption, parent), place, font);
  panel->setAlignment(Qt::AlignCenter);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  setColours(panel, kRed, kWhite);
  panel->hide();
  return panel;
}

template <std::size_t N>
QComboBox* makeList(QWidget* parent, Place place, const QFont& font,
                    const std::array<const char*, N>& items, bool editable, int visibleRows) {
  auto* list = placed(new QComboBox(parent), place, font);
  list->setEditable(editable);
  if (editable) {
    // What the user types stays in the field: it neither completes to an item nor becomes
    // one, and leaving the field does not select the item of the same text, so typing never
    // runs the list's command. (Enter in the field presses the window's default button.)
    list->setCompleter(nullptr);
    list->setInsertPolicy(QComboBox::NoInsert);
    QObject::disconnect(list->lineEdit(), &QLineEdit::editingFinished, list, nullptr);
  }
  for (const char* item : items) list->addItem(QString::fromUtf8(item));
  list->setMaxVisibleItems(visibleRows);
  setStandardColours(list);
  return list;
}

QRadioButton* makeRadioButton(QWidget* parent, Place place, const QFont& font,
                              const QString& caption, const QString& hint) {
  auto* button = placed(new QRadioButton(caption, parent), place, font);
  button->setToolTip(hint);
  // Each button checks and unchecks on its own: after a single shot both show unchecked.
  button->setAutoExclusive(false);
  setColours(button, kTeal, kWhite);
  return button;
}

// A readout's text as a control shows it.
QString shownText(const ReadoutText& readout) {
  const std::string_view view = readout.view();
  return QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size()));
}

}  // namespace

void TForm1::CreateControls() {
  QWidget* client = screen;
  const QFont windowFont = controlFont(5, true);
  const QFont regular11 = controlFont(11, false);
  const QFont bold11 = controlFont(11, true);
  const QFont regular5 = controlFont(5, false);
  const QFont bold5 = controlFont(5, true);
  // The readouts and captions start with what the instrument shows before its first frame.
  const InstrumentReadouts& readouts = instrument_->Readouts();
  const QFont bold13 = controlFont(13, true);
  setFont(windowFont);

  // The control strip under the menu bar, left to right.
  ComboBox4 = makeList(client, {0, 0, 82, 21}, regular5, kTriggerSourceItems, true, 8);

  RadioButton1 = makeRadioButton(client, {84, 2, 71, 19}, regular5, QStringLiteral("periodické"),
                                 QStringLiteral("provádí periodické zobrazování průběhu"));
  RadioButton1->setChecked(true);
  RadioButton2 = makeRadioButton(
      client, {157, 2, 80, 19}, regular5, QStringLiteral("jednorázové"),
      QStringLiteral("provede po stisku levého tlačítka myši  VŽDY  jednorázové zobrazení"));

  Edit4 = makeEdit(client, {237, 0, 56, 21}, bold11, shownText(readouts.ulLevel), true);
  Edit4->setToolTip(QStringLiteral("velikost napětí v prvním měřicím kanálu"));
  setColours(Edit4, kYellow, kBlack);

  ComboBox2 = makeList(client, {293, 0, 81, 21}, regular11, kUlRangeItems, false, 15);
  ComboBox2->setToolTip(QStringLiteral("nastavení rozsahu na ose napětí"));
  setColours(ComboBox2, kYellow, kBlack);

  Edit12 = makeEdit(client, {374, 0, 62, 21}, bold11, shownText(readouts.ulFrequency), true);
  Edit12->setToolTip(QStringLiteral("frekvence napětí v prvním měřicím kanálu"));
  setColours(Edit12, kYellow, kBlack);

  Edit1 = makeEdit(client, {435, 0, 67, 21}, windowFont, shownText(readouts.urLevel), false);
  setColours(Edit1, kAqua, kBlack);

  ComboBox3 = makeList(client, {502, 0, 81, 21}, regular5, kUrRangeItems, true, 15);
  ComboBox3->setEditText(QString::fromUtf8(kUrRangeItems[0]));
  setColours(ComboBox3, kAqua, kBlack);

  Edit8 = makeEdit(client, {583, 0, 62, 21}, windowFont, shownText(readouts.urFrequency), false);
  setColours(Edit8, kAqua, kBlack);

  ComboBox1 = makeList(client, {644, 0, 83, 21}, regular11, kTimeBaseItems, false, 9);
  ComboBox1->setToolTip(QStringLiteral("nastavení časové osy"));

  // A red frame behind the optimum button.
  Edit17 = makeEdit(client, {727, 0, 68, 21}, regular11, QStringLiteral("          jas"), true);
  Edit17->setEnabled(false);
  Edit17->setToolTip(QStringLiteral("nastavuje jas rastru"));
  setColours(Edit17, kRed, kBlack);

  Button2 = placed(new QPushButton(QStringLiteral("optimum"), client), {730, 2, 61, 18}, regular11);
  Button2->setToolTip(QStringLiteral("vytvoří nebo odstraní svítící rastr na obrazovce"));
  Button2->setDefault(true);
  // The window opens with the default button focused, not the text field of the first list.
  Button2->setFocus();
  setStandardColours(Button2);

  // Scale captions on the screen.
  const AxisCaptions& ul = instrument_->UlCaptions();
  const AxisCaptions& ur = instrument_->UrCaptions();
  Edit18 = makeScaleCaption(client, {384, 24, 27, 15}, bold11, kAqua, QString::fromLatin1(ur.plus));
  Edit19 =
      makeScaleCaption(client, {384, 484, 27, 15}, bold11, kAqua, QString::fromLatin1(ur.minus));
  Edit2 =
      makeScaleCaption(client, {624, 265, 27, 15}, bold5, kYellow, QString::fromLatin1(ul.plus));
  Edit5 =
      makeScaleCaption(client, {152, 263, 27, 15}, bold5, kYellow, QString::fromLatin1(ul.minus));

  Panel2 = makeWarningPanel(client, {76, 424, 417, 25}, bold13,
                            QStringLiteral("překročen nastavený rozsah - snižte měřenou veličinu"));
  Panel14 = makeWarningPanel(client, {72, 172, 629, 21}, bold13,
                             QStringLiteral("překročena mez zobrazitelnosti - snižte frekvenci"));

  // Beyond the right edge of the 800-pixel client area.
  Panel3 = new QWidget(client);
  Panel3->setGeometry(806, 0, 217, 22);
  setStandardColours(Panel3);
  Edit11 = makeEdit(Panel3, {4, 0, 209, 21}, windowFont, shownText(readouts.peakDiagnostic), false);

  // Generator strip.
  Panel13 = placed(new QLabel(QStringLiteral("< amplituda frekvence >"), client), {0, 500, 800, 29},
                   bold5);
  Panel13->setAlignment(Qt::AlignCenter);
  Panel13->setFrameStyle(QFrame::Panel | QFrame::Raised);
  setColours(Panel13, kTeal, kWhite);
  Edit13 = makeEdit(Panel13, {0, 4, 161, 21}, windowFont,
                    QStringLiteral(" amplituda (číslo) = 500"), false);
  ScrollBar4 = placed(new TScrollBar(Panel13), {164, 5, 223, 17}, windowFont);
  ScrollBar4->setToolTip(QStringLiteral("nastavení amplitudy"));
  ScrollBar4->setRange(kAmplitudeMin, kAmplitudeMax);
  ScrollBar4->SetPosition(500);
  ScrollBar4->SetLargeChange(10);
  ScrollBar5 = placed(new TScrollBar(Panel13), {388, 5, 223, 17}, windowFont);
  ScrollBar5->setToolTip(QStringLiteral("nastavení frekvence"));
  Edit14 = makeEdit(Panel13, {612, 4, 61, 21}, windowFont, QStringLiteral(" 500 Hz"), false);
  ComboBox8 = makeList(Panel13, {668, 4, 121, 21}, windowFont, kFrequencyBandItems, false, 8);
  ComboBox8->setCurrentIndex(-1);
  ComboBox8->setPlaceholderText(QStringLiteral("100 Hz až 1 kHz "));
  for (QWidget* control : std::initializer_list<QWidget*>{Edit13, Edit14}) {
    setStandardColours(control);
  }

  // Every control carries its name, so that it can be found by it.
  const std::pair<QWidget*, const char*> names[] = {{ComboBox4, "ComboBox4"},
                                                    {RadioButton1, "RadioButton1"},
                                                    {RadioButton2, "RadioButton2"},
                                                    {Edit4, "Edit4"},
                                                    {ComboBox2, "ComboBox2"},
                                                    {Edit12, "Edit12"},
                                                    {Edit1, "Edit1"},
                                                    {ComboBox3, "ComboBox3"},
                                                    {Edit8, "Edit8"},
                                                    {ComboBox1, "ComboBox1"},
                                                    {Edit17, "Edit17"},
                                                    {Button2, "Button2"},
                                                    {Edit18, "Edit18"},
                                                    {Edit19, "Edit19"},
                                                    {Edit2, "Edit2"},
                                                    {Edit5, "Edit5"},
                                                    {Panel2, "Panel2"},
                                                    {Panel14, "Panel14"},
                                                    {Panel3, "Panel3"},
                                                    {Edit11, "Edit11"},
                                                    {Panel13, "Panel13"},
                                                    {Edit13, "Edit13"},
                                                    {ScrollBar4, "ScrollBar4"},
                                                    {ScrollBar5, "ScrollBar5"},
                                                    {Edit14, "Edit14"},
                                                    {ComboBox8, "ComboBox8"}};
  for (const auto& [control, name] : names) control->setObjectName(QLatin1String(name));
}

void TForm1::CreateMenu() {
  QMenuBar* bar = menuBar();
  // Light with black titles like any menu bar, rather than the window's black; a condensed
  // face keeps all twelve titles in one row of the 800-pixel window.
  setStandardColours(bar);
  bar->setFont(controlFont(12, false));
  // A disabled entry stays so for the whole run: nothing enables it.
  auto entry = [](QAction* action, const char* name, bool enabled) {
    action->setObjectName(QLatin1String(name));
    action->setEnabled(enabled);
    return action;
  };
  auto heading = [bar, &entry](const char* name, const char* caption, bool enabled) {
    return entry(bar->addAction(QString::fromUtf8(caption)), name, enabled);
  };
  spoutn1 = heading("spoutn1", "   spouštění", true);
  test2 = heading("test2", "test", false);
  volbazobrazen1 = bar->addMenu(QStringLiteral("  volba zobrazení"));
  volbazobrazen1->setObjectName(QStringLiteral("volbazobrazen1"));
  setStandardColours(volbazobrazen1);
  volbazobrazen1->setFont(bar->font());
  dosebe1 = entry(volbazobrazen1->addAction(QStringLiteral("do sebe")), "dosebe1", true);
  nadsebou1 = entry(volbazobrazen1->addAction(QStringLiteral("nad sebou")), "nadsebou1", false);
  file1 = heading("file1", "mazání", true);
  mickanl1 = heading("mickanl1", "napětí UL", true);
  volbarozsahu1 = heading("volbarozsahu1", "volba rozsahu", true);
  frekvence1 = heading("frekvence1", " frekvence", true);
  naptR1 = heading("naptR1", "napětí UR", true);
  volbarozsahu2 = heading("volbarozsahu2", "volba rozsahu", true);
  frekvence2 = heading("frekvence2", " frekvence", true);
  asovzkladna1 = heading("asovzkladna1", " časová &osa", true);
  mixer1 = heading("mixer1", "mixážní pult", false);
}
