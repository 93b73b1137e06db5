#pragma once
// A plain-text sink for runs without windows: every line a channel receives is
// printed at once as "<channel>: <text>", for example
// "General Activity: 01:05:09 pm  03-14-2011  |   Serial Port On 3 : Open".
#include <cstdint>
#include <cstdio>

#include "log/activity_log.h"

namespace quorvel {

class LogPrinter final : public LogSink {
 public:
  // Prints to `out` (stdout when headless). `channels` is a mask of
  // 1 << LogChannel values; all five by default.
  explicit LogPrinter(std::FILE* out, uint32_t channels = kAllChannels) : out_(out), channels_(channels) {}

  static constexpr uint32_t kAllChannels = (1u << kLogChannelCount) - 1;
  static constexpr uint32_t Bit(LogChannel c) { return 1u << static_cast<unsigned>(c); }

  // Bytes outside printable ASCII are escaped in every line, as the traffic
  // channel shows them, so one entry stays one printed line.
  void OnLine(const LogLine& line) override;

 private:
  std::FILE* out_;
  uint32_t channels_;
};

}  // namespace quorvel
