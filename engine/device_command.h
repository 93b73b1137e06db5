#pragma once
// A device switched or asked from the command line (--on, --off, --status):
// once the modem's link table is read, the message goes through the send
// queues as the window sends it, and the run ends with the device's own
// answer (its new level), or with the reason there was none.
//
//   waiting for the modem --(steady running)--> waiting for the answer --(ACK/NAK,
//   given up, bound)--> done
//   waiting for the modem --(no modem on any port, table not read in time)--> done
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "device/insteon_id.h"
#include "plm/frame_handler.h"

namespace quorvel {

struct Context;

enum class DeviceCommandKind : uint8_t { kOn, kOff, kStatus };

struct DeviceCommand {
  DeviceCommandKind kind = DeviceCommandKind::kStatus;
  InsteonId id{};
  int percent = 100;  // kOn: the level asked for, 0..100
};

// The level byte for a percentage: the smallest level that shows as that
// percentage again (level × 100 / 255), so "50" gives 128 and reads back 50%.
uint8_t LevelForPercent(int percent);
int PercentOfLevel(uint8_t level);

// The id as "AA.BB.CC" (or "AABBCC"); the level, for kOn only, a whole
// percentage 0..100 with or without "%" (empty: 100). False with a reason.
bool ParseDeviceCommand(DeviceCommandKind kind, std::string_view id, std::string_view level, DeviceCommand& out,
                        std::string& error);

// Ticks the command may wait for the modem's link table to be read.
inline constexpr int kDeviceCommandTableWaitTicks = 1500;  // four minutes
// Ticks it may wait for the answer once queued: the send queues give a silent
// device up long before, a sleeping one may be woken meanwhile.
inline constexpr int kDeviceCommandAnswerTicks = 750;  // two minutes
// Ticks it still listens after the queues gave the message up: an answer on a
// busy line may come after its entry was closed by other traffic.
inline constexpr int kDeviceCommandGraceTicks = 25;

// The run of one command. While attached it sits between the framer and the
// incoming-message handling, so it sees the device's answer itself.
class DeviceCommandRun final : public FrameHandler {
 public:
  enum class Phase : uint8_t { kWaitingForModem, kWaitingForAnswer, kDone };

  DeviceCommand command;
  Phase phase = Phase::kWaitingForModem;
  bool ok = false;
  std::string report;  // the device's answer, or why there was none

  // Puts the run between the framer and its handler; Detach puts it back.
  void Attach(Context& ctx);
  void Detach(Context& ctx);
  void HandleFrame(Context& ctx, const uint8_t* frame, size_t length) override;

  // Call once per tick after the main tick; true when the run is done.
  bool Step(Context& ctx);

 private:
  void Begin(Context& ctx);
  void Finish(bool ok, std::string line);
  bool Waiting(const Context& ctx) const;
  uint8_t Cmd1() const;
  uint8_t Cmd2() const;
  std::string DeviceText(const Context& ctx) const;

  FrameHandler* next_ = nullptr;
  int waited_ = 0;
  int grace_ = -1;  // ticks left after the queues let the message go; -1 while it waits
  bool sent_ = false;
  bool held_ = false;  // a wireless device: the command waits for it to wake
};

}  // namespace quorvel
