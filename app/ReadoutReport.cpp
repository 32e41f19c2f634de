#include "ReadoutReport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>
#include <cmath>
#include <cstdio>

#include "BlockFiguresReport.h"
#include "Instrument.h"
#include "RangeSelection.h"
#include "TimeBase.h"

namespace osciloskop {

namespace {

QJsonValue nameOrNull(const std::optional<std::string>& name) {
  return name ? QJsonValue(QString::fromStdString(*name)) : QJsonValue(QJsonValue::Null);
}

// The value as JSON writes it inside an object or array.
QString jsonText(const QJsonValue& value) {
  const QString text =
      QString::fromUtf8(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact));
  return text.mid(1, text.size() - 2);
}

QJsonValue textOf(const ReadoutText& readout) {
  const std::string_view view = readout.view();
  return QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size()));
}

}  // namespace

ReportFields readoutFields(const Instrument& instrument, double deviceTime, int64_t block,
                           std::optional<uint64_t> xruns, bool volts) {
  const ScopeState& state = instrument.State();
  const InstrumentReadouts& readouts = instrument.Readouts();
  ReportFields fields = {
      // Microseconds: the simulated card counts them; the real card's clock is rounded to them.
      {QStringLiteral("t"), std::round(deviceTime * 1e6) / 1e6},
      {QStringLiteral("block"), static_cast<qint64>(block)},
      {QStringLiteral("ulLevel"), textOf(readouts.ulLevel)},
      {QStringLiteral("ulFrequency"), textOf(readouts.ulFrequency)},
      {QStringLiteral("urLevel"), textOf(readouts.urLevel)},
      {QStringLiteral("urFrequency"), textOf(readouts.urFrequency)},
      {QStringLiteral("overRangeWarning"), readouts.overRangeWarning},
      {QStringLiteral("displayLimitWarning"), readouts.displayLimitWarning},
      {QStringLiteral("ulRange"), nameOrNull(AppliedRangeName(state, Channel::UL))},
      {QStringLiteral("urRange"), nameOrNull(AppliedRangeName(state, Channel::UR))},
      {QStringLiteral("timeBase"), nameOrNull(AppliedTimeBaseName(state))},
      {QStringLiteral("traceStride"), state.traceStride},
      {QStringLiteral("traceOffset"), state.traceOffset},
  };
  if (xruns) fields.push_back({QStringLiteral("xruns"), static_cast<qint64>(*xruns)});
  appendFigureFields(fields, instrument.Figures(), volts);
  return fields;
}

QString jsonLine(const ReportFields& fields) {
  QString line;
  QStringList open;  // the keys of the objects open around the next field
  for (const ReportField& field : fields) {
    const QStringList keys = field.path.split(u'.');
    qsizetype shared = 0;
    while (shared < open.size() && shared + 1 < keys.size() && open[shared] == keys[shared])
      ++shared;
    for (qsizetype i = open.size(); i > shared; --i) line += u'}';
    open.resize(shared);
    line += line.isEmpty() ? QStringLiteral("{") : QStringLiteral(", ");
    for (qsizetype i = shared; i + 1 < keys.size(); ++i) {
      line += QStringLiteral("\"%1\": {").arg(keys[i]);
      open.append(keys[i]);
    }
    line += QStringLiteral("\"%1\": %2").arg(keys.last(), jsonText(field.value));
  }
  if (line.isEmpty()) return QStringLiteral("{}");
  for (qsizetype i = 0; i <= open.size(); ++i) line += u'}';
  return line;
}

QString csvHeader(const ReportFields& fields) {
  QStringList names;
  for (const ReportField& field : fields) names << field.path;
  return names.join(u',');
}

QString csvRow(const ReportFields& fields) {
  QStringList cells;
  for (const ReportField& field : fields) {
    if (field.value.isString()) {
      QString text = field.value.toString();
      cells << u'"' + text.replace(u'"', QStringLiteral("\"\"")) + u'"';
    } else {
      cells << (field.value.isNull() ? QString() : jsonText(field.value));
    }
  }
  return cells.join(u',');
}

void ReportPrinter::print(const ReportFields& fields) {
  if (format_ == ReportFormat::Csv && !headerPrinted_) {
    std::printf("%s\n", csvHeader(fields).toUtf8().constData());
    headerPrinted_ = true;
  }
  const QString line = format_ == ReportFormat::Csv ? csvRow(fields) : jsonLine(fields);
  std::printf("%s\n", line.toUtf8().constData());
  std::fflush(stdout);
}

}  // namespace osciloskop
