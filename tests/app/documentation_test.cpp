// The options a user reads about: the README's option table, the program's --help and the
// man page made from it name the same options.

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <set>
#include <string>

#include "CommandLine.h"

using namespace osciloskop;

namespace {

using OptionNames = std::set<std::string>;

QString readText(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

// Every --name the text mentions.
OptionNames optionNames(const QString& text) {
  static const QRegularExpression option(QStringLiteral("--([a-z][a-z-]*)"));
  OptionNames names;
  for (const QRegularExpressionMatch& match : option.globalMatch(text)) {
    names.insert(match.captured(1).toStdString());
  }
  return names;
}

// The first column of the README's option table. A "\|" inside a cell is part of the text.
QString readmeOptionColumn() {
  static const QRegularExpression cellBorder(QStringLiteral("(?<!\\\\)\\|"));
  QString column;
  bool inTable = false;
  for (const QString& line :
       readText(QStringLiteral(OSCILOSKOP_SOURCE_DIR "/README.md")).split('\n')) {
    if (line.startsWith(QLatin1String("| option |"))) {
      inTable = true;
    } else if (inTable && !line.startsWith('|')) {
      break;
    } else if (inTable) {
      column += line.split(cellBorder).value(1) + '\n';
    }
  }
  return column;
}

}  // namespace

TEST(Documentation, ReadmeHelpAndManPageNameTheSameOptions) {
  const OptionNames readme = optionNames(readmeOptionColumn());
  ASSERT_GT(readme.size(), 10u) << "the README's option table was not found";
  const OptionNames help = optionNames(
      parseCommandLine({QStringLiteral("osciloskop"), QStringLiteral("--help")}).output);
  EXPECT_EQ(help, readme) << "--help and the README's option table list different options";

  // help2man writes each option of the OPTIONS section in bold, its hyphens escaped.
  const QString manPage = readText(QStringLiteral(OSCILOSKOP_MAN_PAGE)).replace("\\-", "-");
  ASSERT_FALSE(manPage.isEmpty());
  for (const std::string& name : readme) {
    EXPECT_TRUE(manPage.contains(QString::fromStdString("\\fB--" + name + "\\fR")))
        << "the man page lacks --" << name;
  }
}
