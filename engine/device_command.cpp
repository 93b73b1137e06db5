#include "engine/device_command.h"

#include <cstdio>

#include "device/device_catalogue.h"
#include "engine/context.h"
#include "platform/bytes.h"
#include "plm/incoming_messages.h"
#include "plm/send_queues.h"

namespace quorvel {

namespace {

constexpr uint8_t kOn = 0x11;
constexpr uint8_t kOff = 0x13;
constexpr uint8_t kStatus = 0x19;
constexpr uint8_t kStandardMessage = 0x50;
constexpr size_t kStandardLength = 11;
constexpr uint8_t kTypeMask = 0xE0;

template <typename... Args>
std::string Format(const char* format, Args... args) {
  char text[512];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

}  // namespace

uint8_t LevelForPercent(int percent) {
  if (percent <= 0) return 0;
  if (percent >= 100) return 0xFF;
  return static_cast<uint8_t>((percent * 255 + 99) / 100);
}

int PercentOfLevel(uint8_t level) { return level * 100 / 255; }

bool ParseDeviceCommand(DeviceCommandKind kind, std::string_view id, std::string_view level, DeviceCommand& out,
                        std::string& error) {
  out.kind = kind;
  if (!ParseInsteonId(std::string(id), out.id)) {
    error = "\"" + std::string(id) + "\" is not a device id like 2A.10.02";
    return false;
  }
  if (out.id == InsteonId{}) {
    error = "00.00.00 names no device";
    return false;
  }
  out.percent = 100;
  if (level.empty()) return true;
  if (kind != DeviceCommandKind::kOn) {
    error = "only --on takes a level";
    return false;
  }
  std::string_view digits = level;
  if (digits.back() == '%') digits.remove_suffix(1);
  int value = 0;
  bool ok = !digits.empty() && digits.size() <= 3;
  for (const char ch : digits) {
    if (!ok) break;  // a long text is never summed: it could overflow
    if (ch < '0' || ch > '9') ok = false;
    else value = value * 10 + (ch - '0');
  }
  if (!ok || value > 100) {
    error = "the level \"" + std::string(level) + "\" is not a percentage 0..100";
    return false;
  }
  out.percent = value;
  return true;
}

void DeviceCommandRun::Attach(Context& ctx) {
  if (ctx.framer.handler == this) return;
  next_ = ctx.framer.handler;
  ctx.framer.handler = this;
}

void DeviceCommandRun::Detach(Context& ctx) {
  if (ctx.framer.handler != this) return;
  ctx.framer.handler = next_;
  next_ = nullptr;
}

uint8_t DeviceCommandRun::Cmd1() const {
  switch (command.kind) {
    case DeviceCommandKind::kOn:
      return kOn;
    case DeviceCommandKind::kOff:
      return kOff;
    case DeviceCommandKind::kStatus:
      break;
  }
  return kStatus;
}

uint8_t DeviceCommandRun::Cmd2() const {
  return command.kind == DeviceCommandKind::kOn ? LevelForPercent(command.percent) : 0x00;
}

std::string DeviceCommandRun::DeviceText(const Context& ctx) const {
  std::string text = IdText(command.id);
  const int slot = ctx.db.FindDevice(command.id);
  if (slot < 0) return text;
  const DeviceRecord& r = ctx.db[slot];
  std::string_view name = FixedText(r.name);
  if (name.empty()) name = ProductName(r.category, r.subcategory);
  if (!name.empty()) text += " " + std::string(name);
  return text;
}

void DeviceCommandRun::Finish(bool success, std::string line) {
  ok = success;
  phase = Phase::kDone;
  report = std::move(line);
}

// The message still sits in the reply ring unanswered, or in the hold queue.
bool DeviceCommandRun::Waiting(const Context& ctx) const {
  return FindPending(ctx, command.id, Cmd1(), Cmd2()) >= 0 || ctx.queues.hold.Find(command.id, Cmd1()) >= 0;
}

void DeviceCommandRun::HandleFrame(Context& ctx, const uint8_t* frame, size_t length) {
  const bool standard = length == kStandardLength && frame[1] == kStandardMessage;
  const bool fromDevice = standard && InsteonId::FromBytes(frame + 2) == command.id;
  // A status answer carries no command of its own (cmd1 is the link table's
  // revision): it is the acknowledgement that closes the waiting request.
  const bool statusWasWaiting = fromDevice && Waiting(ctx);
  if (next_ != nullptr) next_->HandleFrame(ctx, frame, length);
  if (phase != Phase::kWaitingForAnswer || !fromDevice || !sent_) return;

  const uint8_t type = frame[8] & kTypeMask;
  const uint8_t cmd1 = frame[9];
  const uint8_t cmd2 = frame[10];
  if (type == kTypeNak) {
    Finish(false, cmd2 == 0xFF ? DeviceText(ctx) + " refused the command: it does not hold the modem in its link "
                                                   "table (the repair starts now; try again in a minute)"
                               : Format("%s refused the command (NAK %02x)", DeviceText(ctx).c_str(), cmd2));
    return;
  }
  if (type != kTypeAck) return;
  const int slot = ctx.db.FindDevice(command.id);
  const int percent = PercentOfLevel(slot >= 0 ? ctx.db[slot].level : cmd2);
  switch (command.kind) {
    case DeviceCommandKind::kOn:
      if (cmd1 == kOn) Finish(true, Format("%s: on, level %d%%", DeviceText(ctx).c_str(), percent));
      break;
    case DeviceCommandKind::kOff:
      if (cmd1 == kOff) Finish(true, Format("%s: off, level %d%%", DeviceText(ctx).c_str(), percent));
      break;
    case DeviceCommandKind::kStatus:
      if (statusWasWaiting && !Waiting(ctx))
        Finish(true, Format("%s: level %d%%", DeviceText(ctx).c_str(), PercentOfLevel(cmd2)));
      break;
  }
}

void DeviceCommandRun::Begin(Context& ctx) {
  const int slot = ctx.db.FindDevice(command.id);
  if (command.id == ctx.db.plm.plmId) {
    Finish(false, IdText(command.id) + " is the modem itself, not a device it switches");
    return;
  }
  if (slot < 0) {
    Finish(false, IdText(command.id) + " is not in the device database: the modem has no link to it");
    return;
  }
  held_ = IsWirelessDevice(ctx.db[slot]);
  SendStandard(ctx, command.id, Cmd1(), Cmd2());
  if (!Waiting(ctx)) {
    // The queue refused it, and said so in the log.
    Finish(false, "The send queue is full: nothing was sent to " + DeviceText(ctx));
    return;
  }
  phase = Phase::kWaitingForAnswer;
  waited_ = 0;
}

bool DeviceCommandRun::Step(Context& ctx) {
  switch (phase) {
    case Phase::kWaitingForModem:
      if (ctx.engine.engineState >= kEngineSteady && ctx.link.Answered()) {
        Begin(ctx);
        return phase == Phase::kDone;
      }
      // One whole round of the search without an answer: no point waiting on.
      if (!ctx.link.Answered() && !ctx.link.NoModemText().empty()) {
        const std::string& refusal = ctx.link.Refusal();
        Finish(false, refusal.empty() ? ctx.link.NoModemText() : "No modem answered: " + refusal);
        return true;
      }
      if (++waited_ > kDeviceCommandTableWaitTicks) {
        Finish(false, ctx.link.Answered() ? "The modem's link table was not read in time"
                                          : "No modem answered in time");
        return true;
      }
      return false;
    case Phase::kWaitingForAnswer: {
      const bool waiting = Waiting(ctx);
      if (waiting) {
        const int ring = FindPending(ctx, command.id, Cmd1(), Cmd2());
        if (ring >= 0 && ctx.queues.replyRing.slots[ring].tries > 0) sent_ = true;
        if (ring >= 0) held_ = false;  // released from the hold queue, or never held
      }
      if (!waiting && grace_ < 0) grace_ = kDeviceCommandGraceTicks;
      const bool graceOver = grace_ >= 0 && grace_-- == 0;
      if (graceOver || ++waited_ > kDeviceCommandAnswerTicks) {
        if (held_) {
          Finish(false, DeviceText(ctx) + " is a wireless device and did not wake to take the command "
                                          "(press its SET button, then try again)");
        } else {
          Finish(false, DeviceText(ctx) + " did not answer");
        }
        return true;
      }
      return false;
    }
    case Phase::kDone:
      return true;
  }
  return true;
}

}  // namespace quorvel
