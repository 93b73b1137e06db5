// Temporary definitions of functions whose owners are still building them, so
// everything links meanwhile. Each owner deletes its definition here when it
// lands the real one; the file goes when it is empty.
#include "automation/event_action.h"

namespace quorvel {

void ExecuteEventAction(Context&, const EventRecord&) {}

}  // namespace quorvel
