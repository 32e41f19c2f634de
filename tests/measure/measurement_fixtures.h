#pragma once

// Scope states and capture blocks for the measurement tests.

#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>

#include "ChannelFields.h"
#include "FrequencyMeasurement.h"
#include "ScopeState.h"

namespace osciloskop {

constexpr int kBlockValues = 22050;  // values of a standard capture block
constexpr int kBlockFrames = kBlockValues / 2;

// A scope state with the measurement's start values, holding a zero block.
inline std::unique_ptr<ScopeState> StartedState() {
  auto state = std::make_unique<ScopeState>();
  state->sampleCount = kBlockValues;
  state->millivoltsPerCount = 0.066424;
  state->ulGain = state->urGain = 1.0;
  state->ulDivisionValue = state->urDivisionValue = 10.0;
  state->ulSmoothing = state->urSmoothing = 16;
  state->ulFrequency = state->urFrequency = 40.0;
  state->ulAutoRange = state->urAutoRange = 1;
  state->autoTimeBase = 1;
  state->traceStride = 6;
  return state;
}

inline ChannelFields FieldsOf(ScopeState& state, Channel channel) {
  return channel == Channel::UL ? UlFields(state) : UrFields(state);
}

// Writes a standard block whose frames k = 0 ... 11024 carry ul(k) and ur(k), counted as
// a new capture as the hand-off counts it.
inline void FillBlock(ScopeState& state, auto ul, auto ur) {
  state.sampleCount = kBlockValues;
  for (int k = 0; k < kBlockFrames; ++k) {
    state.captureBuffer[2 * k] = ur(k);
    state.captureBuffer[2 * k + 1] = ul(k);
  }
  ++state.captureGeneration;
}

// Round(amplitude * sin(2 pi f k / 44100)), as a sound card would deliver a sine.
inline auto Sine(double amplitude, double hertz) {
  return [=](int k) {
    return static_cast<int32_t>(
        std::nearbyint(amplitude * std::sin(2 * std::numbers::pi * hertz * k / 44100)));
  };
}

inline auto Constant(int32_t value) {
  return [=](int) { return value; };
}

// A square wave of `amplitude`, positive on [0, halfLength), negative on the next
// halfLength values, and so on.
inline auto Square(int32_t amplitude, int halfLength) {
  return [=](int k) { return (k / halfLength) % 2 == 0 ? amplitude : -amplitude; };
}

// Computes every entry the latest follower run still owes, as a run computing all its
// entries at once would have.
inline void SettleBacklog(FollowerArrays arrays) {
  SmoothUpTo(arrays, arrays.backlog.last);
}

}  // namespace osciloskop
