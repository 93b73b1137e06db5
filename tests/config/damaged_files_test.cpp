// A file the program cannot load as it stands still holds what the user made:
// it is kept beside itself before anything replaces it, and said so once. And
// each reason a save fails reaches the user in its own words.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "config/config_files.h"
#include "config_fixture.h"

namespace quorvel {
namespace {

using testing::ConfigPath;
using testing::FillRecordSet;
using testing::TestRig;

// TestClock's start, 2011-03-13 07:06:40, as the copies are named.
const std::string kStamp = ".damaged-20110313-0706";

std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
  std::vector<uint8_t> out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(seed + i * 7);
  return out;
}

int LinesNaming(const TestRig& rig, const std::string& text) {
  int n = 0;
  for (const std::string& line : rig.Texts(LogChannel::GeneralActivity)) n += line.find(text) != std::string::npos;
  return n;
}

std::vector<std::string> CopiesOf(const TestRig& rig, const std::string& path) {
  std::vector<std::string> out;
  for (const std::string& p : rig.files.Paths())
    if (p.rfind(path + ".damaged-", 0) == 0) out.push_back(p);
  return out;
}

TEST(DamagedFiles, AnEarlierCopyIsNeverReplaced) {
  TestRig rig;
  const std::string events = ConfigPath(kEventsFileName);
  const std::vector<uint8_t> earlier = Pattern(73977, 1);
  const std::vector<uint8_t> damaged = Pattern(73975, 2);
  rig.files.Put(events + kStamp, earlier);
  rig.files.Put(events, damaged);
  LoadAtStart(*rig);
  EXPECT_EQ(*rig.files.Get(events + kStamp), earlier);
  ASSERT_TRUE(rig.files.Exists(events + kStamp + "-2"));
  EXPECT_EQ(*rig.files.Get(events + kStamp + "-2"), damaged);
  EXPECT_EQ(LinesNaming(rig, events + kStamp + "-2"), 1);
  EXPECT_EQ(rig.Texts(LogChannel::GeneralActivity).back(),
            "OrvoEvents3.cfg could not be loaded (its length is 73975 bytes, not 73976); the original is kept as " +
                events + kStamp + "-2");
  EXPECT_EQ(rig.notifier.messages.back(), "quorvel: " + rig.Texts(LogChannel::GeneralActivity).back());
}

// Without its copy, a damaged file is not saved over: the next save tries to
// keep it again, and replaces it only once it is kept.
TEST(DamagedFiles, AFileThatCannotBeKeptIsNotReplaced) {
  TestRig rig;
  const std::string groups = ConfigPath(kGroupsFileName);
  const std::vector<uint8_t> damaged = Pattern(1000, 3);
  rig.files.Put(groups, damaged);
  rig.files.FailCopies(FileError::HardwareError);
  LoadAtStart(*rig);
  EXPECT_EQ(LinesNaming(rig, "OrvoGroups3.cfg could not be loaded (its length is 1000 bytes, not 137216"), 1);
  EXPECT_EQ(LinesNaming(rig, "and no copy of it could be kept (Encountered a hardware I/O error while accessing " +
                                 groups + kStamp + "); it is not saved over."),
            1);
  rig->groups.SetGroupLabel(4, "Porch");

  SaveResult saved = SaveAll(*rig);
  EXPECT_EQ(saved.failed, kGroupsFile);
  EXPECT_EQ(saved.written, kAllConfigFiles & ~kGroupsFile & ~kDataFile);
  EXPECT_EQ(*rig.files.Get(groups), damaged);
  EXPECT_TRUE(CopiesOf(rig, groups).empty());
  EXPECT_EQ(FilesNotSaved(*rig), kGroupsFile);

  rig.files.ClearFailures();
  saved = SaveAll(*rig);
  EXPECT_EQ(saved.failed, 0);
  ASSERT_EQ(CopiesOf(rig, groups).size(), 1u);
  EXPECT_EQ(*rig.files.Get(CopiesOf(rig, groups)[0]), damaged);
  EXPECT_EQ(*rig.files.Get(groups), testing::BytesOfObject(rig->groups));
  EXPECT_EQ(FilesNotSaved(*rig), 0);
}

// A file the program just wrote and then could not read back holds what memory
// holds: it is reported, never kept as damaged.
TEST(DamagedFiles, AFileThatFailsToReadBackIsNotKept) {
  TestRig rig;
  FillRecordSet(*rig, 5);
  rig->db.dbFlags |= kDbMerged;
  rig.files.FailReads(ConfigPath(kOptionsFileName), FileError::HardwareError);
  SaveCommand(*rig);
  rig.files.ClearFailures();
  ASSERT_EQ(rig.notifier.messages.size(), 1u);
  SaveAll(*rig);
  for (const char* name : testing::kAllFileNames) EXPECT_TRUE(CopiesOf(rig, ConfigPath(name)).empty()) << name;
}

// A FIFO, a device or a folder under a file's name is not opened and holds no
// data to keep; the save puts a file in its place.
TEST(DamagedFiles, WhatIsNoRegularFileIsRefusedAndNotKept) {
  TestRig rig;
  const std::string events = ConfigPath(kEventsFileName);
  rig.files.Put(events, Pattern(10, 4));
  rig.files.FailOpens(events, FileError::NotRegularFile);
  EXPECT_EQ(LoadAll(*rig) & kEventsFile, 0);
  EXPECT_EQ(rig.Texts(LogChannel::GeneralActivity),
            std::vector<std::string>{"Not loaded: " + events + " is not a regular file."});
  EXPECT_EQ(rig.notifier.messages,
            std::vector<std::string>{"quorvel: Not loaded: " + events + " is not a regular file."});
  rig->events.eventCount = 2;
  EXPECT_EQ(SaveAll(*rig).written & kEventsFile, kEventsFile);
  EXPECT_TRUE(CopiesOf(rig, events).empty());
  TestRig next;
  testing::CopyFiles(rig.files, next.files);
  EXPECT_NE(LoadAll(*next) & kEventsFile, 0);
  EXPECT_EQ(next->events.eventCount, 2u);
}

// Each reason a save cannot happen has its own words, and a folder that cannot
// be made is said once, not as every file "not found".
TEST(DamagedFiles, EachCauseOfAFailedSaveHasItsOwnText) {
  struct Case {
    const char* what;
    std::function<void(testing::MemoryFileSystem&)> disk;
    std::vector<std::string> messages;
  };
  const std::string folder = testing::kTestFolder;
  const std::string options = ConfigPath(kOptionsFileName);
  const std::vector<Case> cases = {
      {"read-only file system", [](testing::MemoryFileSystem& d) { d.SetReadOnly(true); },
       {"quorvel: Could not create the folder for the configuration files: " + folder +
        " is on a read-only file system."}},
      {"folder not allowed", [](testing::MemoryFileSystem& d) { d.FailNewFolders(FileError::AccessDenied); },
       {"quorvel: Could not create the folder for the configuration files: Access to " + folder + " was denied."}},
      {"read-only, folder there",
       [&folder](testing::MemoryFileSystem& d) {
         d.CreateFolders(folder);
         d.SetReadOnly(true);
       },
       {"quorvel: " + options + " is on a read-only file system."}},
      {"permission refused",
       [&folder, &options](testing::MemoryFileSystem& d) {
         d.CreateFolders(folder);
         d.FailOpens(TemporaryPathFor(options));
       },
       {"quorvel: Access to " + options + " was denied."}},
      {"full disk",
       [&folder](testing::MemoryFileSystem& d) {
         d.CreateFolders(folder);
         d.SetCapacity(1000);
       },
       {"quorvel: Disk full while accessing " + options + "."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestRig rig;
    rig.files.Delete(options);
    c.disk(rig.files);
    const SaveResult saved = SaveAll(*rig);
    EXPECT_NE(saved.failed & kOptionsFile, 0);
    ASSERT_FALSE(rig.notifier.messages.empty());
    EXPECT_EQ(rig.notifier.messages[0], c.messages[0]);
    for (const std::string& m : rig.notifier.messages) {
      EXPECT_EQ(m.find("was not found"), std::string::npos) << m;
    }
    EXPECT_NE(FilesNotSaved(*rig) & kOptionsFile, 0);
  }
}

}  // namespace
}  // namespace quorvel
