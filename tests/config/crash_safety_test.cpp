// A save interrupted anywhere must leave every file wholly old or wholly new:
// the device data file holds everything learned about the network, and a short
// file there is ignored at the next start and then overwritten.
#include <gtest/gtest.h>

#include "config/config_files.h"
#include "config_fixture.h"

namespace quorvel {
namespace {

using testing::ConfigPath;
using testing::FillRecordSet;
using testing::TestRig;
using Images = std::map<std::string, std::vector<uint8_t>>;

constexpr uint32_t kOldSeed = 100;
constexpr uint32_t kNewSeed = 200;

// The disk holds the old set (or nothing); memory holds a new set ready to save.
struct Scene {
  TestRig rig;
  Images oldFiles;
  Images newFiles;

  explicit Scene(bool withOldFiles) {
    rig->db.dbFlags |= kDbMerged;
    if (withOldFiles) {
      FillRecordSet(*rig, kOldSeed, 3);
      SaveAll(*rig);
      oldFiles = testing::ExpectedImages(*rig);
    }
    FillRecordSet(*rig, kNewSeed, 5);
    newFiles = testing::ExpectedImages(*rig);
  }

  // "old", "new" or what else the file is.
  std::string StateOf(const char* name) const {
    const auto file = rig.files.Get(ConfigPath(name));
    if (!file) return oldFiles.empty() ? "old" : "missing";
    if (!oldFiles.empty() && *file == oldFiles.at(name)) return "old";
    if (*file == newFiles.at(name)) return "new";
    return "damaged (" + std::to_string(file->size()) + " bytes)";
  }
};

int StepsOfOneSave() {
  Scene scene(true);
  const int before = scene.rig.files.StepsDone();
  EXPECT_EQ(SaveAll(*scene.rig).written, kAllConfigFiles);
  return scene.rig.files.StepsDone() - before;
}

TEST(CrashSafety, ACrashAtAnyStepLeavesEveryFileWhollyOldOrWhollyNew) {
  const int steps = StepsOfOneSave();
  ASSERT_GE(steps, 5 * 5) << "each file: open, write, flush, close, rename at the least";
  for (bool withOldFiles : {true, false}) {
    int sawNew = 0;
    for (int n = 1; n <= steps; ++n) {
      SCOPED_TRACE((withOldFiles ? "replacing, crash at step " : "first save, crash at step ") + std::to_string(n));
      Scene scene(withOldFiles);
      scene.rig.files.CrashAtStep(n);
      SaveAll(*scene.rig);
      ASSERT_TRUE(scene.rig.files.Crashed());
      scene.rig.files.Restart();  // the power comes back: only what reached the disk is there
      for (const char* name : testing::kAllFileNames) {
        const std::string state = scene.StateOf(name);
        EXPECT_TRUE(state == "old" || state == "new") << name << " is " << state;
        if (state == "new") ++sawNew;
      }
      if (n == 1) {
        for (const char* name : testing::kAllFileNames) EXPECT_EQ(scene.StateOf(name), "old") << name;
      }
      // The next run starts from a set it can read, and its next save goes through.
      TestRig next;
      testing::CopyFiles(scene.rig.files, next.files);
      LoadAll(*next);
      EXPECT_TRUE(next.notifier.messages.empty());
      FillRecordSet(*next, kNewSeed, 5);
      next->db.dbFlags |= kDbMerged;
      EXPECT_EQ(SaveAll(*next).written, kAllConfigFiles);
    }
    EXPECT_GT(sawNew, 0) << "the sweep reaches the points where files are already replaced";
  }
}

TEST(CrashSafety, AFailedStepKeepsTheOldFileAndTheEditsAndIsReported) {
  const int steps = StepsOfOneSave();
  for (FileError error : {FileError::HardwareError, FileError::DiskFull, FileError::AccessDenied}) {
    for (int n = 1; n <= steps; ++n) {
      SCOPED_TRACE("step " + std::to_string(n) + " fails with " + FileErrorText(error, "the file"));
      Scene scene(true);
      scene.rig->configFiles.saveLogEnabled = true;
      scene.rig.files.FailStep(n, error);
      const SaveResult saved = SaveCommand(*scene.rig);
      ASSERT_EQ(__builtin_popcount(saved.failed), 1) << "exactly one file met the failure";
      const auto memory = testing::ExpectedImages(*scene.rig);
      for (const char* name : testing::kAllFileNames) {
        const std::string state = scene.StateOf(name);
        EXPECT_TRUE(state == "old" || state == "new") << name << " is " << state;
        // What is in memory is still the new set: nothing that failed was
        // reloaded over the user's data.
        EXPECT_TRUE(memory.at(name) == scene.newFiles.at(name)) << name;
      }
      int failedFile = 0;
      while ((saved.failed & (1u << failedFile)) == 0) ++failedFile;
      EXPECT_EQ(scene.rig.notifier.messages,
                std::vector<std::string>{"quorvel: " +
                                         FileErrorText(error, ConfigPath(testing::kAllFileNames[failedFile]))});
      for (const std::string& path : scene.rig.files.Paths()) {
        EXPECT_EQ(path.find(".tmp"), std::string::npos) << path << " left behind";
      }
    }
  }
}

TEST(CrashSafety, AFullDiskIsReportedAndLosesNothing) {
  struct Case {
    size_t room;     // free bytes beyond the old set
    uint8_t failed;  // files that cannot be written
  };
  const Case cases[] = {
      {0, kAllConfigFiles},
      {300000, kDataFile},
      {600000, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("room " + std::to_string(c.room));
    Scene scene(true);
    size_t used = 0;
    for (const auto& [name, bytes] : scene.oldFiles) used += bytes.size();
    scene.rig.files.SetCapacity(used + c.room);
    scene.rig->loaded.count = 77;  // must stay unless the data file was written and read back

    const SaveResult saved = SaveCommand(*scene.rig);
    EXPECT_EQ(saved.failed, c.failed);
    size_t messages = 0;
    for (int i = 0; i < 5; ++i) {
      const char* name = testing::kAllFileNames[i];
      const bool failed = (c.failed & (1u << i)) != 0;
      EXPECT_EQ(scene.StateOf(name), failed ? "old" : "new") << name;
      if (failed) {
        ASSERT_LT(messages, scene.rig.notifier.messages.size());
        EXPECT_EQ(scene.rig.notifier.messages[messages++],
                  "quorvel: Disk full while accessing " + ConfigPath(name) + ".");
      }
    }
    EXPECT_EQ(messages, scene.rig.notifier.messages.size());
    EXPECT_EQ(scene.rig->loaded.count, (c.failed & kDataFile) != 0 ? 77u : kMaxDevices);

    // Once there is room again, the same save stores everything that was kept.
    scene.rig.files.SetCapacity(static_cast<size_t>(-1));
    EXPECT_EQ(SaveCommand(*scene.rig).written, kAllConfigFiles);
    for (const char* name : testing::kAllFileNames) EXPECT_EQ(scene.StateOf(name), "new") << name;
  }
}

}  // namespace
}  // namespace quorvel
