#pragma once
// A serial port over bytes in memory, for tools and benchmarks that run the
// program's receive side on a capture instead of a modem.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/serial_port.h"

namespace quorvel::tools {

class MemoryPort final : public SerialPort {
 public:
  bool Open(int /*portNumber*/) override {
    open_ = true;
    return true;
  }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  int Available() override { return static_cast<int>(Pending()); }
  IoStatus Read(uint8_t* buf, size_t max, size_t& got) override {
    got = 0;
    if (!open_) return IoStatus::NotOpen;
    got = std::min({max, chunk_, size_ - pos_});
    if (got > 0) std::memcpy(buf, data_ + pos_, got);
    pos_ += got;
    return IoStatus::Ok;
  }
  // What is written goes nowhere: there is no modem to answer.
  IoStatus WriteByte(uint8_t /*byte*/) override { return open_ ? IoStatus::Ok : IoStatus::NotOpen; }
  std::string PortName(int /*portNumber*/) const override { return "memory"; }

  // Hands out these bytes next; the caller keeps them alive until they are read.
  void Load(const uint8_t* bytes, size_t n) {
    data_ = bytes;
    size_ = n;
    pos_ = 0;
  }
  size_t Pending() const { return size_ - pos_; }
  // Each read returns at most n bytes (at least 1).
  void SetReadChunk(size_t n) { chunk_ = n == 0 ? 1 : n; }

 private:
  bool open_ = true;
  const uint8_t* data_ = nullptr;
  size_t size_ = 0;
  size_t pos_ = 0;
  size_t chunk_ = static_cast<size_t>(-1);
};

}  // namespace quorvel::tools
