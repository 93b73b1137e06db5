// The saves nobody asks for: what the user makes reaches the disk within
// seconds of being made, what the network taught us at least every ten minutes,
// and nothing is written while nothing changed.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "config/config_files.h"
#include "config_fixture.h"

namespace quorvel {
namespace {

using testing::ConfigPath;
using testing::ExpectedImages;
using testing::FillRecordSet;
using testing::TestRig;

// A run whose files were all saved a moment ago, with the modem's table merged.
struct Saved {
  TestRig rig;
  Saved() {
    FillRecordSet(*rig, 21, 3);
    rig->db.dbFlags |= kDbMerged;
    rig->configFiles.saveLogEnabled = true;
    EXPECT_EQ(SaveAll(*rig).written, kAllConfigFiles);
    rig.clock.AdvanceMillis(1);
    SaveChanges(*rig);  // the first check finds the disk as memory has it
  }
  // The next check, `ms` later.
  void CheckAfter(int64_t ms) {
    rig.clock.AdvanceMillis(ms);
    SaveChanges(*rig);
  }
  bool OnDiskAsInMemory(const char* name) {
    return *rig.files.Get(ConfigPath(name)) == ExpectedImages(*rig).at(name);
  }
  int Writes(const std::string& what) {
    int n = 0;
    for (const std::string& line : rig.Texts(LogChannel::GeneralActivity)) n += line.rfind("Writing " + what, 0) == 0;
    return n;
  }
};

TEST(ChangeSaves, AnEditReachesItsFileWithinSecondsAndNothingElseIsWritten) {
  struct Case {
    const char* what;
    const char* file;
    std::function<void(Context&)> edit;
  };
  const std::vector<Case> cases = {
      {"latitude typed", kOptionsFileName, [](Context& c) { CopyFixedText(c.options.latitude, "51:30"); }},
      {"timer events switched off", kOptionsFileName, [](Context& c) { c.options.runFlags ^= 0x08; }},
      {"time event made", kEventsFileName,
       [](Context& c) {
         c.events.records[7].inUse = 1;
         c.events.records[7].hour = 6;
       }},
      {"event deleted", kEventsFileName, [](Context& c) { c.events.records[0].inUse = 0; }},
      {"group label", kGroupsFileName, [](Context& c) { c.groups.SetTypedGroupLabel(9, "Garden"); }},
      {"widget added", kWidgetsFileName,
       [](Context& c) {
         WidgetRecord w{};
         CopyFixedText(w.addressText, "J11");
         c.widgets.Add(w);
       }},
      {"widget deleted", kWidgetsFileName, [](Context& c) { c.widgets.widgets.erase(c.widgets.widgets.begin()); }},
      {"device renamed", kDataFileName, [](Context& c) { CopyFixedText(c.db.records[2].name, "Attic Fan"); }},
      {"tile moved", kDataFileName, [](Context& c) { c.db.records[3].tileRect[0] += 40; }},
      {"tile made large", kDataFileName, [](Context& c) { c.db.records[3].picture[kPictureWidth - 1] ^= 1; }},
      {"shown in the controller list", kDataFileName,
       [](Context& c) { c.db.reserveTable[4].showInControllerList ^= 1; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Saved run;
    const auto before = ExpectedImages(*run.rig);
    const uint32_t firstWidget = run.rig->widgets.widgets.begin()->first;
    c.edit(*run.rig);
    ASSERT_FALSE(run.OnDiskAsInMemory(c.file));
    run.CheckAfter(kChangeCheckMillis);
    EXPECT_TRUE(run.OnDiskAsInMemory(c.file));
    for (const char* name : testing::kAllFileNames) {
      if (name == std::string(c.file)) continue;
      EXPECT_TRUE(*run.rig.files.Get(ConfigPath(name)) == before.at(name)) << name;
    }
    EXPECT_EQ(run.Writes(""), kConfigFileCount + 1) << "the first save, and this file once";
    const int steps = run.rig.files.StepsDone();
    for (int i = 0; i < 5; ++i) run.CheckAfter(kChangeCheckMillis);
    EXPECT_EQ(run.rig.files.StepsDone(), steps) << "written once";
    if (std::string(c.file) != kWidgetsFileName) {
      EXPECT_EQ(run.rig->widgets.widgets.begin()->first, firstWidget) << "nothing was reloaded";
    }
  }
}

// Levels, times and link tables change all day on a busy line: they are saved
// at least every ten minutes while they change, not at every press.
TEST(ChangeSaves, LearnedDeviceDataIsSavedEveryTenMinutesWhileItChanges) {
  Saved run;
  int64_t elapsed = 0;
  int saves = 0;
  int64_t lastSave = 0;
  for (int minute = 1; minute <= 35; ++minute) {
    run.rig->db.records[5].level = static_cast<uint8_t>(minute);
    run.rig->db.records[5].timeLastContact = run.rig.clock.Now();
    for (int check = 0; check < 30; ++check) {
      run.CheckAfter(kChangeCheckMillis);
      elapsed += kChangeCheckMillis;
      if (run.Writes("Insteon Data") > saves + 1) {
        ++saves;
        EXPECT_GE(elapsed - lastSave, kLearnedDataSaveMillis) << "at " << elapsed / 1000 << " s";
        lastSave = elapsed;
      }
    }
    EXPECT_LE(elapsed - lastSave, kLearnedDataSaveMillis + 60000) << "unsaved for too long at " << elapsed / 1000;
  }
  EXPECT_EQ(saves, 3);
  EXPECT_EQ(run.Writes("options"), 1) << "nothing else changed";

  // Once it stops changing, the last change is saved and then nothing more.
  for (int check = 0; check < 300; ++check) run.CheckAfter(kChangeCheckMillis);
  EXPECT_TRUE(run.OnDiskAsInMemory(kDataFileName));
  EXPECT_EQ(run.Writes("Insteon Data"), 1 + saves + 1);
  const int steps = run.rig.files.StepsDone();
  for (int check = 0; check < 700; ++check) run.CheckAfter(kChangeCheckMillis);
  EXPECT_EQ(run.rig.files.StepsDone(), steps);
}

// Until the modem's table is merged the live table is partial: a rename waits
// for the merge, the other files do not.
TEST(ChangeSaves, TheDataFileWaitsForTheMergeAndTheOthersDoNot) {
  Saved run;
  run.rig->db.dbFlags &= static_cast<uint8_t>(~kDbMerged);
  CopyFixedText(run.rig->db.records[1].name, "Guest Room");
  run.rig->groups.SetTypedGroupLabel(3, "Upstairs");
  const auto data = *run.rig.files.Get(ConfigPath(kDataFileName));
  for (int i = 0; i < 10; ++i) run.CheckAfter(kChangeCheckMillis);
  EXPECT_TRUE(run.OnDiskAsInMemory(kGroupsFileName));
  EXPECT_TRUE(*run.rig.files.Get(ConfigPath(kDataFileName)) == data);
  run.rig->db.dbFlags |= kDbMerged;
  run.CheckAfter(kChangeCheckMillis);
  EXPECT_TRUE(run.OnDiskAsInMemory(kDataFileName));
  // The loaded copy is what the next merge restores: it has the new name.
  EXPECT_EQ(FixedText(run.rig->loaded.records[1].name), "Guest Room");
}

// A disk that refuses a file: the user is told once, the program tries again
// every minute rather than every two seconds, and says nothing new until the
// cause changes or the save goes through.
TEST(ChangeSaves, AFailedSaveIsToldOnceAndTriedAgainEveryMinute) {
  Saved run;
  const std::string events = ConfigPath(kEventsFileName);
  run.rig.files.FailOpens(TemporaryPathFor(events));
  run.rig->events.records[2].hour = 23;
  run.CheckAfter(kChangeCheckMillis);
  EXPECT_EQ(run.rig.notifier.messages, std::vector<std::string>{"quorvel: Access to " + events + " was denied."});
  EXPECT_EQ(FilesNotSaved(*run.rig), kEventsFile);
  int steps = run.rig.files.StepsDone();
  for (int i = 0; i < 25; ++i) run.CheckAfter(kChangeCheckMillis);
  EXPECT_EQ(run.rig.files.StepsDone(), steps) << "not tried again within the minute";
  for (int i = 0; i < 10; ++i) run.CheckAfter(kChangeCheckMillis);
  EXPECT_GT(run.rig.files.StepsDone(), steps) << "tried again after a minute";
  EXPECT_EQ(run.rig.notifier.messages.size(), 1u) << "the same cause is not shown again";

  run.rig.files.ClearFailures();
  run.rig.files.SetCapacity(0);
  for (int i = 0; i < 31; ++i) run.CheckAfter(kChangeCheckMillis);
  ASSERT_EQ(run.rig.notifier.messages.size(), 2u) << "a new cause is shown";
  EXPECT_EQ(run.rig.notifier.messages[1], "quorvel: Disk full while accessing " + events + ".");

  run.rig.files.ClearFailures();
  for (int i = 0; i < 31; ++i) run.CheckAfter(kChangeCheckMillis);
  EXPECT_TRUE(run.OnDiskAsInMemory(kEventsFileName));
  EXPECT_EQ(FilesNotSaved(*run.rig), 0);
}

}  // namespace
}  // namespace quorvel
