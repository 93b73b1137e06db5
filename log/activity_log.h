#pragma once
// The log channels every part writes to: General Activity, Insteon Traffic,
// Qued for Activity, On Log and Link Report. The model lives here with no GUI;
// the output pane and the headless printer are sinks over it.
//
// A channel keeps its rows whether or not a view shows it: a view made later
// (or none at all, when headless) reads what the channel holds, and the limit
// of 1000 keeps that bounded.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "device/insteon_id.h"
#include "log/log_channel.h"
#include "log/trace_event.h"
#include "log/trace_list.h"
#include "platform/clock.h"

namespace quorvel {

class DeviceDatabase;
class Notifier;

// Entry limit of the four channels that hold trace entries; Qued for Activity has none.
inline constexpr int kChannelEntryLimit = 1000;
// The wake-up reminder is held in 127 characters.
inline constexpr size_t kWakeReminderMax = 127;

// Receives every line as it is added, and every clear.
class LogSink {
 public:
  virtual ~LogSink() = default;
  virtual void OnLine(const LogLine& line) = 0;
  virtual void OnClear(LogChannel /*channel*/) {}
  // The limit removed rows and put its notice at row 1 before the line just
  // added; a view that mirrors the rows reloads them from the channel's list.
  virtual void OnTrimmed(LogChannel /*channel*/) {}
};

// A module's way to log when its hook is set (the device database's traceHook,
// the send queue's hook).
using LogHook = std::function<void(std::string_view)>;

class ActivityLog {
 public:
  // The notifier, when given, is told to repaint the device setup window when a
  // new wake-up reminder is set.
  explicit ActivityLog(const Clock& clock, Notifier* notifier = nullptr);

  // Texts end at their first NUL, as the zero-terminated texts of the callers do.
  // General Activity: black; a text of fewer than 5 characters is dropped.
  void LogActivity(std::string_view text);
  // The same with the text made printf-style, at most 199 characters.
  __attribute__((format(printf, 2, 3))) void LogActivityFormatted(const char* format, ...);
  void LogActivityOn(std::string_view text);   // green
  void LogActivityOff(std::string_view text);  // dark red
  // Insteon Traffic: navy, non-printable bytes shown escaped.
  void LogTraffic(std::string_view text);
  // On Log, stamped "H:M:S m/d/yyyy: ", scrolled to its last row.
  void LogOnEvent(std::string_view text);
  void LogOffEvent(std::string_view text);
  // Link Report: dark red, no stamp.
  void LogLinkReport(std::string_view text);

  void ClearActivity();
  void ClearLinkReport();
  void ClearQueued();
  // Makes the log as it was made, with no lines, sinks or reminder, keeping
  // the storage of its rows (TraceList::Reset).
  void Reset();
  // One row of the Qued for Activity tab for a held command to `id`; a wake-up
  // reminder in place of the text for wireless devices. Nothing for a device
  // missing from the table.
  void AddQueuedLine(std::string_view text, const InsteonId& id, const DeviceDatabase& db);
  // The same for a queue key that carries cmd1 in its top byte: only the low 24
  // bits name the device.
  void AddQueuedLine(std::string_view text, uint32_t key, const DeviceDatabase& db);

  // The last wake-up reminder, drawn by the device setup window.
  const std::string& WakeReminder() const { return wakeReminder_; }

  // Lines currently held by a channel, oldest first.
  const LogRows& Lines(LogChannel channel) const;
  // Entries the limit has removed from a channel (notices not counted).
  uint32_t Dropped(LogChannel channel) const;
  // The channel's list: selection, copying and scrolling for a view.
  TraceList& List(LogChannel channel) { return lists_[Index(channel)]; }
  const TraceList& List(LogChannel channel) const { return lists_[Index(channel)]; }

  void AddSink(LogSink* sink);
  void RemoveSink(LogSink* sink);

  // A hook that writes to General Activity; the log must outlive it.
  LogHook ActivityHook();

  // "hh:mm:ss am  mm-dd-yyyy  |   " of the local time now.
  std::string ActivityTimeStamp() const;
  // "H:M:S m/d/yyyy: " of t in local time, no leading zeros; empty when t
  // cannot be converted.
  std::string OnLogTimeStamp(uint32_t t) const;

 private:
  static int Index(LogChannel channel) { return static_cast<int>(channel); }
  void SetLimits();
  void Append(LogChannel channel, TraceEvent entry, uint32_t rowData = 0);
  void AppendStamped(LogChannel channel, TraceKind kind, std::string_view stamp, std::string_view text);
  void AppendActivityStamped(LogChannel channel, TraceKind kind, std::string_view text);
  void Clear(LogChannel channel);

  const Clock& clock_;
  Notifier* notifier_;
  TraceList lists_[kLogChannelCount] = {
      TraceList(LogChannel::GeneralActivity), TraceList(LogChannel::InsteonTraffic),
      TraceList(LogChannel::QuedForActivity), TraceList(LogChannel::OnLog),
      TraceList(LogChannel::LinkReport)};
  std::vector<LogSink*> sinks_;
  std::string wakeReminder_;
  // The activity stamp of the last line and the local time it shows.
  LocalTime stampTime_{};
  char stampText_[64] = {};
  size_t stampLength_ = 0;
};

}  // namespace quorvel
