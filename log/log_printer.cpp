#include "log/log_printer.h"

#include <string>

namespace quorvel {

void LogPrinter::OnLine(const LogLine& line) {
  if (out_ == nullptr || (channels_ & Bit(line.channel)) == 0) return;
  const std::string_view name = ChannelName(line.channel);
  const std::string text = EscapeTraceData(line.text);
  std::fprintf(out_, "%.*s: %s\n", static_cast<int>(name.size()), name.data(), text.c_str());
  std::fflush(out_);
}

}  // namespace quorvel
