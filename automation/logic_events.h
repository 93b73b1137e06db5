#pragma once
// Logic events: when device A sends ON or OFF for a group, switch a device, a
// computer group or an X10 address, after an optional wait.
#include <cstdint>

#include "device/insteon_id.h"

namespace quorvel {

struct Context;

// Called by the incoming-message handling for each standard ON/OFF from a device
// (never for a repeat, never while the modem's link table is read). `group` is
// the low byte of the to-address for a group broadcast, cmd2 for a clean-up and
// its acknowledgement, 1 for anything else. Every matching rule fires, in slot order.
void MatchLogicEvents(Context& ctx, uint8_t cmd1, const InsteonId& id, uint8_t group);

}  // namespace quorvel
