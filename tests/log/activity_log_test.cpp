#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "log/activity_log.h"
#include "log/log_printer.h"
#include "support/test_rig.h"

namespace quorvel {
namespace {

constexpr Time k20110314_130509 = 1300107909;  // Monday 14 March 2011, 13:05:09
constexpr Time k20110102_003015 = 1293928215;  // 2 January 2011, 00:30:15
constexpr Time k20110102_120000 = 1293969600;
constexpr Time k20110304_070509 = 1299222309;

TEST(ActivityLog, EachChannelStampsAndColoursItsLines) {
  using Log = std::function<void(ActivityLog&, std::string_view)>;
  struct Case {
    const char* what;
    Time now;
    Log call;
    std::string text;
    LogChannel channel;
    TraceKind kind;
    std::string line;  // empty: nothing is added
  };
  const Log activity = [](ActivityLog& l, std::string_view t) { l.LogActivity(t); };
  const Log activityOn = [](ActivityLog& l, std::string_view t) { l.LogActivityOn(t); };
  const Log activityOff = [](ActivityLog& l, std::string_view t) { l.LogActivityOff(t); };
  const Log traffic = [](ActivityLog& l, std::string_view t) { l.LogTraffic(t); };
  const Log onEvent = [](ActivityLog& l, std::string_view t) { l.LogOnEvent(t); };
  const Log offEvent = [](ActivityLog& l, std::string_view t) { l.LogOffEvent(t); };
  const Log linkReport = [](ActivityLog& l, std::string_view t) { l.LogLinkReport(t); };
  using enum LogChannel;
  using enum TraceKind;
  const std::vector<Case> cases = {
      {"short text dropped", k20110314_130509, activity, "abcd", GeneralActivity, Comment, ""},
      {"five characters kept", k20110314_130509, activity, "abcde", GeneralActivity, Comment,
       "01:05:09 pm  03-14-2011  |   abcde"},
      {"midnight hour is 12 am", k20110102_003015, activity, "Serial Port On 3 : Open", GeneralActivity, Comment,
       "12:30:15 am  01-02-2011  |   Serial Port On 3 : Open"},
      {"noon is 12 pm", k20110102_120000, activityOn, "on", GeneralActivity, CommentOn,
       "12:00:00 pm  01-02-2011  |   on"},
      {"off in dark red", k20110304_070509, activityOff, "off", GeneralActivity, CommentOff,
       "07:05:09 am  03-04-2011  |   off"},
      {"cut at the first NUL", k20110314_130509, activity, std::string("abc\0defgh", 9), GeneralActivity, Comment,
       ""},
      {"traffic in navy", k20110314_130509, traffic, "02 50 1A 2B 3C", InsteonTraffic, Data,
       "01:05:09 pm  03-14-2011  |   02 50 1A 2B 3C"},
      {"on log without padding", k20110314_130509, onEvent, "Kitchen ON", OnLog, CommentOn,
       "13:5:9 3/14/2011: Kitchen ON"},
      {"on log morning", k20110304_070509, offEvent, "Kitchen OFF", OnLog, CommentOff,
       "7:5:9 3/4/2011: Kitchen OFF"},
      {"link report without stamp", k20110314_130509, linkReport, "ab", LinkReport, CommentOff, "ab"},
  };
  for (const Case& c : cases) {
    testing::TestRig rig;
    rig.clock.Set(c.now);
    c.call(rig->log, c.text);
    for (int ch = 0; ch < kLogChannelCount; ++ch) {
      const auto channel = static_cast<LogChannel>(ch);
      const auto& lines = rig->log.Lines(channel);
      if (channel != c.channel || c.line.empty()) {
        EXPECT_TRUE(lines.empty()) << c.what << ": " << ChannelName(channel) << " got a line";
        continue;
      }
      ASSERT_EQ(lines.size(), 1u) << c.what;
      EXPECT_EQ(lines[0].text, c.line) << c.what;
      EXPECT_EQ(lines[0].kind, c.kind) << c.what;
      EXPECT_EQ(lines[0].channel, c.channel) << c.what;
    }
  }
}

TEST(ActivityLog, StampsFollowTheLocalClock) {
  testing::TestRig rig;
  rig.clock.SetUtcOffset(-6 * 3600);
  rig.clock.Set(k20110102_003015);  // 18:30:15 on 1 January, local
  EXPECT_EQ(rig->log.ActivityTimeStamp(), "06:30:15 pm  01-01-2011  |   ");
  EXPECT_EQ(rig->log.OnLogTimeStamp(static_cast<uint32_t>(k20110314_130509)), "7:5:9 3/14/2011: ");
  EXPECT_EQ(rig->log.OnLogTimeStamp(0), "18:0:0 12/31/1969: ");
}

TEST(ActivityLog, TraceChannelsHoldAThousandAndTheQueuedTabAll) {
  testing::TestRig rig;
  rig->db.records[0].linkFlags = kRecordInUse;
  rig->db.records[0].id = InsteonId::From(1, 2, 3);
  rig->db.records[0].category = 0x01;
  rig->db.count = 1;
  for (int i = 0; i < 1001; ++i) {
    const std::string text = "line " + std::to_string(i);
    rig->log.LogActivity(text);
    rig->log.LogTraffic(text);
    rig->log.LogOnEvent(text);
    rig->log.LogLinkReport(text);
    rig->log.AddQueuedLine(text, InsteonId::From(1, 2, 3), rig->db);
  }
  for (LogChannel c : {LogChannel::GeneralActivity, LogChannel::InsteonTraffic, LogChannel::OnLog,
                       LogChannel::LinkReport}) {
    ASSERT_EQ(rig->log.Lines(c).size(), 1000u) << ChannelName(c);
    EXPECT_EQ(rig->log.Lines(c)[1].text, "Entries have been deleted from log (2)") << ChannelName(c);
    EXPECT_EQ(rig->log.Lines(c)[1].kind, TraceKind::Comment);
    EXPECT_EQ(rig->log.Dropped(c), 2u);
  }
  EXPECT_EQ(rig->log.Lines(LogChannel::QuedForActivity).size(), 1001u);

  rig->log.ClearActivity();
  rig->log.ClearLinkReport();
  rig->log.ClearQueued();
  EXPECT_TRUE(rig->log.Lines(LogChannel::GeneralActivity).empty());
  EXPECT_TRUE(rig->log.Lines(LogChannel::LinkReport).empty());
  EXPECT_TRUE(rig->log.Lines(LogChannel::QuedForActivity).empty());
  EXPECT_EQ(rig->log.Lines(LogChannel::InsteonTraffic).size(), 1000u);
  EXPECT_EQ(rig->log.Lines(LogChannel::OnLog).size(), 1000u);
}

// A full channel hands the storage of the rows it removes to the lines it adds.
// A long line's storage must not go round with it: in time every row would
// hold the longest line ever logged, and a noisy line would grow the log for
// hours. Short lines after a few long ones leave the channel's storage as it
// was before them.
TEST(ActivityLog, AFullChannelKeepsItsSizeAfterLongLines) {
  testing::TestRig rig;
  auto storage = [&] {
    size_t total = 0;
    for (const LogLine& line : rig->log.Lines(LogChannel::InsteonTraffic)) total += line.text.capacity();
    return total;
  };
  auto shortLines = [&](int n) {
    for (int i = 0; i < n; ++i) rig->log.LogTraffic(" 02 6A 06");
  };
  shortLines(3 * kChannelEntryLimit);
  const size_t before = storage();
  for (size_t length : {300u, 1000u, 5000u}) rig->log.LogTraffic("Skipped bytes:" + std::string(length, 'x'));
  shortLines(3 * kChannelEntryLimit);
  EXPECT_EQ(storage(), before);
  for (const LogLine& line : rig->log.Lines(LogChannel::InsteonTraffic))
    ASSERT_LE(line.text.capacity(), 2 * TraceList::kRowTextCapacity);
}

// A log made as new by Reset behaves as a new log: the same lines, notices,
// counts and views after the same work, nothing left of what came before.
TEST(ActivityLog, ResetMakesTheLogAsNew) {
  testing::TestRig rig;
  DeviceRecord& remote = rig->db.records[0];
  remote.linkFlags = kRecordInUse;
  remote.id = InsteonId::From(9, 9, 9);
  remote.subcategory = 0x05;  // a sleeping RemoteLinc, so a queued line sets the reminder
  rig->db.count = 1;
  auto work = [&](ActivityLog& log, int lines) {
    for (int i = 0; i < lines; ++i) {
      const std::string text = "line " + std::to_string(i);
      log.LogActivity(text);
      log.LogTraffic(text);
      log.LogOnEvent(text);
      log.LogLinkReport(text);
    }
    log.AddQueuedLine("Held", remote.id, rig->db);
    log.List(LogChannel::InsteonTraffic).SetViewport(10, 100);
    log.List(LogChannel::InsteonTraffic).ToggleSelected(3);
  };
  struct Counting final : LogSink {
    void OnLine(const LogLine&) override { ++lines; }
    int lines = 0;
  } sink;

  ActivityLog used(rig.clock);
  used.AddSink(&sink);
  work(used, 2500);
  used.Reset();
  EXPECT_EQ(used.WakeReminder(), "");
  for (LogChannel c : {LogChannel::GeneralActivity, LogChannel::InsteonTraffic, LogChannel::QuedForActivity,
                       LogChannel::OnLog, LogChannel::LinkReport})
    EXPECT_TRUE(used.Lines(c).empty()) << ChannelName(c);
  const int seen = sink.lines;
  ActivityLog fresh(rig.clock);
  work(used, 1200);
  work(fresh, 1200);
  EXPECT_EQ(sink.lines, seen) << "the sink went with the reset";
  EXPECT_EQ(used.WakeReminder(), fresh.WakeReminder());
  for (LogChannel c : {LogChannel::GeneralActivity, LogChannel::InsteonTraffic, LogChannel::QuedForActivity,
                       LogChannel::OnLog, LogChannel::LinkReport}) {
    SCOPED_TRACE(ChannelName(c));
    const TraceList& a = used.List(c);
    const TraceList& b = fresh.List(c);
    ASSERT_EQ(a.Count(), b.Count());
    for (int row = 0; row < a.Count(); ++row) ASSERT_EQ(a.Row(row).text, b.Row(row).text) << row;
    EXPECT_EQ(a.RemovedCount(), b.RemovedCount());
    EXPECT_EQ(a.DroppedEntries(), b.DroppedEntries());
    EXPECT_EQ(a.MaxEntries(), b.MaxEntries());
    EXPECT_EQ(a.LimitEnabled(), b.LimitEnabled());
    EXPECT_EQ(a.TopRow(), b.TopRow());
    EXPECT_EQ(a.SelectedRows(), b.SelectedRows());
  }
}

TEST(ActivityLog, QueuedLinesRemindHowToWakeWirelessDevices) {
  struct Case {
    const char* what;
    uint8_t linkFlags;
    uint8_t category;
    uint8_t subcategory;
    std::string text;
    std::string row;
    bool reminds;  // WakeReminder replaced and the setup window repainted
  };
  const std::string longText(200, 'x');
  const std::vector<Case> cases = {
      {"RemoteLinc", kRecordInUse, 0x00, 0x05, "Qued ON",
       "Qued ON RemoteLinc 1A.2B.3C - Press the DIM button 1 second.", true},
      {"RemoteLinc 2", kRecordInUse, 0x00, 0x10, "Status",
       "Status RemoteLinc 1A.2B.3C - Press the DIM button 1 second.", true},
      {"motion sensor", kRecordInUse, 0x10, 0x01, "Get Flags",
       "Get Flags Motion Sensor 1A.2B.3C - Press SET button or activate Motion/Darkness.", true},
      {"TriggerLinc", kRecordInUse, 0x10, 0x02, "Get Flags",
       "Get Flags TriggerLinc 1A.2B.3C - Press activate sensor.", true},
      {"wireless kind without a reminder", kRecordInUse, 0x00, 0x09, "Qued ON", "", true},
      {"RemoteLinc record not in use", 0x00, 0x00, 0x05, "Qued ON", "", true},
      {"dimmer", kRecordInUse, 0x01, 0x20, "Qued ON 1a.2b.3c", "Qued ON 1a.2b.3c", false},
      {"long text", kRecordInUse, 0x00, 0x05, longText,
       longText + " RemoteLinc 1A.2B.3C - Press the DIM button 1 second.", true},
  };
  const InsteonId id = InsteonId::From(0x1A, 0x2B, 0x3C);
  const InsteonId other = InsteonId::From(0x09, 0x09, 0x09);
  for (const Case& c : cases) {
    testing::TestRig rig;
    DeviceRecord& r = rig->db.records[0];
    r.linkFlags = c.linkFlags;
    r.id = id;
    r.category = c.category;
    r.subcategory = c.subcategory;
    DeviceRecord& remote = rig->db.records[1];  // a sleeping RemoteLinc seeds the reminder
    remote.linkFlags = kRecordInUse;
    remote.id = other;
    remote.subcategory = 0x05;
    rig->db.count = 2;
    rig->log.AddQueuedLine("seed", other, rig->db);
    const std::string seeded = rig->log.WakeReminder();
    ASSERT_EQ(seeded, "seed RemoteLinc 09.09.09 - Press the DIM button 1 second.");
    rig->log.ClearQueued();
    rig.notifier.refreshes.clear();

    rig->log.AddQueuedLine(c.text, id, rig->db);

    const auto& rows = rig->log.Lines(LogChannel::QuedForActivity);
    ASSERT_EQ(rows.size(), 1u) << c.what;
    EXPECT_EQ(rows[0].text, c.row) << c.what;
    EXPECT_EQ(rows[0].rowData, 0x1A2B3Cu) << c.what;
    const auto& refreshes = rig.notifier.refreshes;
    const bool repainted = std::find(refreshes.begin(), refreshes.end(), ViewRefresh::DeviceSetup) != refreshes.end();
    EXPECT_EQ(repainted, c.reminds) << c.what;
    if (c.reminds) {
      EXPECT_EQ(rig->log.WakeReminder(), c.row.substr(0, 127)) << c.what;
    } else {
      EXPECT_EQ(rig->log.WakeReminder(), seeded) << c.what << ": the reminder is left as it was";
    }
  }
}

TEST(ActivityLog, QueuedLinesNeedTheDeviceInTheTable) {
  testing::TestRig rig;
  DeviceRecord& r = rig->db.records[0];
  r.linkFlags = kRecordInUse;
  r.id = InsteonId::From(0x1A, 0x2B, 0x3C);
  r.subcategory = 0x05;
  rig->db.count = 1;
  rig->log.AddQueuedLine("missing", InsteonId::From(0x1A, 0x2B, 0x3D), rig->db);
  EXPECT_TRUE(rig->log.Lines(LogChannel::QuedForActivity).empty());
  EXPECT_EQ(rig->log.WakeReminder(), "");

  // The send queue's key carries cmd1 in its top byte.
  rig->log.AddQueuedLine("key", 0x111A2B3Cu, rig->db);
  ASSERT_EQ(rig->log.Lines(LogChannel::QuedForActivity).size(), 1u);
  EXPECT_EQ(rig->log.Lines(LogChannel::QuedForActivity)[0].rowData, 0x1A2B3Cu);
  EXPECT_EQ(rig->log.Lines(LogChannel::QuedForActivity)[0].text,
            "key RemoteLinc 1A.2B.3C - Press the DIM button 1 second.");
}

// Records what a view over the log would see.
class RecordingSink : public LogSink {
 public:
  void OnLine(const LogLine& line) override {
    events.push_back(std::string(ChannelName(line.channel)) + " + " + line.text);
    if (onLine) onLine(line);
  }
  void OnClear(LogChannel channel) override { events.push_back(std::string(ChannelName(channel)) + " clear"); }
  void OnTrimmed(LogChannel channel) override { events.push_back(std::string(ChannelName(channel)) + " trim"); }
  std::vector<std::string> events;
  std::function<void(const LogLine&)> onLine;
};

TEST(ActivityLog, SinksSeeLinesTrimsAndClears) {
  testing::TestRig rig;
  RecordingSink sink;
  rig->log.AddSink(&sink);
  rig->log.AddSink(&sink);  // once is enough
  for (int i = 0; i < 1000; ++i) rig->log.LogLinkReport("r" + std::to_string(i));
  sink.events.clear();
  rig->log.LogLinkReport("r1000");
  rig->log.ClearLinkReport();
  EXPECT_EQ(sink.events, (std::vector<std::string>{"Link Report trim", "Link Report + r1000", "Link Report clear"}));

  // A sink may log from its callback, and may unhook itself there.
  sink.events.clear();
  sink.onLine = [&](const LogLine& line) {
    if (line.channel == LogChannel::GeneralActivity) rig->log.LogLinkReport("echo " + line.text.substr(29));
    rig->log.RemoveSink(&sink);
  };
  rig->log.LogActivity("first line");
  rig->log.LogActivity("second line");
  ASSERT_EQ(sink.events.size(), 2u) << "unhooked during the first line";
  EXPECT_EQ(sink.events[0], "General Activity + " + rig->log.Lines(LogChannel::GeneralActivity)[0].text);
  EXPECT_EQ(sink.events[1], "Link Report + echo first line");
  EXPECT_EQ(rig->log.Lines(LogChannel::GeneralActivity).size(), 2u);
  EXPECT_EQ(rig.Texts(LogChannel::LinkReport), (std::vector<std::string>{"echo first line"}));
}

TEST(LogPrinter, PrintsEachLineWithItsChannelName) {
  testing::TestRig rig;
  rig.clock.Set(k20110314_130509);
  char* buf = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&buf, &size);
  ASSERT_NE(out, nullptr);
  {
    LogPrinter all(out);
    LogPrinter linkOnly(out, LogPrinter::Bit(LogChannel::LinkReport));
    rig->log.AddSink(&all);
    rig->log.AddSink(&linkOnly);
    rig->log.LogActivity("Serial Port On 3 : Open");
    rig->log.LogTraffic("02 60\r\n");
    rig->log.LogOnEvent("Kitchen ON");
    rig->log.LogLinkReport("Link line\tone");
    rig->log.LogActivity("abc");
    rig->log.RemoveSink(&all);
    rig->log.RemoveSink(&linkOnly);
  }
  std::fclose(out);
  const std::string printed(buf, size);
  std::free(buf);
  EXPECT_EQ(printed,
            "General Activity: 01:05:09 pm  03-14-2011  |   Serial Port On 3 : Open\n"
            "Insteon Traffic: 01:05:09 pm  03-14-2011  |   02 60\\r\\n\n"
            "On Log: 13:5:9 3/14/2011: Kitchen ON\n"
            "Link Report: Link line\\tone\n"
            "Link Report: Link line\\tone\n");
}

}  // namespace
}  // namespace quorvel
