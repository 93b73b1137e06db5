#include "views/event_editors/logic_events_model.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "automation/event_table.h"
#include "automation/x10_codes.h"
#include "engine/context.h"
#include "plm/send_queues.h"

namespace quorvel {

namespace {

constexpr uint8_t kOn = 0x11;
constexpr uint8_t kOff = 0x13;
constexpr uint8_t kAllDevices = 255;  // the group every device shares for ALL ON and ALL OFF
constexpr int kActionAllOn = 2;
constexpr int kActionAllOff = 3;

bool IsMotionSensor(uint8_t category, uint8_t subcategory) { return category == 0x10 && subcategory == 0x01; }

// The command of "ON" or "OFF" for an Insteon device and for an X10 address.
// "ALL ON" and "ALL OFF" set nothing here.
void OperatorAction(const Context& ctx, const LogicEventForm& form, bool deviceOperand, EventRecord& r) {
  if (form.operatorAction == 0) {
    r.x10Function = kX10On;
    r.operatorCmd1 = CommandCodeFromName(kOperatorActions[0]);
    r.operatorCmd2 = 0xFE;
  } else if (form.operatorAction == 1) {
    r.x10Function = kX10Off;
    r.operatorCmd1 = CommandCodeFromName(kOperatorActions[1]);
    r.operatorCmd2 = 0;
  } else {
    return;
  }
  if (!deviceOperand) return;
  const int slot = ctx.db.FindDevice(r.operatorId);
  if (slot < 0) return;
  const DeviceRecord& d = ctx.db[slot];
  if (d.category == 0x02) r.operatorCmd2 = 255;
  if (d.category == 0x01 && form.operatorAction == 0) r.operatorCmd2 = static_cast<uint8_t>(form.levelPosition * 5);
  if (form.operatorAction == 1) r.operatorCmd2 = 0;
}

const char* InitiatorWord(uint8_t cmd1) {
  switch (cmd1) {
    case 0x11: return "ON";
    case 0x13: return "OFF";
    case 0x15: return "BRI";
    case 0x16: return "DIM";
    default: return "";
  }
}

std::string OperatorWord(const EventRecord& r) {
  switch (r.operatorCmd1) {
    case 0x11: {
      char text[16];
      std::snprintf(text, sizeof text, "ON %d%%", std::min(r.operatorCmd2 * 2 / 5, 100));
      return text;
    }
    case 0x13: return "OFF";
    case 0x15: return "BRI";
    case 0x16: return "DIM";
    default: return "";
  }
}

}  // namespace

void ClickInitId(LogicEventForm& form) {
  form.initId = !form.initId;
  form.operId = !form.initId;
}

void ClickOperId(LogicEventForm& form) {
  form.useX10 = false;
  form.operId = !form.operId;
  form.initId = !form.operId;
}

void ClickUseX10(LogicEventForm& form) {
  form.operId = false;
  form.useX10 = !form.useX10;
}

bool ShowLogicEventDevice(Context& ctx, LogicEventForm& form, DeviceKey key) {
  TreePick pick = PickFromTree(ctx, key);
  switch (pick.source.kind) {
    case FieldSource::Kind::kNone:
      return false;
    case FieldSource::Kind::kGroup:
      form.operand = {std::move(pick.text), pick.source};
      return true;
    case FieldSource::Kind::kDevice:
      break;
  }
  if (!form.initId) {
    form.operand = {std::move(pick.text), pick.source};
    return true;
  }
  form.initiator = {std::move(pick.text), pick.source};
  const char* const* labels =
      IsMotionSensor(pick.category, pick.subcategory) ? kGroupRadioSensor : kGroupRadioDevice;
  for (int i = 0; i < 3; ++i) form.groupLabels[i] = labels[i];
  return true;
}

EventSaveOutcome SaveLogicEvent(Context& ctx, const LogicEventForm& form) {
  if (form.initiator.text.size() < 7) return Refused(kSelectionMissingTitle, kSelectInitiatorText);
  // The initiator the field shows, as the table holds it now.
  if (FieldDeviceSlot(ctx, form.initiator.source) < 0) return Refused(kSelectionMissingTitle, kSelectInitiatorText);
  if (form.initiatorAction < 0 || form.initiatorAction > 1)
    return Refused(kSelectionMissingTitle, "Please select Initiator Function.");
  if (form.initiatorGroup < 1 || form.initiatorGroup > 3)
    return Refused(kSelectionMissingTitle, "Please select the initiator's group.");
  if (form.operatorAction < 0 || form.operatorAction > 3)
    return Refused(kSelectionMissingTitle, "Please select Operator Function.");
  const uint8_t days = static_cast<uint8_t>(form.days & kAllWeekDays);
  if (days == 0) return Refused(kSelectionMissingTitle, kNoDaysText);
  // A wait list with nothing selected means no wait.
  const int minutes = form.waitMinutes < 0 ? 0 : form.waitMinutes;
  const int seconds = form.waitSeconds < 0 ? 0 : form.waitSeconds;
  if (minutes >= kWaitRows || seconds >= kWaitRows)
    return Refused(kValueOutOfRangeTitle, "The wait must be 0 to 239 minutes and 0 to 239 seconds.");
  if (form.levelPosition < 0 || form.levelPosition > kLevelPositionMax)
    return Refused(kValueOutOfRangeTitle, "The level must be 0 to 100%.");

  EventRecord r;
  std::memset(&r, 0, sizeof r);
  r.initiatorId = form.initiator.source.id;
  r.initiatorCmd1 = CommandCodeFromName(kInitiatorActions[form.initiatorAction]);
  r.initiatorCmd2 = r.initiatorCmd1 == kOn ? 0xFE : 0;
  r.initiatorGroup = static_cast<uint8_t>(form.initiatorGroup);

  if (form.useX10) {
    if (form.house < 0 || form.house >= kX10Rows) return Refused(kSelectionMissingTitle, kSelectHouseText);
    if (form.unit < 0 || form.unit >= kX10Rows) return Refused(kSelectionMissingTitle, kSelectUnitText);
    r.x10House = HouseCodeFromLetterIndex(form.house);
    r.x10Unit = UnitCodeFromNumberIndex(form.unit);
    OperatorAction(ctx, form, false, r);
    r.targetKind = 1;
  } else {
    if (form.operand.text.size() < 7) return Refused(kSelectionMissingTitle, kSelectOperatorText);
    const FieldSource& source = form.operand.source;
    const bool all = form.operatorAction == kActionAllOn || form.operatorAction == kActionAllOff;
    if (source.kind == FieldSource::Kind::kDevice) r.operatorId = source.id;
    if (all) {
      // ALL ON and ALL OFF go to the group every device shares, whatever the field shows.
      r.isGroup = 1;
      r.group = kAllDevices;
      r.operatorCmd1 = form.operatorAction == kActionAllOn ? kOn : kOff;
      r.operatorCmd2 = 0;
    } else if (source.kind == FieldSource::Kind::kGroup) {
      r.isGroup = 1;
      r.group = source.group;
      OperatorAction(ctx, form, false, r);
    } else if (FieldDeviceSlot(ctx, source) >= 0) {
      OperatorAction(ctx, form, true, r);
    } else {
      return Refused(kSelectionMissingTitle, kSelectOperatorText);
    }
  }

  r.days = days;
  r.offsetMode = 2;
  r.delayMinutes = static_cast<uint8_t>(minutes);
  r.delaySeconds = static_cast<uint8_t>(seconds);

  EventSaveOutcome out;
  out.slot = AddLogicEvent(ctx, r);
  if (!out.Stored()) {
    out.title = kEventTableFullTitle;
    out.text = kEventTableFull;
  }
  return out;
}

std::string LogicEventLine(const EventRecord& r) {
  const InsteonId& from = r.initiatorId;
  const std::string w2 = OperatorWord(r);
  const std::string days = WeekdayString(r.days);
  char head[96];
  std::snprintf(head, sizeof head, "%02x.%02x.%02x Group %d %s  then delay %d:%d ", from.b[0], from.b[1], from.b[2],
                r.initiatorGroup, InitiatorWord(r.initiatorCmd1), r.delayMinutes, r.delaySeconds);
  char target[32];
  // Listed as the rule acts: a group command first, then X10, then a device.
  if (r.isGroup == 1) {
    std::snprintf(target, sizeof target, "Group %d", r.group);
  } else if ((r.targetKind & 0x01) != 0) {
    std::snprintf(target, sizeof target, "%s", FormatX10Address(r.x10House, r.x10Unit).c_str());
  } else {
    const InsteonId& to = r.operatorId;
    std::snprintf(target, sizeof target, "%02x.%02x.%02x", to.b[0], to.b[1], to.b[2]);
  }
  return std::string(head) + target + " " + w2 + ", " + days;
}

EventTreeItem RebuildLogicEventList(const Context& ctx) {
  EventTreeItem root{kLogicEventsTitle, kEventTreeRoot, {}};
  for (int slot = 0; slot < kUsableEventSlots; ++slot) {
    const EventRecord& r = ctx.events.records[slot];
    if (r.inUse != 1 || r.isLogicEvent == 0) continue;
    root.children.push_back({LogicEventLine(r), kEventLineBase + static_cast<uint32_t>(slot), {}});
  }
  return root;
}

}  // namespace quorvel
