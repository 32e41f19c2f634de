// The options a user reads about: the README's option table, the program's --help and the
// man page made from it name the same options.

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
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

// The first column of the README's table whose header row starts with `header`. A "\|"
// inside a cell is part of the text.
QString readmeTableColumn(QLatin1StringView header) {
  static const QRegularExpression cellBorder(QStringLiteral("(?<!\\\\)\\|"));
  QString column;
  bool inTable = false;
  for (const QString& line :
       readText(QStringLiteral(OSCILOSKOP_SOURCE_DIR "/README.md")).split('\n')) {
    if (line.startsWith(header)) {
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
  const OptionNames readme = optionNames(readmeTableColumn(QLatin1String("| option |")));
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

// The report line's fields: the README's table, the man page and the JSON Schema the package
// ships name the same ones.
TEST(Documentation, ReadmeManPageAndSchemaNameTheSameReportFields) {
  static const QRegularExpression name(QStringLiteral("`([A-Za-z]+)`"));
  std::set<QString> readme;
  for (const QRegularExpressionMatch& match :
       name.globalMatch(readmeTableColumn(QLatin1String("| field | meaning |")))) {
    readme.insert(match.captured(1));
  }
  const QJsonObject schema =
      QJsonDocument::fromJson(
          readText(QStringLiteral(OSCILOSKOP_SOURCE_DIR "/data/report-line.schema.json")).toUtf8())
          .object()["properties"]
          .toObject();
  std::set<QString> schemaFields;
  for (const QString& key : schema.keys()) schemaFields.insert(key);
  EXPECT_EQ(readme, schemaFields);
  const QString manPage = readText(QStringLiteral(OSCILOSKOP_MAN_PAGE));
  for (const QString& field : schemaFields) {
    // In bold: "\fBfield" or a line ".B field".
    const QRegularExpression bold(QStringLiteral("(\\\\fB|^\\.B )%1\\b").arg(field),
                                  QRegularExpression::MultilineOption);
    EXPECT_TRUE(manPage.contains(bold)) << "the man page lacks " << field.toStdString();
  }
}
