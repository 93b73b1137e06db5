// Receive framing throughput on a realistic mixed stream, as the program runs it:
// reads of at most 127 bytes from the port, repeats filtered, frames handed on,
// hex and decoded lines logged. Every heap allocation is counted; the framer's
// own share per frame should be zero.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "allocation_counter.h"
#include "engine/context.h"
#include "plm/receive_framer.h"
#include "tools/memory_port.h"
#include "tools/no_files.h"

namespace {

using namespace quorvel;

class CountingHandler final : public FrameHandler {
 public:
  void HandleFrame(Context& /*ctx*/, const uint8_t* frame, size_t length) override {
    ++frames;
    checksum += frame[1] + length;
  }
  uint64_t frames = 0;
  uint64_t checksum = 0;
};

struct Stream {
  std::vector<uint8_t> bytes;
  uint64_t frames = 0;
};

void Put(Stream& s, std::initializer_list<uint8_t> bytes) {
  s.bytes.insert(s.bytes.end(), bytes);
  if (bytes.size() > 1) ++s.frames;
}

// A busy evening on the line: wall switches with their broadcasts, clean-ups and
// the network's repeats, status polls, a device link table being read, the
// modem's own link table, X10, and now and then a busy NAK.
Stream MixedStream(size_t targetBytes) {
  Stream s;
  for (uint8_t n = 0; s.bytes.size() < targetBytes; ++n) {
    const uint8_t dev = static_cast<uint8_t>(0x10 + n % 40);
    Put(s, {0x02, 0x50, 0x1A, 0x2B, dev, 0x00, 0x00, 0x01, 0xCB, 0x11, 0x00});   // group broadcast
    Put(s, {0x02, 0x50, 0x1A, 0x2B, dev, 0x11, 0x22, 0x33, 0x41, 0x11, 0x01});   // clean-up
    Put(s, {0x02, 0x50, 0x1A, 0x2B, dev, 0x11, 0x22, 0x33, 0x41, 0x11, 0x01});   // its repeat
    Put(s, {0x02, 0x62, 0x1A, 0x2B, dev, 0x0F, 0x19, 0x00, 0x06});               // status request echo
    Put(s, {0x02, 0x50, 0x1A, 0x2B, dev, 0x11, 0x22, 0x33, 0x2B, 0x05, n});      // its reply
    Put(s, {0x02, 0x62, 0x1A, 0x2B, dev, 0x1F, 0x2F, 0x00, 0x00, 0x00, 0x0F, 0xFF,
            0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x06});  // link read echo
    Put(s, {0x02, 0x51, 0x1A, 0x2B, dev, 0x11, 0x22, 0x33, 0x11, 0x2F, 0x00, 0x00, 0x01,
            0x0F, static_cast<uint8_t>(0xFF - n % 32 * 8), 0x00, 0xA2, 0x01, 0x44, 0x55, 0x66,
            0xFE, 0x1F, 0x01, 0x00});                                              // link record
    Put(s, {0x02, 0x6A, 0x06});                                                   // modem: next record
    Put(s, {0x02, 0x57, 0xE2, 0x01, 0x1A, 0x2B, dev, 0x01, 0x20, 0x41});          // modem link record
    Put(s, {0x02, 0x52, 0x66, 0x00});                                             // X10 A1
    Put(s, {0x02, 0x52, 0x62, 0x80});                                             // X10 On
    if (n % 8 == 0) Put(s, {0x15});                                               // busy NAK
    Put(s, {0x02, 0x50, 0x1A, 0x2B, dev, 0x11, 0x22, 0x33, 0x00, 0x13, 0x00});   // direct OFF
  }
  return s;
}

void BM_FramerMixedStream(benchmark::State& state) {
  const Stream mixed = MixedStream(64 * 1024);
  const std::vector<uint8_t>& stream = mixed.bytes;
  TestClock clock;
  tools::MemoryPort port;
  tools::NoFiles files;
  NullNotifier notifier;
  auto ctx = std::make_unique<Context>(clock, port, files, notifier);
  CountingHandler handler;
  ctx->framer.handler = &handler;
  ctx->db.count = 12;

  // Warm up: the log channels fill to their limits once.
  port.Load(stream.data(), stream.size());
  while (ctx->framer.PumpReceive(*ctx)) clock.AdvanceMillis(160);

  uint64_t allocations = 0;
  for (auto _ : state) {
    port.Load(stream.data(), stream.size());
    const uint64_t before = bench::AllocationCount();
    while (ctx->framer.PumpReceive(*ctx)) clock.AdvanceMillis(160);
    allocations += bench::AllocationCount() - before;
  }
  benchmark::DoNotOptimize(handler.checksum);
  const double frames = static_cast<double>(state.iterations() * mixed.frames);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
  state.counters["frames"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
  state.counters["allocs_per_frame"] = frames == 0 ? 0.0 : static_cast<double>(allocations) / frames;
}
BENCHMARK(BM_FramerMixedStream)->Unit(benchmark::kMillisecond);

}  // namespace
