#include "automation/event_table.h"

#include <cstring>

#include "engine/context.h"

namespace quorvel {

namespace {

int AddEvent(Context& ctx, const EventRecord& record, bool timeEvent) {
  EventTable& table = ctx.events;
  for (int i = 0; i < kUsableEventSlots; ++i) {
    EventRecord& slot = table.records[i];
    if (slot.inUse != 0) continue;
    EventRecord copy;
    std::memcpy(&copy, &record, sizeof copy);
    copy.inUse = 1;
    copy.isTimeEvent = timeEvent ? 1 : 0;
    copy.isLogicEvent = timeEvent ? 0 : 1;
    std::memcpy(&slot, &copy, sizeof slot);
    if (table.eventCount < static_cast<uint32_t>(kUsableEventSlots)) ++table.eventCount;
    return i;
  }
  ctx.log.LogActivity(kEventTableFull);
  return -1;
}

}  // namespace

int AddTimeEvent(Context& ctx, const EventRecord& record) { return AddEvent(ctx, record, true); }

int AddLogicEvent(Context& ctx, const EventRecord& record) { return AddEvent(ctx, record, false); }

bool DeleteEvent(Context& ctx, int index) {
  if (index < 0 || index >= kUsableEventSlots) return false;
  std::memset(&ctx.events.records[index], 0, sizeof(EventRecord));
  return true;
}

}  // namespace quorvel
