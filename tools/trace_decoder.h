#pragma once
// Reading a captured modem byte stream: hex text or raw bytes go through the
// program's own framer and traffic text, and come out as the Insteon Traffic and
// General Activity lines the program would log, without their time stamps.
#include <cstddef>
#include <cstdint>
#include <istream>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "engine/context.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/notifier.h"
#include "tools/memory_port.h"
#include "tools/no_files.h"

namespace quorvel::tools {

inline constexpr std::string_view kIncompleteAtEndText = "Incomplete frame at end of input:";

namespace detail {

inline int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

inline bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ','; }

}  // namespace detail

// Parses one line of a hex capture and appends its bytes. Bytes are pairs of hex
// digits, with or without spaces or commas between them ("02 50 1A", "02501A",
// "0x02,0x50"). A '#' starts a comment. A line copied from the program's Insteon
// Traffic tab keeps only what follows its time stamp's '|'. Every token that is
// not whole pairs of hex digits is put in `bad` and contributes no byte.
inline void ParseHexLine(std::string_view line, std::vector<uint8_t>& bytes,
                         std::vector<std::string_view>& bad) {
  const size_t hash = line.find('#');
  if (hash != std::string_view::npos) line = line.substr(0, hash);
  const size_t bar = line.rfind('|');
  if (bar != std::string_view::npos) line = line.substr(bar + 1);

  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && detail::IsSeparator(line[i])) ++i;
    const size_t start = i;
    while (i < line.size() && !detail::IsSeparator(line[i])) ++i;
    if (start == i) break;
    const std::string_view token = line.substr(start, i - start);
    std::string_view digits = token;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) digits.remove_prefix(2);
    bool ok = !digits.empty() && digits.size() % 2 == 0;
    for (size_t k = 0; ok && k < digits.size(); ++k) ok = detail::HexDigit(digits[k]) >= 0;
    if (!ok) {
      bad.push_back(token);
      continue;
    }
    for (size_t k = 0; k < digits.size(); k += 2) {
      bytes.push_back(static_cast<uint8_t>(detail::HexDigit(digits[k]) << 4 | detail::HexDigit(digits[k + 1])));
    }
  }
}

// Runs captured bytes through a private run of the program's receive side and
// prints what it logs: for each frame its hex line, then its decoded line if it
// has one; a line for bytes skipped between frames; and at the end a line for a
// frame the capture cut off. Every frame is taken as arriving at the same moment,
// so identical standard messages in a row count as the network's repeats.
class TraceDecoder final : private LogSink {
 public:
  explicit TraceDecoder(std::ostream& out) : out_(out) {
    ctx_ = std::make_unique<Context>(clock_, port_, files_, notifier_);
    stamp_ = ctx_->log.ActivityTimeStamp();
    ctx_->log.AddSink(this);
  }
  ~TraceDecoder() override { ctx_->log.RemoveSink(this); }
  TraceDecoder(const TraceDecoder&) = delete;
  TraceDecoder& operator=(const TraceDecoder&) = delete;

  // Frames one stretch of the capture, taken by the program in reads of at most
  // 127 bytes as the serial port would deliver them.
  void Feed(const uint8_t* bytes, size_t n) {
    port_.Load(bytes, n);
    while (port_.Pending() > 0) {
      if (!ctx_->framer.PumpReceive(*ctx_)) break;
    }
    port_.Load(nullptr, 0);
  }

  // Reports a frame left incomplete at the end of the capture.
  void Finish() {
    PrintHeld();
    const size_t n = ctx_->framer.PendingCount();
    if (n == 0) return;
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text(kIncompleteAtEndText);
    const uint8_t* p = ctx_->framer.PendingBytes();
    for (size_t i = 0; i < n; ++i) {
      text += ' ';
      text += kHex[p[i] >> 4];
      text += kHex[p[i] & 0x0F];
    }
    out_ << text << '\n';
    ctx_->framer.Reset();
  }

  // Forgets the capture so far, as if the program had just started: the next
  // capture meets a fresh receive side.
  void Restart() {
    held_.clear();
    // Built anew in the same place: the context is large, and a fuzzer restarts often.
    Context* ctx = ctx_.get();
    ctx->log.RemoveSink(this);
    std::destroy_at(ctx);
    std::construct_at(ctx, clock_, port_, files_, notifier_);
    ctx->log.AddSink(this);
  }

  Context& context() { return *ctx_; }

 private:
  void OnLine(const LogLine& line) override {
    std::string_view text = line.text;
    if (text.substr(0, stamp_.size()) == stamp_) text.remove_prefix(stamp_.size());
    if (line.channel == LogChannel::GeneralActivity) {
      // The program logs a frame's decoded line before its hex line; a reader
      // wants the hex first.
      held_.emplace_back(text);
      return;
    }
    out_ << text << '\n';
    if (line.channel == LogChannel::InsteonTraffic) PrintHeld();
  }

  void PrintHeld() {
    for (const std::string& h : held_) out_ << h << '\n';
    held_.clear();
  }

  std::ostream& out_;
  TestClock clock_;
  MemoryPort port_;
  NoFiles files_;
  NullNotifier notifier_;
  std::unique_ptr<Context> ctx_;
  std::string stamp_;
  std::vector<std::string> held_;
};

// Decodes a whole capture: hex text line by line, or with `raw` the bytes as
// they are. Unreadable hex tokens are reported on `err`, naming their line, and
// skipped. Returns 0, or 1 when some input was unreadable.
inline int DecodeCapture(TraceDecoder& decoder, std::istream& in, std::ostream& err, bool raw) {
  int status = 0;
  if (raw) {
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    decoder.Feed(bytes.data(), bytes.size());
  } else {
    std::string line;
    std::vector<uint8_t> bytes;
    std::vector<std::string_view> bad;
    for (size_t number = 1; std::getline(in, line); ++number) {
      bytes.clear();
      bad.clear();
      ParseHexLine(line, bytes, bad);
      for (std::string_view token : bad) {
        err << "quorvel-decode: line " << number << ": not hex, ignored: " << token << '\n';
        status = 1;
      }
      decoder.Feed(bytes.data(), bytes.size());
    }
  }
  decoder.Finish();
  return status;
}

inline int DecodeCapture(std::istream& in, std::ostream& out, std::ostream& err, bool raw) {
  TraceDecoder decoder(out);
  return DecodeCapture(decoder, in, err, raw);
}

}  // namespace quorvel::tools
