#pragma once
// The action executor shared by time events, logic events and plain sends.
namespace quorvel {

struct Context;
struct EventRecord;

// Sends the action of a record: a group command, an Insteon message through the
// send rings, or an X10 On/Off.
void ExecuteEventAction(Context& ctx, const EventRecord& record);

}  // namespace quorvel
