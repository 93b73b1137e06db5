// Arbitrary contents for each of the five configuration files, loaded as at
// program start: whatever a damaged or foreign file holds, the loaded tables
// stay within their bounds with every text terminated, the parts of the program
// that read them (the merge, the sun times, the event scans, the tree texts)
// survive them, and saving what was loaded and loading it again repairs nothing
// more and changes nothing.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "automation/logic_events.h"
#include "automation/sun_times.h"
#include "automation/time_events.h"
#include "automation/x10_codes.h"
#include "automation/x10_widget.h"
#include "config/config_files.h"
#include "config/options.h"
#include "fuzz/fresh_context.h"
#include "fuzz/fuzz_house.h"
#include "tools/memory_files.h"
#include "tools/memory_port.h"

namespace {

using namespace quorvel;

constexpr const char* kFileNames[5] = {kOptionsFileName, kDataFileName, kEventsFileName, kGroupsFileName,
                                       kWidgetsFileName};
constexpr uint8_t kFileBits[5] = {kOptionsFile, kDataFile, kEventsFile, kGroupsFile, kWidgetsFile};
constexpr size_t kExactSizes[5] = {kOptionsFileSize, kDataFileSize, kEventsFileSize, kGroupsFileSize,
                                   4 * kWidgetFileRecordSize};

std::string PathOf(const char* name) { return std::string("/data/") + kConfigSubfolder + "/" + name; }

class RepairCounter final : public LogSink {
 public:
  void OnLine(const LogLine& line) override {
    if (line.text.find("Repaired ") != std::string::npos) ++repairs;
  }
  int repairs = 0;
};

struct Run {
  TestClock clock;
  tools::MemoryPort port;
  tools::MemoryFiles files;
  NullNotifier notifier;
  fuzzing::ContextStorage storage;

  fuzzing::FreshContext Fresh() {
    clock.Set(fuzzing::kFuzzStart);
    clock.SetUtcOffset(-6 * 3600);
    return fuzzing::FreshContext(storage, clock, port, files, notifier);
  }
};

Run& TheRun() {
  static Run* run = new Run;
  return *run;
}

// The house's five files as the program saves them.
const std::vector<std::vector<uint8_t>>& HouseFiles() {
  static const std::vector<std::vector<uint8_t>> images = [] {
    Run& run = TheRun();
    const fuzzing::FreshContext ctx = run.Fresh();
    fuzzing::LoadHouse(*ctx);
    for (const char* typed : {"A1", "J11", "P16"}) ctx->widgets.Add(MakeX10Widget(typed));
    run.files.Clear();
    if (SaveAll(*ctx).written != kAllConfigFiles) fuzzing::Broken("house files not saved");
    std::vector<std::vector<uint8_t>> out;
    for (const char* name : kFileNames) out.push_back(*run.files.Get(PathOf(name)));
    run.files.Clear();
    return out;
  }();
  return images;
}

// Patches: [offset, 3 bytes little-endian][length][bytes], applied in turn.
void ApplyPatches(std::vector<uint8_t>& image, const uint8_t* p, size_t n) {
  while (n >= 4 && !image.empty()) {
    size_t at = (p[0] | p[1] << 8 | p[2] << 16) % image.size();
    size_t len = p[3];
    p += 4;
    n -= 4;
    if (len > n) len = n;
    for (size_t i = 0; i < len && at < image.size(); ++i) image[at++] = p[i];
    p += len;
    n -= len;
  }
}

template <typename T>
bool SameBytes(const T& a, const T& b) {
  return std::memcmp(&a, &b, sizeof(T)) == 0;
}

std::vector<WidgetRecord> WidgetList(const Context& ctx) {
  std::vector<WidgetRecord> out;
  for (const auto& [key, w] : ctx.widgets.widgets) out.push_back(w);
  return out;
}

// What was loaded, saved and loaded again, is the same and needs no repair.
void CheckRoundTrip(Context& ctx, uint8_t which) {
  ctx.db.ClearAll();
  std::memcpy(ctx.db.records, ctx.loaded.records, sizeof ctx.db.records);
  std::memcpy(ctx.db.reserveTable, ctx.loaded.reserveTable, sizeof ctx.db.reserveTable);
  ctx.db.count = ctx.loaded.count;
  ctx.db.reserveCount = ctx.loaded.reserveCount;
  // The data file is written (and so checked) only when it was read: it is large.
  if ((which & kDataFile) != 0) ctx.db.dbFlags |= kDbMerged;
  static OptionsRecord options;
  static EventTable* events = new EventTable;
  static GroupTable* groups = new GroupTable;
  options = ctx.options;
  *events = ctx.events;
  *groups = ctx.groups;
  const std::vector<WidgetRecord> widgets = WidgetList(ctx);

  if ((SaveAll(ctx).written & which) != which) fuzzing::Broken("save of the loaded files failed");
  RepairCounter counter;
  ctx.log.AddSink(&counter);
  const uint8_t read = LoadAll(ctx, which);
  ctx.log.RemoveSink(&counter);
  if (read != which) fuzzing::Broken("a saved file did not load again");
  if (counter.repairs != 0) fuzzing::Broken("a saved file needed repairs on its second load");
  if ((which & kOptionsFile) != 0 && !SameBytes(options, ctx.options)) fuzzing::Broken("options changed on reload");
  if ((which & kEventsFile) != 0 && !SameBytes(*events, ctx.events)) fuzzing::Broken("events changed on reload");
  if ((which & kGroupsFile) != 0 && !SameBytes(*groups, ctx.groups)) fuzzing::Broken("groups changed on reload");
  if ((which & kWidgetsFile) != 0) {
    const std::vector<WidgetRecord> again = WidgetList(ctx);
    if (again.size() != widgets.size() ||
        (!again.empty() && std::memcmp(again.data(), widgets.data(), again.size() * sizeof(WidgetRecord)) != 0))
      fuzzing::Broken("widgets changed on reload");
  }
  if ((which & kDataFile) != 0) {
    if (ctx.loaded.count != ctx.db.count || ctx.loaded.reserveCount != ctx.db.reserveCount ||
        std::memcmp(ctx.loaded.records, ctx.db.records, sizeof ctx.db.records) != 0 ||
        std::memcmp(ctx.loaded.reserveTable, ctx.db.reserveTable, sizeof ctx.db.reserveTable) != 0)
      fuzzing::Broken("device table changed on reload");
  }
}

// The parts of the program that read the loaded tables.
void UseLoaded(Context& ctx, Run& run, uint8_t read) {
  ApplyStartupRules(ctx.options);
  RefreshSunTimes(ctx);
  DayChangeCheck(ctx);
  fuzzing::CheckInvariants(ctx);

  if ((read & kDataFile) != 0) {
    // The modem's table is read again and the stored details merged into it.
    ctx.db = fuzzing::PreparedHouse().db;
    ctx.db.dbFlags = 0;
    ctx.db.MergeStored(ctx.loaded);
    fuzzing::CheckInvariants(ctx);
  }

  for (int g = 0; g < kGroupCount; ++g) {
    const std::string text = ctx.groups.GroupNodeText(static_cast<uint8_t>(g));
    if (text.size() > 80) fuzzing::Broken("group node text too long");
    ctx.groups.PrepareForTree(static_cast<uint8_t>(g));
  }
  for (const auto& [key, w] : ctx.widgets.widgets) {
    if (FormatX10Address(w.x10House, w.x10Unit).size() > 3) fuzzing::Broken("X10 address text too long");
  }

  if ((read & kEventsFile) == 0) return;
  // A day of event scans, and the first logic events' initiators heard once.
  for (int minute = 0; minute < 24 * 60; minute += 31) {
    run.clock.Set(fuzzing::kFuzzStart + minute * 60);
    ScanTimeEvents(ctx);
    TransmitStep(ctx, false);
  }
  for (int i = 0; i < 24; ++i) {
    const EventRecord& e = ctx.events.records[i];
    MatchLogicEvents(ctx, e.initiatorCmd1, e.initiatorId, e.initiatorGroup);
  }
  for (int i = 0; i < 200 && !fuzzing::SendQueuesIdle(ctx); ++i) TransmitStep(ctx, false);
  fuzzing::CheckInvariants(ctx);
}

}  // namespace

// Input: byte 0 chooses the file (bits 0-2, taken modulo 5) and how the rest
// makes it (bits 3-4): 0 the bytes are the file, 1 patches over the house's own
// file, 2 patches over a zeroed file of the proper length. Bit 5 loads into a
// program already holding the house, bit 6 puts the house's other four files
// beside it and loads all five.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::vector<std::vector<uint8_t>>& house = HouseFiles();
  Run& run = TheRun();
  const int file = (data[0] & 7) % 5;
  const int mode = (data[0] >> 3) & 3;
  static std::vector<uint8_t> image;
  // memcpy rather than a vector's own copy, which AddressSanitizer makes slow.
  auto copy = [](const uint8_t* from, size_t n) {
    image.resize(n);
    if (n > 0) std::memcpy(image.data(), from, n);
  };
  if (mode == 0 || mode == 3) {
    copy(data + 1, size - 1);
  } else {
    if (mode == 1)
      copy(house[file].data(), house[file].size());
    else
      image.assign(kExactSizes[file], 0);
    ApplyPatches(image, data + 1, size - 1);
  }

  run.files.Clear();
  uint8_t which = kFileBits[file];
  if ((data[0] & 0x40) != 0) {
    for (int i = 0; i < 5; ++i) run.files.Put(PathOf(kFileNames[i]), house[i]);
    which = kAllConfigFiles;
  }
  run.files.Put(PathOf(kFileNames[file]), image);

  const fuzzing::FreshContext ctx = run.Fresh();
  if ((data[0] & 0x20) != 0) fuzzing::LoadHouse(*ctx);

  const uint8_t read = LoadAll(*ctx, which);
  fuzzing::CheckInvariants(*ctx);
  if (read != 0) CheckRoundTrip(*ctx, read);
  fuzzing::CheckInvariants(*ctx);
  UseLoaded(*ctx, run, read);
  // The files go before the input ends, so what it allocated is freed within it.
  run.files.Clear();
  return 0;
}
