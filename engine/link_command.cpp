#include "engine/link_command.h"

#include <cstdio>

#include "engine/context.h"
#include "engine/link_operations.h"
#include "plm/send_queues.h"

namespace quorvel {

namespace {

void Finish(LinkCommandRun& run, bool ok, std::string line) {
  run.ok = ok;
  run.phase = LinkCommandRun::Phase::kDone;
  run.report.push_back(std::move(line));
}

// The modem as controller of the group: its controller record for the device.
void AddModemControllerRecord(Context& ctx, const DeviceRecord& r, uint8_t group) {
  const uint8_t add[10] = {0x6F, 0x40, kControllerRecordFlags, group, r.id.b[0], r.id.b[1], r.id.b[2],
                           r.category, r.subcategory, r.firmware};
  EnqueueModemCommand(ctx, add, sizeof add);
}

bool Begin(Context& ctx, LinkCommandRun& run) {
  const LinkCommand& c = run.command;
  DeviceDatabase& db = ctx.db;
  const int responder = db.FindDevice(c.responder);
  if (responder < 0) {
    Finish(run, false, "Link refused: " + IdTextUpper(c.responder) + " is not in the device database");
    return false;
  }
  run.confirmedAtStart = ctx.linkOps.state.writesConfirmed;
  run.failedAtStart = ctx.linkOps.state.writesFailed;
  if (RefuseWhileLinking(ctx)) {
    Finish(run, false, "Link refused: another link operation is running");
    return false;
  }
  bool prepared = false;
  if (c.controller == db.plm.plmId) {
    prepared = LinkDeviceToPlmGroup(ctx, responder, c.group);
    if (prepared) AddModemControllerRecord(ctx, db[responder], c.group);
  } else {
    const int controller = db.FindDevice(c.controller);
    if (controller < 0) {
      Finish(run, false, "Link refused: " + IdTextUpper(c.controller) + " is not in the device database");
      return false;
    }
    prepared = LinkControllerResponder(ctx, controller, c.group, responder, c.level);
  }
  if (!prepared) {
    // Both records exist already, or no slot was free: the log says which.
    Finish(run, true, "Nothing to write for " + IdTextUpper(c.controller) + " group " + std::to_string(c.group) +
                          " to " + IdTextUpper(c.responder));
    return false;
  }
  run.phase = LinkCommandRun::Phase::kRunning;
  return true;
}

}  // namespace

bool ParseLinkCommand(std::string_view controller, std::string_view responder, std::string_view group,
                      LinkCommand& out, std::string& error) {
  if (!ParseInsteonId(std::string(controller), out.controller)) {
    error = "the controller \"" + std::string(controller) + "\" is not an id like 1A.2B.3C";
    return false;
  }
  if (!ParseInsteonId(std::string(responder), out.responder)) {
    error = "the responder \"" + std::string(responder) + "\" is not an id like 1A.2B.3C";
    return false;
  }
  if (out.controller == out.responder) {
    error = "the controller and the responder are the same device";
    return false;
  }
  int value = 0;
  bool digits = !group.empty() && group.size() <= 3;
  for (const char ch : group) {
    if (!digits) break;  // a long text is never summed: it could overflow
    if (ch < '0' || ch > '9') digits = false;
    else value = value * 10 + (ch - '0');
  }
  if (!digits || value > 255) {
    error = "the group \"" + std::string(group) + "\" is not a number 0..255";
    return false;
  }
  out.group = static_cast<uint8_t>(value);
  return true;
}

bool StepLinkCommand(Context& ctx, LinkCommandRun& run) {
  switch (run.phase) {
    case LinkCommandRun::Phase::kWaitingForTable:
      if (ctx.engine.engineState < kEngineSteady) {
        if (++run.waitedTicks > kLinkCommandTableWaitTicks) {
          Finish(run, false, "Link not made: the modem's link table was not read");
          return true;
        }
        return false;
      }
      Begin(ctx, run);
      return run.phase == LinkCommandRun::Phase::kDone;
    case LinkCommandRun::Phase::kRunning: {
      if (LinkOperationRunning(ctx) || !ctx.queues.modem.Empty()) return false;
      const uint32_t confirmed = ctx.linkOps.state.writesConfirmed - run.confirmedAtStart;
      const uint32_t failed = ctx.linkOps.state.writesFailed - run.failedAtStart;
      char line[160];
      std::snprintf(line, sizeof line, "Link %s group %d to %s: %u record%s written, %u not taken",
                    IdTextUpper(run.command.controller).c_str(), run.command.group,
                    IdTextUpper(run.command.responder).c_str(), confirmed, confirmed == 1 ? "" : "s", failed);
      Finish(run, failed == 0, line);
      return true;
    }
    case LinkCommandRun::Phase::kDone:
      return true;
  }
  return true;
}

}  // namespace quorvel
