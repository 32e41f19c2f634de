#include "CommandLine.h"

#include <QCommandLineParser>
#include <cmath>
#include <cstdlib>

#include "ListItems.h"

namespace {

const char* kUsage = "Usage: osciloskop [options]";

QCommandLineOption option(const char* name, const char* description, const char* value = nullptr) {
  return value ? QCommandLineOption(QString::fromUtf8(name), QString::fromUtf8(description),
                                    QString::fromUtf8(value))
               : QCommandLineOption(QString::fromUtf8(name), QString::fromUtf8(description));
}

void addOptions(QCommandLineParser& parser) {
  parser.setApplicationDescription(
      QStringLiteral("Two-channel X-Y oscilloscope and sine tone generator on the sound card."));
  parser.addOptions({
      option("help", "Show this help and exit."),
      option("version", "Show the version and exit."),
      option("headless", "Run the window on Qt's offscreen platform, even with a display."),
      option("seconds", "Close the window after N seconds (default with --headless: 3).", "N"),
      option("screenshot", "Save the whole window as a PNG file at exit.", "FILE.png"),
      option("card", "Sound card: auto (default), simulated or portaudio.",
             "auto|simulated|portaudio"),
      option("list-devices", "List the input and output devices PortAudio sees, and exit."),
      option("input-device", "PortAudio input device, by index or part of its name.", "NAME|INDEX"),
      option("output-device", "PortAudio output device, by index or part of its name.",
             "NAME|INDEX"),
      option("ur", "Simulated card: source of channel UR (the card's left input).", "SOURCE"),
      option("ul", "Simulated card: source of channel UL (the card's right input).", "SOURCE"),
      option("input", "Simulated card: a 44100 Hz sound file on both input channels.", "FILE"),
      option("virtual-time", "Simulated card: run on a manual clock, as fast as possible."),
      option("unplug-at", "Simulated card: pull the card out after SECONDS of device time.",
             "SECONDS"),
      option("replug-at", "Simulated card: put the card back after SECONDS of device time.",
             "SECONDS"),
      option("report", "Print the readouts as one JSON line per captured block."),
      option("analyze", "Measure a 44100 Hz recording block by block, print JSON lines, exit.",
             "FILE"),
      option("time-base", "Select item N of the time-base list after start-up.", "N"),
      option("ul-range", "Select item N of the UL range list after start-up.", "N"),
      option("ur-range", "Select item N of the UR range list after start-up.", "N"),
      option("generator-frequency", "Set the generator's frequency slider to P after start-up.",
             "P"),
      option("generator-amplitude", "Set the generator's amplitude slider to A after start-up.",
             "A"),
      option("mixer-devices", "Number of mixer devices the machine reports (default: its own).",
             "N"),
  });
}

ParsedCommandLine failure(const QString& message) {
  ParsedCommandLine result;
  result.exitNow = true;
  result.exitCode = 2;
  result.error = usageError(message);
  return result;
}

std::optional<double> positiveNumber(const QString& text) {
  bool ok = false;
  const double value = text.toDouble(&ok);
  if (!ok || !std::isfinite(value) || value <= 0) return std::nullopt;
  return value;
}

std::optional<int> integer(const QString& text) {
  bool ok = false;
  const int value = text.toInt(&ok);
  return ok ? std::optional<int>(value) : std::nullopt;
}

}  // namespace

QString usageError(const QString& message) {
  return QStringLiteral("osciloskop: %1\n%2").arg(message, QString::fromUtf8(kUsage));
}

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
    result.output = parser.helpText().replace(QStringLiteral("<executable_name>"),
                                              QStringLiteral("osciloskop"));
    return result;
  }
  if (parser.isSet(QStringLiteral("version"))) {
    result.exitNow = true;
    result.output = QStringLiteral("osciloskop " OSCILOSKOP_VERSION "\n");
    return result;
  }

  auto isSet = [&parser](const char* name) { return parser.isSet(QString::fromUtf8(name)); };
  auto value = [&parser](const char* name) { return parser.value(QString::fromUtf8(name)); };
  // An integer option within [low, high]; returns the error text, or empty when fine.
  auto readIndex = [&](const char* name, int low, int high, std::optional<int>& into) {
    if (!isSet(name)) return QString();
    into = integer(value(name));
    if (!into || *into < low || *into > high) {
      return QStringLiteral("--%1 needs a whole number from %2 to %3, not '%4'")
          .arg(QString::fromUtf8(name))
          .arg(low)
          .arg(high)
          .arg(value(name));
    }
    return QString();
  };

  ProgramOptions& options = result.options;
  options.headless = isSet("headless");
  if (isSet("seconds")) {
    options.seconds = positiveNumber(value("seconds"));
    if (!options.seconds) {
      return failure(
          QStringLiteral("--seconds needs a positive number, not '%1'").arg(value("seconds")));
    }
  }
  options.screenshot = value("screenshot");
  if (isSet("screenshot") && options.screenshot.isEmpty()) {
    return failure(QStringLiteral("--screenshot needs a file name"));
  }

  if (isSet("card")) {
    const QString card = value("card");
    if (card == QLatin1String("auto")) {
      options.card = CardChoice::Auto;
    } else if (card == QLatin1String("simulated")) {
      options.card = CardChoice::Simulated;
    } else if (card == QLatin1String("portaudio")) {
      options.card = CardChoice::PortAudio;
    } else {
      return failure(
          QStringLiteral("--card takes auto, simulated or portaudio, not '%1'").arg(card));
    }
  }
  options.listDevices = isSet("list-devices");
  options.inputDevice = value("input-device");
  options.outputDevice = value("output-device");
  options.urSource = value("ur");
  options.ulSource = value("ul");
  options.inputFile = value("input");
  options.virtualTime = isSet("virtual-time");
  if (!options.inputFile.isEmpty() && (isSet("ur") || isSet("ul"))) {
    return failure(QStringLiteral("--input sets both channels: it does not go with --ur or --ul"));
  }
  for (const auto& [name, into] :
       {std::pair{"unplug-at", &options.unplugAt}, std::pair{"replug-at", &options.replugAt}}) {
    if (!isSet(name)) continue;
    *into = positiveNumber(value(name));
    if (!*into) {
      return failure(QStringLiteral("--%1 needs a positive number of seconds, not '%2'")
                         .arg(QString::fromUtf8(name), value(name)));
    }
  }
  if (options.replugAt && (!options.unplugAt || *options.replugAt <= *options.unplugAt)) {
    return failure(QStringLiteral("--replug-at needs an earlier --unplug-at"));
  }
  const bool simulatedOnly =
      options.virtualTime || isSet("ur") || isSet("ul") || isSet("input") || isSet("unplug-at");
  if (simulatedOnly && options.card == CardChoice::PortAudio) {
    return failure(
        QStringLiteral("--ur, --ul, --input, --virtual-time and --unplug-at drive the simulated "
                       "card, not --card portaudio"));
  }
  if (simulatedOnly) options.card = CardChoice::Simulated;
  if (!options.inputDevice.isEmpty() || !options.outputDevice.isEmpty()) {
    if (options.card == CardChoice::Simulated) {
      return failure(
          QStringLiteral("--input-device and --output-device choose devices of the real "
                         "card, not of the simulated one"));
    }
    options.card = CardChoice::PortAudio;
  }

  options.report = isSet("report");
  options.analyzeFile = value("analyze");
  if (isSet("analyze") && options.analyzeFile.isEmpty()) {
    return failure(QStringLiteral("--analyze needs a file name"));
  }

  for (const QString& error : {
           readIndex("time-base", 0, static_cast<int>(kTimeBaseItems.size()) - 1, options.timeBase),
           readIndex("ul-range", 0, static_cast<int>(kUlRangeItems.size()) - 1, options.ulRange),
           readIndex("ur-range", 0, static_cast<int>(kUrRangeItems.size()) - 1, options.urRange),
           readIndex("generator-frequency", INT32_MIN, INT32_MAX, options.generatorFrequency),
           readIndex("generator-amplitude", INT32_MIN, INT32_MAX, options.generatorAmplitude),
       }) {
    if (!error.isEmpty()) return failure(error);
  }
  std::optional<int> mixerDevices;
  if (const QString error = readIndex("mixer-devices", 0, 64, mixerDevices); !error.isEmpty()) {
    return failure(error);
  }
  if (mixerDevices) options.mixerDevices = static_cast<uint32_t>(*mixerDevices);
  return result;
}

bool noDisplayAvailable() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 == nullptr || *x11 == '\0') && (wayland == nullptr || *wayland == '\0');
}
