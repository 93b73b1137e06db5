#pragma once
// Reading a captured modem byte stream: hex text or raw bytes go through the
// program's own framer and traffic text, and come out as the Insteon Traffic and
// General Activity lines the program would log, without their time stamps.
#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "engine/context.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/notifier.h"
#include "tools/capture_source.h"
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

// Appends the bytes of one token of a hex capture: whole pairs of hex digits,
// with or without a 0x in front. False, and no byte, for anything else.
inline bool ParseHexToken(std::string_view token, std::vector<uint8_t>& bytes) {
  std::string_view digits = token;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) digits.remove_prefix(2);
  bool ok = !digits.empty() && digits.size() % 2 == 0;
  for (size_t k = 0; ok && k < digits.size(); ++k) ok = detail::HexDigit(digits[k]) >= 0;
  if (!ok) return false;
  for (size_t k = 0; k < digits.size(); k += 2) {
    bytes.push_back(static_cast<uint8_t>(detail::HexDigit(digits[k]) << 4 | detail::HexDigit(digits[k + 1])));
  }
  return true;
}

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
    if (!ParseHexToken(token, bytes)) bad.push_back(token);
  }
}

// Hex capture text as it arrives, in pieces of any size, parsed line by line as
// ParseHexLine parses them, in bounded memory: a line is held until it ends so
// that a later '|' can still drop what came before it, but a line whose bytes
// and unreadable tokens pass kLineHoldMax is handed on in pieces, and a token
// longer than kTokenMax is taken as tokens of that many characters.
class HexStream {
 public:
  static constexpr size_t kTokenMax = 4096;
  static constexpr size_t kLineHoldMax = 64 * 1024;

  class Sink {
   public:
    virtual ~Sink() = default;
    virtual void OnBadToken(size_t lineNumber, std::string_view token) = 0;
    virtual void OnBytes(const uint8_t* bytes, size_t n) = 0;
  };

  explicit HexStream(Sink& sink) : sink_(sink) {}

  void Feed(std::string_view text) {
    for (const char c : text) {
      if (comment_) {
        if (c == '\n') EndLine();
        continue;
      }
      if (c == '#') {
        EndToken();
        comment_ = true;
      } else if (c == '|') {
        // A time stamp ends here: what the line held before it is no capture.
        token_.clear();
        bytes_.clear();
        badText_.clear();
        badEnds_.clear();
      } else if (detail::IsSeparator(c)) {
        EndToken();
        if (c == '\n') EndLine();
      } else {
        token_ += c;
        if (token_.size() == kTokenMax) EndToken();
      }
    }
  }
  // The last line needs no newline.
  void End() {
    EndToken();
    Release();
  }
  // The number of the line being read, from 1.
  size_t LineNumber() const { return line_; }

 private:
  void EndToken() {
    if (token_.empty()) return;
    if (!ParseHexToken(token_, bytes_)) {
      badText_ += token_;
      badEnds_.push_back(badText_.size());
    }
    token_.clear();
    if (bytes_.size() + badText_.size() >= kLineHoldMax) Release();
  }
  void EndLine() {
    EndToken();
    Release();
    comment_ = false;
    ++line_;
  }
  void Release() {
    size_t from = 0;
    for (const size_t end : badEnds_) {
      sink_.OnBadToken(line_, std::string_view(badText_).substr(from, end - from));
      from = end;
    }
    if (!bytes_.empty()) sink_.OnBytes(bytes_.data(), bytes_.size());
    bytes_.clear();
    badText_.clear();
    badEnds_.clear();
  }

  Sink& sink_;
  std::string token_;
  std::vector<uint8_t> bytes_;
  std::string badText_;          // the line's unreadable tokens, one after the other
  std::vector<size_t> badEnds_;  // where each of them ends in badText_
  bool comment_ = false;
  size_t line_ = 1;
};

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
    Attach();
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
    // Built anew in the same place: the context is large, and a fuzzer restarts
    // often. The log's lists, made as new, keep the storage of their rows.
    Context* ctx = ctx_.get();
    ctx->log.Reset();
    for (int i = 0; i < kLogChannelCount; ++i) keptLists_.push_back(std::move(ctx->log.List(static_cast<LogChannel>(i))));
    std::destroy_at(ctx);
    std::construct_at(ctx, clock_, port_, files_, notifier_);
    for (int i = 0; i < kLogChannelCount; ++i) ctx->log.List(static_cast<LogChannel>(i)) = std::move(keptLists_[i]);
    keptLists_.clear();
    Attach();
  }

  // Hands what was printed so far on, for a reader at the other end of a pipe.
  void Flush() { out_.flush(); }

  // A buffer of `n` bytes for reading the capture into, kept from one capture
  // to the next.
  char* ReadBuffer(size_t n) {
    if (readBuffer_.size() < n) readBuffer_.resize(n);
    return readBuffer_.data();
  }

  Context& context() { return *ctx_; }

 private:
  void Attach() {
    ctx_->log.AddSink(this);
    // The program's diagnostic lines come with newlines of their own before
    // them; among the frames each gets a line of its own.
    ctx_->diagnostics.sink = [this](std::string_view text) {
      while (!text.empty() && text.front() == '\n') text.remove_prefix(1);
      while (!text.empty() && text.back() == '\n') text.remove_suffix(1);
      if (!text.empty()) out_ << text << '\n';
    };
  }

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
  std::vector<char> readBuffer_;
  std::vector<TraceList> keptLists_;
};

// Decodes a capture as it arrives: hex text line by line, or with `raw` the
// bytes as they are, printing each frame as soon as it is whole and handing the
// output on after every read. Unreadable hex tokens are reported on `err`,
// naming their line, and skipped. Returns 0; 1 when some hex was unreadable; 2,
// with a message on `err`, when the input itself could not be read.
inline int DecodeCapture(TraceDecoder& decoder, CaptureSource& in, std::ostream& err, bool raw) {
  static constexpr size_t kReadMax = 64 * 1024;

  class Reporter final : public HexStream::Sink {
   public:
    Reporter(TraceDecoder& decoder, std::ostream& err) : decoder_(decoder), err_(err) {}
    void OnBadToken(size_t lineNumber, std::string_view token) override {
      err_ << "quorvel-decode: line " << lineNumber << ": not hex, ignored: " << token << '\n';
      unreadable = true;
    }
    void OnBytes(const uint8_t* bytes, size_t n) override { decoder_.Feed(bytes, n); }
    bool unreadable = false;

   private:
    TraceDecoder& decoder_;
    std::ostream& err_;
  };

  Reporter reporter(decoder, err);
  HexStream hex(reporter);
  char* const buffer = decoder.ReadBuffer(kReadMax);
  for (;;) {
    const size_t n = in.Read(buffer, kReadMax);
    if (n == 0) break;
    if (raw) {
      decoder.Feed(reinterpret_cast<const uint8_t*>(buffer), n);
    } else {
      hex.Feed(std::string_view(buffer, n));
    }
    decoder.Flush();
    err.flush();
  }
  if (!raw) hex.End();
  decoder.Finish();
  decoder.Flush();
  if (!in.Error().empty()) {
    err << "quorvel-decode: cannot read " << in.Name() << ": " << in.Error() << '\n';
    return 2;
  }
  return reporter.unreadable ? 1 : 0;
}

inline int DecodeCapture(TraceDecoder& decoder, std::istream& in, std::ostream& err, bool raw) {
  StreamSource source(in);
  return DecodeCapture(decoder, source, err, raw);
}

inline int DecodeCapture(std::istream& in, std::ostream& out, std::ostream& err, bool raw) {
  TraceDecoder decoder(out);
  return DecodeCapture(decoder, in, err, raw);
}

}  // namespace quorvel::tools
