#pragma once
// Short readable lines for the activity log from modem frames: who sent what to
// whom, command names, and X10 addresses and functions.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "device/insteon_id.h"
#include "platform/clock.h"

namespace quorvel {

inline constexpr size_t kTrafficTextMax = 127;
// X10 address frames remembered until their function frame arrives.
inline constexpr int kX10StackDepth = 6;

// A text of at most 127 characters, always terminated, built without allocating.
class TrafficLine {
 public:
  std::string_view view() const { return std::string_view(text_, length_); }
  const char* c_str() const { return text_; }
  size_t size() const { return length_; }
  bool empty() const { return length_ == 0; }

  // Appends as much of s as fits; the rest is cut off.
  void Append(std::string_view s);
  void AppendDecimal(unsigned value);
  // " %02x.%02x.%02x  ": the address form of the traffic lines, two trailing spaces.
  void AppendAddress(const uint8_t* id);

 private:
  char text_[kTrafficTextMax + 1] = {};
  size_t length_ = 0;
};

// The renderers and their memory: the last send echo and the X10 unit stack.
// The memory changes only when a decoded line is rendered.
class TrafficText {
 public:
  // Names a command. While the last echo rendered was a status request (0x19),
  // every command reads " Status P%", which is how a status reply shows its level.
  TrafficLine CommandText(uint8_t cmd1, uint8_t cmd2) const;

  // One line for a complete received frame; `lastIndex` is the frame length minus
  // one. Empty for frames that have no rendering or are too short for theirs.
  TrafficLine RenderTrafficText(Time arrival, size_t lastIndex, const uint8_t* frame);

  const InsteonId& LastSentId() const { return lastSentId_; }
  uint8_t LastSentCmd1() const { return lastSentCmd1_; }
  int X10UnitCount() const { return x10UnitCount_; }

 private:
  void RenderX10(const uint8_t* frame, TrafficLine& out);

  InsteonId lastSentId_{};
  uint8_t lastSentCmd1_ = 0;
  uint8_t x10Units_[kX10StackDepth] = {};
  int x10UnitCount_ = 0;
};

}  // namespace quorvel
