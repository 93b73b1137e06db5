#pragma once
// One line of the activity log: its kind decides its colour, and data lines
// show their non-printable bytes escaped so a raw modem frame stays readable.
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel {

// Colour kind of an entry.
enum class TraceKind : uint8_t {
  Comment,     // black
  CommentOn,   // green
  CommentOff,  // dark red
  Data,        // navy, non-printable bytes escaped
};

struct TraceColor {
  uint8_t red;
  uint8_t green;
  uint8_t blue;
  friend bool operator==(const TraceColor&, const TraceColor&) = default;
};

TraceColor KindColor(TraceKind kind);

// Each byte outside 0x20..0x7E as a C escape: \a \b \t \n \v \f \r, else \xNN
// in lower case. Quotes and backslashes stay as they are.
std::string EscapeTraceData(std::string_view bytes);

// An entry as the lists hold it: the stored text and its kind.
struct TraceEvent {
  TraceKind kind = TraceKind::Comment;
  std::string text;  // as given; for Data the raw bytes

  TraceColor TextColor() const { return KindColor(kind); }
  // What a row shows: the text, escaped for Data.
  std::string Text() const;
};

inline TraceEvent TraceComment(std::string_view text) { return {TraceKind::Comment, std::string(text)}; }
inline TraceEvent TraceCommentOn(std::string_view text) { return {TraceKind::CommentOn, std::string(text)}; }
inline TraceEvent TraceCommentOff(std::string_view text) { return {TraceKind::CommentOff, std::string(text)}; }
inline TraceEvent TraceData(std::string_view bytes) { return {TraceKind::Data, std::string(bytes)}; }

// A formatted comment is never longer than this.
inline constexpr size_t kFormatCommentMax = 2047;
// "Entries have been deleted from log (%d)": the notice a list puts at row 1
// once its limit has removed entries.
TraceEvent DeletionNotice(long long removed);
// The notice's text appended to `out`, which may reuse its storage.
void AppendDeletionNotice(std::string& out, long long removed);

}  // namespace quorvel
