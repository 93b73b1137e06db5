// Receive framing throughput on a realistic mixed stream, as the program runs it:
// reads of at most 127 bytes from the port, repeats filtered, frames handed on,
// hex and decoded lines logged. Every heap allocation is counted; the framer's
// own share per frame should be zero. The same stream with noise on the line
// counts the false frames the framer makes of it and the real ones it loses.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "allocation_counter.h"
#include "engine/context.h"
#include "plm/receive_framer.h"
#include "sim/sim_random.h"
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
  std::vector<std::string> frameHex;  // each frame as its Insteon Traffic hex line
};

std::string HexLine(const uint8_t* bytes, size_t n) {
  std::string s;
  char b[4];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(b, sizeof b, " %02X", bytes[i]);
    s += b;
  }
  return s;
}

void Put(Stream& s, std::initializer_list<uint8_t> bytes) {
  s.bytes.insert(s.bytes.end(), bytes);
  if (bytes.size() > 1) {
    ++s.frames;
    s.frameHex.push_back(HexLine(bytes.begin(), bytes.size()));
  }
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

struct NoisyStream {
  std::vector<uint8_t> bytes;
  std::vector<bool> frameStart;  // per byte: a start byte the modem sent, arrived intact
};

// The clean stream with noise on the line at `rate` per byte: a stray byte
// slipped in, a byte lost or a byte changed, a third of each.
NoisyStream Noisy(const Stream& clean, double rate, uint64_t seed) {
  std::vector<bool> starts(clean.bytes.size(), false);
  size_t at = 0;
  for (const std::string& hex : clean.frameHex) {
    while (at < clean.bytes.size() && clean.bytes[at] != kFrameStart) ++at;  // lone busy NAKs
    if (at < starts.size()) starts[at] = true;
    at += hex.size() / 3;
  }
  sim::SimRandom random(seed);
  NoisyStream out;
  for (size_t i = 0; i < clean.bytes.size(); ++i) {
    const uint8_t b = clean.bytes[i];
    if (!random.Chance(rate)) {
      out.bytes.push_back(b);
      out.frameStart.push_back(starts[i]);
      continue;
    }
    switch (random.Below(3)) {
      case 0:
        out.bytes.push_back(static_cast<uint8_t>(random.Below(256)));
        out.frameStart.push_back(false);
        out.bytes.push_back(b);
        out.frameStart.push_back(starts[i]);
        break;
      case 1: break;
      default:
        out.bytes.push_back(static_cast<uint8_t>(b ^ (1 + random.Below(255))));
        out.frameStart.push_back(false);
        break;
    }
  }
  return out;
}

// Keeps the frames the framer completed, read back from their hex lines.
class FrameLines final : public LogSink {
 public:
  explicit FrameLines(size_t stampLength) : stampLength_(stampLength) {}
  void OnLine(const LogLine& line) override {
    if (line.channel != LogChannel::InsteonTraffic || line.text.size() <= stampLength_) return;
    const std::string_view text = std::string_view(line.text).substr(stampLength_);
    if (text.front() != ' ') return;  // a skipped or dropped line
    std::vector<uint8_t> frame;
    for (size_t i = 1; i + 1 < text.size(); i += 3) {
      frame.push_back(static_cast<uint8_t>(std::stoi(std::string(text.substr(i, 2)), nullptr, 16)));
    }
    frames.push_back(std::move(frame));
  }
  std::vector<std::vector<uint8_t>> frames;

 private:
  size_t stampLength_;
};

struct FrameTally {
  uint64_t falseFrames = 0;    // begun at a byte that was no start byte the modem sent
  uint64_t damagedFrames = 0;  // begun at a real start, but noise changed what followed
  uint64_t lostFrames = 0;     // sent, yet never completed intact
};

// Each completed frame is found in the noisy stream after the one before it,
// which tells where the framer began it; frames that match what was sent are
// walked along the sent frames to count those lost.
FrameTally Tally(const Stream& sent, const NoisyStream& line, const std::vector<std::vector<uint8_t>>& got) {
  constexpr size_t kLookAhead = 8;
  FrameTally t;
  size_t cursor = 0;
  size_t next = 0;
  for (const std::vector<uint8_t>& g : got) {
    const auto it = std::search(line.bytes.begin() + static_cast<std::ptrdiff_t>(cursor), line.bytes.end(),
                                g.begin(), g.end());
    const size_t at = static_cast<size_t>(it - line.bytes.begin());
    if (at < line.bytes.size()) cursor = at + g.size();
    if (at >= line.bytes.size() || !line.frameStart[at]) {
      ++t.falseFrames;
      continue;
    }
    const std::string hex = HexLine(g.data(), g.size());
    size_t k = next;
    while (k < sent.frameHex.size() && k < next + kLookAhead && sent.frameHex[k] != hex) ++k;
    if (k < sent.frameHex.size() && k < next + kLookAhead) {
      t.lostFrames += k - next;
      next = k + 1;
    } else {
      ++t.damagedFrames;
    }
  }
  t.lostFrames += sent.frameHex.size() - next;
  return t;
}

// 2 MB of the mixed stream with 0.87% of its bytes disturbed.
void BM_FramerNoisyStream(benchmark::State& state) {
  const Stream mixed = MixedStream(2 * 1024 * 1024);
  const NoisyStream noisy = Noisy(mixed, 0.0087, 17);
  TestClock clock;
  tools::MemoryPort port;
  tools::NoFiles files;
  NullNotifier notifier;
  FrameTally tally;
  for (auto _ : state) {
    state.PauseTiming();
    auto ctx = std::make_unique<Context>(clock, port, files, notifier);
    CountingHandler handler;
    ctx->framer.handler = &handler;
    ctx->db.count = 12;
    FrameLines lines(ctx->log.ActivityTimeStamp().size());
    lines.frames.reserve(mixed.frameHex.size() + mixed.frameHex.size() / 16);
    ctx->log.AddSink(&lines);
    port.Load(noisy.bytes.data(), noisy.bytes.size());
    state.ResumeTiming();
    while (ctx->framer.PumpReceive(*ctx)) clock.AdvanceMillis(160);
    state.PauseTiming();
    ctx->log.RemoveSink(&lines);
    tally = Tally(mixed, noisy, lines.frames);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * noisy.bytes.size()));
  state.counters["sent_frames"] = static_cast<double>(mixed.frames);
  state.counters["false_frames"] = static_cast<double>(tally.falseFrames);
  state.counters["damaged_frames"] = static_cast<double>(tally.damagedFrames);
  state.counters["lost_frames"] = static_cast<double>(tally.lostFrames);
}
BENCHMARK(BM_FramerNoisyStream)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
