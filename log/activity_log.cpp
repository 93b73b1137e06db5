#include "log/activity_log.h"

#include <algorithm>
#include <cstdarg>
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

// "hh:mm:ss am  mm-dd-yyyy  |   " into buf; its length, 0 when the time is unknown.
// Written digit by digit: every line of a busy modem takes one.
size_t FormatActivityStamp(const LocalTime& t, char* buf, size_t size) {
  if (!t.valid || size < 40 || t.year < 0 || t.year > 9999) return 0;
  int h12 = t.hour % 12;
  if (h12 == 0) h12 = 12;
  size_t n = 0;
  auto two = [&](int v) {
    v = v < 0 ? 0 : v % 100;
    buf[n++] = static_cast<char>('0' + v / 10);
    buf[n++] = static_cast<char>('0' + v % 10);
  };
  auto text = [&](const char* s) {
    while (*s != '\0') buf[n++] = *s++;
  };
  two(h12);
  buf[n++] = ':';
  two(t.minute);
  buf[n++] = ':';
  two(t.second);
  text(t.hour < 12 ? " am  " : " pm  ");
  two(t.month + 1);
  buf[n++] = '-';
  two(t.day);
  buf[n++] = '-';
  two(t.year / 100);
  two(t.year % 100);
  text("  |   ");
  buf[n] = '\0';
  return n;
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
  SetLimits();
}

void ActivityLog::SetLimits() {
  for (TraceList& list : lists_)
    if (list.Channel() != LogChannel::QuedForActivity) list.SetMaxEntries(kChannelEntryLimit);
}

void ActivityLog::Reset() {
  for (TraceList& list : lists_) list.Reset();
  SetLimits();
  sinks_.clear();
  wakeReminder_.clear();
  stampTime_ = LocalTime{};
  stampLength_ = 0;
}

std::string ActivityLog::ActivityTimeStamp() const {
  char buf[64];
  return std::string(buf, FormatActivityStamp(clock_.LocalNow(), buf, sizeof buf));
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

void ActivityLog::AppendStamped(LogChannel channel, TraceKind kind, std::string_view stamp,
                                std::string_view text) {
  // The line is built in storage a removed row left behind: a full channel then
  // takes new lines without touching the heap.
  TraceEvent entry{kind, lists_[Index(channel)].TakeSpareText()};
  entry.text.append(stamp).append(UpToNul(text));
  Append(channel, std::move(entry));
}

void ActivityLog::AppendActivityStamped(LogChannel channel, TraceKind kind, std::string_view text) {
  // A busy line logs many lines in the same second: the stamp is made once.
  const LocalTime t = clock_.LocalNow();
  if (t.valid != stampTime_.valid || t.second != stampTime_.second || t.minute != stampTime_.minute ||
      t.hour != stampTime_.hour || t.day != stampTime_.day || t.month != stampTime_.month ||
      t.year != stampTime_.year || stampLength_ == 0) {
    stampLength_ = FormatActivityStamp(t, stampText_, sizeof stampText_);
    stampTime_ = t;
  }
  AppendStamped(channel, kind, std::string_view(stampText_, stampLength_), text);
}

void ActivityLog::Clear(LogChannel channel) {
  lists_[Index(channel)].Clear();
  for (size_t i = 0; i < sinks_.size(); ++i) sinks_[i]->OnClear(channel);
}

void ActivityLog::LogActivity(std::string_view text) {
  text = UpToNul(text);
  if (text.size() < 5) return;
  AppendActivityStamped(LogChannel::GeneralActivity, TraceKind::Comment, text);
}
void ActivityLog::LogActivityFormatted(const char* format, ...) {
  char line[200];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  LogActivity(line);
}
void ActivityLog::LogActivityOn(std::string_view text) {
  AppendActivityStamped(LogChannel::GeneralActivity, TraceKind::CommentOn, text);
}
void ActivityLog::LogActivityOff(std::string_view text) {
  AppendActivityStamped(LogChannel::GeneralActivity, TraceKind::CommentOff, text);
}
void ActivityLog::LogTraffic(std::string_view text) {
  AppendActivityStamped(LogChannel::InsteonTraffic, TraceKind::Data, text);
}
void ActivityLog::LogOnEvent(std::string_view text) {
  AppendStamped(LogChannel::OnLog, TraceKind::CommentOn, OnLogTimeStamp(static_cast<uint32_t>(clock_.Now())),
                text);
  lists_[Index(LogChannel::OnLog)].ScrollToLastRow();
}
void ActivityLog::LogOffEvent(std::string_view text) {
  AppendStamped(LogChannel::OnLog, TraceKind::CommentOff, OnLogTimeStamp(static_cast<uint32_t>(clock_.Now())),
                text);
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
