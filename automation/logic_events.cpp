#include "automation/logic_events.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "automation/event_action.h"
#include "automation/x10_codes.h"
#include "engine/context.h"
#include "plm/send_queues.h"

namespace quorvel {

namespace {

constexpr std::string_view kLogicDisabled = "Logic Events Dis-abled!";

const char* InitiatorWord(uint8_t cmd1) {
  if (cmd1 == 0x11) return "ON";
  if (cmd1 == 0x13) return "OFF";
  return "";
}

// The operator command may be an Insteon ON/OFF or an X10 function.
const char* OperatorWord(uint8_t cmd1) {
  if (cmd1 == 0x11 || cmd1 == 2) return "ON";
  if (cmd1 == 0x13 || cmd1 == 3) return "OFF";
  return "";
}

void FireLogicEvent(Context& ctx, Time now, EventRecord& record) {
  // A device's broadcast and its clean-up arrive within the same second: act
  // once for both. Any other second is a new press, whatever its minute.
  if (record.lastFired == static_cast<uint32_t>(now)) return;

  EventRecord action;
  std::memcpy(&action, &record, sizeof action);
  action.targetId = record.operatorId;
  action.cmd1 = record.operatorCmd1;
  action.cmd2 = record.operatorCmd2;
  // With the hops of every other direct message, so the rule reaches a device
  // beyond direct range.
  action.msgFlags = kFlagsStandard;

  const char* w1 = InitiatorWord(record.initiatorCmd1);
  const char* w2 = OperatorWord(record.operatorCmd1);
  const InsteonId& from = record.initiatorId;
  const InsteonId& to = record.operatorId;
  char line[160];
  line[0] = '\0';
  if (record.isGroup != 0) {
    std::snprintf(line, sizeof line, "Logic Event - %d, %s", record.group, w2);
  } else if (record.targetKind == 1) {
    const std::string address = FormatX10Address(record.x10House, record.x10Unit);
    std::snprintf(line, sizeof line, "%02x.%02x.%02x Group %d %s  then delay %d:%d %s %s", from.b[0], from.b[1],
                  from.b[2], record.initiatorGroup, w1, record.delayMinutes, record.delaySeconds, address.c_str(),
                  w2);
  } else if (record.targetKind == 0) {
    std::snprintf(line, sizeof line, "Logic Event - %02x.%02x.%02x, %s then %02x.%02x.%02x, %s %d", from.b[0],
                  from.b[1], from.b[2], w1, to.b[0], to.b[1], to.b[2], w2, record.operatorCmd2);
  }
  if (line[0] != '\0') ctx.log.LogActivity(line);

  if ((ctx.options.runFlags & kRunLogicEvents) == 0) {
    ctx.log.LogActivity(kLogicDisabled);
    return;
  }
  ExecuteEventAction(ctx, action);
  record.lastFired = static_cast<uint32_t>(now);
}

}  // namespace

void MatchLogicEvents(Context& ctx, uint8_t cmd1, const InsteonId& id, uint8_t group) {
  const Time now = ctx.clock.Now();
  const LocalTime lt = ctx.clock.Local(now);
  if (!lt.valid) return;
  for (int i = 0; i < kUsableEventSlots; ++i) {
    EventRecord& record = ctx.events.records[i];
    if (((record.days >> lt.weekday) & 1) == 0) continue;
    if (record.inUse != 1 || record.isLogicEvent != 1) continue;
    if (record.initiatorCmd1 != cmd1 || !(record.initiatorId == id)) continue;
    if (record.initiatorGroup == 0 || record.initiatorGroup != group) continue;
    FireLogicEvent(ctx, now, record);
  }
}

}  // namespace quorvel
