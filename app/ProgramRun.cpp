#include "ProgramRun.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <iostream>
#include <memory>

#include "CommandLine.h"
#include "Mixer.h"
#include "PortAudioCard.h"
#include "ReadoutReport.h"
#include "RecordingAnalysis.h"
#include "SimulatedCard.h"
#include "SoundCard.h"
#include "TForm1.h"
#include "TScrollBar.h"
#include "WaveBackend.h"

namespace {

// Device time a --virtual-time run moves on between two passes of the event loop.
constexpr double kVirtualTimeStep = 0.005;

QStringList argumentList(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  return arguments;
}

int usageFailure(const QString& message) {
  std::fprintf(stderr, "%s\n", qPrintable(usageError(message)));
  return 2;
}

bool saveScreenshot(QWidget& window, const QString& path) {
  if (!window.grab().save(path, "PNG")) {
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

// Selects a list item as a user would: the list's selection handler runs.
void chooseListItem(QComboBox* list, int index) {
  list->setCurrentIndex(index);
  emit list->activated(index);
}

// Moves a slider as a user would; a position outside its range is refused.
bool moveSlider(TScrollBar* slider, int position, const char* option, QString* error) {
  if (position < slider->Min() || position > slider->Max()) {
    *error = QStringLiteral("--%1 needs a position from %2 to %3, not %4")
                 .arg(QString::fromUtf8(option))
                 .arg(slider->Min())
                 .arg(slider->Max())
                 .arg(position);
    return false;
  }
  slider->SetPosition(position);
  return true;
}

// The choices the command line makes after start-up, in the order a user would make them.
bool applyStartupChoices(TForm1& form, const ProgramOptions& options, QString* error) {
  if (options.generatorFrequency &&
      !moveSlider(form.ScrollBar5, *options.generatorFrequency, "generator-frequency", error)) {
    return false;
  }
  if (options.generatorAmplitude &&
      !moveSlider(form.ScrollBar4, *options.generatorAmplitude, "generator-amplitude", error)) {
    return false;
  }
  if (options.timeBase) chooseListItem(form.ComboBox1, *options.timeBase);
  if (options.ulRange) chooseListItem(form.ComboBox2, *options.ulRange);
  if (options.urRange) chooseListItem(form.ComboBox3, *options.urRange);
  return true;
}

// Prints one JSON line after the first display frame that follows each capture hand-off.
void reportReadouts(TForm1& form, WaveBackend& backend) {
  auto pending = std::make_shared<bool>(false);
  form.onBlockHandedOff = [pending] { *pending = true; };
  form.onDisplayFrame = [pending, &form, &backend] {
    if (!*pending) return;
    *pending = false;
    std::printf(
        "%s\n",
        readoutJson(form, backend.deviceTime(), form.BlocksHandedOff()).toUtf8().constData());
    std::fflush(stdout);
  };
}

// Closes the window after the run's time: device time on the manual clock, which moves a
// small step per pass of the event loop while the display cycle is settled, or wall-clock
// time otherwise.
void scheduleEnd(TForm1& form, SoundCard& card, const ProgramOptions& options) {
  SimulatedCard* simulated = card.simulated();
  if (options.virtualTime && simulated) {
    auto* stepper = new QTimer(&form);
    stepper->setInterval(0);
    // Retries of a failed launch follow the passes, and so the steps, of the loop.
    form.SetLaunchRetryWait(std::chrono::milliseconds::zero());
    QObject::connect(stepper, &QTimer::timeout, &form, [stepper, simulated, &form, options] {
      // The frames that follow a block or a command take no device time: the clock moves
      // on, or the run ends, once they have settled.
      if (!form.FramesSettled()) return;
      if (options.seconds && simulated->deviceTime() >= *options.seconds - 1e-9) {
        stepper->stop();
        form.close();
        return;
      }
      simulated->advance(kVirtualTimeStep);
    });
    stepper->start();
  } else if (options.seconds) {
    QTimer::singleShot(static_cast<int>(*options.seconds * 1000), &form, [&form] { form.close(); });
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
    PortAudioCard::listDevices(std::cout);
    return 0;
  }

  const bool analyzing = !options.analyzeFile.isEmpty();
  if (!options.headless && !analyzing && noDisplayAvailable()) {
    std::fputs("osciloskop: no display found: running headless on the offscreen platform\n",
               stderr);
    options.headless = true;
  }
  if (options.headless || analyzing) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (options.headless) {
    if (!options.seconds) options.seconds = 3;
    if (options.screenshot.isEmpty()) {
      options.screenshot = QDir::temp().filePath(QStringLiteral("osciloskop-screenshot.png"));
    }
  }

  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("osciloskop"));
  setMixerDeviceCountOverride(options.mixerDevices);

  QString error;
  if (analyzing) {
    // No sound card: the window's streams find no device and stay closed.
    TForm1 form;
    if (!applyStartupChoices(form, options, &error)) return usageFailure(error);
    return analyzeRecording(form, options.analyzeFile);
  }

  std::unique_ptr<SoundCard> card = SoundCard::open(options, &error);
  if (!card) {
    std::fprintf(stderr, "osciloskop: %s\n", qPrintable(error));
    return 2;
  }

  auto window = std::make_unique<TForm1>();
  if (!applyStartupChoices(*window, options, &error)) return usageFailure(error);
  Form1 = window.get();
  if (options.report) reportReadouts(*window, card->backend());
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
  return saved ? 0 : 1;
}
