#pragma once

// Tones for the conversion tests and the two figures they are checked by.

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

// `frames` frames of Round(amplitude * sin(2 pi hertz k / rate)), each value repeated over
// `channels` channels.
inline std::vector<int16_t> ToneFrames(double rate, double hertz, double amplitude,
                                       std::size_t frames, unsigned channels = 1) {
  std::vector<int16_t> values;
  values.reserve(frames * channels);
  for (std::size_t k = 0; k < frames; ++k) {
    const auto value = static_cast<int16_t>(
        std::lround(amplitude * std::sin(2 * std::numbers::pi * hertz * double(k) / rate)));
    for (unsigned c = 0; c < channels; ++c) values.push_back(value);
  }
  return values;
}

// Channel `channel` of interleaved frames.
inline std::vector<int16_t> ChannelOf(const std::vector<int16_t>& frames, unsigned channels,
                                      unsigned channel) {
  std::vector<int16_t> values;
  for (std::size_t i = channel; i < frames.size(); i += channels) values.push_back(frames[i]);
  return values;
}

// The frequency of a clean tone from its first and last rising zero crossing between `from`
// and `to`, both interpolated.
inline double ToneFrequency(const std::vector<int16_t>& values, std::size_t from, std::size_t to,
                            double rate) {
  double first = -1, last = -1;
  int periods = -1;
  for (std::size_t k = from + 1; k < to; ++k) {
    if (values[k - 1] < 0 && values[k] >= 0) {
      const double at = double(k - 1) + double(-values[k - 1]) / (values[k] - values[k - 1]);
      if (first < 0) first = at;
      last = at;
      ++periods;
    }
  }
  return periods * rate / (last - first);
}

inline double ToneRms(const std::vector<int16_t>& values, std::size_t from, std::size_t to) {
  double sum = 0;
  for (std::size_t k = from; k < to; ++k) sum += double(values[k]) * values[k];
  return std::sqrt(sum / double(to - from));
}
