#include "CommandLine.h"

#include <QCommandLineParser>
#include <cmath>
#include <cstdlib>

#include "GeneratorSlider.h"
#include "ListItems.h"

namespace osciloskop {

namespace {

const char* kUsage = "Usage: osciloskop [options]";

struct OptionEntry {
  const char* name;
  const char* description;
  const char* value;  // the value's name in the help; null for an option without a value
};

const OptionEntry kOptions[] = {
    {"help", "Show this help and exit.", nullptr},
    {"version", "Show the version and exit.", nullptr},
    {"headless", "Run the window on Qt's offscreen platform, even with a display.", nullptr},
    {"seconds", "Close the window after N seconds (default with --headless: 3).", "N"},
    {"screenshot", "Save the whole window as a PNG file at exit.", "FILE.png"},
    {"card", "Sound card: auto (default), simulated or portaudio.", "auto|simulated|portaudio"},
    {"list-devices", "List the input and output devices PortAudio sees, and exit.", nullptr},
    {"input-device", "PortAudio input device, by index or part of its name.", "NAME|INDEX"},
    {"output-device", "PortAudio output device, by index or part of its name.", "NAME|INDEX"},
    {"ur", "Simulated card: source of channel UR (the card's left input).", "SOURCE"},
    {"ul", "Simulated card: source of channel UL (the card's right input).", "SOURCE"},
    {"input", "Simulated card: a sound file on both input channels, looped.", "FILE"},
    {"virtual-time", "Simulated card: run on a manual clock, as fast as possible.", nullptr},
    {"unplug-at", "Simulated card: pull the card out after SECONDS of device time.", "SECONDS"},
    {"replug-at", "Simulated card: put the card back after SECONDS of device time.", "SECONDS"},
    {"report", "Print the readouts and figures as one JSON line per captured block.", nullptr},
    {"analyze", "Measure a recording block by block, print JSON lines, exit.", "FILE"},
    {"csv", "Print the lines of --report or --analyze as CSV with a header row.", nullptr},
    {"full-scale-volts", "RMS voltage at the input of a full-scale sine: volts in the report.",
     "V"},
    {"record", "Record every captured block to a 16-bit stereo WAV file.", "FILE.wav"},
    {"calibrate",
     "Measure a steady sine of VOLTS_RMS on CHANNEL (UL or UR) headless for --seconds "
     "(default 5), print the --full-scale-volts to use, exit.",
     "CHANNEL VOLTS_RMS"},
    {"time-base", "Select item N of the time-base list after start-up.", "N"},
    {"ul-range", "Select item N of the UL range list after start-up.", "N"},
    {"ur-range", "Select item N of the UR range list after start-up.", "N"},
    {"generator-frequency", "Set the generator's frequency slider to P after start-up.", "P"},
    {"generator-amplitude", "Set the generator's amplitude slider to A after start-up.", "A"},
    {"mixer-devices", "Number of mixer devices the machine reports (default: its own).", "N"},
};

// Options that act on the window after start-up, which an analysis runs too; every other
// option is about a live run (or another action) and does not go with --analyze.
const char* const kAnalysisOptions[] = {
    "analyze",      "csv",      "full-scale-volts",    "time-base",
    "ul-range",     "ur-range", "generator-frequency", "generator-amplitude",
    "mixer-devices"};

// How long a calibration measures unless --seconds says otherwise: 16 blocks after the
// first second.
constexpr double kCalibrationSeconds = 5;

// Options that ask for other output than the calibration's.
const char* const kNotWithCalibration[] = {"report", "csv", "full-scale-volts", "screenshot"};

void addOptions(QCommandLineParser& parser) {
  parser.setApplicationDescription(
      QStringLiteral("Two-channel X-Y oscilloscope and sine tone generator on the sound card."));
  for (const OptionEntry& option : kOptions) {
    const QString name = QString::fromUtf8(option.name);
    const QString description = QString::fromUtf8(option.description);
    parser.addOption(option.value
                         ? QCommandLineOption(name, description, QString::fromUtf8(option.value))
                         : QCommandLineOption(name, description));
  }
}

ParsedCommandLine failure(const QString& message) {
  ParsedCommandLine result;
  result.exitNow = true;
  result.exitCode = 2;
  result.error = usageError(message);
  return result;
}

std::optional<int> integer(const QString& text) {
  bool ok = false;
  const int value = text.toInt(&ok);
  return ok ? std::optional<int>(value) : std::nullopt;
}

// --calibrate takes two values, the channel and the voltage, where the parser takes one:
// "--calibrate UL 0.5" and "--calibrate=UL 0.5" both become the one value "UL 0.5". A
// second value that looks like an option is left to be one.
QStringList withCalibrationValuesJoined(QStringList arguments) {
  auto isValue = [](const QString& text) {
    bool number = false;
    text.toDouble(&number);
    return !text.startsWith(u'-') || number;
  };
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (argument == QLatin1String("--")) break;
    const bool separate =
        argument == QLatin1String("--calibrate") || argument == QLatin1String("-calibrate");
    const bool attached = argument.startsWith(QLatin1String("--calibrate=")) ||
                          argument.startsWith(QLatin1String("-calibrate="));
    const qsizetype channel = separate ? i + 1 : i;
    if ((separate || attached) && channel + 1 < arguments.size() &&
        isValue(arguments[channel + 1])) {
      arguments[channel] += u' ' + arguments.takeAt(channel + 1);
    }
  }
  return arguments;
}

// A number above 0 (a finite one).
std::optional<double> positiveNumber(const QString& text) {
  bool ok = false;
  const double number = text.toDouble(&ok);
  return ok && std::isfinite(number) && number > 0 ? std::optional<double>(number) : std::nullopt;
}

// The first option given that is not in `allowed`, or empty.
QString firstOptionOutside(const QCommandLineParser& parser, const QStringList& allowed) {
  for (const QString& name : parser.optionNames()) {
    if (!allowed.contains(name)) return name;
  }
  return {};
}

}  // namespace

QString usageError(const QString& message) {
  // A message of several lines (a device list) keeps its first line first and the rest
  // after the usage line.
  const qsizetype lineEnd = message.indexOf(u'\n');
  const QString first = lineEnd < 0 ? message : message.left(lineEnd);
  QString text = QStringLiteral("osciloskop: %1\n%2").arg(first, QString::fromUtf8(kUsage));
  if (lineEnd >= 0) {
    QString rest = message.mid(lineEnd + 1);
    if (rest.endsWith(u'\n')) rest.chop(1);
    text += u'\n' + rest;
  }
  return text;
}

ParsedCommandLine parseCommandLine(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  addOptions(parser);
  if (!parser.parse(withCalibrationValuesJoined(arguments))) return failure(parser.errorText());
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
  for (const OptionEntry& option : kOptions) {
    if (option.value && isSet(option.name) && value(option.name).isEmpty()) {
      return failure(QStringLiteral("--%1 needs a value (%2), not an empty one")
                         .arg(QString::fromUtf8(option.name), QString::fromUtf8(option.value)));
    }
  }
  // Actions that end the program before any run: nothing else has anything to act on.
  if (isSet("list-devices")) {
    if (const QString other = firstOptionOutside(parser, {QStringLiteral("list-devices")});
        !other.isEmpty()) {
      return failure(QStringLiteral("--list-devices lists the devices and exits: it does not go "
                                    "with --%1")
                         .arg(other));
    }
  }
  if (isSet("analyze")) {
    QStringList allowed;
    for (const char* name : kAnalysisOptions) allowed << QString::fromUtf8(name);
    if (const QString other = firstOptionOutside(parser, allowed); !other.isEmpty()) {
      return failure(QStringLiteral("--analyze measures the file without a sound card or a "
                                    "window: it does not go with --%1")
                         .arg(other));
    }
  }

  // An integer option within [low, high]; returns the error text, or empty when fine.
  auto readIndex = [&](const char* name, int low, int high, const char* meaning,
                       std::optional<int>& into) {
    if (!isSet(name)) return QString();
    into = integer(value(name));
    if (!into || *into < low || *into > high) {
      return QStringLiteral("--%1 needs a whole number from %2 to %3%4, not '%5'")
          .arg(QString::fromUtf8(name))
          .arg(low)
          .arg(high)
          .arg(QString::fromUtf8(meaning), value(name));
    }
    return QString();
  };

  // A number above 0 (`what`, as the error names it); returns the error text, or empty when
  // fine.
  auto readPositive = [&](const char* name, const char* what, std::optional<double>& into) {
    if (!isSet(name)) return QString();
    into = positiveNumber(value(name));
    if (!into) {
      return QStringLiteral("--%1 needs %2, not '%3'")
          .arg(QString::fromUtf8(name), QString::fromUtf8(what), value(name));
    }
    return QString();
  };
  auto readSeconds = [&](const char* name, std::optional<double>& into) {
    return readPositive(name, "a number of seconds above 0 (such as 2.5)", into);
  };

  ProgramOptions& options = result.options;
  options.headless = isSet("headless");
  for (const QString& error :
       {readSeconds("seconds", options.seconds), readSeconds("unplug-at", options.unplugAt),
        readSeconds("replug-at", options.replugAt)}) {
    if (!error.isEmpty()) return failure(error);
  }
  if (options.replugAt && (!options.unplugAt || *options.replugAt <= *options.unplugAt)) {
    return failure(QStringLiteral("--replug-at needs an earlier --unplug-at"));
  }
  options.screenshot = value("screenshot");

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
  options.csv = isSet("csv");
  options.recordFile = value("record");
  if (isSet("calibrate")) {
    for (const char* name : kNotWithCalibration) {
      if (isSet(name)) {
        return failure(QStringLiteral("--calibrate prints only the calibration: it does not go "
                                      "with --%1")
                           .arg(QString::fromUtf8(name)));
      }
    }
    const QStringList parts = value("calibrate").split(u' ');
    const std::optional<double> volts = parts.size() == 2 ? positiveNumber(parts[1]) : std::nullopt;
    const QString channel = parts.value(0).toUpper();
    if (!volts || (channel != QLatin1String("UL") && channel != QLatin1String("UR"))) {
      return failure(QStringLiteral("--calibrate needs a channel (UL or UR) and the sine's RMS "
                                    "voltage above 0 (such as UL 0.5), not '%1'")
                         .arg(value("calibrate")));
    }
    options.calibrate =
        CalibrationRequest{channel == QLatin1String("UL") ? Channel::UL : Channel::UR, *volts};
    options.headless = true;  // no window is shown: the calibration has nothing to show
    if (!options.seconds) options.seconds = kCalibrationSeconds;
  }
  const bool reporting = options.report || isSet("analyze");
  if (options.csv && !reporting) {
    return failure(QStringLiteral("--csv prints the lines of --report or --analyze: give one"));
  }
  if (const QString error = readPositive("full-scale-volts", "a voltage above 0 (such as 1.228)",
                                         options.fullScaleVolts);
      !error.isEmpty()) {
    return failure(error);
  }
  if (options.fullScaleVolts) {
    if (!reporting) {
      return failure(QStringLiteral(
          "--full-scale-volts gives the report its volts: it goes with --report or --analyze"));
    }
  }

  for (const QString& error : {
           readIndex("time-base", 0, static_cast<int>(kTimeBaseItems.size()) - 1,
                     " (an item of the time-base list)", options.timeBase),
           readIndex("ul-range", 0, static_cast<int>(kUlRangeItems.size()) - 1,
                     " (an item of the UL range list)", options.ulRange),
           readIndex("ur-range", 0, static_cast<int>(kUrRangeItems.size()) - 1,
                     " (an item of the UR range list)", options.urRange),
           readIndex("generator-frequency", kStartFrequencyMin, kStartFrequencyMax,
                     " (the frequency slider's range at start-up)", options.generatorFrequency),
           readIndex("generator-amplitude", kAmplitudeMin, kAmplitudeMax,
                     " (the amplitude slider's range)", options.generatorAmplitude),
       }) {
    if (!error.isEmpty()) return failure(error);
  }
  std::optional<int> mixerDevices;
  if (const QString error = readIndex("mixer-devices", 0, 64, "", mixerDevices); !error.isEmpty()) {
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

}  // namespace osciloskop
