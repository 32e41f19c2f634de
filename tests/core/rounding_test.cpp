#include "Rounding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

using osciloskop::RoundHalfEven;

namespace {

static_assert(RoundHalfEven(2.5) == 2 && RoundHalfEven(-3.5) == -4, "usable in constants");

constexpr double kTwo51 = 0x1p51;
constexpr double kTwo52 = 0x1p52;

struct RoundingCase {
  double value;
  int64_t rounded;
};

TEST(RoundHalfEvenTest, RoundsToNearestAndHalvesToEven) {
  const std::vector<RoundingCase> cases = {
      {0.0, 0},
      {-0.0, 0},
      {0.5, 0},
      {-0.5, 0},
      {1.5, 2},
      {-1.5, -2},
      {2.5, 2},
      {-2.5, -2},
      {3.5, 4},
      {-3.5, -4},
      {0.49999999999999994, 0},  // the double just below a half
      {-0.49999999999999994, 0},
      {2.5000000000000004, 3},  // and just above one
      {-2.5000000000000004, -3},
      {7.0, 7},
      {-7.0, -7},
      {1.0e9 + 0.5, 1000000000},  // the trace's limits
      {-1.0e9 - 0.5, -1000000000},
      {kTwo51 + 0.5, int64_t{1} << 51},  // the largest doubles with a half
      {kTwo51 + 1.5, (int64_t{1} << 51) + 2},
      {-(kTwo52 - 0.5), -(int64_t{1} << 52)},
      {kTwo52 + 1, (int64_t{1} << 52) + 1},  // integers from here on
      {0x1p53 + 2, (int64_t{1} << 53) + 2},
      {-0x1p62, -(int64_t{1} << 62)},
  };
  for (const RoundingCase& c : cases) {
    EXPECT_EQ(RoundHalfEven(c.value), c.rounded) << std::hexfloat << c.value;
  }
}

// The tone's samples are rounded in long double: a value a little above a half, which double
// would make the half itself, still rounds up.
TEST(RoundHalfEvenTest, LongDoubleKeepsItsOwnPrecision) {
  if constexpr (std::numeric_limits<long double>::digits < 64) {
    GTEST_SKIP() << "long double is no wider than double here";
  } else {
    const long double aboveHalf = 32766.5L + 0x1p-40L;
    EXPECT_EQ(static_cast<double>(aboveHalf), 32766.5);
    EXPECT_EQ(RoundHalfEven(aboveHalf), 32767);
    EXPECT_EQ(RoundHalfEven(static_cast<double>(aboveHalf)), 32766);
    EXPECT_EQ(RoundHalfEven(-32766.5L), -32766);
    EXPECT_EQ(RoundHalfEven(-32767.5L), -32768);
    EXPECT_EQ(RoundHalfEven(0x1p62L + 0.5L), int64_t{1} << 62);
    EXPECT_EQ(RoundHalfEven(-0x1p62L - 1.5L), -(int64_t{1} << 62) - 2);
  }
}

// What the library's rounding gives, over quarters (every half among them) and over doubles
// of every magnitude the result holds.
TEST(RoundHalfEvenTest, AgreesWithNearbyint) {
  for (int quarters = -40000; quarters <= 40000; ++quarters) {
    const double value = quarters / 4.0;
    ASSERT_EQ(RoundHalfEven(value), static_cast<int64_t>(std::nearbyint(value))) << value;
  }
  std::mt19937_64 random(14);
  std::uniform_int_distribution<int> exponent(-4, 62);
  std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
  for (int i = 0; i < 200000; ++i) {
    const double value = std::ldexp(mantissa(random), exponent(random));
    ASSERT_EQ(RoundHalfEven(value), static_cast<int64_t>(std::nearbyint(value)))
        << std::hexfloat << value;
    const long double extended = static_cast<long double>(value) + value * 0x1p-60L;
    ASSERT_EQ(RoundHalfEven(extended), static_cast<int64_t>(std::nearbyint(extended)))
        << std::hexfloat << static_cast<double>(extended);
  }
}

// Integer quotients round through the double quotient exactly as in integers.
TEST(RoundHalfEvenTest, QuotientsOfIntegers) {
  for (const int64_t denominator : {2, 10, 100, 1000}) {
    for (int64_t numerator = -30000; numerator <= 30000; ++numerator) {
      int64_t quotient = numerator / denominator;  // toward zero
      const int64_t twice = 2 * std::abs(numerator % denominator);
      const int64_t away = numerator < 0 ? -1 : 1;
      if (twice > denominator || (twice == denominator && quotient % 2 != 0)) quotient += away;
      ASSERT_EQ(RoundHalfEven(static_cast<double>(numerator) / denominator), quotient)
          << numerator << " / " << denominator;
    }
  }
  const int64_t large = (int64_t{1} << 52) - 5;  // odd, near the bound: an exact half
  EXPECT_EQ(RoundHalfEven(static_cast<double>(large) / 2), (large + 1) / 2);
}

}  // namespace
