#pragma once
// The simulated modem with its network of devices behind it, driven by a Clock:
// what the host writes is acted on at once, and every answer becomes readable
// when the clock reaches its time. Tests drive it with a TestClock through
// SimPort; quorvel-sim drives it with the real clock over a pseudo-terminal.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "sim/sim_device.h"
#include "sim/sim_modem.h"
#include "sim/sim_random.h"

namespace quorvel::sim {

// Switchable faults; every chance is rolled from one generator seeded here.
struct Faults {
  double busyNak = 0;     // a complete command is refused with a lone 0x15
  double dropByte = 0;    // a byte on its way to the host is lost
  double garbleByte = 0;  // a byte on its way to the host is changed
  uint64_t seed = 1;
};

// Host commands the modem took in whole, those it refused as busy included.
struct HostCommandCounts {
  uint32_t insteonMessages = 0;  // Send INSTEON Message (0x62)
  uint32_t modemCommands = 0;    // every other command
};

// A whole house: the modem, its devices and the faults of the line.
struct House {
  SimModem modem;
  std::vector<SimDevice> devices;
  Faults faults;
  int repeats = 1;  // extra identical copies of each group broadcast the modem hears
};

class SimNetwork {
 public:
  SimNetwork(const Clock& clock, House house);
  SimNetwork(const SimNetwork&) = delete;
  SimNetwork& operator=(const SimNetwork&) = delete;

  // The host's side of the serial line. While no host is connected the
  // modem's output goes nowhere.
  void SetHostConnected(bool connected);
  bool HostConnected() const { return hostConnected_; }
  void HostWrite(uint8_t byte);
  size_t HostReadable();
  size_t HostRead(uint8_t* buf, size_t max);
  // When something next happens, for a loop on the real clock; -1 when idle.
  int64_t NextEventMillis() const;
  // Acts on everything due by the clock's now.
  void RunUntilNow();

  // What people do in the house. False for an unknown device.
  bool Press(const InsteonId& device, uint8_t group, uint8_t cmd1);
  // The SET button: wakes a sleeper and sends its wake-up (its identity
  // broadcast), or completes the modem's linking when it is linking.
  bool PressSet(const InsteonId& device, uint8_t group = 1);

  void SetFaults(const Faults& faults);  // reseeds the generator
  const Faults& CurrentFaults() const { return house_.faults; }

  SimModem& Modem() { return house_.modem; }
  const HostCommandCounts& Received() const { return received_; }
  std::vector<SimDevice>& Devices() { return house_.devices; }
  SimDevice* Device(const InsteonId& id);

  // Every command from the host and every frame to it, as text, when set.
  std::function<void(const std::string&)> trace;

 private:
  struct Event {
    int64_t at;
    uint64_t seq;
    std::function<void()> run;
  };
  struct OutByte {
    int64_t at;
    uint8_t byte;
  };

  void At(int64_t at, std::function<void()> run);
  void ToHost(int64_t at, std::vector<uint8_t> frame);
  void Emit(const std::vector<uint8_t>& frame);
  void Transmit(int64_t at, const AirMessage& m);
  void Hear(const AirMessage& m);
  void ModemHears(const AirMessage& m);
  bool DeviceHearsCleanup(SimDevice& d, const AirMessage& m);
  void EnterLinking(SimDevice& d, uint8_t group);
  void CompleteLinking(SimDevice& d, uint8_t group);
  void ExecuteCommand(const uint8_t* cmd, size_t n);
  void SendInsteon(const uint8_t* cmd, size_t n);
  void SendGroupCommand(uint8_t group, uint8_t cmd1, uint8_t cmd2);
  void ManageRecord(const uint8_t* cmd);
  std::vector<uint8_t> RecordFrame(const LinkEntry& e) const;

  const Clock& clock_;
  House house_;
  SimRandom random_;
  std::vector<Event> events_;  // a heap, earliest first
  uint64_t seq_ = 0;
  int64_t now_ = 0;            // the time being acted on
  std::deque<OutByte> out_;
  int64_t outMicros_ = 0;      // when the serial line is next free
  bool hostConnected_ = false;
  uint8_t cmd_[32] = {};
  size_t cmdLength_ = 0;
  int64_t lastCommandByte_ = 0;
  int64_t airBusyUntil_ = 0;
  InsteonId lastSender_{};
  HostCommandCounts received_;
};

}  // namespace quorvel::sim
