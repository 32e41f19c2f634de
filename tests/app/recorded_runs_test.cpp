// The program prints and shows what it printed and showed when it was released: report and
// analysis lines, calibration results and the screenshot's pixels of a table of runs on the
// simulated card's virtual time, against the transcripts recorded then.

#include <QCryptographicHash>
#include <QImage>
#include <QTemporaryDir>

#include "ProgramRunSupport.h"
#include "RecordedTranscript.h"

namespace {

struct RecordedRun {
  const char* name;
  QStringList arguments;  // "DIR" stands for the run's own folder
};

const RecordedRun kRuns[] = {
    {"start_up", {"--report", "--seconds", "3"}},
    {"signals_csv",
     {"--report", "--csv", "--full-scale-volts", "1.2", "--ur", "square:300:8000", "--ul",
      "sine:440:5000:30", "--seconds", "2"}},
    {"choices",
     {"--report", "--time-base", "6", "--ul-range", "9", "--ur-range", "13",
      "--generator-frequency", "500", "--generator-amplitude", "20000", "--seconds", "2"}},
    {"automatic_noise",
     {"--report", "--time-base", "0", "--ur", "noise:6000:1", "--ul", "triangle:2000:9000",
      "--seconds", "2"}},
    {"unplugged", {"--report", "--unplug-at", "1", "--replug-at", "2", "--seconds", "4"}},
    {"file_input", {"--report", "--input", "DIR/tones.wav", "--seconds", "2"}},
    {"calibration", {"--calibrate", "UR", "0.5", "--seconds", "3"}},
    {"analysis", {"--analyze", "DIR/tones.wav", "--full-scale-volts", "0.9"}},
    {"analysis_csv", {"--analyze", "DIR/tones.wav", "--csv", "--time-base", "0"}},
};

class RecordedRuns : public ::testing::TestWithParam<RecordedRun> {};

TEST_P(RecordedRuns, PrintWhatTheReleasedProgramPrinted) {
  const RecordedRun& run = GetParam();
  QTemporaryDir dir;
  // A file at another rate, converted as it is read: UR 1000 Hz, UL 50 Hz.
  writeTones(dir.filePath("tones.wav"), 48000, {1000, 50}, 6 * 12000 + 300);
  QStringList arguments;
  for (const QString& argument : run.arguments) {
    arguments << QString(argument).replace(QStringLiteral("DIR"), dir.path());
  }
  // Every live run on the simulated card's virtual time; a window's picture where it has one.
  const bool live = !arguments.contains(QStringLiteral("--analyze"));
  const bool shown = live && !arguments.contains(QStringLiteral("--calibrate"));
  if (live) arguments << QStringList{"--card", "simulated", "--virtual-time"};
  if (shown) arguments << QStringList{"--headless", "--screenshot", dir.filePath("shot.png")};
  const ProgramResult result = runProgram(arguments);
  QStringList lines = result.out.split(u'\n', Qt::SkipEmptyParts);
  lines << QStringLiteral("exit %1").arg(result.exitCode);
  if (shown) {
    const QImage shot = QImage(dir.filePath("shot.png")).convertToFormat(QImage::Format_RGB32);
    lines << QStringLiteral("screenshot %1x%2 %3")
                 .arg(shot.width())
                 .arg(shot.height())
                 .arg(QString::fromLatin1(
                     QCryptographicHash::hash(QByteArrayView(shot.constBits(), shot.sizeInBytes()),
                                              QCryptographicHash::Sha1)
                         .toHex()));
  }
  expectRecordedTranscript(
      QStringLiteral(OSCILOSKOP_SOURCE_DIR "/tests/app/recorded/%1.txt").arg(run.name), lines);
}

INSTANTIATE_TEST_SUITE_P(Runs, RecordedRuns, ::testing::ValuesIn(kRuns),
                         [](const ::testing::TestParamInfo<RecordedRun>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
