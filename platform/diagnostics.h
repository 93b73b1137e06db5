#pragma once
// The engine's diagnostic lines ("time_lastPLMreadALDB 3 minutes" and the
// like). They carry no behaviour and are written to the standard output stream
// unless a run points them elsewhere: the headless program prints each on a
// line of its own among the log lines, tests keep them out of their output.
#include <functional>
#include <string_view>

namespace quorvel {

class Diagnostics {
 public:
  void Write(std::string_view text) const;
  // Empty: the standard output stream.
  std::function<void(std::string_view)> sink;
};

// For a run that wants no diagnostics at all.
inline void Silence(Diagnostics& d) {
  d.sink = [](std::string_view) {};
}

}  // namespace quorvel
