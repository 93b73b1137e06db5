#include "platform/clock.h"

#include <chrono>
#include <ctime>

namespace quorvel {

namespace {
// Days from 1970-01-01 to y-m-d (proleptic Gregorian), month 1..12.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}
}  // namespace

LocalTime BreakDown(Time t, int offsetSeconds) {
  LocalTime lt;
  // Beyond about +-290 billion years the arithmetic below overflows; treat such
  // values, which only a damaged file can hold, as not convertible.
  constexpr Time kLimit = Time{1} << 52;
  if (t > kLimit || t < -kLimit) return lt;
  const Time s = t + offsetSeconds;
  int64_t days = s / 86400;
  int64_t rem = s % 86400;
  if (rem < 0) {
    rem += 86400;
    --days;
  }
  lt.hour = static_cast<int>(rem / 3600);
  lt.minute = static_cast<int>(rem % 3600 / 60);
  lt.second = static_cast<int>(rem % 60);
  int64_t wd = (days + 4) % 7;  // 1970-01-01 was a Thursday
  if (wd < 0) wd += 7;
  lt.weekday = static_cast<int>(wd);
  // Civil-from-days.
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
  if (y < -9999 || y > 99999) return lt;
  lt.year = static_cast<int>(y);
  lt.month = static_cast<int>(m) - 1;
  lt.day = static_cast<int>(d);
  lt.yearDay = static_cast<int>(days - DaysFromCivil(y, 1, 1));
  lt.valid = true;
  return lt;
}

int64_t SystemClock::NowMillis() const {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

namespace {

// The zone's offset from UTC at t in seconds, or false when t cannot be converted.
bool UtcOffsetAt(Time t, long& offset) {
  const std::time_t tt = static_cast<std::time_t>(t);
  std::tm tm{};
  if (localtime_r(&tt, &tm) == nullptr) return false;
  offset = tm.tm_gmtoff;
  return true;
}

// How far the clock is ahead of the zone's standard time at t. Standard time
// is the smaller of the offsets in mid-January and mid-July: that holds in
// both hemispheres, and for zones whose data calls their winter time the
// saving one. Zones without daylight saving give 0.
int DaylightShiftMinutes(Time t, const std::tm& local) {
  constexpr Time kDay = 86400;
  const Time midJanuary = t - Time{local.tm_yday} * kDay + 14 * kDay;
  const Time midJuly = midJanuary + 181 * kDay;
  long january = 0, july = 0;
  if (!UtcOffsetAt(midJanuary, january) || !UtcOffsetAt(midJuly, july)) return 0;
  const long standard = january < july ? january : july;
  const long shift = local.tm_gmtoff - standard;
  // Only a shift the size daylight saving has anywhere (up to two hours) counts.
  return shift > 0 && shift <= 2 * 3600 ? static_cast<int>(shift / 60) : 0;
}

}  // namespace

LocalTime SystemClock::Local(Time t) const {
  LocalTime lt;
  const std::time_t tt = static_cast<std::time_t>(t);
  std::tm tm{};
  if (localtime_r(&tt, &tm) == nullptr) return lt;
  lt.valid = true;
  lt.year = tm.tm_year + 1900;
  lt.month = tm.tm_mon;
  lt.day = tm.tm_mday;
  lt.hour = tm.tm_hour;
  lt.minute = tm.tm_min;
  lt.second = tm.tm_sec;
  lt.weekday = tm.tm_wday;
  lt.yearDay = tm.tm_yday;
  lt.daylightSaving = tm.tm_isdst > 0;
  lt.daylightShiftMinutes = DaylightShiftMinutes(t, tm);
  return lt;
}

LocalTime TestClock::Local(Time t) const {
  const bool dst = t >= dstStart_ && t < dstEnd_;
  LocalTime lt = BreakDown(t, utcOffset_ + (dst ? dstShiftMinutes_ * 60 : 0));
  lt.daylightSaving = dst && lt.valid;
  lt.daylightShiftMinutes = lt.daylightSaving ? dstShiftMinutes_ : 0;
  return lt;
}

}  // namespace quorvel
