#pragma once

// Geometry of the screen's grid and scales, and the text of the scale numbers.
// Qt-free, so that the numbers can be checked on their own.

#include <array>
#include <string_view>

constexpr int kScreenCentreX = 400;  // the client width never enters the geometry
constexpr int kDivision = 20;        // pixels per division on both axes
constexpr int kGridDivisions = 10;   // divisions on each side of each axis

// Vertical centre line of the grid and the scales: half the client height, truncated.
constexpr int GridCentreY(int clientHeight) {
  return clientHeight / 2;
}

// Room for one scale number.
using ScaleText = std::array<char, 40>;

// The scale number `value` in fixed-point notation, right-aligned in a field of at least
// `fieldWidth` characters: without fraction digits when the axis has at least 1.0 per
// division, with one otherwise. The text lives in `buffer`.
std::string_view FormatScaleNumber(double value, int fieldWidth, double divisionValue,
                                   ScaleText& buffer);

// Field widths of the numbers on the horizontal (UL) and the vertical (UR) axis.
constexpr int kScaleFieldX = 2;
constexpr int kScaleFieldY = 3;
