#pragma once
// The 3-byte Insteon address, most significant byte first, and its text forms.
#include <array>
#include <cstdint>
#include <string>

namespace quorvel {

struct InsteonId {
  uint8_t b[3];  // no initialiser: records holding ids stay trivial, so they can be zeroed and copied as bytes

  static InsteonId From(uint8_t hi, uint8_t mid, uint8_t lo) { return InsteonId{{hi, mid, lo}}; }
  static InsteonId FromBytes(const uint8_t* p) { return InsteonId{{p[0], p[1], p[2]}}; }
  static InsteonId FromValue(uint32_t v) {
    return InsteonId{{static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)}};
  }
  uint32_t Value() const { return uint32_t{b[0]} << 16 | uint32_t{b[1]} << 8 | b[2]; }
  bool IsZero() const { return (b[0] | b[1] | b[2]) == 0; }
  void CopyTo(uint8_t* p) const {
    p[0] = b[0];
    p[1] = b[1];
    p[2] = b[2];
  }
  friend bool operator==(const InsteonId&, const InsteonId&) = default;
};
static_assert(sizeof(InsteonId) == 3);

// "%02x.%02x.%02x": the usual form in log lines, lists and dialogs.
std::string IdText(const InsteonId& id);
// "%02X.%02X.%02X": link-operation messages and wake-up reminders.
std::string IdTextUpper(const InsteonId& id);
// "[%02x %02x %02x]": activity lines of incoming ON/OFF and group messages.
std::string IdTextBracketed(const InsteonId& id);
// " %02x.%02x.%02x ": the traffic text.
std::string IdTextSpaced(const InsteonId& id);

// Parses "1a.2b.3c", "1A2B3C" or "1a 2b 3c"; false on anything else.
bool ParseInsteonId(const std::string& text, InsteonId& out);

}  // namespace quorvel
