// Arbitrary text into quorvel-decode's input: the hex parser takes bytes only
// from whole pairs of hex digits, reads text that arrives in pieces exactly as
// the same text in lines, and the whole decoding path survives anything.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "tools/trace_decoder.h"

namespace {

using quorvel::tools::HexStream;

class Collected final : public HexStream::Sink {
 public:
  void OnBadToken(size_t /*lineNumber*/, std::string_view token) override { bad.emplace_back(token); }
  void OnBytes(const uint8_t* b, size_t n) override { bytes.insert(bytes.end(), b, b + n); }
  std::vector<uint8_t> bytes;
  std::vector<std::string> bad;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  std::vector<uint8_t> bytes;
  std::vector<std::string_view> bad;
  quorvel::tools::ParseHexLine(text, bytes, bad);
  if (bytes.size() > size / 2) __builtin_trap();
  for (std::string_view token : bad) {
    if (token.empty() || token.data() < text.data() || token.data() + token.size() > text.data() + text.size()) {
      __builtin_trap();
    }
  }

  // Streamed in pieces, the text reads as its lines do, while nothing is long
  // enough to be taken in pieces.
  if (size < HexStream::kTokenMax) {
    Collected lines;
    size_t from = 0;
    while (from <= text.size()) {
      size_t end = text.find('\n', from);
      if (end == std::string::npos) end = text.size();
      std::vector<std::string_view> lineBad;
      quorvel::tools::ParseHexLine(std::string_view(text).substr(from, end - from), lines.bytes, lineBad);
      lines.bad.insert(lines.bad.end(), lineBad.begin(), lineBad.end());
      from = end + 1;
    }
    Collected streamed;
    HexStream stream(streamed);
    const size_t piece = size == 0 ? 1 : 1 + data[0] % 13;
    for (size_t at = 0; at < size; at += piece) stream.Feed(std::string_view(text).substr(at, piece));
    stream.End();
    if (streamed.bytes != lines.bytes || streamed.bad != lines.bad) __builtin_trap();
  }

  // One decoder for the whole run (its context is large), restarted after each
  // input: every input meets a fresh receive side, so a crash reproduces from
  // its input alone, and what an input allocated is freed before it ends.
  static std::ostringstream out;
  static quorvel::tools::TraceDecoder decoder(out);
  std::istringstream in(text);
  std::ostringstream err;
  const int status = quorvel::tools::DecodeCapture(decoder, in, err, false);
  if (status != 0 && status != 1) __builtin_trap();
  if ((status == 1) != !err.str().empty()) __builtin_trap();
  decoder.Restart();
  out.str("");
  return 0;
}
