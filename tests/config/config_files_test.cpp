#include "config/config_files.h"

#include <gtest/gtest.h>

#include <functional>

#include "config/options.h"
#include "config_fixture.h"

namespace quorvel {
namespace {

using testing::ConfigPath;
using testing::ExpectedImages;
using testing::FillRecordSet;
using testing::MemoryFileSystem;
using testing::TestRig;

bool HasLine(const TestRig& rig, const std::string& text) {
  for (const std::string& line : rig.Texts(LogChannel::GeneralActivity))
    if (line == text) return true;
  return false;
}

int LinesStartingWith(const TestRig& rig, const std::string& prefix) {
  int n = 0;
  for (const std::string& line : rig.Texts(LogChannel::GeneralActivity))
    if (line.rfind(prefix, 0) == 0) ++n;
  return n;
}

void OpenGate(Context& ctx) { ctx.db.dbFlags |= kDbMerged; }

TEST(ConfigFiles, SaveWritesEachFileAsTheTableLiesInMemoryAndLoadReadsItBack) {
  TestRig a;
  FillRecordSet(*a, 7);
  OpenGate(*a);
  const auto expected = ExpectedImages(*a);
  const SaveResult saved = SaveAll(*a);
  EXPECT_EQ(saved.written, kAllConfigFiles);
  EXPECT_EQ(saved.failed, 0);

  const size_t sizes[] = {1176, 509896, 73976, 137216, 3 * 72};
  for (size_t i = 0; i < 5; ++i) {
    const char* name = testing::kAllFileNames[i];
    const auto file = a.files.Get(ConfigPath(name));
    ASSERT_TRUE(file.has_value()) << name;
    EXPECT_EQ(file->size(), sizes[i]) << name;
    EXPECT_TRUE(*file == expected.at(name)) << name << " differs from the table in memory";
  }

  // A second run reads the same bytes back, and saving them again gives the
  // same files byte for byte.
  TestRig b;
  testing::CopyFiles(a.files, b.files);
  EXPECT_EQ(LoadAll(*b), kAllConfigFiles);
  EXPECT_TRUE(testing::BytesOfObject(b->options) == expected.at(kOptionsFileName));
  EXPECT_TRUE(testing::DataImage(b->loaded) == expected.at(kDataFileName));
  EXPECT_TRUE(testing::BytesOfObject(b->events) == expected.at(kEventsFileName));
  EXPECT_TRUE(testing::BytesOfObject(b->groups) == expected.at(kGroupsFileName));
  EXPECT_TRUE(testing::WidgetsImage(b->widgets) == expected.at(kWidgetsFileName));
  EXPECT_TRUE(b.notifier.messages.empty());
  EXPECT_TRUE(b.Texts(LogChannel::GeneralActivity).empty()) << "a sound set needs no repair line";

  std::memcpy(b->db.records, b->loaded.records, sizeof b->db.records);
  std::memcpy(b->db.reserveTable, b->loaded.reserveTable, sizeof b->db.reserveTable);
  b->db.count = b->loaded.count;
  b->db.reserveCount = b->loaded.reserveCount;
  OpenGate(*b);
  ASSERT_EQ(SaveAll(*b).written, kAllConfigFiles);
  for (const char* name : testing::kAllFileNames) {
    EXPECT_TRUE(*b.files.Get(ConfigPath(name)) == expected.at(name)) << name;
  }
}

// A field at its offset in a hand-built file image: loading puts the value into
// the named field, and saving puts it back at the same offset.
struct FieldCase {
  const char* what;
  const char* file;
  size_t fileSize;
  size_t offset;
  std::vector<uint8_t> value;
  std::function<std::vector<uint8_t>(const Context&)> field;
};

template <typename T>
std::vector<uint8_t> Raw(const T& v) {
  return testing::BytesOfObject(v);
}

std::vector<uint8_t> Text(const char* s, size_t width) {
  std::vector<uint8_t> out(width, 0);
  std::memcpy(out.data(), s, std::strlen(s));
  return out;
}

TEST(ConfigFiles, FieldsSitAtTheirFileOffsets) {
  const float price = 0.125f;
  const std::vector<FieldCase> cases = {
      {"runFlags", kOptionsFileName, 1176, 24, {0x97}, [](const Context& c) { return Raw(c.options.runFlags); }},
      {"latitude", kOptionsFileName, 1176, 652, Text("45:12", 10),
       [](const Context& c) { return Raw(c.options.latitude); }},
      {"longitude", kOptionsFileName, 1176, 662, Text("-122:4", 10),
       [](const Context& c) { return Raw(c.options.longitude); }},
      {"timeZone", kOptionsFileName, 1176, 672, {0xFB, 0xFF, 0xFF, 0xFF},
       [](const Context& c) { return Raw(c.options.timeZone); }},
      {"lastWeekday", kOptionsFileName, 1176, 700, {3}, [](const Context& c) { return Raw(c.options.lastWeekday); }},
      {"lastMonth", kOptionsFileName, 1176, 701, {11}, [](const Context& c) { return Raw(c.options.lastMonth); }},
      {"treeState", kOptionsFileName, 1176, 1120, {0x78, 0x56, 0x34, 0x12},
       [](const Context& c) { return Raw(c.options.treeState); }},
      {"userDisconnect", kOptionsFileName, 1176, 1124, {1},
       [](const Context& c) { return Raw(c.options.userDisconnect); }},
      {"comPort", kOptionsFileName, 1176, 1128, {9, 0, 0, 0}, [](const Context& c) { return Raw(c.options.comPort); }},
      {"timeZoneIndex", kOptionsFileName, 1176, 1132, {7},
       [](const Context& c) { return Raw(c.options.timeZoneIndex); }},
      {"forcePort", kOptionsFileName, 1176, 1133, {1}, [](const Context& c) { return Raw(c.options.forcePort); }},
      {"forcedPortNumber", kOptionsFileName, 1176, 1136, {12, 0, 0, 0},
       [](const Context& c) { return Raw(c.options.forcedPortNumber); }},
      {"initMarker", kOptionsFileName, 1176, 1164, {0xA3, 0x07, 0, 0},
       [](const Context& c) { return Raw(c.options.initMarker); }},
      {"energyPrice", kOptionsFileName, 1176, 1168, Raw(price),
       [](const Context& c) { return Raw(c.options.energyPrice); }},
      {"device 1 group", kDataFileName, 509896, 992 + 1, {0x21},
       [](const Context& c) { return Raw(c.loaded.records[1].group); }},
      {"device 2 id", kDataFileName, 509896, 2 * 992 + 2, {0x1A, 0x2B, 0x3C},
       [](const Context& c) { return Raw(c.loaded.records[2].id); }},
      {"device 480 name", kDataFileName, 509896, 480 * 992 + 541, Text("Porch", 33),
       [](const Context& c) { return Raw(c.loaded.records[480].name); }},
      {"count", kDataFileName, 509896, 477152, {2, 0, 0, 0}, [](const Context& c) { return Raw(c.loaded.count); }},
      {"reserve 0 id", kDataFileName, 509896, 477156 + 2, {0x44, 0x55, 0x66},
       [](const Context& c) { return Raw(c.loaded.reserveTable[0].id); }},
      {"reserve 32 linkCount", kDataFileName, 509896, 477156 + 32 * 992 + 540, {33},
       [](const Context& c) { return Raw(c.loaded.reserveTable[32].linkCount); }},
      {"reserveCount", kDataFileName, 509896, 509892, {5, 0, 0, 0},
       [](const Context& c) { return Raw(c.loaded.reserveCount); }},
      {"events reserved word", kEventsFileName, 73976, 0, {1, 2, 3, 4},
       [](const Context& c) { return Raw(c.events.reserved0); }},
      {"eventCount", kEventsFileName, 73976, 4, {17, 0, 0, 0}, [](const Context& c) { return Raw(c.events.eventCount); }},
      {"event 0 hour", kEventsFileName, 73976, 8 + 10, {6}, [](const Context& c) { return Raw(c.events.records[0].hour); }},
      {"event 401 inUse", kEventsFileName, 73976, 8 + 401 * 184 + 158, {1},
       [](const Context& c) { return Raw(c.events.records[401].inUse); }},
      {"group 5 label", kGroupsFileName, 137216, 5 * 536 + 13, Text("Kitchen", 64),
       [](const Context& c) { return Raw(c.groups.groups[5].label); }},
      {"group 255 sideView", kGroupsFileName, 137216, 255 * 536 + 392, {1},
       [](const Context& c) { return Raw(c.groups.groups[255].sideView); }},
      {"widget 1 house", kWidgetsFileName, 144, 72 + 4, {15},
       [](const Context& c) { return Raw(std::next(c.widgets.widgets.begin())->second.x10House); }},
      {"widget 1 text", kWidgetsFileName, 144, 72 + 6, Text("J11", 5),
       [](const Context& c) { return Raw(std::next(c.widgets.widgets.begin())->second.addressText); }},
  };
  for (const FieldCase& c : cases) {
    SCOPED_TRACE(c.what);
    TestRig rig;
    std::vector<uint8_t> image(c.fileSize, 0);
    // A valid port, or the load would rewrite it.
    if (std::strcmp(c.file, kOptionsFileName) == 0 && c.offset != 1128) image[1128] = 3;
    std::memcpy(image.data() + c.offset, c.value.data(), c.value.size());
    rig.files.Put(ConfigPath(c.file), image);

    LoadAll(*rig);
    EXPECT_EQ(c.field(*rig), c.value);

    // Back out through a save: the live table is what the data file takes.
    std::memcpy(rig->db.records, rig->loaded.records, sizeof rig->db.records);
    std::memcpy(rig->db.reserveTable, rig->loaded.reserveTable, sizeof rig->db.reserveTable);
    rig->db.count = rig->loaded.count;
    rig->db.reserveCount = rig->loaded.reserveCount;
    OpenGate(*rig);
    SaveAll(*rig);
    EXPECT_TRUE(*rig.files.Get(ConfigPath(c.file)) == image);
  }
}

// Files whose length must be exact: anything else is taken as no file, and
// marked damaged so that it is kept before a save replaces it.
TEST(ConfigFiles, ExactLengthFilesOfAnyOtherLengthAreIgnored) {
  struct Case {
    const char* file;
    size_t length;
    bool read;
  };
  const Case cases[] = {
      {kOptionsFileName, 1175, false}, {kOptionsFileName, 1176, true},  {kOptionsFileName, 1177, false},
      {kOptionsFileName, 0, false},    {kDataFileName, 509895, false},  {kDataFileName, 509896, true},
      {kDataFileName, 509897, false},  {kEventsFileName, 73975, false}, {kEventsFileName, 73976, true},
      {kEventsFileName, 73977, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " of " + std::to_string(c.length) + " bytes");
    TestRig rig;
    // What each table held before the load: it must stay when the file is ignored.
    rig->loaded.count = 9;
    rig->events.eventCount = 8;
    std::vector<uint8_t> image(c.length, 0);
    if (c.length >= 1176) image[24] = 0x97;              // runFlags
    if (c.length >= 1132) image[1128] = 4;               // comPort
    if (c.length >= 477156) image[477152] = 3;           // device count
    if (c.length >= 8) image[4] = 5;                     // eventCount
    rig.files.Put(ConfigPath(c.file), image);

    const uint8_t read = LoadAll(*rig);
    EXPECT_EQ(read != 0, c.read);
    if (std::strcmp(c.file, kOptionsFileName) == 0) {
      EXPECT_EQ(rig->options.runFlags, c.read ? 0x97 : 0);
      EXPECT_EQ(rig->options.comPort, c.read ? 4 : 1) << "a missing port number becomes 1";
    } else if (std::strcmp(c.file, kDataFileName) == 0) {
      EXPECT_EQ(rig->loaded.count, c.read ? 3u : 9u);
    } else {
      EXPECT_EQ(rig->events.eventCount, c.read ? 5u : 8u);
    }
    EXPECT_TRUE(rig.notifier.messages.empty()) << "the start tells of it, once the copy is kept";
    const StoredFile& stored = rig->configFiles.stored[testing::FileIndexOf(c.file)];
    EXPECT_EQ(stored.keepBeforeSave, !c.read);
    if (!c.read) {
      EXPECT_EQ(stored.damage, "its length is " + std::to_string(c.length) + " bytes, not " +
                                   std::to_string(testing::kFileSizes[testing::FileIndexOf(c.file)]));
    }
  }
}

// What they hold is loaded, and a file of any other length than a save gives
// is marked damaged, so that the original is kept before it is replaced.
TEST(ConfigFiles, GroupsAndWidgetsFilesAreReadAsFarAsTheyGo) {
  struct Case {
    const char* file;
    size_t length;
    size_t groupBytesFilled;  // groups: how much of the table the file fills
    size_t widgets;           // widgets: how many records come out
    bool damaged;
  };
  const Case cases[] = {
      {kGroupsFileName, 1000, 1000, 0, true},       {kGroupsFileName, 0, 0, 0, true},
      {kGroupsFileName, 137216, 137216, 0, false},  {kGroupsFileName, 137300, 137216, 0, true},
      {kWidgetsFileName, 150, 0, 2, true},          {kWidgetsFileName, 144, 0, 2, false},
      {kWidgetsFileName, 71, 0, 0, true},           {kWidgetsFileName, 0, 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " of " + std::to_string(c.length) + " bytes");
    TestRig rig;
    std::vector<uint8_t> image(c.length);
    for (size_t i = 0; i < c.length; ++i) image[i] = static_cast<uint8_t>(0x41 + i % 23);
    // Every text field stays terminated, so the load repairs nothing here.
    for (int g = 0; g < kGroupCount; ++g) {
      const size_t end = static_cast<size_t>(g) * 536 + 13 + 63;
      if (end < c.length) image[end] = 0;
    }
    for (size_t w = 0; (w + 1) * 72 <= c.length; ++w) image[w * 72 + 10] = 0;
    rig.files.Put(ConfigPath(c.file), image);
    rig->groups.SetGroupLabel(200, "stale");

    LoadAll(*rig);
    if (std::strcmp(c.file, kGroupsFileName) == 0) {
      const auto table = testing::BytesOfObject(rig->groups);
      EXPECT_TRUE(std::equal(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(c.groupBytesFilled),
                             table.begin()));
      for (size_t i = c.groupBytesFilled; i < table.size(); ++i) ASSERT_EQ(table[i], 0) << "byte " << i;
    } else {
      ASSERT_EQ(rig->widgets.widgets.size(), c.widgets);
      size_t i = 0;
      for (const auto& [key, w] : rig->widgets.widgets) {
        EXPECT_EQ(key, i + 1) << "keys are given in file order";
        EXPECT_EQ(std::memcmp(&w, image.data() + i * 72, 72), 0);
        ++i;
      }
    }
    EXPECT_TRUE(rig.Texts(LogChannel::GeneralActivity).empty());
    EXPECT_EQ(rig->configFiles.stored[testing::FileIndexOf(c.file)].keepBeforeSave, c.damaged);
  }
}

TEST(ConfigFiles, PortNumberOutsideOneToSixteenBecomesOne) {
  struct Case {
    int32_t stored;
    int32_t loaded;
  };
  const Case cases[] = {{0, 1}, {17, 1}, {-3, 1}, {1, 1}, {16, 16}, {9, 9}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    TestRig rig;
    OptionsRecord stored{};
    stored.comPort = c.stored;
    rig.files.Put(ConfigPath(kOptionsFileName), testing::BytesOfObject(stored));
    LoadAll(*rig);
    EXPECT_EQ(rig->options.comPort, c.loaded);
    const bool repaired = c.stored != c.loaded;
    EXPECT_EQ(HasLine(rig, "Repaired OrvoOptions3.cfg on load: comPort " + std::to_string(c.stored) + " set to 1"),
              repaired);
    EXPECT_EQ(rig.Texts(LogChannel::GeneralActivity).size(), repaired ? 1u : 0u);
  }
}

// Damaged files of the right length: counts beyond the tables and texts
// without their end are repaired on load, with one line naming file and field.
TEST(ConfigFiles, DamagedValuesAreRepairedOnLoadWithOneLine) {
  struct Case {
    const char* what;
    const char* file;
    std::function<void(std::vector<uint8_t>&)> damage;
    std::string line;
    std::function<void(const Context&)> check;
  };
  const std::vector<Case> cases = {
      {"latitude", kOptionsFileName, [](std::vector<uint8_t>& f) { std::memset(f.data() + 652, '7', 20); },
       "Repaired OrvoOptions3.cfg on load: latitude terminated; longitude terminated",
       [](const Context& c) {
         EXPECT_EQ(FixedText(c.options.latitude), "777777777");
         EXPECT_EQ(FixedText(c.options.longitude), "777777777");
       }},
      {"eventCount", kEventsFileName, [](std::vector<uint8_t>& f) { WriteLE32(f.data() + 4, 1000); },
       "Repaired OrvoEvents3.cfg on load: eventCount 1000 limited to 399",
       [](const Context& c) { EXPECT_EQ(c.events.eventCount, 399u); }},
      {"group labels", kGroupsFileName,
       [](std::vector<uint8_t>& f) {
         std::memset(f.data() + 3 * 536 + 13, 'x', 64);
         std::memset(f.data() + 9 * 536 + 13, 'y', 64);
       },
       "Repaired OrvoGroups3.cfg on load: label terminated in 2 groups, first group 3",
       [](const Context& c) {
         EXPECT_EQ(c.groups.GroupLabel(3), std::string(63, 'x'));
         EXPECT_EQ(c.groups.GroupLabel(9), std::string(63, 'y'));
       }},
      {"widget text", kWidgetsFileName, [](std::vector<uint8_t>& f) { std::memset(f.data() + 72 + 6, 'A', 5); },
       "Repaired OrvoWidgets3.cfg on load: addressText terminated in 1 widgets, first record 1",
       [](const Context& c) {
         EXPECT_EQ(FixedText(std::next(c.widgets.widgets.begin())->second.addressText), "AAAA");
       }},
      {"device count", kDataFileName, [](std::vector<uint8_t>& f) { WriteLE32(f.data() + 477152, 600); },
       "Repaired OrvoOrv3.cfg on load: count 600 limited to 479",
       [](const Context& c) { EXPECT_EQ(c.loaded.count, kMaxDevices); }},
      {"link count", kDataFileName, [](std::vector<uint8_t>& f) { f[4 * 992 + 540] = 200; },
       "Repaired OrvoOrv3.cfg on load: linkCount limited to 33 in 1 records, first slot 4",
       [](const Context& c) { EXPECT_EQ(c.loaded.records[4].linkCount, kLinksPerDevice); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestRig sound;
    FillRecordSet(*sound, 11);
    OpenGate(*sound);
    SaveAll(*sound);

    TestRig rig;
    testing::CopyFiles(sound.files, rig.files);
    auto file = *rig.files.Get(ConfigPath(c.file));
    c.damage(file);
    rig.files.Put(ConfigPath(c.file), file);
    LoadAll(*rig);
    c.check(*rig);
    ASSERT_EQ(rig.Texts(LogChannel::GeneralActivity).size(), 1u);
    EXPECT_EQ(rig.Texts(LogChannel::GeneralActivity)[0], c.line);
  }
}

TEST(ConfigFiles, FirstStartReadsNothingAndLeavesEveryTableEmpty) {
  TestRig rig;
  rig->events.eventCount = 0;
  LoadAtStart(*rig);
  EXPECT_EQ(rig->loaded.count, 0u);
  EXPECT_EQ(rig->loaded.records[0].linkFlags, 0);
  EXPECT_EQ(rig->events.eventCount, 0u);
  EXPECT_EQ(rig->groups.GroupLabel(1), "");
  EXPECT_TRUE(rig->widgets.widgets.empty());
  EXPECT_EQ(rig->options.comPort, 1);
  EXPECT_EQ(rig->options.initMarker, kInitMarker);
  EXPECT_TRUE(rig.Texts(LogChannel::GeneralActivity).empty()) << "the first start writes no lines";
  EXPECT_TRUE(rig.notifier.messages.empty());
  EXPECT_TRUE(rig.files.Paths().empty()) << "loading writes nothing";
  EXPECT_TRUE(rig.files.FolderExists(testing::kTestFolder)) << "the folder is created";
}

TEST(ConfigFiles, SaveLogNamesEveryFileWithItsPathAndSize) {
  TestRig rig;
  FillRecordSet(*rig, 3, 4);
  OpenGate(*rig);
  rig->configFiles.saveLogEnabled = true;
  SaveAll(*rig);
  const std::vector<std::string> expected = {
      "Writing options to file: " + ConfigPath(kOptionsFileName) + ", size 1176 bytes.",
      "Writing Insteon Data to file: " + ConfigPath(kDataFileName) + ", size 509896 bytes.",
      "Writing events to file: " + ConfigPath(kEventsFileName) + ", size 73976 bytes.",
      "Writing groups to file: " + ConfigPath(kGroupsFileName) + ", size 137216 bytes.",
      "Writing widgets to file: " + ConfigPath(kWidgetsFileName) + ", size 288 bytes.",
  };
  EXPECT_EQ(rig.Texts(LogChannel::GeneralActivity), expected);
  EXPECT_EQ(rig.files.Get(ConfigPath(kWidgetsFileName))->size(), 288u);

  // At exit the pane is going away: the same save, silently.
  TestRig exiting;
  FillRecordSet(*exiting, 3);
  OpenGate(*exiting);
  exiting->configFiles.saveLogEnabled = true;
  EXPECT_EQ(SaveAtExit(*exiting).written, kAllConfigFiles);
  EXPECT_TRUE(exiting.Texts(LogChannel::GeneralActivity).empty());
}

// The data file is written only after the stored details were merged in this
// run; the other four files are the user's edits and are always saved.
TEST(ConfigFiles, TheGateHoldsBackOnlyTheDataFile) {
  struct Case {
    bool merged;
    uint8_t written;
  };
  const Case cases[] = {{false, kAllConfigFiles & ~kDataFile}, {true, kAllConfigFiles}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.merged ? "merged" : "not merged");
    TestRig rig;
    const std::vector<uint8_t> storedData(kDataFileSize, 0x5A);
    rig.files.Put(ConfigPath(kDataFileName), storedData);
    FillRecordSet(*rig, 5);
    if (c.merged) OpenGate(*rig);
    rig->configFiles.saveLogEnabled = true;
    const SaveResult saved = SaveAll(*rig);
    EXPECT_EQ(saved.written, c.written);
    EXPECT_EQ(saved.dataGated, !c.merged);
    const auto expected = ExpectedImages(*rig);
    for (const char* name : testing::kAllFileNames) {
      const bool isData = std::strcmp(name, kDataFileName) == 0;
      const auto file = rig.files.Get(ConfigPath(name));
      ASSERT_TRUE(file.has_value()) << name;
      EXPECT_TRUE(*file == (isData && !c.merged ? storedData : expected.at(name))) << name;
    }
    EXPECT_EQ(HasLine(rig, "Insteon Data not saved: the PLM link table has not been read yet."), !c.merged);
  }
}

// Without a modem, "Save" keeps what the user edited in memory and on disk.
TEST(ConfigFiles, SaveWithoutTheModemKeepsTheUsersEdits) {
  TestRig first;
  FillRecordSet(*first, 1);
  OpenGate(*first);
  SaveAll(*first);

  TestRig rig;
  testing::CopyFiles(first.files, rig.files);
  LoadAtStart(*rig);
  const uint32_t loadedCount = rig->loaded.count;
  // Edits in a run where the modem was never read.
  rig->options.forcedPortNumber = 12345;
  rig->events.records[3].hour = 21;
  rig->groups.SetGroupLabel(7, "Garden lights");
  WidgetRecord w{};
  CopyFixedText(w.addressText, "J11");
  rig->widgets.Add(w);
  rig->loaded.count = 1;  // the loaded copy must not be read again either

  SaveCommand(*rig);
  EXPECT_EQ(rig->options.forcedPortNumber, 12345u);
  EXPECT_EQ(rig->events.records[3].hour, 21);
  EXPECT_EQ(rig->groups.GroupLabel(7), "Garden lights");
  EXPECT_EQ(rig->widgets.widgets.size(), 4u) << "the stored widgets once, plus the new one";
  EXPECT_EQ(rig->loaded.count, 1u);
  EXPECT_TRUE(HasLine(rig, "Insteon Data not saved: the PLM link table has not been read yet."));
  EXPECT_TRUE(*rig.files.Get(ConfigPath(kDataFileName)) == *first.files.Get(ConfigPath(kDataFileName)));

  // The next run sees the edits.
  TestRig next;
  testing::CopyFiles(rig.files, next.files);
  LoadAtStart(*next);
  EXPECT_EQ(next->options.forcedPortNumber, 12345u);
  EXPECT_EQ(next->events.records[3].hour, 21);
  EXPECT_EQ(next->groups.GroupLabel(7), "Garden lights");
  EXPECT_EQ(next->widgets.widgets.size(), 4u);
  EXPECT_EQ(next->loaded.count, loadedCount);
}

TEST(ConfigFiles, SaveCommandReloadsWhatItWroteWithNewWidgetKeys) {
  TestRig rig;
  FillRecordSet(*rig, 2, 2);
  OpenGate(*rig);
  rig->db.count = 17;
  SaveCommand(*rig);
  EXPECT_EQ(rig->loaded.count, 17u) << "the loaded copy is what the next merge restores";
  EXPECT_TRUE(testing::DataImage(rig->loaded) == testing::DataImage(rig->db));
  ASSERT_EQ(rig->widgets.widgets.size(), 2u) << "the stored widgets once";
  EXPECT_EQ(rig->widgets.widgets.begin()->first, 3u) << "widget keys go on counting within the run";
  EXPECT_TRUE(rig.notifier.messages.empty());
}

TEST(ConfigFiles, TheEnginesSaveCommandSavesAndReloads) {
  TestRig rig;
  FillRecordSet(*rig, 12, 2);
  OpenGate(*rig);
  WireConfigFiles(*rig);
  ASSERT_TRUE(rig->engine.saveCommand);
  rig->engine.saveCommand(*rig);
  for (const auto& [name, image] : ExpectedImages(*rig)) {
    EXPECT_TRUE(*rig.files.Get(ConfigPath(name.c_str())) == image) << name;
  }
  EXPECT_EQ(rig->loaded.count, kMaxDevices) << "reloaded after saving";
}

// A read-back that fails must not leave cleared options, an empty group table
// or no widgets behind for the next save to store.
TEST(ConfigFiles, AFailedReadBackKeepsWhatWasInMemory) {
  for (const char* name : testing::kAllFileNames) {
    SCOPED_TRACE(name);
    TestRig rig;
    FillRecordSet(*rig, 4);
    OpenGate(*rig);
    rig->loaded.count = 2;
    const auto before = ExpectedImages(*rig);
    rig.files.FailReads(ConfigPath(name), FileError::HardwareError);
    SaveCommand(*rig);
    EXPECT_TRUE(testing::BytesOfObject(rig->options) == before.at(kOptionsFileName));
    EXPECT_TRUE(testing::BytesOfObject(rig->events) == before.at(kEventsFileName));
    EXPECT_TRUE(testing::BytesOfObject(rig->groups) == before.at(kGroupsFileName));
    EXPECT_TRUE(testing::WidgetsImage(rig->widgets) == before.at(kWidgetsFileName));
    EXPECT_EQ(rig->loaded.count, std::strcmp(name, kDataFileName) == 0 ? 2u : rig->db.count);
    EXPECT_EQ(rig.notifier.messages,
              std::vector<std::string>{"quorvel: Encountered a hardware I/O error while accessing " +
                                       ConfigPath(name) + "."});
  }
}

TEST(ConfigFiles, AFailedWriteIsReportedByCauseAndTheOtherFilesGoOn) {
  TestRig stored;
  FillRecordSet(*stored, 8);
  OpenGate(*stored);
  SaveAll(*stored);

  TestRig rig;
  testing::CopyFiles(stored.files, rig.files);
  FillRecordSet(*rig, 9, 5);
  OpenGate(*rig);
  rig->configFiles.saveLogEnabled = true;
  const auto fresh = ExpectedImages(*rig);
  const uint32_t keyBefore = rig->widgets.widgets.begin()->first;
  rig.files.FailOpens(ConfigPath(kEventsFileName) + ".tmp");
  const SaveResult saved = SaveCommand(*rig);
  EXPECT_EQ(saved.failed, kEventsFile);
  EXPECT_EQ(saved.written, kAllConfigFiles & ~kEventsFile);
  EXPECT_TRUE(*rig.files.Get(ConfigPath(kEventsFileName)) == *stored.files.Get(ConfigPath(kEventsFileName)))
      << "the old file is kept";
  EXPECT_TRUE(testing::BytesOfObject(rig->events) == fresh.at(kEventsFileName)) << "and so are the edits";
  EXPECT_TRUE(*rig.files.Get(ConfigPath(kGroupsFileName)) == fresh.at(kGroupsFileName));
  EXPECT_NE(rig->widgets.widgets.begin()->first, keyBefore) << "written widgets were reloaded";
  EXPECT_EQ(rig.notifier.messages,
            std::vector<std::string>{"quorvel: Access to " + ConfigPath(kEventsFileName) + " was denied."});
  EXPECT_TRUE(HasLine(rig, "Could not write " + ConfigPath(kEventsFileName)));
  EXPECT_EQ(LinesStartingWith(rig, "Writing events"), 0) << "no success line for a failed file";
  EXPECT_EQ(LinesStartingWith(rig, "Writing "), 4);
}

TEST(ConfigFiles, EveryCauseHasItsText) {
  struct Case {
    FileError error;
    const char* text;
  };
  const Case cases[] = {
      {FileError::Generic, "An unknown error occurred while accessing /f."},
      {FileError::NotFound, "/f was not found."},
      {FileError::BadPath, "/f contains an incorrect path."},
      {FileError::TooManyOpenFiles, "Could not open /f because there are too many open files."},
      {FileError::AccessDenied, "Access to /f was denied."},
      {FileError::InvalidHandle, "An incorrect file handle was associated with /f."},
      {FileError::DirectoryFull, "Could not create /f because the directory is full."},
      {FileError::BadSeek, "Seek failed on /f"},
      {FileError::HardwareError, "Encountered a hardware I/O error while accessing /f."},
      {FileError::SharingViolation, "Encountered a sharing violation while accessing /f."},
      {FileError::LockViolation, "Encountered a locking violation while accessing /f."},
      {FileError::DiskFull, "Disk full while accessing /f."},
      {FileError::EndOfFile, "Attempted to access /f past its end."},
  };
  for (const Case& c : cases) EXPECT_EQ(FileErrorText(c.error, "/f"), c.text);
}

TEST(ConfigFiles, TheFolderFallsBackToTheLastOneFoundAndIsNeverGuessed) {
  TestRig rig;
  FillRecordSet(*rig, 6);
  OpenGate(*rig);
  rig->configFiles.saveLogEnabled = true;

  rig.files.SetAppDataFolder("");
  EXPECT_EQ(ConfigFolder(*rig), "");
  EXPECT_EQ(SaveAll(*rig).written, 0);
  EXPECT_TRUE(rig.files.Paths().empty()) << "no folder ever found: nothing is written anywhere";
  EXPECT_TRUE(HasLine(rig, "Configuration not saved: the folder for the configuration files was not found."));
  EXPECT_EQ(LoadAll(*rig), 0);

  rig.files.SetAppDataFolder("/srv/u1/data");
  EXPECT_EQ(ConfigFolder(*rig), "/srv/u1/data/quorvel");
  rig.files.SetAppDataFolder("");
  EXPECT_EQ(ConfigFolder(*rig), "/srv/u1/data/quorvel");
  EXPECT_EQ(SaveAll(*rig).written, kAllConfigFiles);
  EXPECT_TRUE(rig.files.Exists("/srv/u1/data/quorvel/OrvoOrv3.cfg"));
}

}  // namespace
}  // namespace quorvel
