#include "views/event_editors/event_form_model.h"

#include <cstdio>
#include <cstring>

#include "automation/event_table.h"
#include "engine/context.h"
#include "views/device_setup/device_setup_model.h"

namespace quorvel {

uint8_t PresetDays(WeekdayPreset preset) {
  switch (preset) {
    case WeekdayPreset::kWeekDays: return kWorkDays;
    case WeekdayPreset::kWeekEnd: return kWeekEndDays;
    case WeekdayPreset::kAllWeek: return kAllWeekDays;
  }
  return kAllWeekDays;
}

uint8_t ToggleWeekday(uint8_t days, int weekday) {
  if (weekday < 0 || weekday > 6) return days;
  return static_cast<uint8_t>(days ^ (1u << weekday));
}

std::string WeekdayString(uint8_t days) {
  std::string s = "_______";
  for (int d = 0; d < 7; ++d)
    if ((days >> d) & 1) s[static_cast<size_t>(d)] = kWeekdayLetters[d][0];
  return s;
}

int LevelPercent(int position) {
  if (position >= 50) return 100;
  return position < 0 ? 0 : position * 2;
}

std::string LevelLabel(int position) {
  char text[16];
  std::snprintf(text, sizeof text, " On %d%% ", LevelPercent(position));
  return text;
}

TreePick PickFromTree(Context& ctx, DeviceKey key) {
  TreePick pick;
  const Selection sel = ResolveSelection(ctx, key);
  char text[128];
  if (sel.kind == SelectionKind::kDevice) {
    DeviceRecord& r = ctx.db[sel.slot];
    const std::string name = DeviceDescription(r);
    std::snprintf(text, sizeof text, "%02X.%02X.%02X  %s", r.id.b[0], r.id.b[1], r.id.b[2], name.c_str());
    pick.source.kind = FieldSource::Kind::kDevice;
    pick.source.id = r.id;
    pick.category = r.category;
    pick.subcategory = r.subcategory;
    pick.text = text;
  } else if (sel.kind == SelectionKind::kGroup && sel.group != 0) {
    const std::string label(ctx.groups.GroupLabel(sel.group));
    std::snprintf(text, sizeof text, "Group %d  %s", sel.group, label.c_str());
    pick.source.kind = FieldSource::Kind::kGroup;
    pick.source.group = sel.group;
    pick.text = text;
  }
  return pick;
}

int FieldDeviceSlot(const Context& ctx, const FieldSource& source) {
  if (source.kind != FieldSource::Kind::kDevice) return -1;
  return ctx.db.FindDevice(source.id);
}

EventSaveOutcome Refused(const char* title, const std::string& text) {
  EventSaveOutcome out;
  out.title = title;
  out.text = text;
  return out;
}

int EventLineSlot(const Context& ctx, uint32_t value, bool timeEvent) {
  if (value < kEventLineBase) return -1;
  const uint32_t slot = value - kEventLineBase;
  if (slot >= static_cast<uint32_t>(kUsableEventSlots)) return -1;
  const EventRecord& r = ctx.events.records[slot];
  if (r.inUse != 1) return -1;
  // As the lists show them: a time event flagged 1, a logic event flagged at all.
  if (timeEvent ? r.isTimeEvent != 1 : r.isLogicEvent == 0) return -1;
  return static_cast<int>(slot);
}

std::string DeleteEventQuestion(const std::string& lineText) { return "Delete this event?\n\n" + lineText; }

bool DeleteSeenEvent(Context& ctx, int slot, const EventRecord& seen) {
  if (slot < 0 || slot >= kUsableEventSlots) return false;
  EventRecord now;
  EventRecord then;
  std::memcpy(&now, &ctx.events.records[slot], sizeof now);
  std::memcpy(&then, &seen, sizeof then);
  // What may change on its own while the box is open.
  now.lastFired = then.lastFired = 0;
  if (now.timeBase != 0) {
    now.hour = then.hour = 0;
    now.minute = then.minute = 0;
  }
  if (now.inUse != 1 || std::memcmp(&now, &then, sizeof now) != 0) return false;
  return DeleteEvent(ctx, slot);
}

}  // namespace quorvel
