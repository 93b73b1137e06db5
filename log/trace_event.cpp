#include "log/trace_event.h"

#include <cstdio>

namespace quorvel {

TraceColor KindColor(TraceKind kind) {
  switch (kind) {
    case TraceKind::Comment: return {0, 0, 0};
    case TraceKind::CommentOn: return {0, 136, 0};
    case TraceKind::CommentOff: return {136, 0, 0};
    case TraceKind::Data: return {0, 0, 128};
  }
  return {0, 0, 0};
}

std::string EscapeTraceData(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    const auto b = static_cast<uint8_t>(c);
    if (b >= 0x20 && b <= 0x7E) {
      out += c;
      continue;
    }
    switch (b) {
      case 0x07: out += "\\a"; break;
      case 0x08: out += "\\b"; break;
      case 0x09: out += "\\t"; break;
      case 0x0A: out += "\\n"; break;
      case 0x0B: out += "\\v"; break;
      case 0x0C: out += "\\f"; break;
      case 0x0D: out += "\\r"; break;
      default:
        out += "\\x";
        out += kHex[b >> 4];
        out += kHex[b & 0x0F];
    }
  }
  return out;
}

std::string TraceEvent::Text() const { return kind == TraceKind::Data ? EscapeTraceData(text) : text; }

void AppendDeletionNotice(std::string& out, long long removed) {
  char buf[64];
  // The template takes an int; a count beyond it cannot occur in a run, but is
  // printed whole rather than wrapped.
  const int n = std::snprintf(buf, sizeof buf, "Entries have been deleted from log (%lld)", removed);
  out.append(buf, static_cast<size_t>(n > 0 ? n : 0));
}

TraceEvent DeletionNotice(long long removed) {
  TraceEvent notice = TraceComment("");
  AppendDeletionNotice(notice.text, removed);
  return notice;
}

}  // namespace quorvel
