#pragma once

// The instrument's readouts as one report line for scripts: the readout texts exactly as
// the window shows them, the warnings, the range and time base in force, the trace
// position, the block's measured figures, and for a live run the sound card's over- and
// underruns so far. A line is written as JSON, or as a row of CSV under a header row.

#include <QJsonValue>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace osciloskop {

class Instrument;

// One field of a report line, named by its path of JSON keys: "measured.UL.hz" is the key
// "hz" of the object "UL" of the object "measured".
struct ReportField {
  QString path;
  QJsonValue value;
};
// The fields of a line in the order they are written, as scripts and people read them.
using ReportFields = std::vector<ReportField>;

// The line of the block the instrument took last, its figures as the object "measured"
// (with rmsVolts when `volts`); `xruns` only for a live run.
ReportFields readoutFields(const Instrument& instrument, double deviceTime, int64_t block,
                           std::optional<uint64_t> xruns, bool volts);

// The line as one JSON object on one line: consecutive fields that share a path's first
// keys go into one nested object.
QString jsonLine(const ReportFields& fields);
// The CSV header: each column named by the field's path.
QString csvHeader(const ReportFields& fields);
// The CSV row: texts in double quotes (quotes doubled), numbers and true/false as JSON
// writes them, an empty cell for null.
QString csvRow(const ReportFields& fields);

enum class ReportFormat { Json, Csv };

// Prints report lines to stdout, flushed at once so that a script reads each as it comes;
// as CSV the header row goes before the first line.
class ReportPrinter {
 public:
  explicit ReportPrinter(ReportFormat format) : format_(format) {}
  void print(const ReportFields& fields);

 private:
  const ReportFormat format_;
  bool headerPrinted_ = false;
};

}  // namespace osciloskop
