#pragma once
// A serial port for tests: chosen port numbers open, bytes queued by the test are
// read back in chunks, and every byte written is kept for inspection.
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "platform/serial_port.h"

namespace quorvel::testing {

class FakeSerialPort : public SerialPort {
 public:
  bool Open(int portNumber) override;
  void Close() override { open_ = -1; }
  bool IsOpen() const override { return open_ > 0; }
  int Available() override;
  IoStatus Read(uint8_t* buf, size_t max, size_t& got) override;
  IoStatus WriteByte(uint8_t byte) override;
  std::string PortName(int portNumber) const override { return "fake" + std::to_string(portNumber); }

  // Test controls.
  void AllowPort(int portNumber) { openable_.insert(portNumber); }
  void Feed(const std::vector<uint8_t>& bytes) { inbound_.insert(inbound_.end(), bytes.begin(), bytes.end()); }
  // Each read returns at most this many bytes (to split frames across reads).
  void SetReadChunk(size_t n) { chunk_ = n; }
  void SetGone(bool gone) { gone_ = gone; }
  void SetWriteTimeout(bool timeout) { writeTimeout_ = timeout; }
  int OpenPort() const { return open_; }
  std::vector<int> OpenAttempts() const { return attempts_; }
  std::vector<uint8_t>& Written() { return written_; }

 private:
  int open_ = -1;
  std::set<int> openable_;
  std::vector<int> attempts_;
  std::deque<uint8_t> inbound_;
  std::vector<uint8_t> written_;
  size_t chunk_ = 1 << 20;
  bool gone_ = false;
  bool writeTimeout_ = false;
};

}  // namespace quorvel::testing
