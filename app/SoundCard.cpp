#include "SoundCard.h"

#include <cstdio>

#include "wave/PortAudioCard.h"
#include "wave/SimulatedCard.h"

namespace osciloskop {

namespace {

// Channel 0 is UR (the card's left input), channel 1 is UL.
std::array<QString, 2> sourceOptionsOf(const ProgramOptions& options) {
  if (!options.inputFile.isEmpty()) return {QStringLiteral("--input"), QStringLiteral("--input")};
  return {QStringLiteral("--ur"), QStringLiteral("--ul")};
}

void printNote(const QString& option, const std::string& note) {
  if (!note.empty()) std::fprintf(stderr, "osciloskop: %s: %s\n", qPrintable(option), note.c_str());
}

std::unique_ptr<SimulatedCard> makeSimulatedCard(const ProgramOptions& options, QString* error) {
  auto card = std::make_unique<SimulatedCard>(options.virtualTime ? SimulatedCard::ClockMode::Manual
                                                                  : SimulatedCard::ClockMode::Real);
  std::string reason;
  if (!options.inputFile.isEmpty()) {
    std::unique_ptr<SignalSource> first;
    std::unique_ptr<SignalSource> second;
    if (!loadFileSources(options.inputFile.toStdString(), first, second, reason)) {
      *error = QStringLiteral("--input: %1").arg(QString::fromStdString(reason));
      return nullptr;
    }
    printNote(QStringLiteral("--input"), first->note());
    card->setSource(0, std::move(first));
    card->setSource(1, std::move(second));
  }
  const std::array<QString, 2> names = sourceOptionsOf(options);
  const std::pair<int, QString> sources[] = {{0, options.urSource}, {1, options.ulSource}};
  for (const auto& [channel, text] : sources) {
    if (text.isEmpty()) continue;
    auto source = parseSignalSource(text.toStdString(), reason);
    if (!source) {
      *error = QStringLiteral("%1: %2").arg(names[channel], QString::fromStdString(reason));
      return nullptr;
    }
    printNote(names[channel], source->note());
    card->setSource(channel, std::move(source));
  }
  return card;
}

// The option a failed choice of PortAudio devices is about: the device not found, or else
// the card.
QString deviceOption(const std::optional<WaveDirection>& unmatched) {
  if (!unmatched) return QStringLiteral("--card portaudio");
  return *unmatched == WaveDirection::In ? QStringLiteral("--input-device")
                                         : QStringLiteral("--output-device");
}

}  // namespace

SoundCard::SoundCard(std::unique_ptr<WaveBackend> backend, SimulatedCard* simulated,
                     std::array<QString, 2> sourceOptions)
    : backend_(std::move(backend)),
      simulated_(simulated),
      sourceOptions_(std::move(sourceOptions)) {
  // A device that goes away, comes back or runs short is said on stderr, once each time.
  backend_->setStatusSink(
      [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
  installWaveBackend(backend_.get());
}

SoundCard::~SoundCard() {
  installWaveBackend(nullptr);
}

void SoundCard::onInputFailure(std::function<void(const QString& message)> handler) {
  if (!simulated_) return;  // the real card's inputs do not fail this way
  simulated_->onSourceFailure([handler = std::move(handler), options = sourceOptions_](
                                  int channel, const std::string& failure) {
    handler(QStringLiteral("%1: %2").arg(options[static_cast<size_t>(channel)],
                                         QString::fromStdString(failure)));
  });
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
    return std::unique_ptr<SoundCard>(
        new SoundCard(std::move(card), simulated, sourceOptionsOf(options)));
  }
  // The real card was asked for: without an input device there is nothing to measure.
  std::string reason;
  if (options.inputDevice.isEmpty() && !PortAudioCard::hasInputDevice(&reason)) {
    *error = QStringLiteral(
                 "--card portaudio: no input device to record from: %1 "
                 "(--list-devices lists what it finds)")
                 .arg(QString::fromStdString(reason));
    return nullptr;
  }
  std::optional<WaveDirection> unmatched;
  auto card = PortAudioCard::create(
      {options.inputDevice.toStdString(), options.outputDevice.toStdString()}, &reason, &unmatched);
  if (!card) {
    *error = QStringLiteral("%1: %2").arg(deviceOption(unmatched), QString::fromStdString(reason));
    return nullptr;
  }
  return std::unique_ptr<SoundCard>(new SoundCard(std::move(card), nullptr, {}));
}

}  // namespace osciloskop
