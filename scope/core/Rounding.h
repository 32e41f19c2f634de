#pragma once

// The one rounding of the program: to the nearest integer, an exact half to the even
// neighbour. Every "nearest" conversion uses it: the readouts, the trace's pixels, the
// generator slider's steps and the tone's samples.

#include <concepts>
#include <cstdint>
#include <limits>

// The integer nearest to `value`; of two equally near, the even one: 0.5 -> 0, 1.5 -> 2,
// 2.5 -> 2, -0.5 -> 0, -1.5 -> -2, -2.5 -> -2. Exact for every value of the type (double,
// long double, ...): the result is the one std::nearbyint gives in the default rounding mode,
// which the program never changes. As for any conversion, the result must fit in int64_t.
//
// The quotient n / d of two integers, |n| < 2^52, rounds the same way through
// RoundHalfEven(double(n) / d): the division's error, at most |n / d| 2^-53, stays below the
// 1 / (2 |d|) by which a quotient that is not a half misses one.
//
// Inline, with no library call, and usable in constant expressions: the trace rounds two
// coordinates for every point of every frame. Let P = 2^(p-1), p the bits of the type's
// mantissa. Within +-P/2 the sum of the value and 1.5 P (an even integer) lies between P and
// 2 P, where the type keeps no fraction, so the addition itself rounds to the nearest
// integer, halves to even, and the subtraction is exact. Up to P the same holds for the
// magnitude plus P; from P on every value is an integer.
namespace osciloskop {

template <std::floating_point T>
constexpr int64_t RoundHalfEven(T value) {
  constexpr T kFirstWithoutFraction = [] {
    T power = 1;
    for (int bit = 1; bit < std::numeric_limits<T>::digits; ++bit) power *= 2;
    return power;
  }();
  constexpr T kHalfway = kFirstWithoutFraction / 2;
  constexpr T kBias = kFirstWithoutFraction + kHalfway;
  if (value > -kHalfway && value < kHalfway) {
    return static_cast<int64_t>((value + kBias) - kBias);
  }
  const T magnitude = value < 0 ? -value : value;
  if (!(magnitude < kFirstWithoutFraction)) return static_cast<int64_t>(value);
  const T rounded = (magnitude + kFirstWithoutFraction) - kFirstWithoutFraction;
  return static_cast<int64_t>(value < 0 ? -rounded : rounded);
}

}  // namespace osciloskop
