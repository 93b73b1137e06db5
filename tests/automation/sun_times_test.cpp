#include "automation/sun_times.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>

#include "platform/bytes.h"
#include "support/test_rig.h"
#include "local_time_helpers.h"

namespace quorvel {
namespace {

using testing::AtLocal;
using testing::TestRig;

// Puts the rig's clock at local noon of the given date, in a zone `timeZone`
// hours from Greenwich, inside daylight saving that moves the clock
// `dstMinutes` ahead when that is not 0.
void SetLocalNoon(TestRig& rig, int y, int m, int d, int timeZone, int dstMinutes) {
  const int offset = timeZone * 3600;
  rig.clock.SetUtcOffset(offset);
  const Time t = AtLocal(y, m, d, 12, 0, 0, offset + dstMinutes * 60);
  rig.clock.Set(t);
  if (dstMinutes != 0)
    rig.clock.SetDaylightSaving(t - 30 * 86400, t + 30 * 86400, dstMinutes);
  else
    rig.clock.SetDaylightSaving(0, 0);
}

void SetPlace(TestRig& rig, const char* lat, const char* lon, int timeZone) {
  CopyFixedText(rig->options.latitude, lat);
  CopyFixedText(rig->options.longitude, lon);
  rig->options.timeZone = timeZone;
}

struct SunCase {
  const char* name;
  int y, m, d;
  const char* lat;
  const char* lon;
  int timeZone;
  int dstMinutes;  // how far daylight saving moves the clock; 0: not in force
  int32_t sunrise;
  int32_t sunset;
};

// Expected minutes worked out by hand from the approximation with its own
// constants (five-digit pi, float coordinates, truncation toward zero).
const SunCase kSunCases[] = {
    // The default place: the colon ends each number, so 44.0 and -93.0 are used.
    {"defaults_summer", 2024, 6, 21, "44:96", "-93:10", -6, 60, 330, 1257},
    {"defaults_winter", 2024, 1, 15, "44:96", "-93:10", -6, 0, 465, 1017},
    {"decimal_point_is_read", 2024, 6, 21, "44.96", "-93.10", -6, 60, 327, 1261},
    {"exponent_and_blanks", 2024, 6, 21, "  4.4e1", "-9.3E1xx", -6, 60, 330, 1257},
    {"southern_summer", 2024, 12, 21, "-33.87", "151.21", 10, 60, 343, 1203},
    // The sun never sets: rise lands before midnight (kept negative), set just
    // before the next midnight; with daylight saving set passes 1440.
    {"polar_day", 2024, 6, 21, "69.65", "18.96", 1, 0, -13, 1426},
    {"polar_day_dst", 2024, 6, 21, "69.65", "18.96", 1, 60, 47, 1486},
    // The sun never rises: rise and set meet at solar noon.
    {"polar_night", 2024, 12, 21, "69.65", "18.96", 1, 0, 702, 702},
    // A zone twelve hours off its longitude: rise before midnight, kept negative.
    {"negative_rise", 2024, 3, 20, "0", "0", -12, 0, -352, 367},
    // West of its zone: set after 24 h wraps to the early morning.
    {"set_wraps_past_24", 2024, 6, 21, "60", "-60", 0, 0, 396, 87},
    // Daylight saving pushes a 23:07 sunset past midnight: 1447 matches no minute.
    {"dst_sunset_past_midnight", 2024, 6, 21, "60", "-25", 0, 60, 316, 1447},
    {"no_dst_then_dst", 2024, 3, 10, "44:96", "-93:10", -6, 0, 393, 1090},
    {"first_dst_day", 2024, 3, 11, "44:96", "-93:10", -6, 60, 451, 1151},
    // Days on which the five-digit pi decides the minute (a full-precision pi
    // gives 464 and 1082).
    {"five_digit_pi_rise", 2024, 1, 17, "44:96", "-93:10", -6, 0, 463, 1019},
    {"five_digit_pi_set", 2024, 3, 4, "44:96", "-93:10", -6, 0, 404, 1083},
    // Lord Howe Island moves its clock half an hour in summer: the sun times
    // move by that half hour, not by an hour.
    {"lord_howe_half_hour_dst", 2024, 12, 21, "-31.55", "159.08", 10, 30, 287, 1136},
    {"lord_howe_winter", 2024, 6, 21, "-31.55", "159.08", 10, 0, 384, 986},
};

void PrintTo(const SunCase& c, std::ostream* os) { *os << c.name; }

class SunTimesTable : public ::testing::TestWithParam<SunCase> {};

TEST_P(SunTimesTable, MinutesFromOptionsAndClock) {
  const SunCase& c = GetParam();
  TestRig rig;
  SetLocalNoon(rig, c.y, c.m, c.d, c.timeZone, c.dstMinutes);
  SetPlace(rig, c.lat, c.lon, c.timeZone);
  RefreshSunTimes(*rig);
  const SunTimes& s = rig->sun;
  EXPECT_EQ(s.sunriseMinutes, c.sunrise);
  EXPECT_EQ(s.sunsetMinutes, c.sunset);
  // The split truncates toward zero, so a negative rise keeps negative parts.
  EXPECT_EQ(s.sunriseHour, c.sunrise / 60);
  EXPECT_EQ(s.sunriseMinute, c.sunrise % 60);
  EXPECT_EQ(s.sunsetHour, c.sunset / 60);
  EXPECT_EQ(s.sunsetMinute, c.sunset % 60);
  EXPECT_TRUE(s.computed);
  EXPECT_TRUE(rig.Texts(LogChannel::GeneralActivity).empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, SunTimesTable, ::testing::ValuesIn(kSunCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SunTimes, NegativeRiseSplitsTowardZero) {
  TestRig rig;
  SetLocalNoon(rig, 2024, 3, 20, -12, 0);
  SetPlace(rig, "0", "0", -12);
  RefreshSunTimes(*rig);
  EXPECT_EQ(rig->sun.sunriseHour, -5);
  EXPECT_EQ(rig->sun.sunriseMinute, -52);
}

// Rows checked against the published sunrise and sunset tables of a national
// almanac office (civil times to the minute, upper limb with standard
// refraction) for the same city and date. The approximation stays within a few
// minutes of them.
struct AlmanacCase {
  const char* city;
  int y, m, d;
  const char* lat;
  const char* lon;
  int timeZone;
  bool dst;
  int riseHour, riseMinute, setHour, setMinute;
};

const AlmanacCase kAlmanac[] = {
    {"Minneapolis", 2024, 6, 21, "44.98", "-93.27", -6, true, 5, 26, 21, 3},
    {"Minneapolis", 2024, 12, 21, "44.98", "-93.27", -6, false, 7, 49, 16, 32},
    {"London", 2024, 6, 21, "51.5074", "-0.1278", 0, true, 4, 43, 21, 21},
    {"London", 2024, 12, 21, "51.5074", "-0.1278", 0, false, 8, 4, 15, 53},
    {"Sydney", 2024, 6, 21, "-33.87", "151.21", 10, false, 7, 0, 16, 54},
    {"Sydney", 2024, 12, 21, "-33.87", "151.21", 10, true, 5, 41, 20, 5},
};

TEST(SunTimes, CloseToPublishedTables) {
  for (const AlmanacCase& c : kAlmanac) {
    SCOPED_TRACE(std::string(c.city) + " " + std::to_string(c.m) + "/" + std::to_string(c.d));
    TestRig rig;
    SetLocalNoon(rig, c.y, c.m, c.d, c.timeZone, c.dst ? 60 : 0);
    SetPlace(rig, c.lat, c.lon, c.timeZone);
    RefreshSunTimes(*rig);
    EXPECT_LE(std::abs(rig->sun.sunriseMinutes - (c.riseHour * 60 + c.riseMinute)), 3);
    EXPECT_LE(std::abs(rig->sun.sunsetMinutes - (c.setHour * 60 + c.setMinute)), 3);
  }
}

struct ParseCase {
  const char* text;
  bool ok;
  float value;
};

TEST(SunTimes, ParseCoordinate) {
  const ParseCase cases[] = {
      {"44:96", true, 44.0f},   {"-93:10", true, -93.0f}, {"44.96", true, 44.96f}, {" \t+12.5e1x", true, 125.0f},
      {"7e", true, 7.0f},       {"7e+", true, 7.0f},      {".5", true, 0.5f},      {"5.", true, 5.0f},
      {"-0", true, 0.0f},       {"", false, 0},           {"-", false, 0},         {".", false, 0},
      {"N44", false, 0},        {"e5", false, 0},         {"1e39", false, 0},      {"abc", false, 0},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.text);
    const std::optional<float> v = ParseCoordinate(c.text);
    ASSERT_EQ(v.has_value(), c.ok);
    if (c.ok) {
      EXPECT_EQ(*v, c.value);
    }
  }
}

TEST(SunTimes, UnterminatedCoordinateFieldReadsOnlyItsWidth) {
  // A damaged options file: the latitude field holds ten digits and no
  // terminator, the longitude right behind it. Only nine characters are the
  // latitude: "000000004" is 4, where reading on would give 44.
  TestRig damaged;
  SetLocalNoon(damaged, 2024, 6, 21, -6, 60);
  SetPlace(damaged, "", "-93:10", -6);
  std::memcpy(damaged->options.latitude, "0000000044", sizeof damaged->options.latitude);
  RefreshSunTimes(*damaged);

  TestRig four;
  SetLocalNoon(four, 2024, 6, 21, -6, 60);
  SetPlace(four, "4", "-93:10", -6);
  RefreshSunTimes(*four);
  TestRig fortyFour;
  SetLocalNoon(fortyFour, 2024, 6, 21, -6, 60);
  SetPlace(fortyFour, "44", "-93:10", -6);
  RefreshSunTimes(*fortyFour);

  ASSERT_NE(four->sun.sunriseMinutes, fortyFour->sun.sunriseMinutes);
  EXPECT_EQ(damaged->sun.sunriseMinutes, four->sun.sunriseMinutes);
  EXPECT_EQ(damaged->sun.sunsetMinutes, four->sun.sunsetMinutes);
}

struct BadFormatCase {
  const char* lat;
  const char* lon;
  std::vector<std::string> lines;
};

TEST(SunTimes, BadCoordinateKeepsPreviousTimesAndSaysSoOncePerRefresh) {
  const BadFormatCase cases[] = {
      {"N44", "-93:10", {"bad latitude format"}},
      {"44:96", "", {"bad longitude format"}},
      {"", "W93", {"bad latitude format", "bad longitude format"}},
  };
  for (const BadFormatCase& c : cases) {
    SCOPED_TRACE(std::string(c.lat) + " / " + c.lon);
    TestRig rig;
    SetLocalNoon(rig, 2024, 6, 21, -6, 60);
    SetPlace(rig, "44:96", "-93:10", -6);
    RefreshSunTimes(*rig);
    ASSERT_EQ(rig->sun.sunriseMinutes, 330);

    // A day later with a broken text: yesterday's times stay.
    SetLocalNoon(rig, 2024, 12, 21, -6, 0);
    SetPlace(rig, c.lat, c.lon, -6);
    RefreshSunTimes(*rig);
    EXPECT_EQ(rig->sun.sunriseMinutes, 330);
    EXPECT_EQ(rig->sun.sunsetMinutes, 1257);
    EXPECT_EQ(rig->sun.sunriseHour, 5);
    EXPECT_EQ(rig->sun.sunriseMinute, 30);
    EXPECT_EQ(rig.Texts(LogChannel::GeneralActivity), c.lines);

    // Fixed again: the new date's times.
    SetPlace(rig, "44:96", "-93:10", -6);
    RefreshSunTimes(*rig);
    EXPECT_NE(rig->sun.sunriseMinutes, 330);
    EXPECT_EQ(rig.Texts(LogChannel::GeneralActivity).size(), c.lines.size());
  }
}

TEST(SunTimes, EveryLatitudeAndDateGivesDefinedMinutes) {
  // Typed latitudes beyond the poles and every day of a year: never a value
  // outside one day either side of midnight (no garbage from an undefined asin).
  const char* lats[] = {"90", "-90", "89.9", "-89.9", "95", "-95", "66.6", "-66.6", "180", "1e30"};
  for (const char* lat : lats) {
    for (int day = 0; day < 366; day += 5) {
      TestRig rig;
      const Time t = AtLocal(2024, 1, 1, 12, 0, 0, 0) + day * 86400;
      rig.clock.Set(t);
      SetPlace(rig, lat, "0", 0);
      RefreshSunTimes(*rig);
      SCOPED_TRACE(std::string(lat) + " day " + std::to_string(day));
      EXPECT_GT(rig->sun.sunriseMinutes, -1440);
      EXPECT_LT(rig->sun.sunriseMinutes, 1440);
      EXPECT_GT(rig->sun.sunsetMinutes, -1440);
      EXPECT_LT(rig->sun.sunsetMinutes, 1440);
    }
  }
}

TEST(SunTimes, FarOutTimeZoneOrLongitudeDoesNotOverflow) {
  struct Case {
    const char* lon;
    int32_t timeZone;
  };
  const Case cases[] = {{"0", INT32_MAX}, {"0", INT32_MIN}, {"1e30", 0}, {"-1e30", 0}};
  for (const Case& c : cases) {
    TestRig rig;
    SetLocalNoon(rig, 2024, 6, 21, 0, 0);
    SetPlace(rig, "44", c.lon, c.timeZone);
    RefreshSunTimes(*rig);
    // Far outside any day: no minute matches, and no overflow on the way.
    EXPECT_TRUE(rig->sun.sunriseMinutes < 0 || rig->sun.sunriseMinutes >= 1440);
    EXPECT_TRUE(rig->sun.sunsetMinutes < 0 || rig->sun.sunsetMinutes >= 1440);
  }
}

// The day-change check against dates of 2024: Friday 21 June, Sunday 23 June,
// Sunday 1 September.
struct DayCase {
  const char* name;
  int m, d;
  int8_t lastWeekday, lastMonth;
  bool changed, dayRoll, weekReset, monthReset;
  const char* line;
};

TEST(DayChangeCheck, FlagsAndLine) {
  const DayCase cases[] = {
      {"same_day", 6, 21, 5, 5, false, false, false, false, nullptr},
      {"friday_after_thursday", 6, 21, 4, 5, true, true, false, false, "New Day - Sunrise 5:30, Sunset 20:57"},
      {"into_sunday", 6, 23, 6, 5, true, true, true, false, "New Day - Sunrise 5:31, Sunset 20:57"},
      {"sunday_first_of_month", 9, 1, 6, 7, true, true, true, true, "New Day - Sunrise 6:37, Sunset 19:46"},
      // A weekday from a damaged file is only compared, never used as an index.
      {"garbage_weekday", 6, 21, -100, 5, true, true, false, false, "New Day - Sunrise 5:30, Sunset 20:57"},
  };
  for (const DayCase& c : cases) {
    SCOPED_TRACE(c.name);
    TestRig rig;
    SetLocalNoon(rig, 2024, c.m, c.d, -6, 60);
    SetPlace(rig, "44:96", "-93:10", -6);
    rig->options.lastWeekday = c.lastWeekday;
    rig->options.lastMonth = c.lastMonth;
    EXPECT_EQ(DayChangeCheck(*rig), c.changed);
    const SunTimes& s = rig->sun;
    EXPECT_EQ(s.dayRoll, c.dayRoll);
    EXPECT_EQ(s.weekReset, c.weekReset);
    EXPECT_EQ(s.monthReset, c.monthReset);
    EXPECT_EQ(s.repairPassReset, c.changed);
    EXPECT_EQ(rig->engine.autoSaveCounter, c.changed ? 50 : 0);
    EXPECT_EQ(s.computed, c.changed);
    const std::vector<std::string> lines = rig.Texts(LogChannel::GeneralActivity);
    if (c.line) {
      EXPECT_EQ(lines, std::vector<std::string>{c.line});
      const LocalTime now = rig.clock.LocalNow();
      EXPECT_EQ(rig->options.lastWeekday, now.weekday);
      EXPECT_EQ(rig->options.lastMonth, now.month);
    } else {
      EXPECT_TRUE(lines.empty());
    }

    // A second check on the same day finds nothing and says nothing.
    EXPECT_FALSE(DayChangeCheck(*rig));
    EXPECT_EQ(rig.Texts(LogChannel::GeneralActivity), lines);
  }
}

TEST(DayChangeCheck, RollsAtLocalMidnightOnly) {
  TestRig rig;
  rig.clock.SetUtcOffset(-6 * 3600);
  SetPlace(rig, "44:96", "-93:10", -6);
  rig.clock.Set(AtLocal(2024, 6, 22, 23, 59, 0, -6 * 3600));  // Saturday
  rig->options.lastWeekday = 6;
  rig->options.lastMonth = 5;
  EXPECT_FALSE(DayChangeCheck(*rig));
  rig.clock.Advance(59);
  EXPECT_FALSE(DayChangeCheck(*rig));
  rig.clock.Advance(1);  // 00:00:00 Sunday
  EXPECT_TRUE(DayChangeCheck(*rig));
  EXPECT_TRUE(rig->sun.weekReset);
  EXPECT_FALSE(rig->sun.monthReset);
  EXPECT_EQ(rig->options.lastWeekday, 0);
}

}  // namespace
}  // namespace quorvel
