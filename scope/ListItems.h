#pragma once

// The item texts of the control strip's selection lists, by index, exactly as the window
// shows them (the leading spaces align the texts in the drop-down lists). The window's
// layout fills the lists from here, and the measurement code names the range and time base
// in force from here, so both always agree.

#include <array>
#include <string>
#include <string_view>

// ComboBox1: the time base. Items 1 to 7 are the fixed time bases.
inline constexpr std::array<const char*, 9> kTimeBaseItems = {
    "automatická",  "   100 msec",  "    50 msec",  "    20 msec", "    10 msec",
    "      5 msec", "      2 msec", "      1 msec", " generátoru",
};
inline constexpr int kTimeBaseAutomaticItem = 0;
inline constexpr int kTimeBaseGeneratorItem = 8;

// ComboBox2: the range of channel UL. Items 1 to 12 are the fixed ranges.
inline constexpr std::array<const char*, 13> kRangeItemsUL = {
    "automaticky", "      50 V",  "      20 V",  "      10 V", "        5 V",
    "        2 V", "        1 V", "    500 mV",  "    200 mV", "    100 mV",
    "      50 mV", "      20 mV", "      10 mV",
};

// ComboBox3: the range of channel UR; its last item switches the channel's measurement off.
inline constexpr std::array<const char*, 14> kRangeItemsUR = {
    "automaticky",  "      50 V",   "      20 V",   "      10 V",    "        5 V",
    "        2 V",  "        1 V",  "     500 mV",  "     200 mV",   "     100 mV",
    "       50 mV", "       20 mV", "       10 mV", "      vypnuto",
};
inline constexpr int kRangeAutomaticItem = 0;
inline constexpr int kRangeOffItemUR = 13;

// An item's text without its alignment spaces, as the program's report names it.
inline std::string TrimmedItem(std::string_view item) {
  const auto first = item.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(item.substr(first, item.find_last_not_of(' ') - first + 1));
}
