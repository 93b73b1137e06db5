#pragma once
// The simulated modem behind the serial seam, in the same process: the link
// opens it, writes to it and reads its answers exactly as a real port's.
#include <string>

#include "platform/serial_port.h"
#include "sim/sim_network.h"

namespace quorvel::sim {

class SimPort final : public SerialPort {
 public:
  // The modem answers on `portNumber`; every other number fails to open.
  explicit SimPort(SimNetwork& network, int portNumber = 1) : network_(network), portNumber_(portNumber) {}

  bool Open(int portNumber) override;
  void Close() override;
  bool IsOpen() const override { return open_; }
  int Available() override;
  IoStatus Read(uint8_t* buf, size_t max, size_t& got) override;
  IoStatus WriteByte(uint8_t byte) override;
  std::string PortName(int portNumber) const override { return "sim" + std::to_string(portNumber); }
  // Makes the search keep to the modem's port, as for a device named outright.
  void PinToModemPort() { pinned_ = true; }
  int PinnedPort() const override { return pinned_ ? portNumber_ : 0; }

  // The adapter pulled out (reads and writes report it gone, opens fail) and
  // plugged back in.
  void Unplug() { unplugged_ = true; }
  void PlugIn() { unplugged_ = false; }
  int ModemPort() const { return portNumber_; }

 private:
  SimNetwork& network_;
  int portNumber_;
  bool open_ = false;
  bool unplugged_ = false;
  bool pinned_ = false;
};

}  // namespace quorvel::sim
