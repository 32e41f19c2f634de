// The commands of the control strip and the menu, and their wiring to the widgets. They are
// the instrument's operations, or move the scale captions, or clear the screen and run one
// display pass; the acquisition cycle picks the new settings up on its next pass, which each
// command asks for.

#include <QAction>
#include <QComboBox>
#include <QKeySequence>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>

#include "ListItems.h"
#include "TForm1.h"

using namespace osciloskop;

namespace {

// A radio button runs its command when the user's click checks it. A click on the button
// already checked leaves it so and runs nothing.
void connectRadioClick(TForm1* form, QRadioButton* button, void (TForm1::*command)(QObject*)) {
  QObject::connect(button, &QAbstractButton::clicked, form, [form, button, command](bool checked) {
    if (checked) {
      (form->*command)(button);
    } else {
      button->setChecked(true);
    }
  });
}

// Only the user's choice from a list runs its command, never an index the program sets.
void connectListChoice(TForm1* form, QComboBox* list, void (TForm1::*command)(QObject*)) {
  QObject::connect(list, &QComboBox::activated, form,
                   [form, list, command] { (form->*command)(list); });
}

// Moves a scale caption to a top relative to the vertical centre of the client area.
void placeAgainstCentre(TForm1* form, QWidget* caption, int offset) {
  caption->move(caption->x(), form->ClientHeight() / 2 + offset);
}

}  // namespace

void TForm1::ConnectCommands() {
  connectListChoice(this, ComboBox4, &TForm1::ComboBox4Click);
  connectRadioClick(this, RadioButton1, &TForm1::RadioButton1Click);
  connectRadioClick(this, RadioButton2, &TForm1::RadioButton2Click);
  connectListChoice(this, ComboBox2, &TForm1::ComboBox2Click);
  connectListChoice(this, ComboBox3, &TForm1::ComboBox3Click);
  // The time-base list reports a choice both as a change and as a click; both run the
  // command, to the same result.
  connectListChoice(this, ComboBox1, &TForm1::ComboBox1Click);
  connectListChoice(this, ComboBox1, &TForm1::ComboBox1Click);
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(Button2); });
  // The optimum button is the window's default button: Enter anywhere in the window
  // presses it, also while the focus is in a text field or a list.
  for (const int key : {Qt::Key_Return, Qt::Key_Enter}) {
    auto* enter = new QShortcut(QKeySequence(key), this);
    enter->setContext(Qt::WindowShortcut);
    connect(enter, &QShortcut::activated, Button2, &QPushButton::click);
  }
  connect(file1, &QAction::triggered, this, [this] { file1Click(file1); });
  // The display frame reads the range and time-base lists' items, however they were set.
  for (QComboBox* list : {ComboBox1, ComboBox2, ComboBox3}) {
    connect(list, &QComboBox::currentIndexChanged, this, [this] {
      instrument_->ShowListItems(
          {ComboBox2->currentIndex(), ComboBox3->currentIndex(), ComboBox1->currentIndex()});
      FrameInputsChanged();
    });
  }
}

void TForm1::ComboBox4Click(QObject* /*Sender*/) {
  // The trigger source is kept nowhere; choosing one only clears the screen.
  RepaintWindow();
  FrameInputsChanged();
}

void TForm1::RadioButton1Click(QObject* /*Sender*/) {
  instrument_->SetPeriodicDisplay(true);
  FrameInputsChanged();
}

void TForm1::RadioButton2Click(QObject* /*Sender*/) {
  instrument_->SetPeriodicDisplay(false);
  RepaintWindow();
  DrawDisplay();
  // Both buttons show unchecked, so the next click on "jednorázové" checks it again and
  // gives a new single shot.
  RadioButton2->setChecked(false);
  RadioButton1->setChecked(false);
  FrameInputsChanged();
}

void TForm1::ComboBox2Click(QObject* /*Sender*/) {
  instrument_->UlRangeChosen();
  FrameInputsChanged();
}

void TForm1::ComboBox3Click(QObject* /*Sender*/) {
  instrument_->UrRangeChosen();
  FrameInputsChanged();
}

void TForm1::ComboBox1Click(QObject* /*Sender*/) {
  instrument_->TimeBaseChosen();
  FrameInputsChanged();
}

void TForm1::Button2Click(QObject* /*Sender*/) {
  instrument_->Optimum();
  SetWindowBounds(0, 0, 800, 525);
  SetClientHeight(526);
  // The centre is read again for each caption, as the client height is the window's.
  placeAgainstCentre(this, Edit18, -226);
  placeAgainstCentre(this, Edit2, -226);
  placeAgainstCentre(this, Edit19, 212);
  placeAgainstCentre(this, Edit5, 212);
  FrameInputsChanged();
}

void TForm1::file1Click(QObject* /*Sender*/) {
  RepaintWindow();
  DrawDisplay();
  FrameInputsChanged();
}
