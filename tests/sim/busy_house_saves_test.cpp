// The example house on a line that is never quiet for long: the hall keypad is
// pressed every 30 seconds, so the quiet-time auto-save never comes. What the
// user makes must reach the disk within seconds all the same, what the program
// learns within ten minutes, and a crash at any moment may lose only the last
// few seconds.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "automation/event_table.h"
#include "config/config_files.h"
#include "config/config_fixture.h"
#include "engine/context.h"
#include "engine/link_watch.h"
#include "sim/house_file.h"
#include "sim/sim_network.h"
#include "sim/sim_port.h"
#include "support/test_rig.h"

namespace quorvel::sim {
namespace {

constexpr int64_t kPressEveryMillis = 30 * 1000;
const InsteonId kKeypad = InsteonId::From(0x2a, 0x10, 0x04);
const InsteonId kNamedDevice = InsteonId::From(0x2a, 0x10, 0x06);

House ExampleHouse() {
  House house;
  std::string error;
  EXPECT_TRUE(LoadHouseFile(std::string(QUORVEL_SOURCE_DIR) + "/sim/houses/example_house.txt", house, error))
      << error;
  return house;
}

// The program on the simulated house, run tick by tick in virtual time.
class BusyHouse {
 public:
  explicit BusyHouse(testing::MemoryFileSystem* disk = nullptr) : net_(clock_, ExampleHouse()) {
    files_ = disk != nullptr ? disk : &ownDisk_;
    ctx_ = std::make_unique<Context>(clock_, port_, *files_, notifier_);
    Silence(ctx_->diagnostics);
    WireEngine(*ctx_);
    WireConfigFiles(*ctx_);
    WireLinkWatch(*ctx_);
    LoadAtStart(*ctx_);
  }

  Context& ctx() { return *ctx_; }
  testing::MemoryFileSystem& disk() { return *files_; }
  int64_t Millis() const { return elapsed_; }
  bool Merged() const { return (ctx_->db.dbFlags & kDbMerged) != 0; }
  int AutoSaves() const {
    int n = 0;
    for (const LogLine& line : ctx_->log.Lines(LogChannel::GeneralActivity))
      n += line.text.find("Saving plm_aldb, events") != std::string::npos;
    return n;
  }

  void Tick() {
    if (elapsed_ % kPressEveryMillis < kTickMillis) net_.Press(kKeypad, 1, (presses_++ % 2) == 0 ? 0x11 : 0x13);
    RunMainTick(*ctx_);
    clock_.AdvanceMillis(kTickMillis);
    elapsed_ += kTickMillis;
  }
  void RunFor(int64_t millis) {
    for (const int64_t end = elapsed_ + millis; elapsed_ < end;) Tick();
  }
  bool RunUntil(const std::function<bool()>& done, int64_t limitMillis) {
    for (const int64_t end = elapsed_ + limitMillis; elapsed_ < end; Tick())
      if (done()) return true;
    return done();
  }

 private:
  TestClock clock_;
  SimNetwork net_;
  SimPort port_{net_, 1};
  testing::MemoryFileSystem ownDisk_;
  testing::MemoryFileSystem* files_;
  testing::RecordingNotifier notifier_;
  std::unique_ptr<Context> ctx_;
  int64_t elapsed_ = 0;
  int presses_ = 0;
};

// What the next start of the program finds on the disk.
std::unique_ptr<testing::TestRig> NextStart(const testing::MemoryFileSystem& disk) {
  auto rig = std::make_unique<testing::TestRig>();
  testing::CopyFiles(disk, rig->files);
  LoadAll(**rig);
  return rig;
}

int SlotOf(const DeviceDatabase& db, const InsteonId& id) { return db.FindDevice(id); }

TEST(BusyHouseSaves, AnEditIsOnTheDiskWithinFiveSeconds) {
  struct Case {
    const char* what;
    std::function<void(Context&)> edit;
    std::function<bool(const Context&)> found;  // in the next start's tables
  };
  const std::vector<Case> cases = {
      {"time event made",
       [](Context& c) {
         EventRecord e{};
         e.hour = 5;
         e.minute = 42;
         e.targetId = kNamedDevice;
         AddTimeEvent(c, e);
       },
       [](const Context& c) {
         for (const EventRecord& e : c.events.records)
           if (e.inUse == 1 && e.hour == 5 && e.minute == 42) return true;
         return false;
       }},
      {"device renamed",
       [](Context& c) { CopyFixedText(c.db.records[SlotOf(c.db, kNamedDevice)].name, "Reading lamp"); },
       [](const Context& c) {
         const int slot = SlotOf(c.loaded, kNamedDevice);
         return slot >= 0 && FixedText(c.loaded.records[slot].name) == "Reading lamp";
       }},
      {"group label", [](Context& c) { c.groups.SetTypedGroupLabel(12, "Downstairs"); },
       [](const Context& c) { return c.groups.GroupLabel(12) == "Downstairs"; }},
      {"longitude", [](Context& c) { CopyFixedText(c.options.longitude, "-0:07"); },
       [](const Context& c) { return FixedText(c.options.longitude) == "-0:07"; }},
  };
  BusyHouse house;
  ASSERT_TRUE(house.RunUntil([&] { return house.Merged(); }, 120 * 1000));
  house.RunFor(3 * 60 * 1000);
  ASSERT_GE(SlotOf(house.ctx().db, kNamedDevice), 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    house.RunFor(11 * 1000);
    c.edit(house.ctx());
    ASSERT_FALSE(c.found(**NextStart(house.disk())));
    house.RunFor(5 * 1000);
    EXPECT_TRUE(c.found(**NextStart(house.disk())));
  }
  EXPECT_EQ(house.AutoSaves(), 0) << "the line was never quiet long enough for the auto-save";
}

TEST(BusyHouseSaves, TenMinutesOfLearningAreOnTheDisk) {
  BusyHouse house;  // a first start: nothing on the disk
  ASSERT_TRUE(house.RunUntil([&] { return house.Merged(); }, 120 * 1000));
  house.RunFor(10 * 60 * 1000 - 10 * 1000);
  std::vector<InsteonId> learned;
  const DeviceDatabase& db = house.ctx().db;
  for (uint32_t i = 0; i < db.count; ++i)
    if (db.records[i].InUse() && db.records[i].IdentityKnown()) learned.push_back(db.records[i].id);
  ASSERT_GE(learned.size(), 10u);
  house.RunFor(20 * 1000);

  const auto next = NextStart(house.disk());
  const DeviceDatabase& stored = (*next)->loaded;
  for (const InsteonId& id : learned) {
    const int slot = stored.FindDevice(id);
    ASSERT_GE(slot, 0) << IdText(id);
    const DeviceRecord& live = db.records[db.FindDevice(id)];
    EXPECT_EQ(stored.records[slot].category, live.category) << IdText(id);
    EXPECT_EQ(stored.records[slot].firmware, live.firmware) << IdText(id);
  }
  EXPECT_EQ(house.AutoSaves(), 0);
}

// One field the user edits, each value with the time it was made.
struct EditTrail {
  std::vector<std::pair<int64_t, std::string>> values;
  // Whether `onDisk` is one the disk may hold after a crash at `crashMillis`:
  // the last value older than the grace time, or any made after it.
  bool Allows(const std::string& onDisk, int64_t crashMillis, int64_t graceMillis) const {
    size_t from = 0;
    bool old = false;
    for (size_t i = 0; i < values.size(); ++i) {
      if (values[i].first <= crashMillis - graceMillis) {
        from = i;
        old = true;
      }
    }
    if (!old) return true;
    for (size_t i = from; i < values.size(); ++i)
      if (values[i].second == onDisk) return true;
    return false;
  }
};

TEST(BusyHouseSaves, ACrashAtAnyMomentLosesNoEditOlderThanAFewSeconds) {
  constexpr int64_t kGraceMillis = 5 * 1000;
  constexpr int64_t kEditEveryMillis = 7 * 1000;
  for (unsigned trial = 1; trial <= 24; ++trial) {
    SCOPED_TRACE("trial " + std::to_string(trial));
    std::mt19937 random(trial);
    testing::MemoryFileSystem disk;
    BusyHouse house(&disk);
    ASSERT_TRUE(house.RunUntil([&] { return house.Merged(); }, 120 * 1000));
    Context& c = house.ctx();
    EventRecord e{};
    e.hour = 1;
    const int eventSlot = AddTimeEvent(c, e);
    ASSERT_GE(eventSlot, 0);

    EditTrail latitude, eventHour, label, name;
    const int64_t crashAt = house.Millis() + 20 * 1000 + static_cast<int64_t>(random() % (240 * 1000));
    const bool midSave = trial % 2 == 0;  // otherwise between two ticks
    bool armed = false;
    int edits = 0;
    while (!disk.Crashed()) {
      if (house.Millis() % kEditEveryMillis < kTickMillis) {
        const std::string value = std::to_string(++edits);
        const int64_t now = house.Millis();
        switch (edits % 4) {
          case 0:
            CopyFixedText(c.options.latitude, "4" + value);
            latitude.values.emplace_back(now, "4" + value);
            break;
          case 1:
            c.events.records[eventSlot].hour = static_cast<uint8_t>(edits % 24);
            eventHour.values.emplace_back(now, std::to_string(edits % 24));
            break;
          case 2:
            c.groups.SetTypedGroupLabel(7, "Room " + value);
            label.values.emplace_back(now, "Room " + value);
            break;
          default:
            if (house.Merged()) {
              CopyFixedText(c.db.records[SlotOf(c.db, kNamedDevice)].name, "Lamp " + value);
              name.values.emplace_back(now, "Lamp " + value);
            }
            break;
        }
      }
      if (house.Millis() >= crashAt) {
        if (!midSave) break;
        // The machine goes down a few disk steps into whatever is written next.
        if (!armed) disk.CrashAtStep(1 + static_cast<int>(random() % 10));
        armed = true;
      }
      house.Tick();
      ASSERT_LT(house.Millis(), crashAt + 120 * 1000) << "nothing was written for two minutes";
    }
    const int64_t crashMillis = house.Millis();
    disk.Restart();

    const auto next = NextStart(disk);
    const Context& found = **next;
    for (int i = 0; i < kConfigFileCount; ++i)
      EXPECT_TRUE(found.configFiles.stored[i].known) << ConfigFileName(i) << " is not whole";
    EXPECT_TRUE(latitude.Allows(std::string(FixedText(found.options.latitude)), crashMillis, kGraceMillis));
    EXPECT_TRUE(eventHour.Allows(std::to_string(found.events.records[eventSlot].hour), crashMillis, kGraceMillis));
    EXPECT_TRUE(label.Allows(std::string(found.groups.GroupLabel(7)), crashMillis, kGraceMillis));
    const int slot = SlotOf(found.loaded, kNamedDevice);
    ASSERT_GE(slot, 0);
    EXPECT_TRUE(name.Allows(std::string(FixedText(found.loaded.records[slot].name)), crashMillis, kGraceMillis));
  }
}

}  // namespace
}  // namespace quorvel::sim
