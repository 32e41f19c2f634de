// The command line: what each run asks for, and how bad input is refused.

#include <gtest/gtest.h>
#include <sndfile.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>

#include "CommandLine.h"

using namespace osciloskop;

namespace {

ParsedCommandLine parse(QStringList arguments) {
  arguments.prepend(QStringLiteral("osciloskop"));
  return parseCommandLine(arguments);
}

}  // namespace

TEST(CommandLine, RefusesBadInputWithExitStatus2) {
  const std::vector<std::pair<QStringList, QString>> cases = {
      {{"--seconds", "abc"}, "--seconds"},
      {{"--seconds", "-1"}, "--seconds"},
      {{"--seconds", "0"}, "--seconds"},
      {{"--no-such-option"}, "no-such-option"},
      {{"stray"}, "stray"},
      {{"--screenshot"}, "screenshot"},
  };
  for (const auto& [arguments, named] : cases) {
    const ParsedCommandLine result = parse(arguments);
    EXPECT_TRUE(result.exitNow) << arguments.join(' ').toStdString();
    EXPECT_EQ(result.exitCode, 2) << arguments.join(' ').toStdString();
    EXPECT_TRUE(result.error.contains(named)) << result.error.toStdString();
    EXPECT_TRUE(result.error.contains("Usage:")) << result.error.toStdString();
  }
}

// Every option that takes a value refuses an empty one; every number is checked against its
// real range, which the message names; an option that would be ignored is refused.
TEST(CommandLine, RefusesEmptyValuesOutOfRangeNumbersAndIgnoredOptions) {
  struct Case {
    QStringList arguments;
    QString named;  // the message must hold this
  };
  std::vector<Case> cases = {
      {{"--generator-frequency", "abc"}, "from 100 to 1000"},
      {{"--generator-frequency", "99"}, "from 100 to 1000"},
      {{"--generator-frequency", "1001"}, "from 100 to 1000"},
      {{"--generator-amplitude", "abc"}, "from 0 to 32767"},
      {{"--generator-amplitude", "32768"}, "from 0 to 32767"},
      {{"--time-base", "9"}, "from 0 to 8"},
      {{"--ul-range", "13"}, "from 0 to 12"},
      {{"--ur-range", "-1"}, "from 0 to 13"},
      {{"--mixer-devices", "65"}, "from 0 to 64"},
      {{"--seconds", "inf"}, "above 0"},
      {{"--seconds", "nan"}, "above 0"},
      {{"--seconds", "1e999"}, "above 0"},
      {{"--list-devices", "--seconds", "3"}, "--seconds"},
      {{"--list-devices", "--card", "simulated"}, "--card"},
      {{"--full-scale-volts", "0", "--report"}, "--full-scale-volts needs a voltage above 0"},
      {{"--full-scale-volts", "-1.2", "--report"}, "above 0"},
      {{"--full-scale-volts", "1V", "--report"}, "above 0"},
      {{"--full-scale-volts", "1.2"}, "it goes with --report or --analyze"},
      {{"--csv"}, "--csv prints the lines of --report or --analyze"},
      {{"--csv", "--record", "x.wav"}, "--csv prints the lines"},
      {{"--calibrate", "UX", "0.5"}, "--calibrate needs a channel (UL or UR)"},
      {{"--calibrate", "UL"}, "not 'UL'"},
      {{"--calibrate", "UL", "--seconds", "2"}, "not 'UL'"},
      {{"--calibrate", "UL", "-0.5"}, "not 'UL -0.5'"},
      {{"--calibrate", "UL", "0"}, "--calibrate needs"},
      {{"--calibrate", "UL 0.5 1"}, "--calibrate needs"},
      {{"--calibrate", "UL", "0.5", "--report"}, "it does not go with --report"},
      {{"--calibrate", "UL", "0.5", "--screenshot", "x.png"}, "it does not go with --screenshot"},
      {{"--full-scale-volts", "1", "--calibrate", "UL", "0.5"}, "does not go with --full-scale"},
      {{"--calibrate", "UL", "0.5", "--analyze", "x.wav"}, "it does not go with --calibrate"},
      {{"--analyze", "x.wav", "--record", "y.wav"}, "it does not go with --record"},
  };
  for (const char* option :
       {"seconds", "screenshot", "card", "input-device", "output-device", "ur", "ul", "input",
        "analyze", "time-base", "ul-range", "ur-range", "generator-frequency",
        "generator-amplitude", "mixer-devices", "full-scale-volts", "record", "calibrate"}) {
    cases.push_back(
        {{QStringLiteral("--%1=").arg(option)}, QStringLiteral("--%1 needs").arg(option)});
    cases.push_back(
        {{QStringLiteral("--%1").arg(option), ""}, QStringLiteral("--%1 needs").arg(option)});
  }
  // An analysis has no sound card, no window on screen and no run time.
  for (const QStringList& live : std::vector<QStringList>{{"--input", "x.wav"},
                                                          {"--card", "simulated"},
                                                          {"--card", "auto"},
                                                          {"--virtual-time"},
                                                          {"--report"},
                                                          {"--seconds", "3"},
                                                          {"--ur", "sine:50"},
                                                          {"--ul", "silence"},
                                                          {"--screenshot", "x.png"},
                                                          {"--headless"},
                                                          {"--input-device", "1"},
                                                          {"--output-device", "1"}}) {
    cases.push_back({QStringList{"--analyze", "rec.wav"} + live, "it does not go with " + live[0]});
  }
  cases.push_back({{"--analyze", "rec.wav", "--list-devices"}, "it does not go with --analyze"});
  for (const auto& [arguments, named] : cases) {
    const ParsedCommandLine result = parse(arguments);
    EXPECT_EQ(result.exitCode, 2) << arguments.join(' ').toStdString();
    EXPECT_TRUE(result.error.contains(named))
        << arguments.join(' ').toStdString() << ": " << result.error.toStdString();
    EXPECT_EQ(result.error.count('\n'), 1) << result.error.toStdString();
    EXPECT_TRUE(result.error.endsWith("\nUsage: osciloskop [options]"))
        << result.error.toStdString();
  }
}

TEST(CommandLine, AcceptsEveryValueInRange) {
  const std::vector<QStringList> cases = {
      {"--generator-frequency", "100", "--generator-amplitude", "0"},
      {"--generator-frequency", "1000", "--generator-amplitude", "32767"},
      {"--seconds", "2147484"},  // longer than one timer holds
      {"--seconds", "1e300"},
      {"--seconds", "0.001"},
      {"--analyze", "rec.wav", "--time-base", "8", "--ul-range", "12", "--ur-range", "13",
       "--generator-frequency", "500", "--generator-amplitude", "1", "--mixer-devices", "0"},
      {"--analyze", "rec.wav", "--csv", "--full-scale-volts", "1e-3"},
      {"--report", "--csv", "--full-scale-volts", "12", "--record", "x.wav"},
      {"--calibrate", "ur", "0.001", "--card", "simulated", "--record", "x.wav"},
  };
  for (const QStringList& arguments : cases) {
    const ParsedCommandLine result = parse(arguments);
    EXPECT_FALSE(result.exitNow) << arguments.join(' ').toStdString() << ": "
                                 << result.error.toStdString();
  }
}

// A message of several lines keeps the rule: its first line, the usage line, then the rest.
TEST(CommandLine, UsageLineFollowsTheFirstLineOfAnyMessage) {
  EXPECT_EQ(usageError("--input-device: no input device matches \"x\"\nInput devices:\n  0  a\n"),
            "osciloskop: --input-device: no input device matches \"x\"\nUsage: osciloskop "
            "[options]\nInput devices:\n  0  a");
}

TEST(CommandLine, ReadsTheRunOptions) {
  const ParsedCommandLine result =
      parse({"--headless", "--seconds", "1.5", "--screenshot", "/tmp/x.png"});
  ASSERT_FALSE(result.exitNow) << result.error.toStdString();
  EXPECT_TRUE(result.options.headless);
  EXPECT_DOUBLE_EQ(result.options.seconds.value(), 1.5);
  EXPECT_EQ(result.options.screenshot, QStringLiteral("/tmp/x.png"));

  // --calibrate takes the channel and the voltage as two arguments, or joined to it by "=",
  // and runs without a window, for 5 s unless --seconds says otherwise.
  EXPECT_DOUBLE_EQ(parse({"--calibrate", "UL", "1"}).options.seconds.value(), 5);
  for (const QStringList& arguments : std::vector<QStringList>{
           {"--calibrate", "ur", "0.775", "--seconds", "5"},
           {"--seconds", "5", "-calibrate=UR", "0.775"},
       }) {
    const ParsedCommandLine calibration = parse(arguments);
    ASSERT_FALSE(calibration.exitNow) << calibration.error.toStdString();
    ASSERT_TRUE(calibration.options.calibrate);
    EXPECT_EQ(calibration.options.calibrate->channel, Channel::UR);
    EXPECT_DOUBLE_EQ(calibration.options.calibrate->voltsRms, 0.775);
    EXPECT_DOUBLE_EQ(calibration.options.seconds.value(), 5);
    EXPECT_TRUE(calibration.options.headless);
  }

  const ParsedCommandLine help = parse({"--help"});
  EXPECT_TRUE(help.exitNow);
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_TRUE(help.output.contains("--screenshot"));
}

// The built program itself: a bad value ends it with status 2 and one line naming the
// option; a headless run saves a screenshot of the whole window.
TEST(Program, BadValueExitsWith2) {
  QProcess program;
  program.start(QStringLiteral(OSCILOSKOP_PROGRAM), {"--headless", "--seconds", "soon"});
  ASSERT_TRUE(program.waitForFinished(30000));
  EXPECT_EQ(program.exitCode(), 2);
  const QString error = QString::fromUtf8(program.readAllStandardError());
  EXPECT_TRUE(error.startsWith("osciloskop: ")) << error.toStdString();
  EXPECT_TRUE(error.contains("--seconds")) << error.toStdString();
}

TEST(Program, HeadlessRunSavesTheWindow) {
  QTemporaryDir dir;
  const QString path = dir.filePath("shot.png");
  QProcess program;
  program.start(QStringLiteral(OSCILOSKOP_PROGRAM),
                {"--headless", "--seconds", "0.5", "--screenshot", path});
  ASSERT_TRUE(program.waitForFinished(30000));
  EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
  EXPECT_TRUE(QString::fromUtf8(program.readAllStandardError()).contains(path));
  const QImage shot(path);
  ASSERT_FALSE(shot.isNull());
  EXPECT_EQ(shot.width(), 800);
  EXPECT_GT(shot.height(), 526);
}

// A screenshot or a recording is written only where asked, as a whole new file renamed over
// the target: a symbolic link there is replaced, never written through, and nothing else is
// left behind. A folder that does not exist is refused before the run.
TEST(Program, SavesFilesOnlyWhereAskedAndNeverThroughALink) {
  auto run = [](const QStringList& arguments) {
    QProcess program;
    program.start(QStringLiteral(OSCILOSKOP_PROGRAM),
                  QStringList{"--headless", "--seconds", "0.6"} + arguments);
    EXPECT_TRUE(program.waitForFinished(30000));
    return std::pair{program.exitCode(), QString::fromUtf8(program.readAllStandardError())};
  };
  const auto [plainExit, plainErr] = run({});
  EXPECT_EQ(plainExit, 0) << plainErr.toStdString();
  EXPECT_FALSE(plainErr.contains("screenshot")) << plainErr.toStdString();

  struct Output {
    const char* option;
    const char* name;
    std::function<bool(const QString& path)> written;
  };
  const Output outputs[] = {
      {"--screenshot", "shot.png", [](const QString& path) { return QImage(path).width() == 800; }},
      {"--record", "run.wav",
       [](const QString& path) {
         SF_INFO info{};
         SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
         if (file != nullptr) sf_close(file);
         return file != nullptr && info.frames >= 11025;
       }},
  };
  for (const Output& output : outputs) {
    SCOPED_TRACE(output.option);
    QTemporaryDir dir;
    const QString precious = dir.filePath("precious.txt");
    {
      QFile file(precious);
      ASSERT_TRUE(file.open(QIODevice::WriteOnly));
      file.write("not to be overwritten");
    }
    const QString target = dir.filePath(output.name);
    ASSERT_TRUE(QFile::link(precious, target));
    for (int pass = 0; pass < 2; ++pass) {  // over the link, then over the file it left
      const auto [exitCode, err] = run({output.option, target});
      EXPECT_EQ(exitCode, 0) << err.toStdString();
      EXPECT_FALSE(QFileInfo(target).isSymLink());
      EXPECT_TRUE(output.written(target));
    }
    QFile file(precious);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "not to be overwritten");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"precious.txt", output.name}));

    const auto [missingExit, missingErr] =
        run({output.option, dir.filePath(QStringLiteral("none/") + output.name)});
    EXPECT_EQ(missingExit, 2);
    EXPECT_TRUE(missingErr.contains(output.option + QStringLiteral(": the folder")))
        << missingErr.toStdString();
    EXPECT_TRUE(missingErr.contains("does not exist")) << missingErr.toStdString();
  }
}
