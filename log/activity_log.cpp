#include "log/activity_log.h"

#include <algorithm>
#include <cstdio>

#include "device/device_catalogue.h"
#include "device/device_database.h"
#include "platform/notifier.h"

namespace quorvel {

namespace {
std::string_view UpToNul(std::string_view text) {
  const size_t nul = text.find('\0');
  return nul == std::string_view::npos ? text : text.substr(0, nul);
}

std::string Stamped(const std::string& stamp, std::string_view text) {
  std::string line;
  line.reserve(stamp.size() + text.size());
  line += stamp;
  line += UpToNul(text);
  return line;
}
}  // namespace

std::string_view ChannelName(LogChannel channel) {
  switch (channel) {
    case LogChannel::GeneralActivity: return "General Activity";
    case LogChannel::InsteonTraffic: return "Insteon Traffic";
    case LogChannel::QuedForActivity: return "Qued for Activity";
    case LogChannel::OnLog: return "On Log";
    case LogChannel::LinkReport: return "Link Report";
  }
  return {};
}

ActivityLog::ActivityLog(const Clock& clock, Notifier* notifier) : clock_(clock), notifier_(notifier) {
  for (TraceList& list : lists_)
    if (list.Channel() != LogChannel::QuedForActivity) list.SetMaxEntries(kChannelEntryLimit);
}

std::string ActivityLog::ActivityTimeStamp() const {
  const LocalTime t = clock_.LocalNow();
  if (!t.valid) return {};
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

void ActivityLog::Append(LogChannel channel, TraceEvent entry, uint32_t rowData) {
  TraceList& list = lists_[Index(channel)];
  const long long removedBefore = list.RemovedCount();
  const int row = list.AddEntry(std::move(entry), rowData);
  if (sinks_.empty()) return;
  const bool trimmed = list.RemovedCount() != removedBefore;
  // A copy, and an index walk: a sink may log or unhook itself while it is told.
  const LogLine line = list.Row(row);
  for (size_t i = 0; i < sinks_.size(); ++i) {
    LogSink* s = sinks_[i];
    if (trimmed) s->OnTrimmed(channel);
    if (i < sinks_.size() && sinks_[i] == s) s->OnLine(line);
  }
}

void ActivityLog::Clear(LogChannel channel) {
  lists_[Index(channel)].Clear();
  for (size_t i = 0; i < sinks_.size(); ++i) sinks_[i]->OnClear(channel);
}

void ActivityLog::LogActivity(std::string_view text) {
  text = UpToNul(text);
  if (text.size() < 5) return;
  Append(LogChannel::GeneralActivity, TraceComment(Stamped(ActivityTimeStamp(), text)));
}
void ActivityLog::LogActivityOn(std::string_view text) {
  Append(LogChannel::GeneralActivity, TraceCommentOn(Stamped(ActivityTimeStamp(), text)));
}
void ActivityLog::LogActivityOff(std::string_view text) {
  Append(LogChannel::GeneralActivity, TraceCommentOff(Stamped(ActivityTimeStamp(), text)));
}
void ActivityLog::LogTraffic(std::string_view text) {
  Append(LogChannel::InsteonTraffic, TraceData(Stamped(ActivityTimeStamp(), text)));
}
void ActivityLog::LogOnEvent(std::string_view text) {
  Append(LogChannel::OnLog,
         TraceCommentOn(Stamped(OnLogTimeStamp(static_cast<uint32_t>(clock_.Now())), text)));
  lists_[Index(LogChannel::OnLog)].ScrollToLastRow();
}
void ActivityLog::LogOffEvent(std::string_view text) {
  Append(LogChannel::OnLog,
         TraceCommentOff(Stamped(OnLogTimeStamp(static_cast<uint32_t>(clock_.Now())), text)));
  lists_[Index(LogChannel::OnLog)].ScrollToLastRow();
}
void ActivityLog::LogLinkReport(std::string_view text) {
  Append(LogChannel::LinkReport, TraceCommentOff(UpToNul(text)));
}

void ActivityLog::ClearActivity() { Clear(LogChannel::GeneralActivity); }
void ActivityLog::ClearLinkReport() { Clear(LogChannel::LinkReport); }
void ActivityLog::ClearQueued() { Clear(LogChannel::QuedForActivity); }

void ActivityLog::AddQueuedLine(std::string_view text, uint32_t key, const DeviceDatabase& db) {
  AddQueuedLine(text, InsteonId::FromValue(key & 0xFFFFFFu), db);
}

void ActivityLog::AddQueuedLine(std::string_view text, const InsteonId& id, const DeviceDatabase& db) {
  const int slot = db.FindDevice(id);
  if (slot < 0) return;
  const DeviceRecord& r = db[slot];
  text = UpToNul(text);
  std::string row(text);
  if (IsWirelessDevice(r)) {
    // A sleeping device only hears its held commands once the user wakes it.
    const char* how = nullptr;
    if (IsRemoteLinc(r)) {
      how = "RemoteLinc %02X.%02X.%02X - Press the DIM button 1 second.";
    } else if (IsMotionSensor(r)) {
      how = "Motion Sensor %02X.%02X.%02X - Press SET button or activate Motion/Darkness.";
    } else if (IsTriggerLinc(r)) {
      how = "TriggerLinc %02X.%02X.%02X - Press activate sensor.";
    }
    row.clear();
    if (how != nullptr) {
      char tail[96];
      std::snprintf(tail, sizeof tail, how, id.b[0], id.b[1], id.b[2]);
      row.append(text).append(" ").append(tail);
    }
    wakeReminder_ = row.substr(0, kWakeReminderMax);
    if (notifier_ != nullptr) notifier_->Refresh(ViewRefresh::DeviceSetup);
  }
  Append(LogChannel::QuedForActivity, TraceComment(row), id.Value());
  lists_[Index(LogChannel::QuedForActivity)].ScrollToLastRow();
}

const LogRows& ActivityLog::Lines(LogChannel channel) const {
  return lists_[Index(channel)].Rows();
}

uint32_t ActivityLog::Dropped(LogChannel channel) const {
  const long long n = lists_[Index(channel)].DroppedEntries();
  return n > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(n);
}

void ActivityLog::AddSink(LogSink* sink) {
  if (sink != nullptr && std::find(sinks_.begin(), sinks_.end(), sink) == sinks_.end()) sinks_.push_back(sink);
}
void ActivityLog::RemoveSink(LogSink* sink) {
  sinks_.erase(std::remove(sinks_.begin(), sinks_.end(), sink), sinks_.end());
}

LogHook ActivityLog::ActivityHook() {
  return [this](std::string_view text) { LogActivity(text); };
}

}  // namespace quorvel
