// Arbitrary text into quorvel-decode's input: the hex parser takes bytes only
// from whole pairs of hex digits, and the whole decoding path survives anything.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "tools/trace_decoder.h"

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

  // One decoder for the whole run (its context is large); each input meets a
  // fresh receive side, so a crash reproduces from its input alone.
  static std::ostringstream out;
  static quorvel::tools::TraceDecoder decoder(out);
  out.str("");
  decoder.Restart();
  std::istringstream in(text);
  std::ostringstream err;
  const int status = quorvel::tools::DecodeCapture(decoder, in, err, false);
  if (status != 0 && status != 1) __builtin_trap();
  if ((status == 1) != !err.str().empty()) __builtin_trap();
  return 0;
}
