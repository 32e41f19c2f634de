#pragma once

// Signals for the simulated card's line input, one per channel.

#include <cstdint>
#include <memory>
#include <string>

// What the card's line output played, kept with the time each sample played.
class LineOutputHistory {
 public:
  virtual ~LineOutputHistory() = default;
  // The output sample that was playing at input frame `frame` of a `frameRate` clock
  // (frame 0 = the card's time 0); 0 for silence or for times no longer (or not yet) kept.
  virtual int16_t playedAt(int64_t frame, uint32_t frameRate) const = 0;
};

class SignalSource {
 public:
  virtual ~SignalSource() = default;
  // The value at absolute frame `frame` of a `frameRate` clock (frame 0 = the card's time 0),
  // clipped to -32768..32767. Frames are asked for in increasing order.
  virtual int16_t sample(int64_t frame, uint32_t frameRate, const LineOutputHistory& line) = 0;
};

// Parses `sine:FREQ[:AMPLITUDE[:PHASE_DEG]]`, `square:...`, `triangle:...` (amplitude in
// counts, default 10000), `dc:VALUE`, `noise:AMPLITUDE[:SEED]`, `silence`,
// `file:PATH[:CHANNEL]` (44100 Hz, one or two channels, looped), `loopback` and
// `loopback-rc:CORNER_HZ`. On bad input: null and a one-line `error`.
std::unique_ptr<SignalSource> parseSignalSource(const std::string& text, std::string& error);

// Both channels of an audio file (a mono file feeds both): first channel into `first`,
// second into `second`. False and a one-line `error` when the file does not fit.
bool loadFileSources(const std::string& path, std::unique_ptr<SignalSource>& first,
                     std::unique_ptr<SignalSource>& second, std::string& error);
