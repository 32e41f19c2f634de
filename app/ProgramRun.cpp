#include "ProgramRun.h"

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QPixmap>
#include <QTemporaryFile>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <limits>
#include <memory>
#include <sstream>

#include "CommandLine.h"
#include "OutputFiles.h"
#include "RecordingAnalysis.h"
#include "RunOutputs.h"
#include "SoundCard.h"
#include "TForm1.h"
#include "TScrollBar.h"
#include "TerminationSignals.h"
#include "mixer/Mixer.h"
#include "wave/PortAudioCard.h"
#include "wave/SimulatedCard.h"
#include "wave/WaveBackend.h"

namespace osciloskop {

namespace {

// Device time a --virtual-time run moves on between two passes of the event loop.
constexpr std::chrono::microseconds kVirtualTimeStep{5000};

QStringList argumentList(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  return arguments;
}

int usageFailure(const QString& message) {
  std::fprintf(stderr, "%s\n", qPrintable(usageError(message)));
  return 2;
}

// Writes the window's picture to a new file in the target's folder, then renames it over
// the target: a reader never sees half a picture.
bool saveScreenshot(QWidget& window, const QString& path) {
  const std::unique_ptr<QTemporaryFile> file = newFileBeside(path);
  const bool written = file && window.grab().save(file.get(), "PNG");
  if (file) file->close();
  if (!written || !renameOver(*file, path)) {
    std::fprintf(stderr, "osciloskop: cannot save the screenshot to %s\n", qPrintable(path));
    return false;
  }
  // On stderr, so that stdout carries only the readouts a script asked for.
  std::fprintf(stderr, "screenshot saved to %s\n", qPrintable(path));
  return true;
}

// Saves the window it watches when that window is about to close.
class ScreenshotAtClose : public QObject {
 public:
  ScreenshotAtClose(QString path, bool* saved) : path(std::move(path)), saved(saved) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Close) {
      *saved = saveScreenshot(*static_cast<QWidget*>(watched), path);
      watched->removeEventFilter(this);
    }
    return false;
  }

 private:
  const QString path;
  bool* const saved;
};

// The window belongs to the desktop entry osciloskop.desktop and carries its icon: the
// installed theme's, or the renderings built into the program where no theme has one (as
// when it runs from the build tree).
void showAsDesktopEntry() {
  QGuiApplication::setDesktopFileName(QStringLiteral("osciloskop"));
  QIcon builtIn;
  for (const QFileInfo& file : QDir(QStringLiteral(":/icons")).entryInfoList()) {
    builtIn.addFile(file.filePath());
  }
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("osciloskop"), builtIn));
}

// Selects a list item as a user would: the list's selection handler runs.
void chooseListItem(QComboBox* list, int index) {
  list->setCurrentIndex(index);
  Q_EMIT list->activated(index);
}

// The choices the command line makes after start-up, in the order a user would make them.
// The command line has checked each against the range the window starts with.
void applyStartupChoices(TForm1& form, const ProgramOptions& options) {
  if (options.generatorFrequency) form.ScrollBar5->SetPosition(*options.generatorFrequency);
  if (options.generatorAmplitude) form.ScrollBar4->SetPosition(*options.generatorAmplitude);
  if (options.timeBase) chooseListItem(form.ComboBox1, *options.timeBase);
  if (options.ulRange) chooseListItem(form.ComboBox2, *options.ulRange);
  if (options.urRange) chooseListItem(form.ComboBox3, *options.urRange);
}

// Pulls the simulated card out and puts it back at the device times the command line gives.
class UnplugSchedule {
 public:
  UnplugSchedule(SimulatedCard* card, const ProgramOptions& options)
      : card_(card), unplugAt_(options.unplugAt), replugAt_(options.replugAt) {}

  // Acts on what is due at the card's time.
  void update() {
    if (!card_) return;
    const double now = card_->deviceTime();
    if (unplugAt_ && now >= *unplugAt_) {
      unplugAt_.reset();
      card_->unplug();
    }
    if (replugAt_ && !unplugAt_ && now >= *replugAt_) {
      replugAt_.reset();
      card_->replug();
    }
  }

 private:
  SimulatedCard* const card_;
  std::optional<double> unplugAt_;
  std::optional<double> replugAt_;
};

// Closes the window once `deadline` has passed. A QTimer counts at most INT_MAX
// milliseconds (some 24 days), so a longer wait goes in several legs.
void closeAt(TForm1& form, QDeadlineTimer deadline) {
  const qint64 left =
      std::clamp<qint64>(deadline.remainingTime(), 0, std::numeric_limits<int>::max());
  QTimer::singleShot(std::chrono::milliseconds(left), Qt::PreciseTimer, &form, [&form, deadline] {
    if (deadline.hasExpired())
      form.close();
    else
      closeAt(form, deadline);
  });
}

// Closes the window after the run's time: device time on the manual clock, which moves a
// fixed step per pass of the event loop while the display cycle is settled, or the steady
// clock otherwise. A run longer than the steady clock's 64-bit nanoseconds can count (some
// 290 years) runs until it is closed.
void scheduleEnd(TForm1& form, SoundCard& card, const ProgramOptions& options) {
  SimulatedCard* simulated = card.simulated();
  auto unplugs = std::make_shared<UnplugSchedule>(options.unplugAt ? simulated : nullptr, options);
  if (options.virtualTime && simulated) {
    auto* stepper = new QTimer(&form);
    stepper->setInterval(0);
    // Retries of a failed launch follow the passes, and so the steps, of the loop.
    form.SetLaunchRetryWait(std::chrono::milliseconds::zero());
    QObject::connect(stepper, &QTimer::timeout, &form,
                     [stepper, simulated, &form, options, unplugs] {
                       // The frames that follow a block or a command take no device time: the
                       // clock moves on, or the run ends, once they have settled.
                       if (!form.FramesSettled()) return;
                       if (options.seconds && simulated->deviceTime() >= *options.seconds) {
                         stepper->stop();
                         form.close();
                         return;
                       }
                       simulated->advance(kVirtualTimeStep);
                       unplugs->update();
                     });
    stepper->start();
    return;
  }
  for (const std::optional<double>& at : {options.unplugAt, options.replugAt}) {
    if (at) {
      QTimer::singleShot(std::chrono::milliseconds(std::llround(*at * 1000)), &form,
                         [unplugs] { unplugs->update(); });
    }
  }
  if (options.seconds && *options.seconds < 9e9) {
    closeAt(form, QDeadlineTimer(std::chrono::nanoseconds(
                                     static_cast<int64_t>(std::ceil(*options.seconds * 1e9))),
                                 Qt::PreciseTimer));
  }
}

}  // namespace

int runProgram(int argc, char** argv) {
  const ParsedCommandLine parsed = parseCommandLine(argumentList(argc, argv));
  if (parsed.exitNow) {
    std::fputs(qPrintable(parsed.output), stdout);
    if (!parsed.error.isEmpty()) std::fprintf(stderr, "%s\n", qPrintable(parsed.error));
    return parsed.exitCode;
  }
  ProgramOptions options = parsed.options;

  if (options.listDevices) {
    std::ostringstream list;
    if (!PortAudioCard::listDevices(list)) {
      return usageFailure(
          QStringLiteral("--list-devices: %1").arg(QString::fromStdString(list.str()).trimmed()));
    }
    std::cout << list.str();
    return 0;
  }

  const bool analyzing = !options.analyzeFile.isEmpty();
  if (const QString problem = outputFilesProblem(options); !problem.isEmpty())
    return usageFailure(problem);
  // A recording is measured without a window, and so without any GUI platform.
  if (analyzing) return analyzeRecording(options);
  if (!options.headless && noDisplayAvailable()) {
    std::fputs("osciloskop: no display found: running headless on the offscreen platform\n",
               stderr);
    options.headless = true;
  }
  if (options.headless) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (options.headless && !options.seconds) options.seconds = 3;

  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("osciloskop"));
  showAsDesktopEntry();
  // The number of mixer devices the command line gives, or the machine's own.
  std::optional<FixedMixers> givenMixers;
  if (options.mixerDevices) givenMixers.emplace(*options.mixerDevices);
  MixerService& mixers = givenMixers ? static_cast<MixerService&>(*givenMixers) : systemMixers();

  QString error;
  std::unique_ptr<SoundCard> card = SoundCard::open(options, &error);
  if (!card) return usageFailure(error);
  const std::unique_ptr<RunOutputs> outputs = RunOutputs::create(options, &error);
  if (!outputs) return usageFailure(error);

  auto window = std::make_unique<TForm1>(nullptr, TForm1::CycleMode::UntilSettled, mixers);
  applyStartupChoices(*window, options);
  Form1 = window.get();
  // An input that fails mid-run, or an output, ends the run as a bad option would, once the
  // service that found it has returned; the first failure is the one said.
  int exitCode = 0;
  auto failRun = [&exitCode, form = window.get()](const QString& message) {
    if (exitCode != 0) return;
    std::fprintf(stderr, "%s\n", qPrintable(usageError(message)));
    exitCode = 2;
    QTimer::singleShot(0, form, [form] { form->close(); });
  };
  card->onInputFailure(failRun);
  outputs->attach(*window, card->backend(), failRun);
  // SIGINT and SIGTERM close the window as a user would.
  const TerminationSignals terminationSignals([form = window.get()] { form->close(); });
  window->show();
  scheduleEnd(*window, *card, options);
  // The screenshot shows the window as the user last saw it: taken as it closes, before
  // Qt tears anything down.
  bool saved = true;
  ScreenshotAtClose screenshotAtClose(options.screenshot, &saved);
  if (!options.screenshot.isEmpty()) window->installEventFilter(&screenshotAtClose);
  QApplication::exec();
  Form1 = nullptr;
  window.reset();
  card.reset();
  if (exitCode == 0 && !saved) exitCode = 1;
  if (exitCode == 0) {
    if (const QString problem = outputs->finish(); !problem.isEmpty()) {
      std::fprintf(stderr, "%s\n", qPrintable(usageError(problem)));
      exitCode = 2;
    }
  }
  return exitCode;
}

}  // namespace osciloskop
