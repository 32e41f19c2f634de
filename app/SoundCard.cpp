#include "SoundCard.h"

#include <cstdio>

#include "PortAudioCard.h"
#include "SimulatedCard.h"

namespace {

std::unique_ptr<SimulatedCard> makeSimulatedCard(const ProgramOptions& options, QString* error) {
  auto card = std::make_unique<SimulatedCard>(options.virtualTime ? SimulatedCard::ClockMode::Manual
                                                                  : SimulatedCard::ClockMode::Real);
  std::string reason;
  if (!options.inputFile.isEmpty()) {
    if (!card->setInputFile(options.inputFile.toStdString(), reason)) {
      *error = QString::fromStdString(reason);
      return nullptr;
    }
  }
  // Channel 0 is UR (the card's left input), channel 1 is UL.
  const std::pair<int, QString> sources[] = {{0, options.urSource}, {1, options.ulSource}};
  for (const auto& [channel, text] : sources) {
    if (text.isEmpty()) continue;
    auto source = parseSignalSource(text.toStdString(), reason);
    if (!source) {
      *error = QStringLiteral("--%1: %2")
                   .arg(channel == 0 ? "ur" : "ul", QString::fromStdString(reason));
      return nullptr;
    }
    card->setSource(channel, std::move(source));
  }
  return card;
}

}  // namespace

SoundCard::SoundCard(std::unique_ptr<WaveBackend> backend, SimulatedCard* simulated)
    : backend_(std::move(backend)), simulated_(simulated) {
  // A device that goes away, comes back or runs short is said on stderr, once each time.
  backend_->setStatusSink(
      [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
  installWaveBackend(backend_.get());
}

SoundCard::~SoundCard() {
  installWaveBackend(nullptr);
}

std::unique_ptr<SoundCard> SoundCard::open(const ProgramOptions& options, QString* error) {
  CardChoice choice = options.card;
  if (choice == CardChoice::Auto) {
    if (PortAudioCard::hasInputDevice()) {
      choice = CardChoice::PortAudio;
    } else {
      std::fputs("osciloskop: no sound card found: using the simulated card\n", stderr);
      choice = CardChoice::Simulated;
    }
  }
  if (choice == CardChoice::Simulated) {
    auto card = makeSimulatedCard(options, error);
    if (!card) return nullptr;
    SimulatedCard* simulated = card.get();
    return std::unique_ptr<SoundCard>(new SoundCard(std::move(card), simulated));
  }
  std::string reason;
  auto card = PortAudioCard::create(
      {options.inputDevice.toStdString(), options.outputDevice.toStdString()}, &reason);
  if (!card) {
    *error = QString::fromStdString(reason);
    return nullptr;
  }
  return std::unique_ptr<SoundCard>(new SoundCard(std::move(card), nullptr));
}
