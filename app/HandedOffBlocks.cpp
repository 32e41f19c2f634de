#include "HandedOffBlocks.h"

#include <memory>

#include "TForm1.h"

namespace osciloskop {

void passHandedOffBlocks(TForm1& form, std::vector<BlockConsumer> consumers) {
  // The window keeps the values it copied in its capture buffer, widened to 32 bits; they
  // go back to 16 bits, as the card gave them, in a buffer taken once.
  auto block = std::make_shared<std::vector<int16_t>>(kChannelLength);
  form.onBlockHandedOff = [&form, block, consumers = std::move(consumers)] {
    const ScopeState& state = form.State();
    const auto values = std::span(*block).first(static_cast<size_t>(state.sampleCount));
    for (size_t i = 0; i < values.size(); ++i)
      values[i] = static_cast<int16_t>(state.captureBuffer[i]);
    for (const BlockConsumer& consume : consumers) consume(values);
  };
}

}  // namespace osciloskop
