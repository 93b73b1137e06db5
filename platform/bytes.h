#pragma once
// Byte helpers for stored records and wire frames: fixed-length texts that are
// always terminated, and little-endian integers read without unaligned casts.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace quorvel {

// Copies text into a fixed field of `width` bytes: at most width-1 characters,
// the rest zero, so the field is always NUL-terminated.
inline void CopyFixedText(char* field, size_t width, std::string_view text) {
  if (width == 0) return;
  const size_t n = text.size() < width - 1 ? text.size() : width - 1;
  std::memcpy(field, text.data(), n);
  std::memset(field + n, 0, width - n);
}

template <size_t N>
inline void CopyFixedText(char (&field)[N], std::string_view text) {
  CopyFixedText(field, N, text);
}

// Reads a fixed text field that may lack its terminator (a damaged file): never
// looks past width-1 bytes.
inline std::string_view FixedText(const char* field, size_t width) {
  if (width == 0) return {};
  size_t n = 0;
  while (n < width - 1 && field[n] != '\0') ++n;
  return std::string_view(field, n);
}

template <size_t N>
inline std::string_view FixedText(const char (&field)[N]) {
  return FixedText(field, N);
}

// Terminates a fixed field in place; true when it had to.
inline bool TerminateFixedText(char* field, size_t width) {
  if (width == 0) return false;
  if (std::memchr(field, '\0', width - 1) != nullptr) return false;
  const bool lastWasNul = field[width - 1] == '\0';
  field[width - 1] = '\0';
  return !lastWasNul;
}

inline uint32_t ReadLE32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

inline void WriteLE32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace quorvel
