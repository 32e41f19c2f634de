#pragma once

// The screen's grid and scales: their geometry and colours, the text of the scale numbers,
// and the drawing of both on the canvas. The window's DrawGrid and DrawScale run the
// drawing with its own canvas, state and client height.

#include <QRgb>
#include <array>
#include <string_view>

#include "Canvas.h"
#include "ScopeState.h"

namespace osciloskop {

constexpr int kScreenCentreX = 400;  // the client width never enters the geometry
constexpr int kDivision = 20;        // pixels per division on both axes
constexpr int kGridDivisions = 10;   // divisions on each side of each axis

// Vertical centre line of the grid and the scales: half the client height, truncated.
constexpr int GridCentreY(int clientHeight) {
  return clientHeight / 2;
}

inline constexpr QRgb kGridColor = qRgb(100, 100, 100);
inline constexpr QRgb kScaleColor = qRgb(255, 255, 0);            // ticks and UL numbers
inline constexpr QRgb kScaleNumberColorY = qRgb(255, 255, 255);   // UR numbers
inline constexpr QRgb kPenColorAfterScale = qRgb(255, 255, 255);  // what the scale leaves

// The gaps the grid leaves around the axes, where the scale numbers stand, in pixels from
// the axis: the horizontal lines stop left and right of the vertical axis, the vertical
// lines below and above the horizontal one.
constexpr int kGridGapLeft = 20;
constexpr int kGridGapRight = 10;
constexpr int kGridGapBelow = 15;
constexpr int kGridGapAbove = 4;

// The ticks on both axes: minor ones every kMinorTickSpacing pixels out to
// kMinorTickCount of them (220 px), major ones at every division; each reaches the given
// number of pixels to both sides of its axis.
constexpr int kMinorTickSpacing = 4;
constexpr int kMinorTickCount = 55;
constexpr int kMinorTickReach = 2;
constexpr int kMajorTickReach = 4;

// The scale numbers by their top-left corners: the UL numbers (every second division, five
// on each side) kNumberLeftOfTickX left of their tick and kNumberBelowAxisX below the axis;
// the UR numbers (every division) kNumberLeftOfAxisY left of the axis and kNumberAboveTickY
// above their tick.
constexpr int kNumberCountX = 5;
constexpr int kNumberLeftOfTickX = 10;
constexpr int kNumberBelowAxisX = 2;
constexpr int kNumberLeftOfAxisY = 30;
constexpr int kNumberAboveTickY = 7;

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

// Grey grid lines of 20-pixel divisions, ten on each side of each axis, none on the axes,
// with gaps around the axes where the scale numbers stand.
void DrawGraticule(Canvas& canvas, int clientHeight);

// Yellow ticks on both axes, the yellow UL numbers along the horizontal axis and the
// white UR numbers along the vertical one, from the division values in force. Leaves the
// pen white and one pixel wide and the font white.
void DrawScaleLabels(Canvas& canvas, const ScopeState& state, int clientHeight);

}  // namespace osciloskop
