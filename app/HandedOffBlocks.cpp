#include "HandedOffBlocks.h"

#include "TForm1.h"

namespace osciloskop {

void passHandedOffBlocks(TForm1& form, std::vector<BlockConsumer> consumers) {
  form.onBlockHandedOff = [consumers = std::move(consumers)](std::span<const int16_t> values) {
    for (const BlockConsumer& consume : consumers) consume(values);
  };
}

}  // namespace osciloskop
