#include "Trace.h"

#include <algorithm>

namespace osciloskop {

namespace {

constexpr int kLastIndex = kChannelLength - 1;

void DrawTraceSegments(Canvas& canvas, const ScopeState& state, int clientHeight) {
  const TraceMapping mapping(state, clientHeight);
  const int offset = state.traceOffset;
  // Keeps every point inside the channel arrays whatever the state holds.
  const int stride = std::clamp(state.traceStride, 0, (kLastIndex - offset) / kTracePoints);
  canvas.SetPenWidth(1);
  ScreenPoint previousFrom = mapping.Map(state.ulPrevious[stride], state.urPrevious[stride]);
  ScreenPoint from =
      mapping.Map(state.ulSamples[offset + stride], state.urSamples[offset + stride]);
  for (int p = 2; p <= kTracePoints; ++p) {
    const int index = p * stride;
    const ScreenPoint previousTo = mapping.Map(state.ulPrevious[index], state.urPrevious[index]);
    const ScreenPoint to =
        mapping.Map(state.ulSamples[offset + index], state.urSamples[offset + index]);
    // While the block is unchanged the new segment is the old one, which the aqua line
    // covers pixel for pixel: the black line would change nothing.
    if (previousFrom != from || previousTo != to) {
      canvas.SetPenColor(kEraseColor);
      DrawLine(canvas, previousFrom.x, previousFrom.y, previousTo.x, previousTo.y);
    }
    canvas.SetPenColor(kTraceColor);
    DrawLine(canvas, from.x, from.y, to.x, to.y);
    previousFrom = previousTo;
    from = to;
  }
}

}  // namespace

void StorePreviousTrace(ScopeState& state) {
  const int offset = state.traceOffset;
  const int count = std::min(state.sampleCount, kLastIndex - offset);
  if (count <= 0) return;
  std::copy_n(state.ulSamples.begin() + offset + 1, count, state.ulPrevious.begin() + 1);
  std::copy_n(state.urSamples.begin() + offset + 1, count, state.urPrevious.begin() + 1);
}

TraceMapping::TraceMapping(const ScopeState& state, int clientHeight)
    : scaleX(state.traceScaleX),
      gainX(state.ulGain),
      scaleY(state.traceScaleY),
      gainY(state.urGain),
      centreY(clientHeight / 2.0) {}

void DrawTrace(Canvas& canvas, ScopeState& state, int clientHeight) {
  DrawTraceSegments(canvas, state, clientHeight);
  StorePreviousTrace(state);
}

}  // namespace osciloskop
