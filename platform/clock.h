#pragma once
// The wall clock seam. Every wait in the system is counted in ticks or whole
// seconds against this clock, so tests run in virtual time.
#include <cstdint>

namespace quorvel {

// Seconds since 1970-01-01 00:00 UTC; 0 means never.
using Time = int64_t;

struct LocalTime {
  bool valid = false;  // false when the time cannot be converted (garbage from a file)
  int year = 0;        // four digits
  int month = 0;       // 0..11
  int day = 0;         // 1..31
  int hour = 0;        // 0..23
  int minute = 0;
  int second = 0;
  int weekday = 0;     // 0 = Sunday
  int yearDay = 0;     // 0..365
  bool daylightSaving = false;
  // How far daylight saving has moved the clock ahead of the zone's standard
  // time: 60 in most zones, 30 on Lord Howe Island, 0 outside it.
  int daylightShiftMinutes = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual int64_t NowMillis() const = 0;
  virtual LocalTime Local(Time t) const = 0;

  Time Now() const { return NowMillis() / 1000; }
  LocalTime LocalNow() const { return Local(Now()); }
};

// The machine's clock and time zone.
class SystemClock final : public Clock {
 public:
  int64_t NowMillis() const override;
  LocalTime Local(Time t) const override;
};

// A clock that moves only when a test moves it. Local time is UTC plus a fixed
// offset, plus the daylight-saving shift (an hour unless set) inside an
// optional daylight-saving period.
class TestClock final : public Clock {
 public:
  explicit TestClock(Time start = 1300000000) : millis_(start * 1000) {}

  int64_t NowMillis() const override { return millis_; }
  LocalTime Local(Time t) const override;

  void SetMillis(int64_t millis) { millis_ = millis; }
  void Set(Time t) { millis_ = t * 1000; }
  void AdvanceMillis(int64_t ms) { millis_ += ms; }
  void Advance(Time seconds) { millis_ += seconds * 1000; }

  void SetUtcOffset(int seconds) { utcOffset_ = seconds; }
  // Local times in [start, end) are shiftMinutes ahead and flagged as daylight saving.
  void SetDaylightSaving(Time start, Time end, int shiftMinutes = 60) {
    dstStart_ = start;
    dstEnd_ = end;
    dstShiftMinutes_ = shiftMinutes;
  }

 private:
  int64_t millis_;
  int utcOffset_ = 0;
  Time dstStart_ = 0;
  Time dstEnd_ = 0;
  int dstShiftMinutes_ = 60;
};

// Broken-down UTC time of t shifted by offsetSeconds; shared by the clocks.
LocalTime BreakDown(Time t, int offsetSeconds);

}  // namespace quorvel
