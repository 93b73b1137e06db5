#pragma once
// Widgets: X10 addresses the user keeps in a list, stored as the widgets file.
#include <cstddef>
#include <cstdint>
#include <map>

namespace quorvel {

inline constexpr uint32_t kWidgetX10Address = 1;
inline constexpr size_t kWidgetAddressWidth = 5;

struct WidgetRecord {
  uint32_t widgetType;
  uint8_t x10House;
  uint8_t x10Unit;
  char addressText[kWidgetAddressWidth];
  uint8_t reserved[61];
};
static_assert(sizeof(WidgetRecord) == 72);
static_assert(offsetof(WidgetRecord, widgetType) == 0);
static_assert(offsetof(WidgetRecord, x10House) == 4);
static_assert(offsetof(WidgetRecord, x10Unit) == 5);
static_assert(offsetof(WidgetRecord, addressText) == 6);
static_assert(offsetof(WidgetRecord, reserved) == 11);

// Every widget loaded or created in this run, keyed by a run-unique number.
struct WidgetCollection {
  std::map<uint32_t, WidgetRecord> widgets;
  uint32_t nextKey = 1;

  uint32_t Add(const WidgetRecord& w) {
    const uint32_t key = nextKey++;
    widgets.emplace(key, w);
    return key;
  }
};

}  // namespace quorvel
