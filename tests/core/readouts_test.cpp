#include "Readouts.h"

#include <gtest/gtest.h>

#include <vector>

using namespace osciloskop;

namespace {

struct LevelTextCase {
  double millivolts;
  const char* text;
};

TEST(LevelTextTest, FormatsByRowWithHalfEvenRounding) {
  // Each row's bound and the half-even ties: 2.5 tenths round to 2, 100.5 to 100, the
  // third decimal of 1.235 V and 1.245 V to even (and of 9.985 V and 9.995 V, the second
  // carrying into the volts); 99.96 mV stays in the first row.
  const std::vector<LevelTextCase> cases = {
      {0.0, " 0.0 mV"},    {0.25, " 0.2 mV"},  {5.34, " 5.3 mV"},   {99.94, "99.9 mV"},
      {99.96, "100.0 mV"}, {100.0, " 100 mV"}, {100.5, " 100 mV"},  {101.5, " 102 mV"},
      {150.4, " 150 mV"},  {999.4, " 999 mV"}, {999.6, "1000 mV"},  {1000.0, "1.00 V"},
      {1234.4, "1.23 V"},  {1235.0, "1.24 V"}, {1245.0, "1.24 V"},  {1245.6, "1.25 V"},
      {1540.2, "1.54 V"},  {9985.0, "9.98 V"}, {9995.0, "10.00 V"}, {12345.5, "12.35 V"},
  };

  for (const LevelTextCase& c : cases) {
    EXPECT_EQ(LevelText(c.millivolts).view(), c.text) << c.millivolts << " mV";
  }
}

}  // namespace
