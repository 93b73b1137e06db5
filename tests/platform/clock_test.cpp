#include "platform/clock.h"

#include <gtest/gtest.h>

#include <ctime>

#include "support/scratch.h"

namespace quorvel {
namespace {

constexpr Time kMidsummerNorth = 1718971200;  // 2024-06-21 12:00 UTC
constexpr Time kMidsummerSouth = 1734782400;  // 2024-12-21 12:00 UTC

// The machine's clock says how far daylight saving has moved the zone's time,
// whatever the size of the move and the hemisphere. Zones given by their rules,
// so the test needs no zone files.
TEST(SystemClock, DaylightShiftIsTheZonesOwn) {
  struct Case {
    const char* zone;
    Time at;
    int shift;
    bool saving;
  };
  const Case cases[] = {
      // Lord Howe Island: UTC+10:30, half an hour ahead in the southern summer.
      {"LHST-10:30LHDT-11,M10.1.0,M4.1.0", kMidsummerSouth, 30, true},
      {"LHST-10:30LHDT-11,M10.1.0,M4.1.0", kMidsummerNorth, 0, false},
      {"EST5EDT,M3.2.0,M11.1.0", kMidsummerNorth, 60, true},
      {"EST5EDT,M3.2.0,M11.1.0", kMidsummerSouth, 0, false},
      // A zone that calls its winter time the saving one: the summer hour counts.
      {"IST-1GMT0,M10.5.0,M3.5.0/1", kMidsummerNorth, 60, false},
      {"IST-1GMT0,M10.5.0,M3.5.0/1", kMidsummerSouth, 0, true},
      {"UTC0", kMidsummerNorth, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.zone);
    LocalTime local;
    {
      testing::ScopedEnv zone("TZ", c.zone);
      tzset();
      local = SystemClock().Local(c.at);
    }
    tzset();
    ASSERT_TRUE(local.valid);
    EXPECT_EQ(local.daylightShiftMinutes, c.shift);
    EXPECT_EQ(local.daylightSaving, c.saving);
  }
}

TEST(TestClock, DaylightShiftCanBeSet) {
  TestClock clock(kMidsummerSouth);
  clock.SetUtcOffset(37800);
  clock.SetDaylightSaving(kMidsummerSouth - 86400, kMidsummerSouth + 86400, 30);
  const LocalTime in = clock.LocalNow();
  EXPECT_TRUE(in.daylightSaving);
  EXPECT_EQ(in.daylightShiftMinutes, 30);
  EXPECT_EQ(in.hour, 23);  // 12:00 UTC + 10:30 + 0:30
  EXPECT_EQ(in.minute, 0);
  const LocalTime out = clock.Local(kMidsummerSouth + 2 * 86400);
  EXPECT_FALSE(out.daylightSaving);
  EXPECT_EQ(out.daylightShiftMinutes, 0);
  EXPECT_EQ(out.minute, 30);
}

}  // namespace
}  // namespace quorvel
