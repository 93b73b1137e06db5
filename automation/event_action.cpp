#include "automation/event_action.h"

#include "automation/event_record.h"
#include "plm/send_queues.h"

namespace quorvel {

void ExecuteEventAction(Context& ctx, const EventRecord& record) {
  if (record.isGroup == 1) {
    SendGroupCommand(ctx, record.group, record.cmd1);
    return;
  }
  if (record.targetKind == 0) {
    RouteAction(ctx, record);
    return;
  }
  if ((record.targetKind & 0x01) != 0) {
    if (record.x10Function == kX10Off)
      SendX10(ctx, record.x10House, record.x10Unit, kX10Off);
    else if (record.x10Function == kX10On)
      SendX10(ctx, record.x10House, record.x10Unit, kX10On);
  }
}

}  // namespace quorvel
