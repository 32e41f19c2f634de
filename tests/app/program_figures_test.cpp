// The figures the program reports beside the window's readouts, its recordings and its
// calibration, as scripts use them: the built program run on the simulated card.

#include <gtest/gtest.h>
#include <signal.h>
#include <sndfile.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <cmath>
#include <complex>
#include <cstring>
#include <functional>
#include <numbers>
#include <random>
#include <vector>

#include "ProgramRunSupport.h"

namespace {

constexpr int kBlockFrames = 11025;
// The generator's start-up tone: 100 Hz synthesised with pi taken as 3.14159.
constexpr double kStartUpToneHz = 100 * 3.14159 / std::numbers::pi;

QJsonObject measured(const QJsonObject& line, const char* channel = nullptr) {
  const QJsonObject figures = line["measured"].toObject();
  return channel ? figures[channel].toObject() : figures;
}

// The report line without what differs between a live run and an analysis of its
// recording: the time (the block's end there, its start here) and the card's xruns.
QJsonObject withoutTimeAndXruns(QJsonObject line) {
  line.remove("t");
  line.remove("xruns");
  return line;
}

std::string compact(const QJsonObject& line) {
  return QJsonDocument(line).toJson(QJsonDocument::Compact).toStdString();
}

// The stereo frames of a 16-bit 44100 Hz WAV file, or none when it is not one.
struct WavContents {
  bool valid = false;
  sf_count_t frames = 0;
};

WavContents readWav(const QString& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
  if (file == nullptr) return {};
  sf_close(file);
  return {info.samplerate == 44100 && info.channels == 2 &&
              info.format == (SF_FORMAT_WAV | SF_FORMAT_PCM_16),
          info.frames};
}

}  // namespace

// The start-up picture: UR hears the generator's tone as the line output plays it, UL the
// same through the simulated card's one-pole RC low-pass with its 100 Hz corner, so UR leads
// by the filter's phase and is larger by the inverse of its gain. The tone starts from
// silence with each recording run, so UL's block begins with the filter's rise (some 70
// frames of time constant), which lowers its RMS by a few parts in a thousand.
TEST(ProgramFigures, DefaultLoopbackGivesTheRcNetworksPhaseAndGain) {
  constexpr double kRate = 44100, kCorner = 100;
  const double alpha = 1 - std::exp(-2 * std::numbers::pi * kCorner / kRate);
  const std::complex<double> z = std::polar(1.0, 2 * std::numbers::pi * kStartUpToneHz / kRate);
  const std::complex<double> response = alpha / (1.0 - (1 - alpha) / z);
  const double urLeadDeg = -std::arg(response) * 180 / std::numbers::pi;
  ASSERT_NEAR(urLeadDeg, 44.59, 0.005);

  const ProgramResult run = runProgram(
      {"--card", "simulated", "--headless", "--virtual-time", "--seconds", "3", "--report"});
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  const std::vector<QJsonObject> lines = jsonLines(run.out);
  ASSERT_EQ(lines.size(), 12u) << run.out.toStdString();
  double worstHz = 0, worstPhase = 0, worstRatio = 0;
  for (const QJsonObject& line : lines) {
    SCOPED_TRACE(compact(line));
    for (const char* channel : {"UL", "UR"}) {
      const QJsonObject figures = measured(line, channel);
      EXPECT_TRUE(figures["signal"].toBool());
      EXPECT_EQ(figures["clipped"].toInt(), 0);
      EXPECT_FALSE(figures.contains("rmsVolts")) << "volts only with a calibration";
      const double hzError = std::abs(figures["hz"].toDouble() / kStartUpToneHz - 1);
      EXPECT_LE(hzError, 1e-4);
      worstHz = std::max(worstHz, hzError);
    }
    const double phaseError = std::abs(measured(line)["phaseDeg"].toDouble() - urLeadDeg);
    EXPECT_LE(phaseError, 0.5);
    const double ratioError = std::abs(measured(line)["ratio"].toDouble() * std::abs(response) - 1);
    EXPECT_LE(ratioError, 5e-3);
    worstPhase = std::max(worstPhase, phaseError);
    worstRatio = std::max(worstRatio, ratioError);
  }
  std::printf("default loopback, %zu blocks: hz %.1e  phase %.4f deg  ratio %.1e\n", lines.size(),
              worstHz, worstPhase, worstRatio);
}

// Two tones the figures can be worked out for by hand: UR 1000 Hz and UL 50 Hz, both of
// amplitude 10000, so 7071.07 counts RMS, -10.309 dBFS, 0.61036 V with a full-scale sine of
// 2 V, ratio 1 and no phase (the frequencies differ); the CSV carries the same values.
TEST(ProgramFigures, AnalysisGivesTheFiguresAsJsonAndAsCsv) {
  QTemporaryDir dir;
  const QString path = dir.filePath("tones.wav");
  writeTones(path, 44100, {1000, 50}, 3 * kBlockFrames);
  const ProgramResult json = runProgram({"--analyze", path, "--full-scale-volts", "2"});
  ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
  const std::vector<QJsonObject> lines = jsonLines(json.out);
  ASSERT_EQ(lines.size(), 3u);
  const double rms = 10000 / std::numbers::sqrt2;
  for (const QJsonObject& line : lines) {
    SCOPED_TRACE(compact(line));
    const std::pair<const char*, double> channels[] = {{"UR", 1000}, {"UL", 50}};
    for (const auto& [channel, hz] : channels) {
      const QJsonObject figures = measured(line, channel);
      EXPECT_NEAR(figures["hz"].toDouble(), hz, hz * 1e-6);
      EXPECT_NEAR(figures["rmsCounts"].toDouble(), rms, 0.05);
      EXPECT_EQ(figures["peakCounts"].toInt(), 10000);
      EXPECT_NEAR(figures["dcCounts"].toDouble(), 0, 0.05);
      EXPECT_NEAR(figures["dBFS"].toDouble(), 20 * std::log10(10000 / 32767.0), 0.001);
      EXPECT_NEAR(figures["rmsVolts"].toDouble(), rms / (32767 / std::numbers::sqrt2) * 2, 1e-5);
    }
    EXPECT_TRUE(measured(line)["phaseDeg"].isNull());
    EXPECT_NEAR(measured(line)["ratio"].toDouble(), 1, 1e-5);
  }

  const ProgramResult csv = runProgram({"--analyze", path, "--full-scale-volts", "2", "--csv"});
  ASSERT_EQ(csv.exitCode, 0) << csv.err.toStdString();
  const QStringList rows = csv.out.split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(rows.size(), 4) << csv.out.toStdString();
  QStringList channelColumns;
  for (const char* channel : {"UL", "UR"}) {
    for (const char* key :
         {"hz", "rmsCounts", "peakCounts", "dcCounts", "dBFS", "rmsVolts", "clipped", "signal"})
      channelColumns << QStringLiteral("measured.%1.%2").arg(channel, key);
  }
  EXPECT_EQ(rows[0],
            "t,block,ulLevel,ulFrequency,urLevel,urFrequency,overRangeWarning,displayLimitWarning,"
            "ulRange,urRange,timeBase,"
            "traceStride,traceOffset," +
                channelColumns.join(',') + ",measured.phaseDeg,measured.ratio");
  const QStringList header = rows[0].split(',');
  for (int i = 0; i < 3; ++i) {
    // No readout holds a comma: the cells split at each.
    const QStringList cells = rows[i + 1].split(',');
    ASSERT_EQ(cells.size(), header.size()) << rows[i + 1].toStdString();
    for (qsizetype column = 0; column < header.size(); ++column) {
      QJsonValue value = lines[i];
      for (const QString& key : header[column].split('.')) value = value.toObject()[key];
      const QString expected = value.isString()   ? '"' + value.toString() + '"'
                               : value.isBool()   ? (value.toBool() ? "true" : "false")
                               : value.isDouble() ? QString::number(value.toDouble(), 'g', 17)
                                                  : QString();
      const QString cell =
          value.isDouble() ? QString::number(cells[column].toDouble(), 'g', 17) : cells[column];
      EXPECT_EQ(cell, expected) << header[column].toStdString() << " row " << i;
    }
  }
}

// What the capture hands off is what the recording holds: its analysis gives the same
// readouts and figures block for block, and --input plays it back as the same session.
TEST(ProgramFigures, ARecordingGivesBackTheSameReadoutsBlockForBlock) {
  QTemporaryDir dir;
  const QString recording = dir.filePath("session.wav");
  const QStringList sources = {"--ur", "sine:1234.5:9000:10", "--ul", "triangle:617.25:12000"};
  const QStringList live = {"--headless", "--virtual-time", "--seconds", "2", "--report"};
  const ProgramResult run = runProgram(live + sources + QStringList{"--record", recording});
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  const std::vector<QJsonObject> recorded = jsonLines(run.out);
  ASSERT_EQ(recorded.size(), 8u);
  EXPECT_EQ(readWav(recording).frames, 8 * kBlockFrames);

  const ProgramResult analysis = runProgram({"--analyze", recording});
  ASSERT_EQ(analysis.exitCode, 0) << analysis.err.toStdString();
  const ProgramResult replay = runProgram(live + QStringList{"--input", recording});
  ASSERT_EQ(replay.exitCode, 0) << replay.err.toStdString();
  for (const auto& [name, lines] : {std::pair{"--analyze", jsonLines(analysis.out)},
                                    std::pair{"--input", jsonLines(replay.out)}}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(lines.size(), recorded.size());
    for (size_t i = 0; i < lines.size(); ++i) {
      EXPECT_EQ(withoutTimeAndXruns(lines[i]), withoutTimeAndXruns(recorded[i]))
          << "block " << i + 1 << "\n"
          << compact(lines[i]) << "\nnot as\n"
          << compact(recorded[i]);
    }
  }
}

// However the run ends, the recording holds whole blocks under a header that says so: when
// the time is up in the middle of a block, at SIGTERM or SIGINT (which end the run as
// closing the window does, so the screenshot is saved too, and then the process by that
// signal), even at SIGKILL.
TEST(ProgramFigures, ARecordingSurvivesTheEndOfTheRunHoweverItComes) {
  struct Case {
    const char* name;
    QStringList seconds;
    int signal;  // 0: none, the run ends by itself
    bool screenshotSaved;
  };
  const Case cases[] = {
      {"--seconds mid-block", {"--seconds", "1.1"}, 0, true},
      {"SIGTERM", {"--seconds", "60"}, SIGTERM, true},
      {"SIGINT", {"--seconds", "60"}, SIGINT, true},
      {"SIGKILL", {"--seconds", "60"}, SIGKILL, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir dir;
    const QString recording = dir.filePath("run.wav");
    const QString screenshot = dir.filePath("run.png");
    QProcess program;
    program.setProcessEnvironment(programEnvironment());
    program.start(QStringLiteral(OSCILOSKOP_PROGRAM),
                  QStringList{"--card", "simulated", "--headless", "--record", recording,
                              "--screenshot", screenshot} +
                      c.seconds);
    ASSERT_TRUE(program.waitForStarted());
    if (c.signal != 0) {
      // Two blocks in, and a little more, so that the signal comes between blocks.
      const QDeadlineTimer deadline(30000);
      while (QFileInfo(recording).size() < 44 + 2 * kBlockFrames * 4 && !deadline.hasExpired())
        QThread::msleep(20);
      QThread::msleep(60);
      ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), c.signal), 0);
    }
    ASSERT_TRUE(program.waitForFinished(30000));
    const QString err = QString::fromUtf8(program.readAllStandardError());
    if (c.signal == 0) {
      EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
      EXPECT_EQ(program.exitCode(), 0) << err.toStdString();
    } else {
      EXPECT_EQ(program.exitStatus(), QProcess::CrashExit) << "ended by the signal";
    }
    EXPECT_EQ(!QImage(screenshot).isNull(), c.screenshotSaved) << err.toStdString();

    const WavContents wav = readWav(recording);
    ASSERT_TRUE(wav.valid);
    EXPECT_GE(wav.frames, 2 * kBlockFrames);
    EXPECT_EQ(wav.frames % kBlockFrames, 0) << "whole blocks";
    const ProgramResult analysis = runProgram({"--analyze", recording});
    EXPECT_EQ(analysis.exitCode, 0) << analysis.err.toStdString();
    EXPECT_TRUE(analysis.err.isEmpty()) << analysis.err.toStdString();
    EXPECT_EQ(static_cast<sf_count_t>(jsonLines(analysis.out).size()), wav.frames / kBlockFrames);
  }
}

// A recording is a valid WAV file from the moment it exists: killed at any time, even before
// its first block, the file is either not there yet or holds whole blocks under a RIFF
// header whose sizes match what follows it (readers refuse a RIFF size that does not).
TEST(ProgramFigures, ARecordingKilledAtAnyMomentIsAValidFile) {
  const unsigned seed = std::random_device()();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::vector<int> killAfterMs = {0, 0};
  for (int i = 0; i < 6; ++i) killAfterMs.push_back(std::uniform_int_distribution(0, 1500)(random));
  for (const int ms : killAfterMs) {
    SCOPED_TRACE("SIGKILL after " + std::to_string(ms) + " ms");
    QTemporaryDir dir;
    const QString recording = dir.filePath("run.wav");
    QProcess program;
    program.setProcessEnvironment(programEnvironment());
    program.start(QStringLiteral(OSCILOSKOP_PROGRAM),
                  {"--card", "simulated", "--headless", "--seconds", "60", "--record", recording});
    ASSERT_TRUE(program.waitForStarted());
    QThread::msleep(static_cast<unsigned long>(ms));
    ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), SIGKILL), 0);
    ASSERT_TRUE(program.waitForFinished(30000));
    QFile file(recording);
    if (!file.exists()) continue;
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_GE(bytes.size(), 44);
    const auto field = [&bytes](int at) {
      uint32_t value;
      std::memcpy(&value, bytes.constData() + at, sizeof value);
      return static_cast<qsizetype>(value);
    };
    const qsizetype dataBytes = field(40);
    EXPECT_EQ(field(4), 36 + dataBytes) << "the RIFF size";
    EXPECT_LE(44 + dataBytes, bytes.size()) << "the data chunk's size";
    const WavContents wav = readWav(recording);
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.frames % kBlockFrames, 0) << "whole blocks";
  }
}

// The figures and the recording are kept beside the window: a run that measures, reports and
// records shows the same picture as one that does none of it.
TEST(ProgramFigures, FiguresAndRecordingLeaveTheWindowAsItIs) {
  QTemporaryDir dir;
  const QStringList run = {"--card",    "simulated", "--headless", "--virtual-time",
                           "--seconds", "2",         "--ul-range", "3"};
  const QString plain = dir.filePath("plain.png");
  const QString measuring = dir.filePath("measuring.png");
  ASSERT_EQ(runProgram(run + QStringList{"--screenshot", plain}).exitCode, 0);
  const ProgramResult full =
      runProgram(run + QStringList{"--screenshot", measuring, "--report", "--full-scale-volts",
                                   "1.5", "--record", dir.filePath("rec.wav")});
  ASSERT_EQ(full.exitCode, 0) << full.err.toStdString();
  EXPECT_EQ(jsonLines(full.out).size(), 8u);
  QFile first(plain), second(measuring);
  ASSERT_TRUE(first.open(QIODevice::ReadOnly) && second.open(QIODevice::ReadOnly));
  EXPECT_TRUE(first.readAll() == second.readAll()) << "the screenshots differ";
}

// A sine of known RMS voltage on one input gives the full-scale voltage that makes the
// report read that voltage: the voltage times a full-scale sine's amplitude over the sine's.
// No signal, a clipped one, or too short a run is an error.
TEST(ProgramFigures, CalibratesOnASineOfKnownVoltage) {
  QTemporaryDir dir;
  const QString tones = dir.filePath("tones.wav");
  writeTones(tones, 44100, {1000, 50}, 2 * kBlockFrames);
  const QStringList simulated = {"--card", "simulated", "--virtual-time"};
  struct Case {
    QStringList arguments;
    double expected;
  };
  const std::vector<Case> cases = {
      {simulated + QStringList{"--ur", "sine:1000:10000", "--calibrate", "UR", "0.5"},
       0.5 * 32767 / 10000},
      {simulated + QStringList{"--ul", "sine:440:5000:30", "--calibrate", "ul", "0.2"},
       0.2 * 32767 / 5000},
      {simulated + QStringList{"--calibrate=UL", "1.5", "--ul", "sine:20:20000"},
       1.5 * 32767 / 20000},
      // The generator's start-up tone, amplitude 10000, by loopback.
      {simulated + QStringList{"--calibrate", "UR", "0.1"}, 0.1 * 32767 / 10000},
      {{"--virtual-time", "--input", tones, "--calibrate", "UL", "1"}, 32767.0 / 10000},
  };
  static const QRegularExpression result(
      R"(^--full-scale-volts ([0-9.]+) \(standard deviation ([0-9.e+-]+) V over (\d+) )"
      R"(blocks of U[LR]\)\n$)");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    const ProgramResult run = runProgram(c.arguments);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    const QRegularExpressionMatch match = result.match(run.out);
    ASSERT_TRUE(match.hasMatch()) << run.out.toStdString();
    EXPECT_NEAR(match.captured(1).toDouble(), c.expected, c.expected * 1e-4);
    EXPECT_LT(match.captured(2).toDouble(), c.expected * 1e-4);
    EXPECT_EQ(match.captured(3).toInt(), 16) << "the blocks of 5 s after the first second";
  }

  const std::vector<std::pair<QStringList, QString>> failures = {
      {{"--ur", "silence", "--calibrate", "UR", "0.5"}, "--calibrate: no signal on UR in block 5"},
      {{"--ul", "noise:3000", "--calibrate", "UL", "0.5"}, "--calibrate: no signal on UL"},
      {{"--ur", "sine:1000:40000", "--calibrate", "UR", "0.5"}, "--calibrate: UR is clipped"},
      {{"--seconds", "1.4", "--calibrate", "UR", "0.5"}, "at least 2 are needed"},
  };
  for (const auto& [arguments, named] : failures) {
    const ProgramResult run = runProgram(simulated + arguments);
    expectOneLineThenUsage(run, named, arguments.join(' ').toStdString());
    EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
  }
}
