// quorvel-decode's path on inputs far larger than its buffers: one hex line of
// 50 MB and 100 MB of raw bytes, made as they are read and decoded to output
// that is only counted. Reports the throughput and how far the heap grew above
// where it stood before the decoding began.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <ostream>
#include <streambuf>
#include <string>

#include "support/heap_in_use.h"
#include "tools/trace_decoder.h"

namespace {

using namespace quorvel;

class Generated final : public tools::CaptureSource {
 public:
  Generated(std::string pattern, size_t total, testing::HeapPeak& peak)
      : CaptureSource("generated"), pattern_(std::move(pattern)), left_(total), peak_(peak) {}
  size_t Read(char* buf, size_t max) override {
    peak_.Sample();
    size_t n = 0;
    while (n < max && left_ > 0) {
      buf[n++] = pattern_[at_];
      at_ = (at_ + 1) % pattern_.size();
      --left_;
    }
    return n;
  }

 private:
  std::string pattern_;
  size_t at_ = 0;
  size_t left_;
  testing::HeapPeak& peak_;
};

class Discard final : public std::streambuf {
 protected:
  int_type overflow(int_type c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char* /*s*/, std::streamsize n) override { return n; }
};

// A status poll, its reply, a press and the modem's next-record echo.
const char kHexFrames[] =
    "02 62 1A 2B 3C 0F 19 00 06 02 50 1A 2B 3C 11 22 33 2B 19 80 "
    "02 50 1A 2B 3C 00 00 01 CB 11 00 02 6A 06 ";

void Decode(benchmark::State& state, const std::string& pattern, size_t total, bool raw) {
  size_t growth = 0;
  for (auto _ : state) {
    Discard sink;
    std::ostream out(&sink);
    std::ostream err(&sink);
    tools::TraceDecoder decoder(out);
    testing::HeapPeak peak;
    Generated in(pattern, total, peak);
    benchmark::DoNotOptimize(tools::DecodeCapture(decoder, in, err, raw));
    peak.Sample();
    growth = peak.Growth();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * total));
  state.counters["heap_growth_kb"] = static_cast<double>(growth) / 1024.0;
}

void BM_DecodeHexLine50MB(benchmark::State& state) { Decode(state, kHexFrames, 50u << 20, false); }
BENCHMARK(BM_DecodeHexLine50MB)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_DecodeRaw100MB(benchmark::State& state) {
  std::string raw;
  for (size_t i = 0; i + 1 < sizeof kHexFrames; i += 3)
    raw += static_cast<char>(std::stoi(std::string(kHexFrames + i, 2), nullptr, 16));
  Decode(state, raw, 100u << 20, true);
}
BENCHMARK(BM_DecodeRaw100MB)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
