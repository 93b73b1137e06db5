// The status bar's progress text on a full table: the window recomputes it
// after every 160 ms tick, from the same census the run summary prints, so it
// must cost next to nothing. Target: below 1 ms (under 1% of a tick).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "engine/context.h"
#include "engine/run_summary.h"
#include "support/memory_file_system.h"

namespace quorvel {
namespace {

// A port that opens and takes every byte: enough for the search to count the
// modem as found.
class OpenPort final : public SerialPort {
 public:
  bool Open(int) override { return open_ = true; }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  int Available() override { return 0; }
  IoStatus Read(uint8_t*, size_t, size_t& got) override {
    got = 0;
    return IoStatus::Ok;
  }
  IoStatus WriteByte(uint8_t) override { return IoStatus::Ok; }
  std::string PortName(int n) const override { return "port " + std::to_string(n); }

 private:
  bool open_ = false;
};

void BM_ProgressTextFullTable(benchmark::State& state) {
  TestClock clock{1500000000};
  OpenPort port;
  testing::MemoryFileSystem files;
  NullNotifier notifier;
  auto ctx = std::make_unique<Context>(clock, port, files, notifier);
  ctx->diagnostics.sink = [](std::string_view) {};
  ctx->options.comPort = 1;
  for (int i = 0; i < 6; ++i) PortSearch(*ctx);
  ctx->link.OnModemIdentity(*ctx);
  ctx->engine.engineState = kEngineSteady;
  ctx->engine.statusText = "Reading device catagory...";
  // Every slot in use by a device of its own, half of them learned.
  DeviceDatabase& db = ctx->db;
  for (uint32_t i = 0; i < kMaxDevices; ++i) {
    DeviceRecord& r = db.records[i];
    r.linkFlags = 0xA2;
    r.group = 1;
    r.id = InsteonId::FromValue(0x300000 + i * 7);
    if (i % 2 == 0) {
      r.category = 0x01;
      r.subcategory = 0x20;
      r.engineVersion = 2;
      r.timeLinksRead = 1400000000;
    }
  }
  db.count = kMaxDevices;
  std::string text;
  for (auto _ : state) {
    text = ProgressText(*ctx);
    benchmark::DoNotOptimize(text.data());
  }
  state.SetLabel(text);
}
BENCHMARK(BM_ProgressTextFullTable)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quorvel
