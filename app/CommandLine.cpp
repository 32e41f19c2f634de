#include "CommandLine.h"

#include <QCommandLineParser>
#include <cmath>
#include <cstdlib>

namespace {

const char* kUsage = "Usage: osciloskop [options]";

void addOptions(QCommandLineParser& parser) {
  parser.setApplicationDescription(
      QStringLiteral("Two-channel X-Y oscilloscope and sine tone generator on the sound card."));
  parser.addOptions({
      {QStringLiteral("help"), QStringLiteral("Show this help and exit.")},
      {QStringLiteral("version"), QStringLiteral("Show the version and exit.")},
      {QStringLiteral("headless"),
       QStringLiteral("Run the window on Qt's offscreen platform, even with a display.")},
      {QStringLiteral("seconds"),
       QStringLiteral("Close the window after N seconds (default with --headless: 3)."),
       QStringLiteral("N")},
      {QStringLiteral("screenshot"), QStringLiteral("Save the whole window as a PNG file at exit."),
       QStringLiteral("FILE.png")},
  });
}

// Error message with the usage line; the caller exits with status 2.
ParsedCommandLine failure(const QString& message) {
  ParsedCommandLine result;
  result.exitNow = true;
  result.exitCode = 2;
  result.error = QStringLiteral("osciloskop: %1\n%2").arg(message, QString::fromUtf8(kUsage));
  return result;
}

std::optional<double> positiveNumber(const QString& text) {
  bool ok = false;
  const double value = text.toDouble(&ok);
  if (!ok || !std::isfinite(value) || value <= 0) return std::nullopt;
  return value;
}

}  // namespace

ParsedCommandLine parseCommandLine(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  addOptions(parser);
  if (!parser.parse(arguments)) return failure(parser.errorText());
  if (!parser.positionalArguments().isEmpty()) {
    return failure(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments()[0]));
  }

  ParsedCommandLine result;
  if (parser.isSet(QStringLiteral("help"))) {
    result.exitNow = true;
    result.output = parser.helpText();
    return result;
  }
  if (parser.isSet(QStringLiteral("version"))) {
    result.exitNow = true;
    result.output = QStringLiteral("osciloskop " OSCILOSKOP_VERSION "\n");
    return result;
  }

  ProgramOptions& options = result.options;
  options.headless = parser.isSet(QStringLiteral("headless"));
  if (parser.isSet(QStringLiteral("seconds"))) {
    options.seconds = positiveNumber(parser.value(QStringLiteral("seconds")));
    if (!options.seconds) {
      return failure(QStringLiteral("--seconds needs a positive number, not '%1'")
                         .arg(parser.value(QStringLiteral("seconds"))));
    }
  }
  options.screenshot = parser.value(QStringLiteral("screenshot"));
  if (parser.isSet(QStringLiteral("screenshot")) && options.screenshot.isEmpty()) {
    return failure(QStringLiteral("--screenshot needs a file name"));
  }
  return result;
}

bool noDisplayAvailable() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 == nullptr || *x11 == '\0') && (wayland == nullptr || *wayland == '\0');
}
