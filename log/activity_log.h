#pragma once
// The log channels every part writes to: General Activity, Insteon Traffic,
// Qued for Activity, On Log and Link Report. The model lives here with no GUI;
// the output pane and the headless printer are sinks over it.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "device/insteon_id.h"
#include "platform/clock.h"

namespace quorvel {

class DeviceDatabase;

enum class LogChannel : uint8_t {
  GeneralActivity = 0,
  InsteonTraffic = 1,
  QuedForActivity = 2,
  OnLog = 3,
  LinkReport = 4,
};
inline constexpr int kLogChannelCount = 5;

// Colour kind of an entry.
enum class TraceKind : uint8_t {
  Comment,     // black
  CommentOn,   // green
  CommentOff,  // dark red
  Data,        // navy, non-printable bytes escaped
};

struct LogLine {
  LogChannel channel;
  TraceKind kind;
  std::string text;  // with its time stamp prefix
  uint32_t rowData = 0;  // Qued for Activity: the device id
};

// Receives every line as it is added, and every clear.
class LogSink {
 public:
  virtual ~LogSink() = default;
  virtual void OnLine(const LogLine& line) = 0;
  virtual void OnClear(LogChannel /*channel*/) {}
};

class ActivityLog {
 public:
  explicit ActivityLog(const Clock& clock);

  void LogActivity(std::string_view text);
  void LogActivityOn(std::string_view text);
  void LogActivityOff(std::string_view text);
  void LogTraffic(std::string_view text);
  void LogOnEvent(std::string_view text);
  void LogOffEvent(std::string_view text);
  void LogLinkReport(std::string_view text);

  void ClearActivity();
  void ClearLinkReport();
  void ClearQueued();
  // One row of the Qued for Activity tab for a held command to `id`; a wake-up
  // reminder in place of the text for wireless devices.
  void AddQueuedLine(std::string_view text, const InsteonId& id, const DeviceDatabase& db);

  // The last wake-up reminder, drawn by the device setup window.
  const std::string& WakeReminder() const { return wakeReminder_; }

  // Lines currently held by a channel, oldest first.
  const std::vector<LogLine>& Lines(LogChannel channel) const;
  // Entries dropped from a channel because of its limit.
  uint32_t Dropped(LogChannel channel) const;

  void AddSink(LogSink* sink);
  void RemoveSink(LogSink* sink);

  std::string ActivityTimeStamp() const;
  std::string OnLogTimeStamp(uint32_t t) const;

 private:
  void Append(LogChannel channel, TraceKind kind, std::string text, uint32_t rowData = 0);
  void Clear(LogChannel channel);

  const Clock& clock_;
  std::vector<LogLine> lines_[kLogChannelCount];
  uint32_t dropped_[kLogChannelCount] = {};
  std::vector<LogSink*> sinks_;
  std::string wakeReminder_;
};

}  // namespace quorvel
