#pragma once
// The options record's start-up rules and the time-zone choice.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "config/options_record.h"

namespace quorvel {

inline constexpr int kTimeZoneRows = 26;
// Row r of the list stands for r - 12 hours from Greenwich.
extern const std::array<std::string_view, kTimeZoneRows> kTimeZoneNames;

// Run once, right after the first load of a run: the port search starts on,
// the switches get their bit 0x80, and a first start gets the defaults.
void ApplyStartupRules(OptionsRecord& options);

// Takes the time-zone list's selected row (-1 for none) into timeZoneIndex and
// timeZone; anything outside the list means -6.
void StoreTimeZone(OptionsRecord& options, int selectedRow);

// "Timezone %d".
std::string TimeZoneLabel(const OptionsRecord& options);

}  // namespace quorvel
