#pragma once
// The modem's serial line on a POSIX tty: exclusive, raw 19200 8N1 with no flow
// control, reads that never wait, and writes bounded in time.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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
  // An empty path goes back to the numbered table. A bare name is an adapter
  // of the by-id folder (or a device of /dev), looked up at each open so a
  // replugged adapter is found under its new tty.
  void ForcePath(std::string path) { forcedPath_ = std::move(path); }
  const std::string& ForcedPath() const { return forcedPath_; }
  // The folder of stable adapter names; tests point it at a folder of their own.
  void SetByIdFolder(std::string folder) { byIdFolder_ = std::move(folder); }

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
  std::string OpenRefusal() const override { return refusal_; }
  // Ports 1..16, then the by-id adapters that are none of them (as listed by
  // the last Rescan).
  int PortCount() const override { return kSerialPortCount + static_cast<int>(extraPaths_.size()); }
  void Rescan() override;

  // The open descriptor, or -1; for reading back the line settings.
  int Descriptor() const { return fd_; }

 private:
  std::string PathOf(int portNumber) const;
  bool HungUp() const;

  int fd_ = -1;
  int writeTimeoutMs_ = 1000;
  std::string forcedPath_;
  std::string byIdFolder_;  // empty: the system's
  std::vector<std::string> extraPaths_;
  std::string refusal_;
};

}  // namespace quorvel
