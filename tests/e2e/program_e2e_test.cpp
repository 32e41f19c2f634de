// The whole program on a real sound server: the generator's tone leaves through PortAudio
// into the null sink, comes back from its monitor (the default source) into the input, and
// the readouts measure it.

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

TEST(ProgramOnSoundServer, MeasuresItsOwnGeneratorTone) {
  QProcess program;
  program.start(QStringLiteral(OSCILOSKOP_PROGRAM),
                {"--card", "portaudio", "--headless", "--seconds", "4", "--report", "--time-base",
                 "0", "--generator-frequency", "500"});
  ASSERT_TRUE(program.waitForFinished(60000));
  const QString err = QString::fromUtf8(program.readAllStandardError());
  ASSERT_EQ(program.exitCode(), 0) << err.toStdString();

  // The first capture may start before the tone has reached the sink; by the end of the
  // run the tone fills the recorded block.
  const QStringList lines =
      QString::fromUtf8(program.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
  ASSERT_GE(lines.size(), 4) << err.toStdString();
  const QJsonObject last = QJsonDocument::fromJson(lines.last().toUtf8()).object();
  // 500 Hz measured from one half-wave of the smoothed signal, which the smoothing and the
  // edge search lengthen by a few values (as 1000 Hz reads 918.75 Hz), shown to ten hertz.
  const QStringList frequencies = {"  460 Hz", "  470 Hz", "  480 Hz", "  490 Hz", "  500 Hz"};
  EXPECT_TRUE(frequencies.contains(last["Edit8"].toString())) << lines.last().toStdString();
  EXPECT_TRUE(frequencies.contains(last["Edit12"].toString())) << lines.last().toStdString();
  // Amplitude 10000 over half of the channel array: about 332 mV on both channels.
  for (const char* level : {"Edit1", "Edit4"}) {
    const double millivolts = last[level].toString().remove(" mV").toDouble();
    EXPECT_NEAR(millivolts, 332, 20) << lines.last().toStdString();
  }
}
