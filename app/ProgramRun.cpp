#include "ProgramRun.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "CommandLine.h"
#include "TForm1.h"

namespace {

QStringList argumentList(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  return arguments;
}

bool saveScreenshot(QWidget& window, const QString& path) {
  if (!window.grab().save(path, "PNG")) {
    std::fprintf(stderr, "osciloskop: cannot save the screenshot to %s\n", qPrintable(path));
    return false;
  }
  std::printf("screenshot saved to %s\n", qPrintable(path));
  std::fflush(stdout);
  return true;
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

  if (!options.headless && noDisplayAvailable()) {
    std::fputs("osciloskop: no display found: running headless on the offscreen platform\n",
               stderr);
    options.headless = true;
  }
  if (options.headless) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (!options.seconds) options.seconds = 3;
    if (options.screenshot.isEmpty()) {
      options.screenshot = QDir::temp().filePath(QStringLiteral("osciloskop-screenshot.png"));
    }
  }

  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("osciloskop"));

  auto window = std::make_unique<TForm1>();
  Form1 = window.get();
  window->show();

  if (options.seconds) {
    QTimer::singleShot(static_cast<int>(*options.seconds * 1000), window.get(),
                       [&window] { window->close(); });
  }
  QApplication::exec();

  bool saved = true;
  if (!options.screenshot.isEmpty()) saved = saveScreenshot(*window, options.screenshot);
  Form1 = nullptr;
  window.reset();
  return saved ? 0 : 1;
}
