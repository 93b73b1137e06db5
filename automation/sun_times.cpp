#include "automation/sun_times.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>

#include "engine/context.h"
#include "platform/bytes.h"

namespace quorvel {

namespace {

// The approximation's own constants. Its five-digit pi is part of the result:
// a more exact pi moves some sun events by a minute.
constexpr double kPi = 3.14159;
constexpr double kTwoPi = 6.28318;
constexpr double kHalfPi = 1.570795;
constexpr double kRads = 0.017453277777777776;
constexpr double kLimbAndRefraction = 0.8316666666666667;  // half the sun's disc plus refraction, degrees
constexpr double kEpochOffset = 730531.5;
constexpr float kNoon = 12.0f;

constexpr std::string_view kBadLatitude = "bad latitude format";
constexpr std::string_view kBadLongitude = "bad longitude format";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

double Range(double x) {
  const double b = (x * 0.5) / kPi;
  double a = kTwoPi * (b - std::trunc(b));
  if (a < 0) a = a + kTwoPi;
  return a;
}

// Minutes after midnight from hours, truncated toward zero. A time zone or
// longitude far out of range (a damaged options file) would overflow the
// integer minutes: such hours are held at a bound that matches no minute.
int32_t HoursToMinutes(double hours) {
  constexpr double kBound = 3.0e7;  // 1.8e9 minutes, inside int32
  if (hours > kBound) hours = kBound;
  if (hours < -kBound) hours = -kBound;
  const int32_t h = static_cast<int32_t>(std::trunc(hours));
  return 60 * h + static_cast<int32_t>(std::trunc((hours - h) * 60));
}

}  // namespace

std::optional<float> ParseCoordinate(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  std::string number;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') number.push_back('-');
    ++i;
  }
  size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) {
    number.push_back(text[i++]);
    ++digits;
  }
  if (i < text.size() && text[i] == '.') {
    number.push_back(text[i++]);
    while (i < text.size() && IsDigit(text[i])) {
      number.push_back(text[i++]);
      ++digits;
    }
  }
  if (digits == 0) return std::nullopt;
  // An exponent counts only when at least one digit follows it.
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    std::string exponent = "e";
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) exponent.push_back(text[j++]);
    if (j < text.size() && IsDigit(text[j])) {
      while (j < text.size() && IsDigit(text[j])) exponent.push_back(text[j++]);
      number += exponent;
    }
  }
  double value = 0;
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
  (void)end;
  if (ec != std::errc()) return std::nullopt;
  const float f = static_cast<float>(value);
  if (!std::isfinite(f)) return std::nullopt;
  return f;
}

std::optional<SunMinutes> SunMinutesFor(int year, int month, int day, double lat, double lon,
                                        int32_t timeZone) {
  const int32_t y = year;
  const int32_t m = month;
  const int32_t dn = 367 * y - 7 * (y + (m + 9) / 12) / 4 + 275 * m / 9 + day;
  const double d = dn - kEpochOffset + kNoon / 24;

  const double L = Range(280.461 * kRads + 0.9856474 * kRads * d);
  const double g = Range(357.528 * kRads + 0.9856003 * kRads * d);
  const double lambda = Range(L + 1.915 * kRads * std::sin(g) + 0.02 * kRads * std::sin(2 * g));
  const double obliq = 23.439 * kRads - 0.0000004 * kRads * d;
  const double alpha = std::atan2(std::cos(obliq) * std::sin(lambda), std::cos(lambda));
  const double delta = std::asin(std::sin(obliq) * std::sin(lambda));

  double LL = L - alpha;
  if (kPi > L) LL = LL + kTwoPi;
  const double equation = (1 - (LL / kPi) * 0.5) * 1440;

  double dfo = kRads * kLimbAndRefraction;
  if (lat < 0) dfo = -dfo;
  double fo = std::tan(lat * kRads) * std::tan(delta + dfo);
  if (fo > 0.99999) fo = 1;
  // Where the sun stays below the horizon all day asin has no value: hold fo at
  // -1, so rise and set meet at solar noon instead of turning into garbage.
  if (fo < -1) fo = -1;
  if (std::isnan(fo)) return std::nullopt;
  const double ha = std::asin(fo) + kHalfPi;

  double rise = 12 - 12 * ha / kPi + timeZone - lon / 15 + equation / 60;
  double set = 12 + 12 * ha / kPi + timeZone - lon / 15 + equation / 60;
  if (rise > 24) rise = rise - 24;
  if (set > 24) set = set - 24;
  if (!std::isfinite(rise) || !std::isfinite(set)) return std::nullopt;
  return SunMinutes{HoursToMinutes(rise), HoursToMinutes(set)};
}

int ComputeSunTimes(Context& ctx, int32_t timeZone) {
  const std::optional<float> lat = ParseCoordinate(FixedText(ctx.options.latitude));
  const std::optional<float> lon = ParseCoordinate(FixedText(ctx.options.longitude));
  if (!lat) ctx.log.LogActivity(kBadLatitude);
  if (!lon) ctx.log.LogActivity(kBadLongitude);
  if (!lat || !lon) return 0;

  const LocalTime now = ctx.clock.LocalNow();
  if (!now.valid) return 0;
  const std::optional<SunMinutes> sun =
      SunMinutesFor(now.year, now.month + 1, now.day, static_cast<double>(*lat), static_cast<double>(*lon),
                    timeZone);
  if (!sun) return 0;
  // The time zone is the standard one; the clock says how far daylight saving
  // has moved it (an hour in most zones, half an hour on Lord Howe Island).
  const int32_t shift = now.daylightShiftMinutes;
  ctx.sun.sunriseMinutes = sun->sunrise + shift;
  ctx.sun.sunsetMinutes = sun->sunset + shift;
  return 0;
}

void RefreshSunTimes(Context& ctx) {
  ComputeSunTimes(ctx, ctx.options.timeZone);
  SunTimes& s = ctx.sun;
  const SunTimes before = s;
  s.sunriseHour = s.sunriseMinutes / 60;
  s.sunriseMinute = s.sunriseMinutes % 60;
  s.sunsetHour = s.sunsetMinutes / 60;
  s.sunsetMinute = s.sunsetMinutes % 60;
  // The time events window shows the sun times and lists sun-based events at them.
  if (!before.computed || before.sunriseHour != s.sunriseHour || before.sunriseMinute != s.sunriseMinute ||
      before.sunsetHour != s.sunsetHour || before.sunsetMinute != s.sunsetMinute)
    ctx.refresh.eventsViewRefresh = true;
  s.computed = true;
}

bool DayChangeCheck(Context& ctx) {
  const LocalTime now = ctx.clock.LocalNow();
  if (!now.valid || ctx.options.lastWeekday == now.weekday) return false;

  ctx.options.lastWeekday = static_cast<int8_t>(now.weekday);
  SunTimes& s = ctx.sun;
  s.dayRoll = true;
  if (now.weekday == 0) s.weekReset = true;
  if (ctx.options.lastMonth != now.month) {
    ctx.options.lastMonth = static_cast<int8_t>(now.month);
    s.monthReset = true;
  }
  s.repairPassReset = true;
  RefreshSunTimes(ctx);
  // The next quiet moment saves every file, with the new day's counters.
  ctx.engine.autoSaveCounter = 50;

  char line[96];
  std::snprintf(line, sizeof line, "New Day - Sunrise %d:%d, Sunset %d:%d", s.sunriseHour, s.sunriseMinute,
                s.sunsetHour, s.sunsetMinute);
  ctx.log.LogActivity(line);
  return true;
}

}  // namespace quorvel
