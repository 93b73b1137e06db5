// The device tree's RebuildTree and the Device Setup tab's refresh on a full
// table: 479 devices spread over all 256 groups, each with a name and 33 links
// to other devices of the table and to the modem. Both run from the 160 ms tick
// while the window is open (a rebuild after every change of the table, a
// refresh after every message from the selected device). Target: below 5 ms each.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "engine/context.h"
#include "platform/bytes.h"
#include "support/memory_file_system.h"
#include "views/device_setup/device_setup_model.h"
#include "views/link_views/device_tree_model.h"

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

struct FullHouse {
  TestClock clock{1500000000};
  NoPort port;
  testing::MemoryFileSystem files;
  NullNotifier notifier;
  std::unique_ptr<Context> ctx = std::make_unique<Context>(clock, port, files, notifier);

  FullHouse() {
    DeviceDatabase& db = ctx->db;
    db.plm.plmId = InsteonId::From(0x1e, 0x65, 0xa2);
    db.plm.plmFound = 1;
    db.plm.plmCategory = 0x03;
    db.plm.plmSubcategory = 0x15;
    for (uint32_t i = 0; i < kMaxDevices; ++i) {
      DeviceRecord& r = db.records[i];
      r.linkFlags = i % 50 == 49 ? 0x02 : 0xA2;  // a few unlinked ones too
      r.group = static_cast<uint8_t>(i % 256);
      r.id = DeviceId(i);
      r.category = static_cast<uint8_t>(i % 3 == 0 ? 0x02 : 0x01);
      r.subcategory = 0x20;
      r.engineVersion = 2;
      r.level = static_cast<uint8_t>(i * 37);
      r.timeLastContact = 1400000000;
      CopyFixedText(r.name, "Device number " + std::to_string(i));
      for (int k = 0; k < kLinksPerDevice; ++k) {
        LinkRecord& l = r.links[k];
        l.flags = k % 2 == 0 ? 0xA2 : 0xE2;
        l.group = static_cast<uint8_t>(1 + k);
        l.id = k == 0 ? db.plm.plmId : DeviceId((i + static_cast<uint32_t>(k) * 11) % kMaxDevices);
        l.data[0] = 0xFE;
        l.data[1] = 0x1C;
        l.address = 0x0FFFu - 8u * static_cast<uint32_t>(k);
      }
      r.linkCount = kLinksPerDevice;
    }
    db.count = kMaxDevices;
  }
};

void BM_RebuildTree(benchmark::State& state) {
  FullHouse house;
  DeviceTreeModel model;
  size_t items = 0;
  for (auto _ : state) {
    model.rebuiltOnce = false;  // past the two-second throttle every time
    RebuildTree(*house.ctx, model);
    items = model.items[0].children.size();
    benchmark::DoNotOptimize(model.items.data());
  }
  state.counters["group_nodes"] = static_cast<double>(items);
}
BENCHMARK(BM_RebuildTree)->Unit(benchmark::kMillisecond);

// A message from the selected device: the panel, its 33 links and the slider.
void BM_SetupWindowRefresh(benchmark::State& state) {
  FullHouse house;
  Context& ctx = *house.ctx;
  const DeviceRecord& r = ctx.db.records[240];
  ctx.tick.treeSelection = MakeDeviceKey(r.group, r.id);
  DeviceSetupState setup;
  size_t rows = 0;
  for (auto _ : state) {
    setup.deviceShown = false;  // as if another device was shown before: the edits are refilled too
    const ControlSet shown = ApplySelectionMode(ctx, setup);
    const DisplayRefresh d = RefreshDeviceDisplay(ctx, setup);
    rows = d.links.rows.size();
    benchmark::DoNotOptimize(shown.linkList);
  }
  state.counters["link_rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_SetupWindowRefresh)->Unit(benchmark::kMillisecond);

// One device's items rewritten after its status arrived, on the full tree.
void BM_RefreshDeviceItem(benchmark::State& state) {
  FullHouse house;
  DeviceTreeModel model;
  RebuildTree(*house.ctx, model);
  const DeviceRecord& r = house.ctx->db.records[300];
  const uint32_t key = MakeDeviceKey(r.group, r.id);
  for (auto _ : state) benchmark::DoNotOptimize(RefreshDeviceItem(*house.ctx, model, key));
}
BENCHMARK(BM_RefreshDeviceItem)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quorvel
