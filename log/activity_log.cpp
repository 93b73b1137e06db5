#include "log/activity_log.h"

#include <algorithm>
#include <cstdio>

#include "device/device_database.h"

namespace quorvel {

namespace {
constexpr size_t kEntryLimit = 1000;
}

ActivityLog::ActivityLog(const Clock& clock) : clock_(clock) {}

std::string ActivityLog::ActivityTimeStamp() const {
  const LocalTime t = clock_.LocalNow();
  int h12 = t.hour % 12;
  if (h12 == 0) h12 = 12;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d %s  %02d-%02d-%02d  |   ", h12, t.minute, t.second,
                t.hour < 12 ? "am" : "pm", t.month + 1, t.day, t.year);
  return buf;
}

std::string ActivityLog::OnLogTimeStamp(uint32_t t) const {
  const LocalTime lt = clock_.Local(static_cast<Time>(t));
  if (!lt.valid) return {};
  char buf[64];
  std::snprintf(buf, sizeof buf, "%d:%d:%d %d/%d/%d: ", lt.hour, lt.minute, lt.second, lt.month + 1,
                lt.day, lt.year);
  return buf;
}

void ActivityLog::Append(LogChannel channel, TraceKind kind, std::string text, uint32_t rowData) {
  auto& lines = lines_[static_cast<int>(channel)];
  if (channel != LogChannel::QuedForActivity && lines.size() >= kEntryLimit) {
    lines.erase(lines.begin());
    ++dropped_[static_cast<int>(channel)];
  }
  lines.push_back(LogLine{channel, kind, std::move(text), rowData});
  for (LogSink* s : sinks_) s->OnLine(lines.back());
}

void ActivityLog::Clear(LogChannel channel) {
  lines_[static_cast<int>(channel)].clear();
  for (LogSink* s : sinks_) s->OnClear(channel);
}

void ActivityLog::LogActivity(std::string_view text) {
  if (text.size() < 5) return;
  Append(LogChannel::GeneralActivity, TraceKind::Comment, ActivityTimeStamp() + std::string(text));
}
void ActivityLog::LogActivityOn(std::string_view text) {
  Append(LogChannel::GeneralActivity, TraceKind::CommentOn, ActivityTimeStamp() + std::string(text));
}
void ActivityLog::LogActivityOff(std::string_view text) {
  Append(LogChannel::GeneralActivity, TraceKind::CommentOff, ActivityTimeStamp() + std::string(text));
}
void ActivityLog::LogTraffic(std::string_view text) {
  Append(LogChannel::InsteonTraffic, TraceKind::Data, ActivityTimeStamp() + std::string(text));
}
void ActivityLog::LogOnEvent(std::string_view text) {
  Append(LogChannel::OnLog, TraceKind::CommentOn,
         OnLogTimeStamp(static_cast<uint32_t>(clock_.Now())) + std::string(text));
}
void ActivityLog::LogOffEvent(std::string_view text) {
  Append(LogChannel::OnLog, TraceKind::CommentOff,
         OnLogTimeStamp(static_cast<uint32_t>(clock_.Now())) + std::string(text));
}
void ActivityLog::LogLinkReport(std::string_view text) {
  Append(LogChannel::LinkReport, TraceKind::CommentOff, std::string(text));
}

void ActivityLog::ClearActivity() { Clear(LogChannel::GeneralActivity); }
void ActivityLog::ClearLinkReport() { Clear(LogChannel::LinkReport); }
void ActivityLog::ClearQueued() { Clear(LogChannel::QuedForActivity); }

void ActivityLog::AddQueuedLine(std::string_view text, const InsteonId& id, const DeviceDatabase& db) {
  // Filled in with the wake-up reminders of wireless devices.
  if (db.FindDevice(id) < 0) return;
  Append(LogChannel::QuedForActivity, TraceKind::Comment, std::string(text), id.Value());
}

const std::vector<LogLine>& ActivityLog::Lines(LogChannel channel) const {
  return lines_[static_cast<int>(channel)];
}

uint32_t ActivityLog::Dropped(LogChannel channel) const { return dropped_[static_cast<int>(channel)]; }

void ActivityLog::AddSink(LogSink* sink) { sinks_.push_back(sink); }
void ActivityLog::RemoveSink(LogSink* sink) {
  sinks_.erase(std::remove(sinks_.begin(), sinks_.end(), sink), sinks_.end());
}

}  // namespace quorvel
