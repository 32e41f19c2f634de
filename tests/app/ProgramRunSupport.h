#pragma once

// Running the built program as a script does, and reading what it prints.

#include <gtest/gtest.h>
#include <sndfile.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <cmath>
#include <utility>
#include <vector>

struct ProgramResult {
  int exitCode = -1;
  QString out;
  QString err;
};

// The program's environment, with a runtime folder of its own so that Qt has nothing to
// say about it on stderr, and `extra` variables.
inline QProcessEnvironment programEnvironment(
    const std::vector<std::pair<QString, QString>>& extra = {}) {
  static const QTemporaryDir runtime;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
  for (const auto& [name, value] : extra) environment.insert(name, value);
  return environment;
}

// Runs the program to its end, or for `stopAfterMs` when given, then stops it.
inline ProgramResult runProgram(const QStringList& arguments,
                                const QProcessEnvironment& environment = programEnvironment(),
                                int stopAfterMs = 0) {
  QProcess program;
  program.setProcessEnvironment(environment);
  program.start(QStringLiteral(OSCILOSKOP_PROGRAM), arguments);
  ProgramResult run;
  if (stopAfterMs > 0 && !program.waitForFinished(stopAfterMs)) {
    program.terminate();
    run.exitCode = program.waitForFinished(10000) ? -2 : -1;  // -2: still running, as meant
  } else if (!program.waitForFinished(60000)) {
    return run;
  } else {
    run.exitCode = program.exitCode();
  }
  run.out = QString::fromUtf8(program.readAllStandardOutput());
  run.err = QString::fromUtf8(program.readAllStandardError());
  return run;
}

// An error as every error of the program reads: a line naming the option and the problem,
// then the usage line (and, after a device that matched nothing, the device list).
inline void expectOneLineThenUsage(const ProgramResult& run, const QString& named,
                                   const std::string& what) {
  EXPECT_EQ(run.exitCode, 2) << what << "\n" << run.err.toStdString();
  const QStringList lines = run.err.split('\n', Qt::SkipEmptyParts);
  ASSERT_GE(lines.size(), 2) << what << "\n" << run.err.toStdString();
  EXPECT_TRUE(lines[0].startsWith("osciloskop: --")) << what << "\n" << run.err.toStdString();
  EXPECT_TRUE(lines[0].contains(named)) << what << "\n" << run.err.toStdString();
  EXPECT_EQ(lines[1], "Usage: osciloskop [options]") << what << "\n" << run.err.toStdString();
  if (!lines[0].contains("device matches")) {
    EXPECT_EQ(lines.size(), 2) << what;
  }
}

inline std::vector<QJsonObject> jsonLines(const QString& text) {
  std::vector<QJsonObject> lines;
  for (const QString& line : text.split('\n', Qt::SkipEmptyParts)) {
    lines.push_back(QJsonDocument::fromJson(line.toUtf8()).object());
  }
  return lines;
}

// A 16-bit file whose channel c holds Round(10000 sin(2 pi f_c n / rate)).
inline void writeTones(const QString& path, int rate, const std::vector<double>& frequencies,
                       int frames) {
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
