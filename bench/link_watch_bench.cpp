// The Link Watch report of all responding devices on a full house: 479 devices
// with 33 links each: controller links, the responder records that answer
// them (one in three missing) and a link to the modem. The dialog reruns it after every link record
// the engine stores, so it must stay well inside a tick. Target: below 5 ms.
#include <benchmark/benchmark.h>

#include <memory>

#include "device/device_database.h"
#include "engine/link_watch.h"

namespace quorvel {
namespace {

InsteonId DeviceId(uint32_t i) { return InsteonId::FromValue(0x300000 + i * 7); }

std::unique_ptr<DeviceDatabase> FullHouse() {
  auto db = std::make_unique<DeviceDatabase>();
  db->plm.plmId = InsteonId::From(0x11, 0x22, 0x33);
  const uint32_t n = kMaxDevices;
  for (uint32_t i = 0; i < n; ++i) {
    DeviceRecord& r = db->records[i];
    r.linkFlags = 0xA2;
    r.group = 1;
    r.id = DeviceId(i);
    r.category = 0x01;
    r.subcategory = 0x20;
    r.engineVersion = static_cast<uint8_t>(1 + i % 3);
    r.timeLastContact = 1400000000;
  }
  // Device i controls devices i+1..i+16 through groups 1..16 (slots 0..15),
  // holds the responder records of the devices that control it (slots 16..31),
  // one in three of them missing, and its responder link to the modem (slot 32).
  const InsteonId modem = db->plm.plmId;
  for (uint32_t i = 0; i < n; ++i) {
    DeviceRecord& r = db->records[i];
    for (uint32_t k = 0; k < 16; ++k) {
      LinkRecord& controls = r.links[k];
      controls.flags = 0xE2;
      controls.group = static_cast<uint8_t>(k + 1);
      controls.id = DeviceId((i + k + 1) % n);
      LinkRecord& responds = r.links[16 + k];
      responds.flags = (i + k) % 3 == 0 ? 0x00 : 0xA2;
      responds.group = static_cast<uint8_t>(k + 1);
      responds.id = DeviceId((i + n - k - 1) % n);
    }
    r.links[32].flags = 0xA2;
    r.links[32].group = 1;
    r.links[32].id = modem;
    for (int k = 0; k < kLinksPerDevice; ++k) r.links[k].address = static_cast<uint32_t>(0x0FFF - 8 * k);
    r.linkCount = kLinksPerDevice;
  }
  db->count = n;
  return db;
}

void BM_ReportAllRespondingDevices(benchmark::State& state) {
  std::unique_ptr<DeviceDatabase> db = FullHouse();
  TestClock clock{1500000000};
  LinkReport report;
  for (auto _ : state) {
    BuildReport(*db, clock, 0, report);
    benchmark::DoNotOptimize(report.lines.data());
  }
  state.counters["lines"] = static_cast<double>(report.lines.size());
}
BENCHMARK(BM_ReportAllRespondingDevices)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quorvel
