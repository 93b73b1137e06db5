#include "support/test_rig.h"

namespace quorvel::testing {

std::vector<std::string> TestRig::Texts(LogChannel channel) const {
  std::vector<std::string> out;
  for (const LogLine& line : ctx->log.Lines(channel)) {
    const std::string& t = line.text;
    // The activity stamp ends with "|   "; the On Log stamp with ": ".
    size_t cut = 0;
    if (channel == LogChannel::GeneralActivity || channel == LogChannel::InsteonTraffic) {
      const size_t bar = t.find("|   ");
      if (bar != std::string::npos) cut = bar + 4;
    } else if (channel == LogChannel::OnLog) {
      const size_t colon = t.find(": ");
      if (colon != std::string::npos) cut = colon + 2;
    }
    out.push_back(t.substr(cut));
  }
  return out;
}

}  // namespace quorvel::testing
