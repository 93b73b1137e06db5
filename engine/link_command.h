#pragma once
// A link made from the command line: a controller's group linked to a
// responder, run by the engine like one made in the window, and reported when
// it ends. A controller that is the modem puts the responder into that
// computer group.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "device/insteon_id.h"

namespace quorvel {

struct Context;

struct LinkCommand {
  InsteonId controller{};
  InsteonId responder{};
  uint8_t group = 1;
  uint8_t level = 0xFF;  // the responder's on level
};

// Ids as "AA.BB.CC" (or "AABBCC"), the group 0..255. False with a reason.
bool ParseLinkCommand(std::string_view controller, std::string_view responder, std::string_view group,
                      LinkCommand& out, std::string& error);

// Ticks the command may wait for the modem's link table to be read before the
// devices must be in the database.
inline constexpr int kLinkCommandTableWaitTicks = 1500;  // four minutes

struct LinkCommandRun {
  enum class Phase : uint8_t { kWaitingForTable, kRunning, kDone };
  LinkCommand command;
  Phase phase = Phase::kWaitingForTable;
  bool ok = false;
  int waitedTicks = 0;
  uint32_t confirmedAtStart = 0;
  uint32_t failedAtStart = 0;
  std::vector<std::string> report;  // the lines that tell how it went
};

// Call once per tick after the main tick. Starts the operation once the
// engine is in steady running and ends when no link operation runs any more.
// True when the run is done (see `ok` and `report`).
bool StepLinkCommand(Context& ctx, LinkCommandRun& run);

}  // namespace quorvel
