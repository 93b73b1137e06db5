#pragma once
// Shared by the configuration-file tests: where the files land on the test disk,
// a full, recognisable record set, and the exact file images it must give.
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "config/config_files.h"
#include "platform/bytes.h"
#include "support/test_rig.h"

namespace quorvel::testing {

inline const std::string kTestFolder = std::string(MemoryFileSystem::kDefaultAppData) + "/quorvel";

inline std::string ConfigPath(const char* name) { return kTestFolder + "/" + name; }

inline const char* const kAllFileNames[] = {kOptionsFileName, kDataFileName, kEventsFileName, kGroupsFileName,
                                            kWidgetsFileName};
// The length each file must have; the widgets file's is any whole number of records.
inline constexpr size_t kFileSizes[] = {kOptionsFileSize, kDataFileSize, kEventsFileSize, kGroupsFileSize,
                                        kWidgetFileRecordSize};

// The file's place in save order, as ConfigFilesState::stored keeps them.
inline int FileIndexOf(const std::string& name) {
  for (int i = 0; i < 5; ++i)
    if (name == kAllFileNames[i]) return i;
  return -1;
}

// Fills an object's bytes from a small generator so reserved bytes carry values
// too: a save that dropped or moved any byte shows up.
inline void Scribble(void* object, size_t size, uint32_t& seed) {
  auto* p = static_cast<uint8_t*>(object);
  for (size_t i = 0; i < size; ++i) {
    seed = seed * 1103515245u + 12345u;
    p[i] = static_cast<uint8_t>(seed >> 16);
  }
}

template <typename T>
std::vector<uint8_t> BytesOfObject(const T& object) {
  const auto* p = reinterpret_cast<const uint8_t*>(&object);
  return std::vector<uint8_t>(p, p + sizeof(T));
}

// A full set: every device slot, every link, every event, every group, some
// widgets; counts and texts kept valid so nothing needs repairing on load.
inline void FillRecordSet(Context& ctx, uint32_t seed, size_t widgetCount = 3) {
  Scribble(&ctx.options, sizeof ctx.options, seed);
  CopyFixedText(ctx.options.latitude, "45:" + std::to_string(seed % 100));
  CopyFixedText(ctx.options.longitude, "-93:" + std::to_string(seed % 60));
  ctx.options.comPort = static_cast<int32_t>(1 + seed % 16);

  DeviceDatabase& db = ctx.db;
  Scribble(db.records, sizeof db.records, seed);
  Scribble(db.reserveTable, sizeof db.reserveTable, seed);
  auto tidy = [](DeviceRecord& r, int i) {
    r.linkCount = static_cast<uint8_t>(i % (kLinksPerDevice + 1));
    CopyFixedText(r.name, "Device " + std::to_string(i));
    CopyFixedText(r.picture, "lamplinc.bmp");
    r.picture[kPictureWidth - 1] = static_cast<char>(i & 1);  // the tile's large flag
  };
  for (int i = 0; i < kDeviceSlots; ++i) tidy(db.records[i], i);
  for (int i = 0; i < kReserveSlots; ++i) tidy(db.reserveTable[i], i);
  db.count = kMaxDevices;
  db.reserveCount = kReserveSlots;

  Scribble(static_cast<void*>(&ctx.events), sizeof ctx.events, seed);
  ctx.events.eventCount = kUsableEventSlots;

  Scribble(static_cast<void*>(&ctx.groups), sizeof ctx.groups, seed);
  for (int g = 0; g < kGroupCount; ++g) ctx.groups.SetGroupLabel(static_cast<uint8_t>(g), "Group " + std::to_string(g + seed % 7));

  ctx.widgets.widgets.clear();
  for (size_t i = 0; i < widgetCount; ++i) {
    WidgetRecord w;
    Scribble(&w, sizeof w, seed);
    CopyFixedText(w.addressText, "B" + std::to_string(i + 1));
    ctx.widgets.Add(w);
  }
}

inline std::vector<uint8_t> DataImage(const DeviceDatabase& db) {
  std::vector<uint8_t> out;
  auto add = [&out](const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    out.insert(out.end(), b, b + n);
  };
  add(db.records, sizeof db.records);
  add(&db.count, 4);
  add(db.reserveTable, sizeof db.reserveTable);
  add(&db.reserveCount, 4);
  return out;
}

inline std::vector<uint8_t> WidgetsImage(const WidgetCollection& widgets) {
  std::vector<uint8_t> out;
  for (const auto& [key, w] : widgets.widgets) {
    const auto b = BytesOfObject(w);
    out.insert(out.end(), b.begin(), b.end());
  }
  return out;
}

// The five files exactly as a save of this context must write them.
inline std::map<std::string, std::vector<uint8_t>> ExpectedImages(const Context& ctx) {
  return {
      {kOptionsFileName, BytesOfObject(ctx.options)}, {kDataFileName, DataImage(ctx.db)},
      {kEventsFileName, BytesOfObject(ctx.events)},   {kGroupsFileName, BytesOfObject(ctx.groups)},
      {kWidgetsFileName, WidgetsImage(ctx.widgets)},
  };
}

inline void CopyFiles(const MemoryFileSystem& from, MemoryFileSystem& to) {
  for (const std::string& path : from.Paths()) to.Put(path, *from.Get(path));
}

}  // namespace quorvel::testing
