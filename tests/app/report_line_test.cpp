// A report line's fields written as one JSON object (nested where their paths share keys)
// and as a CSV header and row.

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include "ReadoutReport.h"

using namespace osciloskop;

namespace {

struct LineCase {
  const char* name;
  ReportFields fields;
  const char* json;
  const char* header;
  const char* row;
};

}  // namespace

TEST(ReportLine, WritesJsonAndCsvOfTheSameFields) {
  const QJsonValue null(QJsonValue::Null);
  const std::vector<LineCase> cases = {
      {"flat",
       {{"t", 0.25}, {"ulLevel", " 332 mV"}, {"overRangeWarning", false}, {"ulRange", null}},
       R"({"t": 0.25, "ulLevel": " 332 mV", "overRangeWarning": false, "ulRange": null})",
       "t,ulLevel,overRangeWarning,ulRange",
       R"(0.25," 332 mV",false,)"},
      {"nested after flat, closed at the end",
       {{"block", 1},
        {"measured.UL.hz", 99.9999},
        {"measured.UL.signal", true},
        {"measured.UR.hz", null},
        {"measured.phaseDeg", 44.591}},
       R"({"block": 1, "measured": {"UL": {"hz": 99.9999, "signal": true}, "UR": {"hz": null}, )"
       R"("phaseDeg": 44.591}})",
       "block,measured.UL.hz,measured.UL.signal,measured.UR.hz,measured.phaseDeg",
       "1,99.9999,true,,44.591"},
      {"flat after nested", {{"a.b", 1}, {"c", 2}}, R"({"a": {"b": 1}, "c": 2})", "a.b,c", "1,2"},
      {"quotes and commas in a text",
       {{"x", "say \"hi\", then"}},
       R"({"x": "say \"hi\", then"})",
       "x",
       R"("say ""hi"", then")"},
      {"numbers as JSON writes them",
       {{"n", qint64(1) << 40}, {"small", 1.5e-05}},
       R"({"n": 1099511627776, "small": 1.5e-05})",
       "n,small",
       "1099511627776,1.5e-05"},
  };
  for (const LineCase& c : cases) {
    SCOPED_TRACE(c.name);
    const QString json = jsonLine(c.fields);
    EXPECT_EQ(json.toStdString(), c.json);
    EXPECT_FALSE(QJsonDocument::fromJson(json.toUtf8()).isNull()) << "valid JSON";
    EXPECT_EQ(csvHeader(c.fields).toStdString(), c.header);
    EXPECT_EQ(csvRow(c.fields).toStdString(), c.row);
  }
}
