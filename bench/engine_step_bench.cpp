// The send side's share of the 160 ms tick: one TransmitStep with all three
// rings and the hold queue full and 479 devices in the table, none of which
// answers, so the reply ring keeps retrying, giving up and trying to hold.
// Target: below 0.1% of the tick (160 us). The "tick_share" counter is the
// measured time per step divided by 160 ms.
//
// Beside it, the receive side's heaviest common message: a group broadcast from
// a keypad button with eight lights, whose responders are found by scanning 479
// devices with full link tables, and whose keypad LEDs are worked out again.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "automation/event_record.h"
#include "engine/context.h"
#include "platform/bytes.h"
#include "plm/incoming_messages.h"
#include "plm/send_queues.h"

namespace quorvel {
namespace {

constexpr double kTickSeconds = 0.160;

// An open port that takes every byte and keeps none.
class DiscardPort final : public SerialPort {
 public:
  bool Open(int) override { return true; }
  void Close() override {}
  bool IsOpen() const override { return true; }
  int Available() override { return 0; }
  IoStatus Read(uint8_t*, size_t, size_t& got) override {
    got = 0;
    return IoStatus::Ok;
  }
  IoStatus WriteByte(uint8_t) override {
    ++written;
    return IoStatus::Ok;
  }
  std::string PortName(int n) const override { return "discard" + std::to_string(n); }
  uint64_t written = 0;
};

InsteonId DeviceId(uint32_t i) { return InsteonId::FromValue(0x100000 + i); }
const InsteonId kSleeper = InsteonId::FromValue(0x0A0B0C);

struct FullHouse {
  TestClock clock{1299999960};
  DiscardPort port;
  PosixFileSystem files{std::string()};
  NullNotifier notifier;
  std::unique_ptr<Context> ctx = std::make_unique<Context>(clock, port, files, notifier);

  explicit FullHouse(bool fullLinks) {
    Silence(ctx->diagnostics);
    DeviceDatabase& db = ctx->db;
    for (uint32_t i = 0; i < kMaxDevices; ++i) {
      DeviceRecord& r = db.records[i];
      r.linkFlags = 0xA2;
      r.group = static_cast<uint8_t>(1 + i % 8);
      r.id = DeviceId(i);
      r.category = i == kMaxDevices - 1 ? 0x10 : 0x01;  // one motion sensor at the end of the table
      r.subcategory = i == kMaxDevices - 1 ? 0x01 : 0x20;
      r.engineVersion = kEngineI2;
      CopyFixedText(r.name, "Device " + std::to_string(i));
      if (!fullLinks) continue;
      for (int k = 0; k < kLinksPerDevice; ++k) {
        LinkRecord& link = r.links[k];
        link.flags = 0xA2;
        link.address = 0x0FFFu - 8u * static_cast<uint32_t>(k);
        link.group = static_cast<uint8_t>(1 + k % 8);
        // Eight lights answer button 3 of device 0, the keypad; the other links
        // name devices all over the table.
        const bool answersKeypad = k == 2 && i >= 1 && i <= 8;
        link.id = answersKeypad ? DeviceId(0) : DeviceId((i * 7 + static_cast<uint32_t>(k) + 1) % kMaxDevices);
        if (answersKeypad) link.group = 3;
        link.data[0] = 0xC0;
      }
      r.linkCount = kLinksPerDevice;
    }
    db.records[0].subcategory = 0x1C;  // device 0 is a keypad
    db.records[kMaxDevices - 1].id = kSleeper;
    db.count = kMaxDevices;
  }

  // Tops every queue up to its capacity with messages nobody answers.
  void Fill() {
    SendQueues& q = ctx->queues;
    uint32_t n = 0;
    while (!q.replyRing.Full()) SendStandard(*ctx, DeviceId(n++ % (kMaxDevices - 1)), 0x11, 0xFF);
    while (!q.plainRing.Full()) SendStandard(*ctx, DeviceId(n++ % (kMaxDevices - 1)), 0x10, 0x00);
    while (!q.delayedRing.Full()) {
      EventRecord a{};
      a.isLogicEvent = 1;
      a.msgFlags = kFlagsStandard;
      a.targetId = DeviceId(n++ % (kMaxDevices - 1));
      a.cmd1 = 0x13;
      a.delayMinutes = 5;
      RouteAction(*ctx, a);
    }
    for (int c = 0; q.hold.heldCount < kHoldSlots; ++c) SendStandard(*ctx, kSleeper, static_cast<uint8_t>(c), 0x00);
  }
};

void BM_TransmitStepFullQueues(benchmark::State& state) {
  FullHouse house(/*fullLinks=*/false);
  house.Fill();
  Context& ctx = *house.ctx;
  for (auto _ : state) {
    benchmark::DoNotOptimize(TransmitStep(ctx, false));
    house.clock.AdvanceMillis(160);
    if (!ctx.queues.replyRing.Full()) {
      state.PauseTiming();
      house.Fill();
      state.ResumeTiming();
    }
  }
  state.counters["tick_share"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kTickSeconds,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["bytes_written"] = static_cast<double>(house.port.written);
}
BENCHMARK(BM_TransmitStepFullQueues);

void BM_GroupBroadcastFrom479DeviceHouse(benchmark::State& state) {
  FullHouse house(/*fullLinks=*/true);
  Context& ctx = *house.ctx;
  const InsteonId keypad = DeviceId(0);
  uint8_t on[11] = {0x02, 0x50, keypad.b[0], keypad.b[1], keypad.b[2], 0x00, 0x00, 0x03, 0xCF, 0x11, 0x00};
  uint8_t off[11] = {0x02, 0x50, keypad.b[0], keypad.b[1], keypad.b[2], 0x00, 0x00, 0x03, 0xCF, 0x13, 0x00};
  bool toggle = false;
  for (auto _ : state) {
    ctx.incoming.HandleFrame(ctx, toggle ? off : on, sizeof on);
    toggle = !toggle;
  }
  state.counters["tick_share"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kTickSeconds,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_GroupBroadcastFrom479DeviceHouse)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quorvel
