#include "sim/sim_port.h"

namespace quorvel::sim {

bool SimPort::Open(int portNumber) {
  if (open_) return true;
  if (portNumber != portNumber_ || unplugged_) return false;
  open_ = true;
  network_.SetHostConnected(true);
  return true;
}

void SimPort::Close() {
  if (!open_) return;
  open_ = false;
  network_.SetHostConnected(false);
}

int SimPort::Available() {
  if (!open_) return 0;
  if (unplugged_) return -1;
  return static_cast<int>(network_.HostReadable());
}

IoStatus SimPort::Read(uint8_t* buf, size_t max, size_t& got) {
  got = 0;
  if (!open_) return IoStatus::NotOpen;
  if (unplugged_) return IoStatus::Gone;
  got = network_.HostRead(buf, max);
  return IoStatus::Ok;
}

IoStatus SimPort::WriteByte(uint8_t byte) {
  if (!open_) return IoStatus::NotOpen;
  if (unplugged_) return IoStatus::Gone;
  network_.HostWrite(byte);
  return IoStatus::Ok;
}

}  // namespace quorvel::sim
