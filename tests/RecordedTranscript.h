#pragma once

// Transcripts recorded once from the program as it was released, kept in the source tree:
// a test produces the same transcript now and compares it line by line, so that a change
// of the code behind the window or the reports shows as the first line that differs. With
// OSCILOSKOP_RECORD set in the environment the test writes the transcript instead.

#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>
#include <QTextStream>

inline void expectRecordedTranscript(const QString& path, const QStringList& lines) {
  if (qEnvironmentVariableIsSet("OSCILOSKOP_RECORD")) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    QTextStream out(&file);
    for (const QString& line : lines) out << line << '\n';
    return;
  }
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
  const QStringList recorded = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
  for (qsizetype i = 0; i < std::min(recorded.size(), lines.size()); ++i) {
    ASSERT_EQ(lines[i].toStdString(), recorded[i].toStdString())
        << path.toStdString() << ", line " << i + 1;
  }
  ASSERT_EQ(lines.size(), recorded.size()) << path.toStdString();
}
