// The built program as scripts use it: readout reports on the simulated card, offline
// analysis of a recording, and the refusal of bad input.

#include <gtest/gtest.h>
#include <sndfile.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <vector>

namespace {

struct ProgramResult {
  int exitCode = -1;
  QString out;
  QString err;
};

ProgramResult runProgram(const QStringList& arguments) {
  QProcess program;
  program.start(QStringLiteral(OSCILOSKOP_PROGRAM), arguments);
  ProgramResult run;
  if (!program.waitForFinished(60000)) return run;
  run.exitCode = program.exitCode();
  run.out = QString::fromUtf8(program.readAllStandardOutput());
  run.err = QString::fromUtf8(program.readAllStandardError());
  return run;
}

std::vector<QJsonObject> jsonLines(const QString& text) {
  std::vector<QJsonObject> lines;
  for (const QString& line : text.split('\n', Qt::SkipEmptyParts)) {
    lines.push_back(QJsonDocument::fromJson(line.toUtf8()).object());
  }
  return lines;
}

// A 16-bit file whose channel c holds Round(10000 sin(2 pi f_c n / rate)).
void writeTones(const QString& path, int rate, const std::vector<double>& frequencies, int frames) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = static_cast<int>(frequencies.size());
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path.toLocal8Bit().constData(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr);
  std::vector<short> samples;
  for (int n = 0; n < frames; ++n) {
    for (double f : frequencies) {
      samples.push_back(
          static_cast<short>(std::nearbyint(10000 * std::sin(2 * M_PI * f * n / rate))));
    }
  }
  sf_writef_short(file, samples.data(), frames);
  sf_close(file);
}

}  // namespace

// Two sines of 1000 Hz a quarter period apart: each channel reads 10000 counts of peak and,
// over the 22050 entries of which half are the block's frames, 5000 counts RMS, that is
// 332.12 mV; the measured half-wave gives 918.75 Hz, shown to ten hertz; the peak picks the
// 500 mV range and the frequency the 2 msec time base.
TEST(Program, VirtualTimeReportAgreesWithTheHandCalculationAndRepeatsExactly) {
  const QStringList arguments = {"--card",
                                 "simulated",
                                 "--headless",
                                 "--virtual-time",
                                 "--seconds",
                                 "2",
                                 "--report",
                                 "--time-base",
                                 "0",
                                 "--ur",
                                 "sine:1000:10000",
                                 "--ul",
                                 "sine:1000:10000:90"};
  const ProgramResult first = runProgram(arguments);
  ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
  const std::vector<QJsonObject> lines = jsonLines(first.out);
  ASSERT_GE(lines.size(), 7u) << first.out.toStdString();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const QJsonObject& line = lines[i];
    EXPECT_EQ(line["block"].toInt(), static_cast<int>(i) + 1);
    EXPECT_DOUBLE_EQ(line["t"].toDouble(), 0.25 * static_cast<double>(i + 1));
    EXPECT_EQ(line["Edit4"].toString(), " 332 mV");
    EXPECT_EQ(line["Edit1"].toString(), " 332 mV");
    EXPECT_EQ(line["Edit8"].toString(), "  920 Hz");
    EXPECT_EQ(line["ulRange"].toString(), "500 mV");
    EXPECT_EQ(line["urRange"].toString(), "500 mV");
    EXPECT_EQ(line["timeBase"].toString(), "2 msec");
    EXPECT_EQ(line["traceStride"].toInt(), 1);
    EXPECT_FALSE(line["Panel2"].toBool());
  }
  EXPECT_EQ(runProgram(arguments).out, first.out)
      << "a virtual-time run prints the same every time";
}

TEST(Program, StartsWithTheGeneratorsTone) {
  const ProgramResult run = runProgram(
      {"--card", "simulated", "--headless", "--virtual-time", "--seconds", "0.5", "--report"});
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  EXPECT_TRUE(run.err.contains("screenshot saved to"));
  const std::vector<QJsonObject> lines = jsonLines(run.out);
  ASSERT_FALSE(lines.empty());
  // The readouts follow the generator at start; its tone reaches the input by loopback.
  EXPECT_EQ(lines[0]["Edit8"].toString(), "   100 Hz");
  EXPECT_EQ(lines[0]["Edit1"].toString(), " 332 mV");
  EXPECT_EQ(lines[0]["timeBase"].toString(), "20 msec");
}

TEST(Program, AnalyzesARecordingBlockByBlock) {
  QTemporaryDir dir;
  const QString path = dir.filePath("tones.wav");
  // Four whole blocks and a part of one: UR 1000 Hz, UL 50 Hz.
  writeTones(path, 44100, {1000, 50}, 4 * 11025 + 500);
  const ProgramResult run = runProgram({"--analyze", path, "--time-base", "0"});
  ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
  const std::vector<QJsonObject> lines = jsonLines(run.out);
  ASSERT_EQ(lines.size(), 4u) << run.out.toStdString();
  EXPECT_TRUE(run.err.contains("500")) << "the partial block is counted on stderr";
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i]["block"].toInt(), static_cast<int>(i) + 1);
    EXPECT_DOUBLE_EQ(lines[i]["t"].toDouble(), 0.25 * static_cast<double>(i));
    EXPECT_EQ(lines[i]["Edit1"].toString(), " 332 mV");
    EXPECT_EQ(lines[i]["Edit4"].toString(), " 332 mV");
  }
  // The first block starts both sines at phase 0: the worked examples of the measurement.
  EXPECT_EQ(lines[0]["Edit8"].toString(), "  920 Hz");
  EXPECT_EQ(lines[0]["Edit12"].toString(), "    50 Hz");
}

TEST(Program, RefusesBadInputWithOneLineAndStatus2) {
  QTemporaryDir dir;
  const QString wrongRate = dir.filePath("48k.wav");
  writeTones(wrongRate, 48000, {1000}, 48000);
  const QString threeChannels = dir.filePath("three.wav");
  writeTones(threeChannels, 44100, {100, 200, 300}, 11025);
  const std::vector<std::pair<QStringList, QString>> cases = {
      {{"--card", "simulated", "--ur", "sine:abc"}, "sine:abc"},
      {{"--card", "simulated", "--ul", "wobble:3"}, "wobble"},
      {{"--input", dir.filePath("missing.wav")}, "missing.wav"},
      {{"--input", wrongRate}, "48k.wav"},
      {{"--input", threeChannels}, "three.wav"},
      {{"--analyze", dir.filePath("missing.wav")}, "missing.wav"},
      {{"--analyze", wrongRate}, "44100"},
      {{"--analyze", threeChannels}, "channels"},
      {{"--card", "simulated", "--virtual-time", "--generator-frequency", "5000"},
       "--generator-frequency"},
      {{"--card", "simulated", "--virtual-time", "--generator-amplitude", "-1"},
       "--generator-amplitude"},
      {{"--card", "portaudio", "--virtual-time"}, "--virtual-time"},
      {{"--ur-range", "14"}, "--ur-range"},
  };
  for (const auto& [arguments, named] : cases) {
    const ProgramResult run =
        runProgram(QStringList{"--headless", "--seconds", "0.2"} + QStringList(arguments));
    EXPECT_EQ(run.exitCode, 2) << arguments.join(' ').toStdString();
    EXPECT_TRUE(run.err.contains(named)) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
  }
}
