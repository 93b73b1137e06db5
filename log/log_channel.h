#pragma once
// The five channels of the output pane and the line a channel holds.
#include <cstdint>
#include <string_view>

#include "log/row_ring.h"
#include "log/trace_event.h"

namespace quorvel {

enum class LogChannel : uint8_t {
  GeneralActivity = 0,
  InsteonTraffic = 1,
  QuedForActivity = 2,
  OnLog = 3,
  LinkReport = 4,
};
inline constexpr int kLogChannelCount = 5;

// The tab caption of a channel: "General Activity", "Insteon Traffic",
// "Qued for Activity", "On Log", "Link Report".
std::string_view ChannelName(LogChannel channel);

// An entry placed in a channel. `text` carries the time stamp the channel puts
// in front; `Text()` is what the row shows.
struct LogLine : TraceEvent {
  LogChannel channel = LogChannel::GeneralActivity;
  uint32_t rowData = 0;  // Qued for Activity: the device id, first byte in bits 16..23
};

// A channel's rows. A full list drops rows just after the first one on every
// line it adds, so the rows live in a ring, where that costs one move.
using LogRows = RowRing<LogLine>;

}  // namespace quorvel
