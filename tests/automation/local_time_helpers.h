#pragma once
// Moving the test clock to a given local wall time.
#include <cstdint>

#include "platform/clock.h"

namespace quorvel::testing {

// Days from 1970-01-01 to the civil date y-m-d (month 1..12).
inline int64_t CivilDays(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// The UTC second at which a clock `offsetSeconds` ahead of UTC reads the given
// local time (month 1..12).
inline Time AtLocal(int y, int m, int d, int hour, int minute, int second, int offsetSeconds) {
  return CivilDays(y, m, d) * 86400 + hour * 3600 + minute * 60 + second - offsetSeconds;
}

}  // namespace quorvel::testing
