// The command line: what each run asks for, and how bad input is refused.

#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include "CommandLine.h"

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

TEST(CommandLine, ReadsTheRunOptions) {
  const ParsedCommandLine result =
      parse({"--headless", "--seconds", "1.5", "--screenshot", "/tmp/x.png"});
  ASSERT_FALSE(result.exitNow) << result.error.toStdString();
  EXPECT_TRUE(result.options.headless);
  EXPECT_DOUBLE_EQ(result.options.seconds.value(), 1.5);
  EXPECT_EQ(result.options.screenshot, QStringLiteral("/tmp/x.png"));

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
