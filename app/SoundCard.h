#pragma once

// The sound card a run uses: the real one through PortAudio, or the simulated card with
// the signal sources the command line gives. Made before the main window, installed behind
// the wave functions, and removed after the window is gone.

#include <QString>
#include <memory>

#include "CommandLine.h"

class SimulatedCard;
class WaveBackend;

class SoundCard {
 public:
  // Chooses and makes the card; null with *error set (one line) when that fails.
  static std::unique_ptr<SoundCard> open(const ProgramOptions& options, QString* error);
  ~SoundCard();

  WaveBackend& backend() { return *backend_; }
  // The simulated card when it is in use, else null.
  SimulatedCard* simulated() { return simulated_; }

 private:
  SoundCard(std::unique_ptr<WaveBackend> backend, SimulatedCard* simulated);

  std::unique_ptr<WaveBackend> backend_;
  SimulatedCard* simulated_;
};
