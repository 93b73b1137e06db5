#include "platform/diagnostics.h"

#include <cstdio>

namespace quorvel {

void Diagnostics::Write(std::string_view text) const {
  if (sink) {
    sink(text);
    return;
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

}  // namespace quorvel
