// Saving and loading a full configuration on the real disk, flushes included:
// the program does both on the user-interface thread, so both must be quick.
// Targets on the development machine: load below 5 ms, save below 50 ms, and
// the check for unsaved edits, run every 2 s from the tick, below 1 ms.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <limits>
#include <memory>
#include <string>

#include "config/config_files.h"
#include "engine/context.h"
#include "platform/bytes.h"

namespace quorvel {
namespace {

class NoPort final : public SerialPort {
 public:
  bool Open(int) override { return false; }
  void Close() override {}
  bool IsOpen() const override { return false; }
  int Available() override { return 0; }
  IoStatus Read(uint8_t*, size_t, size_t& got) override {
    got = 0;
    return IoStatus::NotOpen;
  }
  IoStatus WriteByte(uint8_t) override { return IoStatus::NotOpen; }
  std::string PortName(int n) const override { return "none" + std::to_string(n); }
};

// A context over a fresh folder in the temporary directory, holding a full set:
// 479 devices with full link tables, 402 events, 256 groups, some widgets.
struct FullSet {
  std::string folder;
  SystemClock clock;
  NoPort port;
  std::unique_ptr<PosixFileSystem> files;
  NullNotifier notifier;
  std::unique_ptr<Context> ctx;

  FullSet() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quorvel-bench-XXXXXX").string();
    folder = mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
    files = std::make_unique<PosixFileSystem>(folder);
    ctx = std::make_unique<Context>(clock, port, *files, notifier);
    DeviceDatabase& db = ctx->db;
    for (uint32_t i = 0; i < kMaxDevices; ++i) {
      DeviceRecord& r = db.records[i];
      r.linkFlags = 0xA2;
      r.group = static_cast<uint8_t>(i % 8);
      r.id = InsteonId::FromValue(0x100000 + i);
      for (int k = 0; k < kLinksPerDevice; ++k) {
        r.links[k].flags = 0xE2;
        r.links[k].address = 0x0FFFu - 8u * static_cast<uint32_t>(k);
        r.links[k].id = InsteonId::FromValue(0x200000 + i * 40 + static_cast<uint32_t>(k));
      }
      r.linkCount = kLinksPerDevice;
      CopyFixedText(r.name, "Device " + std::to_string(i));
    }
    db.count = kMaxDevices;
    db.dbFlags |= kDbMerged;
    for (int e = 0; e < kEventSlots; ++e) {
      ctx->events.records[e].inUse = 1;
      ctx->events.records[e].hour = static_cast<uint8_t>(e % 24);
    }
    ctx->events.eventCount = kUsableEventSlots;
    for (int g = 0; g < kGroupCount; ++g) ctx->groups.SetGroupLabel(static_cast<uint8_t>(g), "Group " + std::to_string(g));
    for (int w = 0; w < 16; ++w) {
      WidgetRecord widget{};
      widget.widgetType = 1;
      CopyFixedText(widget.addressText, "A" + std::to_string(w + 1));
      ctx->widgets.Add(widget);
    }
  }
  ~FullSet() {
    if (!folder.empty()) std::filesystem::remove_all(folder);
  }
};

void BM_SaveAll(benchmark::State& state) {
  FullSet set;
  for (auto _ : state) {
    const SaveResult saved = SaveAll(*set.ctx);
    if (saved.written != kAllConfigFiles) state.SkipWithError("save failed");
  }
}
BENCHMARK(BM_SaveAll)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadAll(benchmark::State& state) {
  FullSet set;
  if (SaveAll(*set.ctx).written != kAllConfigFiles) state.SkipWithError("save failed");
  for (auto _ : state) {
    const uint8_t read = LoadAll(*set.ctx);
    if (read != kAllConfigFiles) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(set.ctx->loaded.count);
  }
}
BENCHMARK(BM_LoadAll)->Unit(benchmark::kMillisecond)->UseRealTime();

// The check the engine runs every 2 seconds when nothing changed: the whole
// comparison, the learned device data included, and nothing written.
void BM_ChangeCheckFindsNothing(benchmark::State& state) {
  FullSet set;
  if (SaveAll(*set.ctx).written != kAllConfigFiles) state.SkipWithError("save failed");
  for (auto _ : state) {
    set.ctx->configFiles.lastChangeCheckMillis = std::numeric_limits<int64_t>::min();
    set.ctx->configFiles.lastDataSaveMillis = 0;
    SaveChanges(*set.ctx);
  }
  if (FilesNotSaved(*set.ctx) != 0 || set.ctx->configFiles.stored[1].bytes.size() != kDataFileSize)
    state.SkipWithError("the check wrote or failed");
}
BENCHMARK(BM_ChangeCheckFindsNothing)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quorvel
