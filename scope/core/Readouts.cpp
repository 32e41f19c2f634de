#include "Readouts.h"

#include "Rounding.h"

namespace osciloskop {

ReadoutText LevelText(double millivolts) {
  ReadoutText text;
  if (millivolts < 100) {
    const int64_t tenths = RoundHalfEven(10 * millivolts);
    // "%4.1f" of tenths / 10 prints exactly the rounded tenths: the double nearest to
    // tenths / 10 is far closer to it than the half-tenth at which printf would round.
    text.Append("%4.1f mV", static_cast<double>(tenths) / 10);
  } else if (millivolts < 1000) {
    text.Append("%4lld mV", static_cast<long long>(RoundHalfEven(millivolts)));
  } else {
    // Round(v) / 1000 has three decimals and is shown with two: the third decimal is
    // rounded half to even as well, from the whole millivolts, so 1235 mV shows "1.24 V" and
    // 1245 mV "1.24 V".
    const int64_t whole = RoundHalfEven(millivolts);
    const int64_t hundredths = RoundHalfEven(static_cast<double>(whole) / 10);
    text.Append("%lld.%02lld V", static_cast<long long>(hundredths / 100),
                static_cast<long long>(hundredths % 100));
  }
  return text;
}

ReadoutText LowFrequencyText(double hertz) {
  ReadoutText text;
  text.Append(" %5lld Hz", static_cast<long long>(RoundHalfEven(hertz)));
  return text;
}

ReadoutText FrequencyText(int64_t shownHertz) {
  ReadoutText text;
  text.Append(" %4lld Hz", static_cast<long long>(shownHertz));
  return text;
}

ReadoutText FrequencyAboveLimitText() {
  ReadoutText text;
  text.Append("%s", "  f > fmax");
  return text;
}

ReadoutText PeakDiagnosticText(uint16_t ulPeak, uint16_t urPeak) {
  ReadoutText text;
  text.Append("rmaxl =%urmaxr =%u", unsigned{ulPeak}, unsigned{urPeak});
  return text;
}

}  // namespace osciloskop
