#include "Graticule.h"

#include <algorithm>
#include <cstdio>

std::string_view FormatScaleNumber(double value, int fieldWidth, double divisionValue,
                                   ScaleText& buffer) {
  const int decimals = divisionValue >= 1.0 ? 0 : 1;
  const int length =
      std::snprintf(buffer.data(), buffer.size(), "%*.*f", fieldWidth, decimals, value);
  if (length < 0) return {};
  return {buffer.data(), std::min(static_cast<size_t>(length), buffer.size() - 1)};
}
