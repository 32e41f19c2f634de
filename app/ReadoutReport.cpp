#include "ReadoutReport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <cmath>

#include "RangeSelection.h"
#include "TForm1.h"
#include "TimeBase.h"

namespace {

QJsonValue nameOrNull(const std::optional<std::string>& name) {
  return name ? QJsonValue(QString::fromStdString(*name)) : QJsonValue(QJsonValue::Null);
}

}  // namespace

QString readoutJson(const TForm1& form, double deviceTime, int64_t block,
                    std::optional<uint64_t> xruns) {
  const ScopeState& state = form.State();
  // The keys are written in this order, as scripts and people read them.
  const std::pair<const char*, QJsonValue> fields[] = {
      // Microseconds: the simulated card counts them; the real card's clock is rounded to them.
      {"t", std::round(deviceTime * 1e6) / 1e6},
      {"block", static_cast<qint64>(block)},
      {"Edit4", form.Edit4->text()},
      {"Edit12", form.Edit12->text()},
      {"Edit1", form.Edit1->text()},
      {"Edit8", form.Edit8->text()},
      {"Panel2", !form.Panel2->isHidden()},
      {"Panel14", !form.Panel14->isHidden()},
      {"ulRange", nameOrNull(AppliedRangeName(state, Channel::UL))},
      {"urRange", nameOrNull(AppliedRangeName(state, Channel::UR))},
      {"timeBase", nameOrNull(AppliedTimeBaseName(state))},
      {"traceStride", state.traceStride},
      {"traceOffset", state.traceOffset},
  };
  QString line = QStringLiteral("{");
  auto write = [&line](const char* key, const QJsonValue& value) {
    if (line.size() > 1) line += QStringLiteral(", ");
    // A one-element array serialises the value exactly as JSON would inside an object.
    const QString text =
        QString::fromUtf8(QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact));
    line += QStringLiteral("\"%1\": %2").arg(QString::fromUtf8(key), text.mid(1, text.size() - 2));
  };
  for (const auto& [key, value] : fields) write(key, value);
  if (xruns) write("xruns", static_cast<qint64>(*xruns));
  return line + QStringLiteral("}");
}
