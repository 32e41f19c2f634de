#pragma once

// A scripted session of the main window on the simulated card's manual clock: signals on
// its inputs, every command of the control strip and the menu, list choices, slider moves,
// single shots, erase, optimum, resizes, a lost and returned card. It records what the
// window shows when each block arrives, at the first frame after it, and after every step
// of the clock.

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <chrono>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "ScreenWidget.h"
#include "TForm1.h"
#include "TScrollBar.h"
#include "WaveTestSupport.h"

namespace scripted_session {

using namespace osciloskop;

constexpr std::chrono::microseconds kStep{10000};  // device time between two looks at the window
constexpr int kMinPassesPerStep = 4;  // the every-pass cycle runs at least this many frames

struct Signals {
  const char* name;
  const char* ur;  // null: the card's default (the generator's tone looped back)
  const char* ul;
  friend void PrintTo(const Signals& input, std::ostream* out) { *out << input.name; }
};

// What the window shows at one moment.
struct Look {
  std::string when;
  size_t screen = 0;  // hash of the screen image
  QString controls;   // readouts, captions and their places, panels, generator texts
  bool operator==(const Look& other) const {
    return screen == other.screen && controls == other.controls;
  }
};

inline QString describeControls(const TForm1& form) {
  QStringList parts;
  for (const QLineEdit* edit :
       {form.Edit4, form.Edit12, form.Edit1, form.Edit8, form.Edit11, form.Edit13, form.Edit14}) {
    parts << edit->text();
  }
  for (const QLineEdit* caption : {form.Edit18, form.Edit19, form.Edit2, form.Edit5}) {
    parts << QStringLiteral("%1@%2").arg(caption->text()).arg(caption->y());
  }
  parts << QStringLiteral("Panel2=%1 Panel14=%2")
               .arg(form.Panel2->isVisible())
               .arg(form.Panel14->isVisible());
  parts << QStringLiteral("radio %1%2")
               .arg(form.RadioButton1->isChecked())
               .arg(form.RadioButton2->isChecked());
  parts << QStringLiteral("client %1x%2").arg(form.ClientWidth()).arg(form.ClientHeight());
  return parts.join(QLatin1Char('|'));
}

// One run of the script: its own card and window, and the looks it records.
class Session {
 public:
  Session(TForm1::CycleMode mode, const Signals& input) {
    installWaveBackend(&card);
    std::string error;
    if (input.ur) card.setSource(0, parseSignalSource(input.ur, error));
    if (input.ul) card.setSource(1, parseSignalSource(input.ul, error));
    form = std::make_unique<TForm1>(nullptr, mode);
    // Both modes retry a failed launch at the next pass, so that the card's return is seen
    // at the same device time.
    form->SetLaunchRetryWait(std::chrono::milliseconds::zero());
    form->onBlockHandedOff = [this](std::span<const int16_t>) {
      look("block " + std::to_string(form->BlocksHandedOff()) + " arrives");
      firstFramePending = true;
    };
    form->onDisplayFrame = [this] {
      ++frames;
      if (!firstFramePending) return;
      firstFramePending = false;
      look("first frame after block " + std::to_string(form->BlocksHandedOff()));
    };
    form->show();
  }
  ~Session() {
    form.reset();
    deliverPostedEvents();
    installWaveBackend(nullptr);
  }

  // Moves the clock one step on, then lets the event loop run until the cycle's frames have
  // settled (the every-pass cycle draws a frame on each of these passes).
  void step() {
    card.advance(kStep);
    for (int pass = 0; pass < 50; ++pass) {
      QCoreApplication::processEvents();
      if (pass + 1 >= kMinPassesPerStep && form->FramesSettled()) break;
    }
    look("after " + action + ", t = " + std::to_string(card.deviceTime()));
  }

  void run(const std::string& name, const std::function<void(TForm1&, SimulatedCard&)>& command,
           int steps) {
    action = name;
    command(*form, card);
    for (int i = 0; i < steps; ++i) step();
  }

  std::vector<Look> looks;
  int frames = 0;

 private:
  void look(const std::string& when) {
    const QImage& image = form->Screen()->image();
    const std::string_view bytes(reinterpret_cast<const char*>(image.constBits()),
                                 static_cast<size_t>(image.sizeInBytes()));
    looks.push_back({when, std::hash<std::string_view>{}(bytes), describeControls(*form)});
  }

  SimulatedCard card{SimulatedCard::ClockMode::Manual};
  std::unique_ptr<TForm1> form;
  std::string action = "start-up";
  bool firstFramePending = false;
};

// A list choice as the user makes it: the list's command runs.
inline void choose(QComboBox* list, int index) {
  list->setCurrentIndex(index);
  Q_EMIT list->activated(index);
}

inline void runScript(Session& session) {
  using Form = TForm1;
  using Card = SimulatedCard;
  const struct {
    const char* name;
    std::function<void(Form&, Card&)> command;
    int steps;
  } script[] = {
      {"nothing", [](Form&, Card&) {}, 60},
      {"automatic time base", [](Form& f, Card&) { choose(f.ComboBox1, 0); }, 20},
      {"UL 100 mV", [](Form& f, Card&) { choose(f.ComboBox2, 9); }, 20},
      {"UR 2 V", [](Form& f, Card&) { choose(f.ComboBox3, 5); }, 20},
      {"frequency slider",
       [](Form& f, Card&) { f.ScrollBar5->triggerAction(QAbstractSlider::SliderPageStepAdd); }, 20},
      {"time base 2 msec", [](Form& f, Card&) { choose(f.ComboBox1, 6); }, 20},
      {"amplitude slider", [](Form& f, Card&) { f.ScrollBar4->SetPosition(20000); }, 30},
      {"trigger from L", [](Form& f, Card&) { choose(f.ComboBox4, 1); }, 20},
      {"UR off", [](Form& f, Card&) { choose(f.ComboBox3, 13); }, 20},
      {"UL automatic", [](Form& f, Card&) { choose(f.ComboBox2, 0); }, 20},
      {"single shot", [](Form& f, Card&) { QTest::mouseClick(f.RadioButton2, Qt::LeftButton); },
       30},
      {"erase", [](Form& f, Card&) { f.file1->trigger(); }, 20},
      {"resize in single shot", [](Form& f, Card&) { f.resize(700, 450); }, 20},
      {"single shot again",
       [](Form& f, Card&) { QTest::mouseClick(f.RadioButton2, Qt::LeftButton); }, 20},
      {"periodic", [](Form& f, Card&) { QTest::mouseClick(f.RadioButton1, Qt::LeftButton); }, 20},
      {"optimum", [](Form& f, Card&) { QTest::mouseClick(f.Button2, Qt::LeftButton); }, 20},
      {"band 1 to 20 kHz", [](Form& f, Card&) { choose(f.ComboBox8, 2); }, 30},
      {"generator time base", [](Form& f, Card&) { choose(f.ComboBox1, 8); }, 30},
      {"band 20 to 100 Hz", [](Form& f, Card&) { choose(f.ComboBox8, 0); }, 30},
      {"UR automatic set by the program", [](Form& f, Card&) { f.ComboBox3->setCurrentIndex(0); },
       20},
      {"UR automatic", [](Form& f, Card&) { choose(f.ComboBox3, 0); }, 20},
      {"UL 1 V set by the program", [](Form& f, Card&) { f.ComboBox2->setCurrentIndex(6); }, 20},
      {"UL 1 V", [](Form& f, Card&) { choose(f.ComboBox2, 6); }, 20},
      {"automatic time base set by the program",
       [](Form& f, Card&) { f.ComboBox1->setCurrentIndex(0); }, 20},
      {"automatic time base again", [](Form& f, Card&) { choose(f.ComboBox1, 0); }, 20},
      {"time base 20 msec", [](Form& f, Card&) { choose(f.ComboBox1, 3); }, 20},
      {"output block refused",
       [](Form&, Card& c) { c.failNext(SimulatedCard::WaveCall::Write, MMSYSERR_ERROR); }, 150},
      {"card unplugged", [](Form&, Card& c) { c.unplug(); }, 150},
      {"card back", [](Form&, Card& c) { c.replug(); }, 100},
      {"resize", [](Form& f, Card&) { f.resize(760, 500); }, 20},
      {"optimum again", [](Form& f, Card&) { QTest::mouseClick(f.Button2, Qt::LeftButton); }, 30},
      {"optimum at its own size",
       [](Form& f, Card&) { QTest::mouseClick(f.Button2, Qt::LeftButton); }, 30},
  };
  for (const auto& entry : script) session.run(entry.name, entry.command, entry.steps);
}

// The signal sets every scripted session runs with.
inline const Signals kSessionSignals[] = {
    {"tone", nullptr, nullptr},
    {"square", "square:300:8000", "square:150:12000:45"},
    {"noise", "noise:6000:1", "noise:3000:2"},
    {"high", "sine:5000:9000", "sine:5000:9000:60"},
};

}  // namespace scripted_session
