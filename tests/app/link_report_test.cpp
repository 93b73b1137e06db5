// The Link Watch report of the headless program: its option, the report of a
// stored data file with no modem at all, and the report after a run.
#include "app/link_report.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "app/session.h"
#include "app/session_options.h"
#include "config/config_files.h"
#include "engine/context.h"
#include "engine/link_watch.h"
#include "support/scratch.h"

namespace quorvel {
namespace {

using testing::TempFolder;

const InsteonId kKeypad = InsteonId::From(0x0a, 0x0b, 0x0c);
const InsteonId kDimmer = InsteonId::From(0x1a, 0x2b, 0x3c);

// Saves a data file holding a keypad whose button 3 controls a dimmer that
// lacks its responder record.
void SaveHouse(const std::string& folder) {
  SystemClock clock;
  PosixSerialPort port;
  PosixFileSystem files(folder);
  NullNotifier notifier;
  auto ctx = std::make_unique<Context>(clock, port, files, notifier);
  DeviceDatabase& db = ctx->db;
  for (const InsteonId& id : {kKeypad, kDimmer}) {
    DeviceRecord& r = db.records[db.count++];
    r.linkFlags = 0xA2;
    r.group = 1;
    r.id = id;
    r.category = 0x01;
    r.subcategory = id == kKeypad ? 0x1C : 0x20;
    r.engineVersion = kEngineI2;
    r.timeLastContact = 1400000000;
  }
  LinkRecord& l = db.records[0].links[0];
  l.flags = 0xE2;
  l.group = 3;
  l.id = kDimmer;
  db.records[0].linkCount = 1;
  LinkRecord& other = db.records[1].links[0];
  other.flags = 0xA2;
  other.group = 9;
  other.id = kKeypad;
  db.records[1].linkCount = 1;
  db.dbFlags |= kDbMerged;
  ASSERT_NE(SaveAll(*ctx).written & kDataFile, 0);
}

const char* const kMissingReturn =
    "Contains Link With No Return Link\n"
    "  [0a.0b.0c] KeypadLinc Dimmer8\n"
    "    [1a.2b.3c] Group 3, NO return link in [1a.2b.3c].\n"
    "  [1a.2b.3c] SwitchLinc Dimmer DB\n"
    "    [0a.0b.0c] Group 9, NO return link in [0a.0b.0c].\n";

TEST(LinkReportOption, TakesAReportNumber) {
  struct Case {
    const char* value;
    int report;  // -1: refused
  };
  for (const Case& c : {Case{"0", 0}, Case{"9", 9}, Case{"10", -1}, Case{"-1", -1}, Case{"two", -1}, Case{"", -1}}) {
    SCOPED_TRACE(c.value);
    const char* argv[] = {"quorvel", "--link-report", c.value};
    SessionOptions o;
    std::string error;
    EXPECT_EQ(ParseArguments(3, argv, o, error), c.report >= 0) << error;
    if (c.report >= 0) {
      EXPECT_EQ(o.linkReport, c.report);
    } else {
      EXPECT_NE(error.find("from 0 to 9"), std::string::npos) << error;
    }
  }
  EXPECT_NE(UsageText().find("--link-report N"), std::string::npos);
}

TEST(StoredLinkReport, ReadsTheDataFileAlone) {
  TempFolder data;
  ASSERT_FALSE(data.path().empty());
  SaveHouse(data.path());
  std::string text;
  std::string error;
  ASSERT_TRUE(StoredLinkReport(data.path(), 1, text, error)) << error;
  EXPECT_EQ(text, kMissingReturn);
  ASSERT_TRUE(StoredLinkReport(data.path(), 9, text, error)) << error;
  EXPECT_EQ(text, "No Response Devices\n");
}

TEST(StoredLinkReport, SaysWhenThereIsNoDataFile) {
  TempFolder data;
  std::string text;
  std::string error;
  EXPECT_FALSE(StoredLinkReport(data.path(), 0, text, error));
  EXPECT_NE(error.find("OrvoOrv3.cfg"), std::string::npos) << error;
  EXPECT_TRUE(text.empty());
  EXPECT_FALSE(std::filesystem::exists(data.path() + "/quorvel/OrvoOptions3.cfg")) << "a report writes nothing";
}

TEST(RunLinkReport, ReadsTheStoredTableUntilTheModemsTableIsMerged) {
  TempFolder data;
  SaveHouse(data.path());
  SessionOptions o;
  o.headless = true;
  o.virtualTime = true;
  o.dataDir = data.path();
  o.houseFile = std::string(QUORVEL_SOURCE_DIR) + "/sim/houses/example_house.txt";
  o.secondsLimit = 1;
  Session session(o, nullptr);
  std::string error;
  ASSERT_TRUE(session.Start(error)) << error;
  EXPECT_TRUE(static_cast<bool>(session.context().engine.autoRepair)) << "the run repairs links on its own";
  session.RunLoop(nullptr);
  Context& ctx = session.context();
  ASSERT_EQ(ctx.db.dbFlags & kDbMerged, 0);
  EXPECT_EQ(RunLinkReport(ctx, 1), kMissingReturn);

  // Once merged, the live table is the one reported.
  DeviceRecord& live = ctx.db.records[ctx.db.count++];
  live = ctx.loaded.records[1];
  ctx.db.dbFlags |= kDbMerged;
  EXPECT_EQ(RunLinkReport(ctx, 0), "All Responding Devices\n");
  EXPECT_EQ(RunLinkReport(ctx, 4), "Version 1 Devices\n");
  EXPECT_EQ(RunLinkReport(ctx, 42), "");
}

}  // namespace
}  // namespace quorvel
