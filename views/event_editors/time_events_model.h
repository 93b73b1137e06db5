#pragma once
// What the "Time Events" tab shows and does, without Qt: the form from which a
// time event is built (target, command, level, clock or sun time with its
// offset, weekdays), the save into the event table, and the list of every time
// event by time of day with its delete. CWndTimeEvents is a thin view over it.
#include <cstdint>
#include <string>

#include "views/event_editors/event_form_model.h"

namespace quorvel {

struct Context;
struct SunTimes;

inline constexpr int kCmdSaveTimeEvent = 5226;

inline constexpr const char* kTimeEventsTitle = "Time Events";
inline constexpr const char* kTimeEventsInstructions =
    "STEP 1 - Set the time of day.\r\nSTEP 2 - Select Device from list at left.\r\nSTEP 3 - Select the desired "
    "function.\r\nSTEP 4 - Select days of week for this time event.\r\nSTEP 5 - Click the SAVE button.\r\n\r\n- "
    "Delete Event, left click on Event, then right click for context menu.";
inline constexpr const char* kTimeCommands[2] = {"ON", "OFF"};
inline constexpr const char* kTimeBaseTexts[3] = {"Hour/Minute", "Sunrise", "Sunset"};
inline constexpr const char* kOffsetTexts[3] = {"No Delay", "Pre Delay", "Post Delay"};
// The offset minutes list: "1" .. "90", "20" selected at first.
inline constexpr int kOffsetRows = 90;
inline constexpr int kOffsetStartRow = 19;
inline constexpr const char* kSelectDeviceText = "Please select an Insteon device.";
// What the window says when its command list has no selection.
inline constexpr const char* kNoCommandText = "comboMacOperFunc";

enum class TimeBase : uint8_t { kClock = 0, kSunrise = 1, kSunset = 2 };
enum class SunOffset : uint8_t { kNone = 0, kBefore = 1, kAfter = 2 };

struct TimeEventForm {
  EventField target;
  int command = 0;  // row of "ON", "OFF"; -1 none
  int levelPosition = kLevelPositionMax;
  TimeBase timeBase = TimeBase::kClock;
  int hour = 6;
  int minute = 15;
  SunOffset offset = SunOffset::kNone;
  int offsetRow = kOffsetStartRow;  // minutes - 1; -1 none
  uint8_t days = kAllWeekDays;
};

// The form as the window opens: the time and days of slot 0 once any event was
// ever added, else 06:15 on every day; "ON" at 100 %.
TimeEventForm OpenTimeEventForm(const Context& ctx);

// The device tree's selection changed: a device or a computer group other than
// 0 fills the target field; anything else leaves it. True when it changed.
bool ShowTimeEventTarget(Context& ctx, TimeEventForm& form, DeviceKey key);

// The sliders' labels: "%02d:" of the hour on a 12-hour clock (0 and 12 show
// 12), "am" or "pm", and "%02d" of the minute.
std::string HourLabel(int hour);
std::string AmPmLabel(int hour);
std::string MinuteLabel(int minute);
// "Sunrise   (%d:%02d)" and "Sunset   (%d:%02d)" of today's sun times.
std::string SunriseLabel(const SunTimes& sun);
std::string SunsetLabel(const SunTimes& sun);
// The offset radios and minutes are for sun times; the sliders for the clock.
inline bool OffsetEnabled(const TimeEventForm& form) { return form.timeBase != TimeBase::kClock; }
inline bool TimeSlidersShown(const TimeEventForm& form) { return form.timeBase == TimeBase::kClock; }

// The record Save stores, or the box that says why nothing was stored.
EventSaveOutcome SaveTimeEvent(Context& ctx, const TimeEventForm& form);

// Every time event by time of day (sun-based ones at today's sun time, which
// is written into them), under a header per clock time, one "Sunrise" and one
// "Sunset" header; each line under the header of its own kind and time.
EventTreeItem RebuildTimeEventList(Context& ctx);
// An event's line in the list.
std::string TimeEventLine(Context& ctx, const EventRecord& r);

}  // namespace quorvel
