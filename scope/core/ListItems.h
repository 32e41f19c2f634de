#pragma once

// Item texts of the window's lists, by index, exactly as the lists show them (the leading
// spaces align the texts in the list). The measurement, the layout and the scripting
// report all read them from here.

#include <array>
#include <string>
#include <string_view>

namespace osciloskop {

// Time base (ComboBox1).
inline constexpr std::array<const char*, 9> kTimeBaseItems = {
    "automatická",  "   100 msec",  "    50 msec",  "    20 msec", "    10 msec",
    "      5 msec", "      2 msec", "      1 msec", " generátoru"};
inline constexpr int kTimeBaseGeneratorItem = 8;

// Voltage range of UL (ComboBox2).
inline constexpr std::array<const char*, 13> kUlRangeItems = {
    "automaticky", "      50 V",  "      20 V", "      10 V", "        5 V",
    "        2 V", "        1 V", "    500 mV", "    200 mV", "    100 mV",
    "      50 mV", "      20 mV", "      10 mV"};

// Voltage range of UR (ComboBox3); its last item switches the UR channel off.
inline constexpr std::array<const char*, 14> kUrRangeItems = {
    "automaticky",  "      50 V",   "      20 V",   "      10 V",   "        5 V",
    "        2 V",  "        1 V",  "     500 mV",  "     200 mV",  "     100 mV",
    "       50 mV", "       20 mV", "       10 mV", "      vypnuto"};
inline constexpr int kUrRangeOffItem = 13;
inline constexpr int kRangeAutomaticItem = 0;  // of both range lists

// Trigger source (ComboBox4).
inline constexpr std::array<const char*, 3> kTriggerSourceItems = {"automaticky", "od kanálu L",
                                                                   "od kanálu R"};

// Generator frequency band (ComboBox8).
inline constexpr std::array<const char*, 4> kFrequencyBandItems = {
    "20 Hz až 100 Hz", "100 Hz až 1 kHz", "1 kHz až 20 kHz", "10 Hz až 20 kHz"};

// An item's text without its alignment spaces, as the program's report names it.
inline std::string TrimmedItem(std::string_view item) {
  const auto first = item.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(item.substr(first, item.find_last_not_of(' ') - first + 1));
}

}  // namespace osciloskop
