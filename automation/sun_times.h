#pragma once
// Today's sunrise and sunset from the user's latitude, longitude and time zone,
// and the check for a new day that starts the daily roll of the usage counters.
#include <cstdint>
#include <optional>
#include <string_view>

namespace quorvel {

struct Context;

struct SunTimes {
  // Minutes after local midnight. Daylight saving can push them to 1440 or
  // more, and an odd time zone below 0: such values match no minute of the day.
  int32_t sunriseMinutes = 0;
  int32_t sunsetMinutes = 0;
  int32_t sunriseHour = 0;
  int32_t sunriseMinute = 0;
  int32_t sunsetHour = 0;
  int32_t sunsetMinute = 0;
  bool computed = false;  // a refresh has run in this run

  // Raised by DayChangeCheck. The on-time count of the main tick consumes and
  // clears the three roll flags.
  bool dayRoll = false;     // the weekday changed: fold today's minutes into week and month
  bool weekReset = false;   // the new day is a Sunday
  bool monthReset = false;  // the month changed
  // Raised by DayChangeCheck for the automatic Link Watch repair, which owns the
  // flag it stands for: the repair clears its first-pass flag and lowers this,
  // so the pass may run again within the current 31-second window.
  bool repairPassReset = false;
};

// The sun times for one local date and place, before any daylight-saving shift.
struct SunMinutes {
  int32_t sunrise = 0;
  int32_t sunset = 0;
};

// Reads a coordinate the way the options hold it: leading blanks, an optional
// sign, digits with an optional fraction and exponent, stopping at the first
// character that cannot continue the number ("44:96" reads 44). Empty when the
// text does not begin with a number or the value is not finite as a float.
std::optional<float> ParseCoordinate(std::string_view text);

// The compact solar approximation for local date year/month(1..12)/day. Its
// constants decide the minute at which sun-based events fire; keep them as they are.
// Empty when the result is not a number.
std::optional<SunMinutes> SunMinutesFor(int year, int month, int day, double latitude, double longitude,
                                        int32_t timeZone);

// Computes the sun times for today's local date from the stored coordinates and
// the given time zone; a coordinate that does not read as a number keeps the
// previous times and is reported. Returns 0.
int ComputeSunTimes(Context& ctx, int32_t timeZone);
// Recomputes today's sun times from the options.
void RefreshSunTimes(Context& ctx);
// True when a new day was detected (and the day-change work done).
bool DayChangeCheck(Context& ctx);

}  // namespace quorvel
