// The Controller Setup tab's refresh and the link lists' refill on a full
// table: 479 devices, each with 33 links, a keypad among them that 200 of the
// others answer on its eight buttons. The controller's panel and list are
// refreshed after every message from a device and every stored link; the
// select list is refilled after each read of the modem. Target: below 5 ms each.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "engine/context.h"
#include "support/memory_file_system.h"
#include "views/device_setup/link_edit_model.h"
#include "views/link_views/controller_setup_model.h"

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

InsteonId DeviceId(uint32_t i) { return InsteonId::FromValue(0x300000 + i * 7); }
constexpr uint32_t kKeypad = 17;

struct ControllerHouse {
  TestClock clock{1500000000};
  NoPort port;
  testing::MemoryFileSystem files;
  NullNotifier notifier;
  std::unique_ptr<Context> ctx = std::make_unique<Context>(clock, port, files, notifier);

  ControllerHouse() {
    DeviceDatabase& db = ctx->db;
    db.plm.plmId = InsteonId::From(0x1e, 0x65, 0xa2);
    db.plm.plmFound = 1;
    for (uint32_t i = 0; i < kMaxDevices; ++i) {
      DeviceRecord& r = db.records[i];
      r.linkFlags = 0xA2;
      r.group = static_cast<uint8_t>(1 + i % 8);
      r.id = DeviceId(i);
      r.category = static_cast<uint8_t>(i % 3 == 0 ? 0x02 : 0x01);
      r.subcategory = i == kKeypad ? 0x1C : 0x20;
      r.engineVersion = 2;
      for (int k = 0; k < kLinksPerDevice; ++k) {
        LinkRecord& l = r.links[k];
        const bool answersKeypad = i != kKeypad && i < 200 && k == 1;
        l.flags = answersKeypad || k % 2 == 0 ? 0xA2 : 0xE2;
        l.group = static_cast<uint8_t>(answersKeypad ? 1 + i % 8 : 1 + k);
        l.id = answersKeypad ? DeviceId(kKeypad) : DeviceId((i + static_cast<uint32_t>(k) * 11) % kMaxDevices);
        // The keypad controls each device that answers it.
        if (i == kKeypad) {
          l.flags = 0xE2;
          l.group = static_cast<uint8_t>(1 + k % 8);
          l.id = DeviceId(static_cast<uint32_t>(k) * 8 + static_cast<uint32_t>(k % 8));
        }
        l.data[0] = 0xFE;
        l.data[1] = 0x1C;
        l.address = 0x0FFFu - 8u * static_cast<uint32_t>(k);
      }
      r.linkCount = kLinksPerDevice;
    }
    db.count = kMaxDevices;
  }
  DeviceKey Key(uint32_t i) const { return MakeDeviceKey(ctx->db.records[i].group, ctx->db.records[i].id); }
};

// A device changed: the shown keypad's panel groups and its button group's list again.
void BM_ControllerRefresh(benchmark::State& state) {
  ControllerHouse house;
  ControllerSetupModel model;
  model.SelectController(*house.ctx, house.Key(kKeypad));
  size_t listed = 0;
  for (auto _ : state) {
    model.ShowController(*house.ctx, model.state.shown);
    model.ShowButtonGroup(*house.ctx, 1);
    listed = model.groups.lists[0].entries.size();
    benchmark::DoNotOptimize(model.list.Rows());
  }
  state.counters["group_1_entries"] = static_cast<double>(listed);
}
BENCHMARK(BM_ControllerRefresh)->Unit(benchmark::kMillisecond);

void BM_FillControllerList(benchmark::State& state) {
  ControllerHouse house;
  ControllerSetupModel model;
  size_t rows = 0;
  for (auto _ : state) {
    rows = model.FillControllerList(*house.ctx).size();
    benchmark::DoNotOptimize(rows);
  }
  state.counters["controllers"] = static_cast<double>(rows);
}
BENCHMARK(BM_FillControllerList)->Unit(benchmark::kMillisecond);

// The Device Setup tab's list refilled for the device it shows, keeping a row's edit.
void BM_DeviceLinkListRefill(benchmark::State& state) {
  ControllerHouse house;
  DeviceLinkList list;
  const DeviceKey key = house.Key(240);
  list.Fill(*house.ctx, key);
  list.SetChecked(3, true);
  for (auto _ : state) benchmark::DoNotOptimize(list.Fill(*house.ctx, key).rows.size());
}
BENCHMARK(BM_DeviceLinkListRefill)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quorvel
