#include "TimeBase.h"

#include "ListItems.h"

namespace osciloskop {

std::optional<int> ChooseTimeBaseItem(int32_t autoTimeBase, double urFrequency, int listIndex) {
  if (autoTimeBase == 1) {
    int item = 1;
    // "not above the bound" rather than "at most": a NaN stays in the first band.
    while (urFrequency > kTimeBaseRows[item - 1].upperFrequency) ++item;
    return item;
  }
  if (listIndex >= 1 && listIndex <= kTimeBaseCount) return listIndex;
  return std::nullopt;
}

bool SelectTimeBase(ScopeState& state, int listIndex) {
  const std::optional<int> item =
      ChooseTimeBaseItem(state.autoTimeBase, state.urFrequency, listIndex);
  if (!item) return false;
  const int entry = *item - 1;
  if (state.timeBaseApplied[entry] == 1) return false;

  state.traceStride = kTimeBaseRows[entry].traceStride;
  state.timeBaseApplied.fill(0);
  state.timeBaseApplied[entry] = 1;
  return true;
}

std::optional<std::string> AppliedTimeBaseName(const ScopeState& state) {
  for (int entry = 0; entry < kTimeBaseCount; ++entry) {
    if (state.timeBaseApplied[entry] == 1) return TrimmedItem(kTimeBaseItems[entry + 1]);
  }
  return std::nullopt;
}

}  // namespace osciloskop
