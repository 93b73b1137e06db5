#include "views/event_editors/time_events_model.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "automation/event_table.h"
#include "automation/sun_times.h"
#include "engine/context.h"
#include "plm/send_queues.h"
#include "views/device_setup/device_setup_model.h"

namespace quorvel {

namespace {

constexpr uint8_t kOn = 0x11;
constexpr uint8_t kOff = 0x13;
constexpr uint8_t kRetryDevice = 5;

int Hour12(int hour) { return hour % 12 == 0 ? 12 : hour % 12; }

// A sun time as a record's display hour and minute hold it.
uint8_t DisplayByte(int32_t value) { return static_cast<uint8_t>(std::clamp<int32_t>(value, 0, 255)); }

std::string ClockHeader(const EventRecord& r) {
  char text[64];
  const std::string days = WeekdayString(r.days);
  const char* half = r.hour < 12 ? "am" : "pm";
  if (r.isGroup != 0)
    std::snprintf(text, sizeof text, "%02d:%02d  %s, %s", Hour12(r.hour), r.minute, half, days.c_str());
  else
    std::snprintf(text, sizeof text, "%02d:%02d %s  %s", Hour12(r.hour), r.minute, half, days.c_str());
  return text;
}

}  // namespace

TimeEventForm OpenTimeEventForm(const Context& ctx) {
  TimeEventForm form;
  if (ctx.events.eventCount != 0) {
    // The last form the user may have used: slot 0's time and days. A file
    // can hold anything there; the sliders take only their own range.
    const EventRecord& first = ctx.events.records[0];
    form.hour = std::min<int>(first.hour, 23);
    form.minute = std::min<int>(first.minute, 59);
    form.days = static_cast<uint8_t>(first.days & kAllWeekDays);
  }
  return form;
}

bool ShowTimeEventTarget(Context& ctx, TimeEventForm& form, DeviceKey key) {
  TreePick pick = PickFromTree(ctx, key);
  if (pick.source.kind == FieldSource::Kind::kNone) return false;
  form.target.text = std::move(pick.text);
  form.target.source = pick.source;
  return true;
}

std::string HourLabel(int hour) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d:", Hour12(std::clamp(hour, 0, 23)));
  return text;
}

std::string AmPmLabel(int hour) { return hour < 12 ? "am" : "pm"; }

std::string MinuteLabel(int minute) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", std::clamp(minute, 0, 59));
  return text;
}

std::string SunriseLabel(const SunTimes& sun) {
  char text[48];
  std::snprintf(text, sizeof text, "Sunrise   (%d:%02d)", static_cast<int>(sun.sunriseHour),
                static_cast<int>(sun.sunriseMinute));
  return text;
}

std::string SunsetLabel(const SunTimes& sun) {
  char text[48];
  std::snprintf(text, sizeof text, "Sunset   (%d:%02d)", static_cast<int>(sun.sunsetHour),
                static_cast<int>(sun.sunsetMinute));
  return text;
}

EventSaveOutcome SaveTimeEvent(Context& ctx, const TimeEventForm& form) {
  if (form.target.text.size() < 8) return Refused(kSelectionMissingTitle, kSelectDeviceText);
  if (form.command < 0 || form.command > 1) return Refused(kSelectionMissingTitle, kNoCommandText);
  const uint8_t days = static_cast<uint8_t>(form.days & kAllWeekDays);
  if (days == 0) return Refused(kSelectionMissingTitle, kNoDaysText);
  const bool sun = form.timeBase == TimeBase::kSunrise || form.timeBase == TimeBase::kSunset;
  if (!sun && form.timeBase != TimeBase::kClock) return Refused(kValueOutOfRangeTitle, "Please choose a time base.");
  if (!sun && (form.hour < 0 || form.hour > 23)) return Refused(kValueOutOfRangeTitle, "The hour must be 0 to 23.");
  if (!sun && (form.minute < 0 || form.minute > 59))
    return Refused(kValueOutOfRangeTitle, "The minute must be 0 to 59.");
  if (form.levelPosition < 0 || form.levelPosition > kLevelPositionMax)
    return Refused(kValueOutOfRangeTitle, "The level must be 0 to 100%.");
  const bool offset = sun && (form.offset == SunOffset::kBefore || form.offset == SunOffset::kAfter);
  if (sun && !offset && form.offset != SunOffset::kNone)
    return Refused(kValueOutOfRangeTitle, "Please choose No Delay, Pre Delay or Post Delay.");
  if (offset && (form.offsetRow < 0 || form.offsetRow >= kOffsetRows))
    return Refused(kValueOutOfRangeTitle, "The delay must be 1 to 90 minutes.");

  EventRecord r;
  std::memset(&r, 0, sizeof r);
  r.days = days;
  r.hour = static_cast<uint8_t>(form.hour);
  r.minute = static_cast<uint8_t>(form.minute);
  r.cmd1 = CommandCodeFromName(kTimeCommands[form.command]);

  switch (form.target.source.kind) {
    case FieldSource::Kind::kDevice: {
      // The device the field shows, as the table holds it now; one that has
      // gone would be switched under an id nobody chose.
      const int slot = FieldDeviceSlot(ctx, form.target.source);
      if (slot < 0) return Refused(kSelectionMissingTitle, kSelectDeviceText);
      const DeviceRecord& d = ctx.db[slot];
      r.targetId = d.id;
      r.retryClass = kRetryDevice;
      if (r.cmd1 == kOff)
        r.cmd2 = 0;
      else if (d.category == 0x02)
        r.cmd2 = 255;
      else if (d.category == 0x01)
        r.cmd2 = static_cast<uint8_t>(form.levelPosition * 5);
      break;
    }
    case FieldSource::Kind::kGroup:
      r.isGroup = 1;
      r.group = form.target.source.group;
      break;
    case FieldSource::Kind::kNone:
      return Refused(kSelectionMissingTitle, kSelectDeviceText);
  }

  if (sun) {
    r.timeBase = static_cast<uint8_t>(form.timeBase);
    r.hour = 0;
    r.minute = 0;
    if (offset) {
      r.offsetMode = static_cast<int8_t>(form.offset);
      r.delayMinutes = static_cast<uint8_t>(form.offsetRow + 1);
    }
  }

  EventSaveOutcome out;
  out.slot = AddTimeEvent(ctx, r);
  if (!out.Stored()) {
    out.title = kEventTableFullTitle;
    out.text = kEventTableFull;
  }
  return out;
}

std::string TimeEventLine(Context& ctx, const EventRecord& r) {
  char text[160];
  text[0] = '\0';
  const std::string days = WeekdayString(r.days);
  if (r.isGroup != 0) {
    if (r.cmd1 == kOn) std::snprintf(text, sizeof text, "Group %d On, %s", r.group, days.c_str());
    if (r.cmd1 == kOff) std::snprintf(text, sizeof text, "Group %d Off, %s", r.group, days.c_str());
  } else {
    const int slot = ctx.db.FindDevice(r.targetId);
    const std::string name = slot >= 0 ? DeviceDescription(ctx.db[slot]) : std::string();
    const InsteonId& id = r.targetId;
    int percent = r.cmd2 / 5 * 2;
    if (percent > 98) percent = 100;
    if (r.cmd1 == kOn)
      std::snprintf(text, sizeof text, "[%02x.%02x.%02x] %s On, %d%%, %s", id.b[0], id.b[1], id.b[2], name.c_str(),
                    percent, days.c_str());
    if (r.cmd1 == kOff)
      std::snprintf(text, sizeof text, "[%02x.%02x.%02x] %s Off, %s", id.b[0], id.b[1], id.b[2], name.c_str(),
                    days.c_str());
  }
  if (text[0] == '\0') return {};
  std::string line = text;
  if (r.timeBase == 1 || r.timeBase == 2) {
    char prefix[16] = "";
    if (r.offsetMode == 1) std::snprintf(prefix, sizeof prefix, "(-%d)  ", r.delayMinutes);
    if (r.offsetMode == 2) std::snprintf(prefix, sizeof prefix, "(+%d)  ", r.delayMinutes);
    line = prefix + line;
  }
  return line;
}

EventTreeItem RebuildTimeEventList(Context& ctx) {
  EventTreeItem root{kTimeEventsTitle, kEventTreeRoot, {}};
  const SunTimes& sun = ctx.sun;

  struct Listed {
    int hour, minute, slot;
  };
  std::vector<Listed> listed;
  for (int slot = 0; slot < kUsableEventSlots; ++slot) {
    EventRecord& r = ctx.events.records[slot];
    if (r.inUse != 1 || r.isTimeEvent != 1) continue;
    int hour = r.hour;
    int minute = r.minute;
    // A sun-based event is listed at today's sun time, which it keeps for display.
    if (r.timeBase == 1 || r.timeBase == 2) {
      hour = r.timeBase == 1 ? sun.sunriseHour : sun.sunsetHour;
      minute = r.timeBase == 1 ? sun.sunriseMinute : sun.sunsetMinute;
      r.hour = DisplayByte(hour);
      r.minute = DisplayByte(minute);
    }
    listed.push_back({hour, minute, slot});
  }
  std::stable_sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) {
    return a.hour != b.hour ? a.hour < b.hour : a.minute < b.minute;
  });

  // Headers by kind and time: the clock's per hour and minute, one for each sun time.
  struct Header {
    int kind, hour, minute;
    size_t index;
  };
  std::vector<Header> headers;
  for (const Listed& l : listed) {
    const EventRecord& r = ctx.events.records[l.slot];
    const int kind = r.timeBase == 1 || r.timeBase == 2 ? r.timeBase : 0;
    const int hour = kind == 0 ? l.hour : 0;
    const int minute = kind == 0 ? l.minute : 0;
    auto it = std::find_if(headers.begin(), headers.end(), [&](const Header& h) {
      return h.kind == kind && h.hour == hour && h.minute == minute;
    });
    if (it == headers.end()) {
      char text[48];
      if (kind == 1)
        std::snprintf(text, sizeof text, "Sunrise  %02d:%02d", static_cast<int>(sun.sunriseHour),
                      static_cast<int>(sun.sunriseMinute));
      else if (kind == 2)
        std::snprintf(text, sizeof text, "Sunset  %02d:%02d", static_cast<int>(sun.sunsetHour),
                      static_cast<int>(sun.sunsetMinute));
      const std::string header = kind == 0 ? ClockHeader(r) : std::string(text);
      root.children.push_back({header, kTimeHeaderBase + static_cast<uint32_t>(l.slot), {}});
      headers.push_back({kind, hour, minute, root.children.size() - 1});
      it = headers.end() - 1;
    }
    std::string line = TimeEventLine(ctx, r);
    if (line.empty()) continue;
    root.children[it->index].children.push_back(
        {std::move(line), kEventLineBase + static_cast<uint32_t>(l.slot), {}});
  }
  return root;
}

}  // namespace quorvel
