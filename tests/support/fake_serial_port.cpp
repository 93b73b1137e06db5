#include "support/fake_serial_port.h"

namespace quorvel::testing {

bool FakeSerialPort::Open(int portNumber) {
  attempts_.push_back(portNumber);
  if (openable_.count(portNumber) == 0) return false;
  open_ = portNumber;
  gone_ = false;
  return true;
}

int FakeSerialPort::Available() {
  if (gone_) return -1;
  return static_cast<int>(inbound_.size());
}

IoStatus FakeSerialPort::Read(uint8_t* buf, size_t max, size_t& got) {
  got = 0;
  if (!IsOpen()) return IoStatus::NotOpen;
  if (gone_) return IoStatus::Gone;
  while (got < max && got < chunk_ && !inbound_.empty()) {
    buf[got++] = inbound_.front();
    inbound_.pop_front();
  }
  return IoStatus::Ok;
}

IoStatus FakeSerialPort::WriteByte(uint8_t byte) {
  if (!IsOpen()) return IoStatus::NotOpen;
  if (gone_) return IoStatus::Gone;
  if (writeTimeout_) return IoStatus::TimedOut;
  written_.push_back(byte);
  return IoStatus::Ok;
}

}  // namespace quorvel::testing
