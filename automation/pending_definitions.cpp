// Temporary definitions of functions whose owners are still building them, so
// everything links meanwhile. Each owner deletes its definition here when it
// lands the real one; the file goes when it is empty.
#include "automation/event_action.h"
#include "automation/logic_events.h"
#include "automation/time_events.h"

namespace quorvel {

void MatchLogicEvents(Context&, uint8_t, const InsteonId&, uint8_t) {}
void ScanTimeEvents(Context&) {}
void ExecuteEventAction(Context&, const EventRecord&) {}

}  // namespace quorvel
