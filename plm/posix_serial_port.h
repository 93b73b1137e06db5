#pragma once
// The modem's serial line on a POSIX tty: exclusive, raw 19200 8N1 with no flow
// control, reads that never wait, and writes bounded in time.
#include <string>
#include <string_view>
#include <utility>

#include "platform/serial_port.h"

namespace quorvel {

inline constexpr int kSerialPortCount = 16;

// The device behind port number 1..16, USB adapters first because the 2413U is
// one; empty for any other number (port 0 names no port).
std::string_view SerialDevicePath(int portNumber);

class PosixSerialPort final : public SerialPort {
 public:
  PosixSerialPort() = default;
  ~PosixSerialPort() override;
  PosixSerialPort(const PosixSerialPort&) = delete;
  PosixSerialPort& operator=(const PosixSerialPort&) = delete;

  // A device named outright (a modem on an unusual name, the simulated modem):
  // port 1 opens it, no other number opens anything, and the search keeps to 1.
  // An empty path goes back to the numbered table.
  void ForcePath(std::string path) { forcedPath_ = std::move(path); }
  const std::string& ForcedPath() const { return forcedPath_; }

  // How long one byte may wait for room in the line's output; 1000 ms unless a
  // test shortens it.
  void SetWriteTimeoutMillis(int ms) { writeTimeoutMs_ = ms < 0 ? 0 : ms; }

  bool Open(int portNumber) override;
  void Close() override;
  bool IsOpen() const override { return fd_ >= 0; }
  int Available() override;
  IoStatus Read(uint8_t* buf, size_t max, size_t& got) override;
  IoStatus WriteByte(uint8_t byte) override;
  std::string PortName(int portNumber) const override;
  int PinnedPort() const override { return forcedPath_.empty() ? 0 : 1; }

  // The open descriptor, or -1; for reading back the line settings.
  int Descriptor() const { return fd_; }

 private:
  std::string PathOf(int portNumber) const;
  bool HungUp() const;

  int fd_ = -1;
  int writeTimeoutMs_ = 1000;
  std::string forcedPath_;
};

}  // namespace quorvel
