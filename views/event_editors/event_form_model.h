#pragma once
// What the two event windows share, without Qt: the weekday toggles and their
// presets, the level slider's arithmetic, the fields the device tree fills, the
// tree items of the event lists and the outcome of a save.
//
// A field remembers what it was filled from (a device's id or a computer
// group), so Save builds the event for what the field shows, never for
// whatever the tree's selection became since.
#include <cstdint>
#include <string>
#include <vector>

#include "views/common/message_texts.h"
#include "automation/event_record.h"
#include "device/device_record.h"
#include "device/insteon_id.h"

namespace quorvel {

struct Context;

// The caption of every box that stops a save.
inline constexpr const char* kValueOutOfRangeTitle = "Value Out of Range";
inline constexpr const char* kEventTableFullTitle = "Event table full";
inline constexpr const char* kNoDaysText = "Please select days of week for this event.";
// The tree's context menu.
inline constexpr int kCmdDeleteEvent = 5233;
inline constexpr const char* kDeleteEventItem = "Delete selected item";
inline constexpr const char* kDeleteEventTitle = "Confirm";

// Weekday masks: bit 0 Sunday .. bit 6 Saturday.
inline constexpr uint8_t kAllWeekDays = 0x7F;
inline constexpr uint8_t kWorkDays = 0x3E;
inline constexpr uint8_t kWeekEndDays = 0x41;
inline constexpr const char* kWeekdayLetters[7] = {"S", "M", "T", "W", "T", "F", "S"};
enum class WeekdayPreset : uint8_t { kWeekDays, kWeekEnd, kAllWeek };
inline constexpr const char* kWeekdayPresetTexts[3] = {"Week Days", "Week End", "All Week"};

// A preset's days.
uint8_t PresetDays(WeekdayPreset preset);
// Flips one weekday (0 Sunday .. 6 Saturday); any other index changes nothing.
uint8_t ToggleWeekday(uint8_t days, int weekday);
// "_______" with S M T W T F S in place of the days set.
std::string WeekdayString(uint8_t days);

// The level slider: positions 0..51, 2 % each, 5 levels each.
inline constexpr int kLevelPositionMax = 51;
// position x 2, and 100 from position 50 on.
int LevelPercent(int position);
// " On %d%% ".
std::string LevelLabel(int position);

// What a field was filled from.
struct FieldSource {
  enum class Kind : uint8_t { kNone, kDevice, kGroup };
  Kind kind = Kind::kNone;
  InsteonId id{};     // a device
  uint8_t group = 0;  // a computer group
};

struct EventField {
  std::string text;
  FieldSource source;
};

// What a selection in the device tree offers an event window: a device's
// "%02X.%02X.%02X  %s" (an unnamed device of a known kind gets its product
// name stored as its name), a computer group's "Group %d  %s" (group 0 offers
// nothing), or nothing (the modem, the help lines, a key that is gone).
struct TreePick {
  FieldSource source;
  std::string text;
  uint8_t category = 0;
  uint8_t subcategory = 0;
};
TreePick PickFromTree(Context& ctx, DeviceKey key);

// The record of a field's device as the table holds it now, or -1.
int FieldDeviceSlot(const Context& ctx, const FieldSource& source);

// What a Save did: the slot it stored, or the box that says why nothing was.
struct EventSaveOutcome {
  int slot = -1;
  std::string title;
  std::string text;
  bool Stored() const { return slot >= 0; }
};
EventSaveOutcome Refused(const char* title, const std::string& text);

// One item of an event list: its text and its value (the root, a header or an
// event line with its slot).
struct EventTreeItem {
  std::string text;
  uint32_t value = 0;
  std::vector<EventTreeItem> children;
};
inline constexpr uint32_t kEventTreeRoot = 0x10001;
inline constexpr uint32_t kTimeHeaderBase = 0x40000;
inline constexpr uint32_t kEventLineBase = 0xF0000;

// The slot an event line's value names, when that slot (0..398) holds an event
// of the kind asked for; -1 for anything else.
int EventLineSlot(const Context& ctx, uint32_t value, bool timeEvent);
// The confirmation's question for deleting an event line.
std::string DeleteEventQuestion(const std::string& lineText);
// Deletes slot `slot` once the user said yes, but only while it still holds the
// event the user saw (`seen`): the tick runs on while the box is open. Firing
// times and the sun time shown may have changed meanwhile.
bool DeleteSeenEvent(Context& ctx, int slot, const EventRecord& seen);

}  // namespace quorvel
