#pragma once

// What a display frame draws on the canvas: the grid, the scales with their numbers, and
// the X-Y trace erased and redrawn segment by segment. The window's DrawGrid, DrawScale
// and DrawDisplay run these with its own canvas, state and client height.

#include "Canvas.h"
#include "ScopeState.h"

inline constexpr QRgb kGridColor = qRgb(100, 100, 100);
inline constexpr QRgb kScaleColor = qRgb(255, 255, 0);
inline constexpr QRgb kScaleNumberColorY = qRgb(255, 255, 255);
inline constexpr QRgb kTraceColor = qRgb(0, 255, 255);
inline constexpr QRgb kEraseColor = qRgb(0, 0, 0);

// Grey grid lines of 20-pixel divisions, ten on each side of each axis, none on the axes,
// with gaps around the axes where the scale numbers stand.
void DrawGraticule(Canvas& canvas, int clientHeight);

// Yellow ticks on both axes, the yellow UL numbers along the horizontal axis and the
// white UR numbers along the vertical one, from the division values in force. Leaves the
// pen white and one pixel wide and the font white.
void DrawScaleLabels(Canvas& canvas, const ScopeState& state, int clientHeight);

// The X-Y trace, once urStart holds the first negative UR sample: the trigger gives
// traceOffset; then for every segment of the figure the previous frame's segment is drawn
// in black and the new one in aqua, traceStride channel entries apart; last the values
// drawn are kept for the next frame's erasing. Leaves the pen aqua, one pixel wide.
void DrawTrace(Canvas& canvas, ScopeState& state, int clientHeight);
