// Whole runs of the program against a hostile disk: a configuration file of the
// wrong length, one nobody may read, one of random bytes, a read-only or full
// file system. Whatever the disk does, nothing the user made is lost, and a run
// that could not save ends with a failure that names the file.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/session.h"
#include "app/session_options.h"
#include "automation/event_table.h"
#include "config/config_files.h"
#include "config/config_fixture.h"
#include "support/memory_file_system.h"
#include "support/test_rig.h"

namespace quorvel {
namespace {

using testing::ConfigPath;
using testing::MemoryFileSystem;

SessionOptions VirtualRun(int64_t seconds) {
  SessionOptions o;
  o.headless = true;
  o.virtualTime = true;
  o.houseFile = std::string(QUORVEL_SOURCE_DIR) + "/sim/houses/example_house.txt";
  o.secondsLimit = seconds;
  return o;
}

std::vector<std::string> Activity(Context& ctx) {
  std::vector<std::string> out;
  for (const LogLine& line : ctx.log.Lines(LogChannel::GeneralActivity)) {
    const size_t bar = line.text.find("|   ");
    out.push_back(bar == std::string::npos ? line.text : line.text.substr(bar + 4));
  }
  return out;
}

// What the user made in the first run, to be found again after the second.
constexpr const char* kLatitude = "51:30";
constexpr const char* kGroupLabel = "Garden lights";
constexpr const char* kDeviceName = "Pantry, left";
const InsteonId kNamedDevice = InsteonId::From(0x2a, 0x10, 0x02);

EventRecord MadeEvent(uint8_t hour) {
  EventRecord e{};
  e.isTimeEvent = 1;
  e.hour = hour;
  e.minute = 15;
  e.days = 0x7F;
  e.targetId = kNamedDevice;
  e.cmd1 = 0x11;
  e.cmd2 = 0xFF;
  return e;
}

// A first run that learns the house and keeps what the user makes in it.
void MakeUsersFiles(MemoryFileSystem& disk) {
  Session session(VirtualRun(90), nullptr, nullptr, nullptr, &disk);
  std::string error;
  ASSERT_TRUE(session.Start(error)) << error;
  Context& ctx = session.context();
  CopyFixedText(ctx.options.latitude, kLatitude);
  for (uint8_t hour : {6, 7, 22}) ASSERT_GE(AddTimeEvent(ctx, MadeEvent(hour)), 0);
  ctx.groups.SetTypedGroupLabel(5, kGroupLabel);
  for (const char* address : {"A1", "J11"}) {
    WidgetRecord w{};
    CopyFixedText(w.addressText, address);
    ctx.widgets.Add(w);
  }
  bool named = false;
  while (!session.LimitReached()) {
    session.Tick();
    const int slot = ctx.db.FindDevice(kNamedDevice);
    if (!named && (ctx.db.dbFlags & kDbMerged) != 0 && slot >= 0) {
      CopyFixedText(ctx.db.records[slot].name, kDeviceName);
      named = true;
    }
  }
  ASSERT_TRUE(named) << "the modem's table was never read";
  session.Stop();
  ASSERT_EQ(FilesNotSaved(ctx), 0);
}

// What the user made, as a fresh start of the program finds it on the disk.
struct UsersData {
  bool latitude = false, events = false, label = false, widgets = false, name = false;
};
UsersData FoundOnDisk(const MemoryFileSystem& disk, uint8_t& damagedFiles) {
  testing::TestRig fresh;
  testing::CopyFiles(disk, fresh.files);
  LoadAll(*fresh);
  damagedFiles = 0;
  for (int i = 0; i < kConfigFileCount; ++i) {
    if (!fresh->configFiles.stored[i].known) damagedFiles |= ConfigFileBit(i);
  }
  UsersData found;
  found.latitude = FixedText(fresh->options.latitude) == kLatitude;
  int events = 0;
  for (const EventRecord& e : fresh->events.records) events += e.inUse == 1 && e.minute == 15;
  found.events = events == 3;
  found.label = fresh->groups.GroupLabel(5) == kGroupLabel;
  found.widgets = fresh->widgets.widgets.size() == 2;
  const int slot = fresh->loaded.FindDevice(kNamedDevice);
  found.name = slot >= 0 && FixedText(fresh->loaded.records[slot].name) == kDeviceName;
  return found;
}

enum class Damage { LongerByOne, ShorterByOne, Unreadable, RandomBytes };

const char* DamageName(Damage d) {
  switch (d) {
    case Damage::LongerByOne: return "one byte too long";
    case Damage::ShorterByOne: return "one byte too short";
    case Damage::Unreadable: return "mode 000";
    case Damage::RandomBytes: return "random bytes";
  }
  return "";
}

// Every file, damaged every way: after a run the original is kept as its damaged
// copy byte for byte, one line names the copy, the files the program wrote load
// cleanly, and everything the user made is still there, in the files or the copy.
TEST(NoDataLost, ADamagedFileIsKeptByteForByteAndTheRestCarriesOn) {
  MemoryFileSystem users;
  MakeUsersFiles(users);
  uint8_t damaged = 0;
  const UsersData made = FoundOnDisk(users, damaged);
  ASSERT_EQ(damaged, 0);
  ASSERT_TRUE(made.latitude && made.events && made.label && made.widgets && made.name);

  for (int file = 0; file < kConfigFileCount; ++file) {
    for (Damage damage : {Damage::LongerByOne, Damage::ShorterByOne, Damage::Unreadable, Damage::RandomBytes}) {
      const char* name = testing::kAllFileNames[file];
      SCOPED_TRACE(std::string(name) + ", " + DamageName(damage));
      MemoryFileSystem disk;
      testing::CopyFiles(users, disk);
      const std::string path = ConfigPath(name);
      std::vector<uint8_t> original = *disk.Get(path);
      std::mt19937 random(static_cast<unsigned>(file * 4 + static_cast<int>(damage)));
      switch (damage) {
        case Damage::LongerByOne: original.push_back(0x5A); break;
        case Damage::ShorterByOne: original.pop_back(); break;
        case Damage::Unreadable: break;
        case Damage::RandomBytes:
          for (uint8_t& b : original) b = static_cast<uint8_t>(random());
          break;
      }
      disk.Put(path, original);
      if (damage == Damage::Unreadable) disk.FailOpens(path);

      Session session(VirtualRun(60), nullptr, nullptr, nullptr, &disk);
      std::string error;
      ASSERT_TRUE(session.Start(error)) << error;
      EXPECT_EQ(session.RunLoop(nullptr), 0);
      ASSERT_NE(session.context().db.dbFlags & kDbMerged, 0) << "every file was saved by the run";

      std::vector<std::string> copies;
      for (const std::string& p : disk.Paths())
        if (p.rfind(path + ".damaged-", 0) == 0) copies.push_back(p);
      ASSERT_EQ(copies.size(), 1u);
      EXPECT_TRUE(*disk.Get(copies[0]) == original) << "the copy is the original byte for byte";
      int naming = 0;
      for (const std::string& line : Activity(session.context())) {
        if (line.find(copies[0]) == std::string::npos) continue;
        ++naming;
        EXPECT_EQ(line.rfind(std::string(name) + " could not be loaded (", 0), 0u) << line;
      }
      EXPECT_EQ(naming, 1);

      disk.ClearFailures();
      disk.Delete(copies[0]);
      const UsersData found = FoundOnDisk(disk, damaged);
      EXPECT_EQ(damaged, 0) << "every file the program wrote loads as it stands";
      // What the damaged file held lives on in its copy; the others hold it still.
      const bool options = file == 0, data = file == 1, events = file == 2, groups = file == 3, widgets = file == 4;
      EXPECT_TRUE(found.latitude || options);
      EXPECT_TRUE(found.name || data);
      EXPECT_TRUE(found.events || events);
      EXPECT_TRUE(found.label || groups);
      EXPECT_TRUE(found.widgets || widgets);
    }
  }
}

// The run goes on when the disk does not: every cause is said in its own words,
// and the run ends with status 1 naming each file it could not save.
TEST(NoDataLost, AHeadlessRunThatCouldNotSaveFailsAndNamesTheFiles) {
  struct Case {
    const char* what;
    std::function<void(MemoryFileSystem&)> disk;
    bool untilIdle;
    std::string cause;  // what the run prints for the options file
  };
  const std::string folder = testing::kTestFolder;
  const std::string options = ConfigPath(kOptionsFileName);
  const std::vector<Case> cases = {
      {"read-only file system", [](MemoryFileSystem& d) { d.SetReadOnly(true); }, false,
       "could not create the folder: " + folder + " is on a read-only file system."},
      {"read-only, until idle", [](MemoryFileSystem& d) { d.SetReadOnly(true); }, true,
       "could not create the folder: " + folder + " is on a read-only file system."},
      {"full disk",
       [&folder](MemoryFileSystem& d) {
         d.CreateFolders(folder);
         d.SetCapacity(1000);
       },
       false, "Disk full while accessing " + options + "."},
      {"permission refused",
       [&options](MemoryFileSystem& d) {
         d.Put(options, std::vector<uint8_t>(1176, 0));
         d.FailOpens(TemporaryPathFor(options));
       },
       false, "Access to " + options + " was denied."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryFileSystem disk;
    c.disk(disk);
    SessionOptions o = VirtualRun(c.untilIdle ? 0 : 30);
    o.untilIdle = c.untilIdle;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> out{std::tmpfile(), &std::fclose};
    ASSERT_NE(out, nullptr);
    Session session(o, out.get(), nullptr, nullptr, &disk);
    std::string error;
    ASSERT_TRUE(session.Start(error)) << error;
    EXPECT_EQ(session.RunLoop(nullptr), 1);
    EXPECT_EQ(session.settled(), c.untilIdle) << "an until-idle run fails for the save alone";
    std::rewind(out.get());
    std::string text;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, out.get())) > 0;) text.append(buf, n);
    EXPECT_NE(text.find("quorvel: OrvoOptions3.cfg was not saved: " + c.cause), std::string::npos) << text;
    EXPECT_EQ(text.find("was not found"), std::string::npos);
  }
}

}  // namespace
}  // namespace quorvel
