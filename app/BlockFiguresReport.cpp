#include "BlockFiguresReport.h"

#include <cmath>

namespace osciloskop {

namespace {

// The figures are rounded to the digits they carry, so that a line does not print the
// binary fraction's noise: the frequency to 0.1 mHz (a millionth of 100 Hz), levels to a
// hundredth of a count, dB and degrees to a thousandth, volts and the ratio to six digits.
constexpr int kHzDecimals = 4;
constexpr int kCountDecimals = 2;
constexpr int kDecibelDecimals = 3;
constexpr int kDegreeDecimals = 3;
constexpr int kSignificantDigits = 6;

// Adding 0 turns a -0 into 0, which JSON would otherwise print as "-0".
double roundedTo(double value, int decimals) {
  if (decimals < 0) {
    const double scale = std::pow(10.0, -decimals);
    return std::round(value / scale) * scale + 0.0;
  }
  const double scale = std::pow(10.0, decimals);
  return std::round(value * scale) / scale + 0.0;
}

double roundedToSignificant(double value) {
  if (value == 0 || !std::isfinite(value)) return value;
  const int magnitude = static_cast<int>(std::floor(std::log10(std::abs(value))));
  return roundedTo(value, kSignificantDigits - 1 - magnitude);
}

QJsonValue roundedOrNull(const std::optional<double>& value, int decimals) {
  return value ? QJsonValue(roundedTo(*value, decimals)) : QJsonValue(QJsonValue::Null);
}

QJsonValue significantOrNull(const std::optional<double>& value) {
  return value ? QJsonValue(roundedToSignificant(*value)) : QJsonValue(QJsonValue::Null);
}

// The paths of one channel's fields, made once: the report writes them for every block.
struct ChannelPaths {
  explicit ChannelPaths(const char* prefix)
      : hz(path(prefix, "hz")),
        rmsCounts(path(prefix, "rmsCounts")),
        peakCounts(path(prefix, "peakCounts")),
        dcCounts(path(prefix, "dcCounts")),
        dBFS(path(prefix, "dBFS")),
        rmsVolts(path(prefix, "rmsVolts")),
        clipped(path(prefix, "clipped")),
        signal(path(prefix, "signal")) {}
  static QString path(const char* prefix, const char* key) {
    return QString::fromUtf8(prefix) + QString::fromUtf8(key);
  }
  QString hz, rmsCounts, peakCounts, dcCounts, dBFS, rmsVolts, clipped, signal;
};

}  // namespace

void appendFigureFields(ReportFields& fields, const BlockFigures& figures, bool volts) {
  static const ChannelPaths ulPaths("measured.UL."), urPaths("measured.UR.");
  const std::pair<const ChannelPaths&, const ChannelFigures&> channels[] = {{ulPaths, figures.ul},
                                                                            {urPaths, figures.ur}};
  for (const auto& [paths, channel] : channels) {
    fields.push_back({paths.hz, roundedOrNull(channel.hz, kHzDecimals)});
    fields.push_back({paths.rmsCounts, roundedTo(channel.rmsCounts, kCountDecimals)});
    fields.push_back({paths.peakCounts, channel.peakCounts});
    fields.push_back({paths.dcCounts, roundedTo(channel.dcCounts, kCountDecimals)});
    fields.push_back({paths.dBFS, roundedOrNull(channel.dBFS, kDecibelDecimals)});
    if (volts) fields.push_back({paths.rmsVolts, significantOrNull(channel.rmsVolts)});
    fields.push_back({paths.clipped, channel.clipped});
    fields.push_back({paths.signal, channel.signal});
  }
  fields.push_back(
      {QStringLiteral("measured.phaseDeg"), roundedOrNull(figures.phaseDeg, kDegreeDecimals)});
  fields.push_back({QStringLiteral("measured.ratio"), significantOrNull(figures.ratio)});
}

}  // namespace osciloskop
