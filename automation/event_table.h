#pragma once
// Adding and deleting events in the one table that time events and logic events share.
#include <string_view>

#include "automation/event_record.h"

namespace quorvel {

struct Context;

// Shown when all usable slots hold an event, so the user's new event is not
// silently dropped.
inline constexpr std::string_view kEventTableFull = "Event table full (399 events) - new event not saved";

// Store a new event in the first free slot of 0..398; the slot index, or -1 when
// the table is full (logged in General Activity).
int AddTimeEvent(Context& ctx, const EventRecord& record);
int AddLogicEvent(Context& ctx, const EventRecord& record);
// Clears slot `index` (all of it); eventCount stays. False for an index outside 0..398.
bool DeleteEvent(Context& ctx, int index);

}  // namespace quorvel
