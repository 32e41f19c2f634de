// The controls and the menu bar of the main window, at their fixed pixel positions.

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>

#include "ListItems.h"
#include "ScreenWidget.h"
#include "TForm1.h"
#include "TScrollBar.h"

namespace {

// The standard colours the controls are named by.
const QColor kTeal(0, 128, 128);
const QColor kAqua(0, 255, 255);
const QColor kYellow(255, 255, 0);
const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);
const QColor kWhite(255, 255, 255);

// The window's face is a bitmap font whose smallest size is about 11 pixels, so smaller
// heights showed at that size: a sans-serif face at max(height, 11) pixels.
QFont controlFont(int pixelHeight, bool bold) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(std::max(pixelHeight, 11));
  font.setBold(bold);
  return font;
}

void setColours(QWidget* widget, const QColor& background, const QColor& text) {
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

QLabel* makePanel(QWidget* parent, Place place, const QFont& font, const QColor& background,
                  const QColor& text, const QString& caption) {
  auto* panel = placed(new QLabel(caption, parent), place, font);
  panel->setAlignment(Qt::AlignCenter);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  setColours(panel, background, text);
  return panel;
}

template <std::size_t N>
QComboBox* makeList(QWidget* parent, Place place, const QFont& font,
                    const std::array<const char*, N>& items, bool editable, int visibleRows) {
  auto* list = placed(new QComboBox(parent), place, font);
  list->setEditable(editable);
  for (const char* item : items) list->addItem(QString::fromUtf8(item));
  list->setMaxVisibleItems(visibleRows);
  return list;
}

}  // namespace

void TForm1::CreateControls() {
  QWidget* client = screen;
  const QFont windowFont = controlFont(5, true);
  const QFont regular11 = controlFont(11, false);
  const QFont bold11 = controlFont(11, true);
  const QFont regular5 = controlFont(5, false);
  const QFont bold5 = controlFont(5, true);
  const QFont bold13 = controlFont(13, true);
  setFont(windowFont);

  // The control strip under the menu bar.
  ComboBox4 = makeList(client, {0, 0, 82, 21}, regular5, kTriggerSourceItems, true, 8);

  RadioButton1 =
      placed(new QRadioButton(QStringLiteral("periodické"), client), {84, 2, 71, 19}, regular5);
  RadioButton1->setToolTip(QStringLiteral("provádí periodické zobrazování průběhu"));
  RadioButton1->setChecked(true);
  RadioButton2 =
      placed(new QRadioButton(QStringLiteral("jednorázové"), client), {157, 2, 80, 19}, regular5);
  RadioButton2->setToolTip(
      QStringLiteral("provede po stisku levého tlačítka myši  VŽDY  jednorázové zobrazení"));
  for (auto* button : {RadioButton1, RadioButton2}) {
    // Each button checks and unchecks on its own: after a single shot both show unchecked.
    button->setAutoExclusive(false);
    setColours(button, kTeal, kWhite);
  }

  Edit4 = makeEdit(client, {237, 0, 56, 21}, bold11, QStringLiteral("465 mA"), true);
  Edit4->setToolTip(QStringLiteral("velikost napětí v prvním měřicím kanálu"));
  setColours(Edit4, kYellow, kBlack);

  ComboBox2 = makeList(client, {293, 0, 81, 21}, regular11, kUlRangeItems, false, 15);
  ComboBox2->setToolTip(QStringLiteral("nastavení rozsahu na ose napětí"));
  setColours(ComboBox2, kYellow, kBlack);

  Edit12 = makeEdit(client, {374, 0, 62, 21}, bold11, QStringLiteral("12760 Hz"), true);
  Edit12->setToolTip(QStringLiteral("frekvence napětí v prvním měřicím kanálu"));
  setColours(Edit12, kYellow, kBlack);

  Edit1 = makeEdit(client, {435, 0, 67, 21}, windowFont, QStringLiteral("532.2 mV"), false);
  setColours(Edit1, kAqua, kBlack);

  ComboBox3 = makeList(client, {502, 0, 81, 21}, regular5, kUrRangeItems, true, 15);
  setColours(ComboBox3, kAqua, kBlack);

  Edit8 = makeEdit(client, {583, 0, 62, 21}, windowFont, QStringLiteral("12760 Hz"), false);
  setColours(Edit8, kAqua, kBlack);

  ComboBox1 = makeList(client, {644, 0, 83, 21}, regular11, kTimeBaseItems, false, 9);
  ComboBox1->setToolTip(QStringLiteral("nastavení časové osy"));

  Edit17 = makeEdit(client, {727, 0, 68, 21}, regular11, QStringLiteral("          jas"), true);
  Edit17->setEnabled(false);
  Edit17->setToolTip(QStringLiteral("nastavuje jas rastru"));
  setColours(Edit17, kRed, kBlack);

  Button2 = placed(new QPushButton(QStringLiteral("optimum"), client), {730, 2, 61, 18}, regular11);
  Button2->setToolTip(QStringLiteral("vytvoří nebo odstraní svítící rastr na obrazovce"));
  Button2->setDefault(true);

  // Scale captions on the screen.
  Edit18 = makeScaleCaption(client, {384, 24, 27, 15}, bold11, kAqua, QStringLiteral("+mV"));
  Edit19 = makeScaleCaption(client, {384, 484, 27, 15}, bold11, kAqua, QStringLiteral("-mV"));
  Edit2 = makeScaleCaption(client, {624, 265, 27, 15}, bold5, kYellow, QStringLiteral("mA"));
  Edit5 = makeScaleCaption(client, {152, 263, 27, 15}, bold5, kYellow, QStringLiteral("mA"));

  // Warning panels.
  Panel2 = makePanel(client, {76, 424, 417, 25}, bold13, kRed, kWhite,
                     QStringLiteral("překročen nastavený rozsah - snižte měřenou veličinu"));
  Panel2->hide();
  Panel14 = makePanel(client, {72, 172, 629, 21}, bold13, kRed, kWhite,
                      QStringLiteral("překročena mez zobrazitelnosti - snižte frekvenci"));
  Panel14->hide();

  // Beyond the right edge of the 800-pixel client area.
  Panel3 = new QWidget(client);
  Panel3->setGeometry(806, 0, 217, 22);
  Edit11 = makeEdit(Panel3, {4, 0, 209, 21}, windowFont, QStringLiteral("Edit11"), false);

  // Generator strip.
  Panel13 = makePanel(client, {0, 500, 800, 29}, bold5, kTeal, kWhite,
                      QStringLiteral("< amplituda frekvence >"));
  Edit13 = makeEdit(Panel13, {0, 4, 161, 21}, windowFont,
                    QStringLiteral(" amplituda (číslo) = 500"), false);
  ScrollBar4 = placed(new TScrollBar(Panel13), {164, 5, 223, 17}, windowFont);
  ScrollBar4->setToolTip(QStringLiteral("nastavení amplitudy"));
  ScrollBar4->setRange(0, 32767);
  ScrollBar4->SetPosition(500);
  ScrollBar4->SetLargeChange(10);
  ScrollBar5 = placed(new TScrollBar(Panel13), {388, 5, 223, 17}, windowFont);
  ScrollBar5->setToolTip(QStringLiteral("nastavení frekvence"));
  Edit14 = makeEdit(Panel13, {612, 4, 61, 21}, windowFont, QStringLiteral(" 500 Hz"), false);
  ComboBox8 = makeList(Panel13, {668, 4, 121, 21}, windowFont, kFrequencyBandItems, false, 8);
  ComboBox8->setCurrentIndex(-1);
  ComboBox8->setPlaceholderText(QStringLiteral("100 Hz až 1 kHz "));
}

void TForm1::CreateMenu() {
  QMenuBar* bar = menuBar();
  auto heading = [bar](const char* caption, bool enabled) {
    QAction* action = bar->addAction(QString::fromUtf8(caption));
    action->setEnabled(enabled);
    return action;
  };
  spoutn1 = heading("   spouštění", true);
  test2 = heading("test", false);
  volbazobrazen1 = bar->addMenu(QStringLiteral("  volba zobrazení"));
  dosebe1 = volbazobrazen1->addAction(QStringLiteral("do sebe"));
  nadsebou1 = volbazobrazen1->addAction(QStringLiteral("nad sebou"));
  nadsebou1->setEnabled(false);
  file1 = heading("mazání", true);
  mickanl1 = heading("napětí UL", true);
  volbarozsahu1 = heading("volba rozsahu", true);
  frekvence1 = heading(" frekvence", true);
  naptR1 = heading("napětí UR", true);
  volbarozsahu2 = heading("volba rozsahu", true);
  frekvence2 = heading(" frekvence", true);
  asovzkladna1 = heading(" časová &osa", true);
  mixer1 = heading("mixážní pult", false);
}
