#include "device/insteon_id.h"

#include <cctype>
#include <cstdio>

namespace quorvel {

namespace {
std::string Format(const char* fmt, const InsteonId& id) {
  char buf[24];
  std::snprintf(buf, sizeof buf, fmt, id.b[0], id.b[1], id.b[2]);
  return buf;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

std::string IdText(const InsteonId& id) { return Format("%02x.%02x.%02x", id); }
std::string IdTextUpper(const InsteonId& id) { return Format("%02X.%02X.%02X", id); }
std::string IdTextBracketed(const InsteonId& id) { return Format("[%02x %02x %02x]", id); }
std::string IdTextSpaced(const InsteonId& id) { return Format(" %02x.%02x.%02x ", id); }

bool ParseInsteonId(const std::string& text, InsteonId& out) {
  int digits[6];
  int n = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.' || c == ' ' || c == ':') {
      if (n == 0 || n % 2 != 0) return false;  // separators only between whole bytes
      continue;
    }
    const int v = HexValue(c);
    if (v < 0 || n == 6) return false;
    digits[n++] = v;
  }
  if (n != 6) return false;
  for (int i = 0; i < 3; ++i) out.b[i] = static_cast<uint8_t>(digits[2 * i] << 4 | digits[2 * i + 1]);
  return true;
}

}  // namespace quorvel
