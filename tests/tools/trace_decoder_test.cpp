#include "tools/trace_decoder.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/heap_in_use.h"
#include "support/scratch.h"

namespace quorvel::tools {
namespace {

using Bytes = std::vector<uint8_t>;

struct Decoded {
  int status;
  std::string out;
  std::string err;
};

Decoded Decode(const std::string& input, bool raw = false) {
  std::istringstream in(input);
  std::ostringstream out;
  std::ostringstream err;
  const int status = DecodeCapture(in, out, err, raw);
  return {status, out.str(), err.str()};
}

TEST(TraceDecoder, PrintsTheHexLineAndTheDecodedLine) {
  const Decoded d = Decode("02 50 1A 2B 3C 11 22 33 00 11 FF\n");
  EXPECT_EQ(d.status, 0);
  EXPECT_EQ(d.out,
            " 02 50 1A 2B 3C 11 22 33 00 11 FF\n"
            " From 1a.2b.3c      To 11.22.33   On 100%\n");
  EXPECT_EQ(d.err, "");
}

TEST(TraceDecoder, CaptureWithStrayBytesEchoesAndACutOffEnd) {
  const std::string capture =
      "15 0250 1a2b3c 112233 2b1980\n"          // a busy NAK, then a status reply split over tokens
      "02 62 1A 2B 3C 0F 19 00 06 02 50 1A 2B\n"  // the status request's echo; a frame that runs on
      "3C 11 22 33 20 00 80 AA\n"                 // its reply shows the level; noise
      "02 63 66 00 06 02 63 62 80 06\n"           // X10 A1 On sent
      "02 50 1A";
  const Decoded d = Decode(capture);
  EXPECT_EQ(d.status, 0);
  EXPECT_EQ(d.out,
            "Skipped bytes: 15\n"
            " 02 50 1A 2B 3C 11 22 33 2B 19 80\n"
            " From 1a.2b.3c      To 11.22.33  \n"
            " 02 62 1A 2B 3C 0F 19 00 06\n"
            " 1a.2b.3c   Status 0% Status 0%\n"
            " 02 50 1A 2B 3C 11 22 33 20 00 80\n"
            " From 1a.2b.3c      To 11.22.33   Status 50%\n"
            "Skipped bytes: AA\n"
            " 02 63 66 00 06\n"
            " 02 63 62 80 06\n"
            "A1,   On  \n"
            "Incomplete frame at end of input: 02 50 1A\n");
}

TEST(TraceDecoder, RawBytesDecodeLikeTheirHex) {
  const Bytes frames = {0x02, 0x50, 0x1A, 0x2B, 0x3C, 0x11, 0x22, 0x33, 0x00, 0x13, 0x00,
                        0x0D, 0x0A, 0x02, 0x6A, 0x15};
  const Decoded raw = Decode(std::string(frames.begin(), frames.end()), true);
  const Decoded hex = Decode("02 50 1A 2B 3C 11 22 33 00 13 00 0D 0A 02 6A 15");
  EXPECT_EQ(raw.out, hex.out);
  EXPECT_EQ(raw.out,
            " 02 50 1A 2B 3C 11 22 33 00 13 00\n"
            " From 1a.2b.3c      To 11.22.33  Off \n"
            "Skipped bytes: 0D 0A\n"
            " 02 6A 15\n");
}

TEST(TraceDecoder, UnreadableTokensAreReportedWithTheirLine) {
  const Decoded d = Decode("02 50 1A 2B 3C\n11 22 zz 33 00 11 FF 5\n");
  EXPECT_EQ(d.status, 1);
  EXPECT_EQ(d.err,
            "quorvel-decode: line 2: not hex, ignored: zz\n"
            "quorvel-decode: line 2: not hex, ignored: 5\n");
  EXPECT_EQ(d.out,
            " 02 50 1A 2B 3C 11 22 33 00 11 FF\n"
            " From 1a.2b.3c      To 11.22.33   On 100%\n");
}

// The program's diagnostic lines come among the frames, each on a line of its
// own: here a device's link record from beyond the part of its table kept.
TEST(TraceDecoder, DiagnosticLinesStandOnTheirOwn) {
  const Decoded d = Decode(
      "02 51 2A 10 04 1E 65 A2 1B 2F 00 00 01 0E 00 00 A2 01 1E 65 A2 FF 1C 01 DE\n"
      "02 6A 06\n");
  EXPECT_EQ(d.status, 0);
  EXPECT_EQ(d.out,
            " Link record at 0e00 of 2a.10.04 beyond the 33 kept\n"
            " 02 51 2A 10 04 1E 65 A2 1B 2F 00 00 01 0E 00 00 A2 01 1E 65 A2 FF 1C 01 DE\n"
            " 02 6A 06\n");
}

// An input that fails part way: what came before it is decoded, the frame it
// cut off reported, and the failure named with status 2.
TEST(TraceDecoder, UnreadableInputEndsWithAMessageAndStatusTwo) {
  class Failing final : public CaptureSource {
   public:
    Failing() : CaptureSource("capture.hex") {}
    size_t Read(char* buf, size_t max) override {
      if (done_) {
        error_ = "Input/output error";
        return 0;
      }
      done_ = true;
      const std::string text = "02 6A 06 02 50 1A\n";
      const size_t n = std::min(max, text.size());
      std::memcpy(buf, text.data(), n);
      return n;
    }

   private:
    bool done_ = false;
  };
  for (const bool raw : {false, true}) {
    SCOPED_TRACE(raw ? "raw" : "hex");
    Failing in;
    std::ostringstream out;
    std::ostringstream err;
    TraceDecoder decoder(out);
    EXPECT_EQ(DecodeCapture(decoder, in, err, raw), 2);
    EXPECT_EQ(err.str(), "quorvel-decode: cannot read capture.hex: Input/output error\n");
    if (!raw) {
      EXPECT_EQ(out.str(), " 02 6A 06\nIncomplete frame at end of input: 02 50 1A\n");
    }
  }

  // A file stream opened on a folder throws from its first read.
  const std::string folder = std::string(QUORVEL_BINARY_DIR);
  for (const bool raw : {false, true}) {
    std::ifstream dir(folder, std::ios::binary);
    if (!dir.is_open()) GTEST_SKIP() << "this library does not open a folder as a file";
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(DecodeCapture(dir, out, err, raw), 2);
    EXPECT_NE(err.str().find("quorvel-decode: cannot read"), std::string::npos) << err.str();
  }
}

// A capture made as it is read, never held whole, and output that is only
// counted: the decoder's own memory is all that grows.
class GeneratedCapture final : public CaptureSource {
 public:
  GeneratedCapture(std::string pattern, size_t total, testing::HeapPeak& peak)
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

class LineCounter final : public std::streambuf {
 public:
  size_t lines = 0;

 protected:
  int_type overflow(int_type c) override {
    if (c == '\n') ++lines;
    return c == traits_type::eof() ? traits_type::not_eof(c) : c;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    for (std::streamsize i = 0; i < n; ++i) lines += s[i] == '\n';
    return n;
  }
};

// One hex line of 4 MB, and 4 MB of raw bytes, decode in the same small
// memory as a short capture: the input is never held whole.
TEST(TraceDecoder, LongInputDecodesInBoundedMemory) {
  constexpr size_t kInput = 4 * 1024 * 1024;
  constexpr size_t kBound = 2 * 1024 * 1024;
  const std::string frames = "02 50 1A 2B 3C 11 22 33 00 11 FF 02 6A 06 02 62 1A 2B 3C 0F 19 00 06 ";
  const Bytes raw = {0x02, 0x50, 0x1A, 0x2B, 0x3C, 0x11, 0x22, 0x33, 0x00, 0x13, 0x00, 0x02, 0x6A, 0x06};
  struct Case {
    const char* name;
    std::string pattern;
    bool raw;
    size_t frameBytes;  // bytes of one pattern's frames
  };
  const Case cases[] = {
      {"hex, one line", frames, false, frames.size() / 3},
      {"raw", std::string(raw.begin(), raw.end()), true, raw.size()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LineCounter counter;
    std::ostream out(&counter);
    std::ostringstream err;
    TraceDecoder decoder(out);
    testing::HeapPeak peak;
    const size_t input = kInput / c.pattern.size() * c.pattern.size();
    GeneratedCapture in(c.pattern, input, peak);
    EXPECT_EQ(DecodeCapture(decoder, in, err, c.raw), 0) << err.str();
    peak.Sample();
    EXPECT_LT(peak.Growth(), kBound) << "the decoder held its input";
    // Three frames per pattern; the repeats of the same standard message get
    // no decoded line, every frame a hex line.
    EXPECT_GE(counter.lines, input / c.pattern.size() * (c.raw ? 2 : 3));
  }
}

TEST(TraceDecoder, RestartForgetsTheCaptureSoFar) {
  const std::string capture = "02 50 1A 2B 3C 11 22 33 00 11 FF 02 62 1A\n";
  std::ostringstream out;
  std::ostringstream err;
  TraceDecoder decoder(out);
  std::istringstream first(capture);
  DecodeCapture(decoder, first, err, false);
  const std::string once = out.str();
  ASSERT_NE(once.find("On 100%"), std::string::npos);
  ASSERT_NE(once.find("Incomplete frame at end of input: 02 62 1A"), std::string::npos);

  // Without a restart the same message again is a repeat, and gets no decoded line.
  out.str("");
  std::istringstream again(capture);
  DecodeCapture(decoder, again, err, false);
  EXPECT_EQ(out.str().find("On 100%"), std::string::npos);

  out.str("");
  decoder.Restart();
  std::istringstream restarted(capture);
  DecodeCapture(decoder, restarted, err, false);
  EXPECT_EQ(out.str(), once);
}

struct HexCase {
  const char* line;
  Bytes bytes;
  std::vector<std::string> bad;
};
const HexCase kHexCases[] = {
    {"02 50 1a", {0x02, 0x50, 0x1A}, {}},
    {"02501A2b", {0x02, 0x50, 0x1A, 0x2B}, {}},
    {"0x02,0x50, 0X1a", {0x02, 0x50, 0x1A}, {}},
    {"\t02  50\r", {0x02, 0x50}, {}},
    {"", {}, {}},
    {"   ", {}, {}},
    {"# a comment 02 50", {}, {}},
    {"02 50 # the rest is a note", {0x02, 0x50}, {}},
    {"10:15:07 am  03-12-2011  |    02 50 FF", {0x02, 0x50, 0xFF}, {}},
    {"02 5 0250 g0 0x 0x1", {0x02, 0x02, 0x50}, {"5", "g0", "0x", "0x1"}},
    {"0250-1A", {}, {"0250-1A"}},
    {"zz 02|50 | 1A # x | 2B", {0x1A}, {}},
};

TEST(HexInput, ParsesTheFormsOfACapture) {
  for (const HexCase& c : kHexCases) {
    SCOPED_TRACE(c.line);
    Bytes bytes;
    std::vector<std::string_view> bad;
    ParseHexLine(c.line, bytes, bad);
    EXPECT_EQ(bytes, c.bytes);
    EXPECT_EQ(std::vector<std::string>(bad.begin(), bad.end()), c.bad);
  }
}

// Collects what a HexStream hands on.
class StreamedHex final : public HexStream::Sink {
 public:
  void OnBadToken(size_t lineNumber, std::string_view token) override {
    bad.emplace_back(token);
    badLines.push_back(lineNumber);
  }
  void OnBytes(const uint8_t* b, size_t n) override { bytes.insert(bytes.end(), b, b + n); }
  Bytes bytes;
  std::vector<std::string> bad;
  std::vector<size_t> badLines;
};

// Text that arrives in pieces of any size reads as the same text in lines.
TEST(HexInput, StreamedInAnyPiecesReadsAsLines) {
  for (const HexCase& c : kHexCases) {
    SCOPED_TRACE(c.line);
    const std::string text = std::string(c.line) + "\n" + c.line;  // the last line without its newline
    for (size_t piece : {size_t{1}, size_t{3}, text.size()}) {
      SCOPED_TRACE(piece);
      StreamedHex got;
      HexStream stream(got);
      for (size_t at = 0; at < text.size(); at += piece) stream.Feed(std::string_view(text).substr(at, piece));
      stream.End();
      Bytes twice = c.bytes;
      twice.insert(twice.end(), c.bytes.begin(), c.bytes.end());
      EXPECT_EQ(got.bytes, twice);
      std::vector<std::string> bad = c.bad;
      bad.insert(bad.end(), c.bad.begin(), c.bad.end());
      EXPECT_EQ(got.bad, bad);
      for (size_t i = 0; i < got.badLines.size(); ++i) EXPECT_EQ(got.badLines[i], i < c.bad.size() ? 1u : 2u);
    }
  }
}

// A token or a line too long to hold is taken in pieces: no byte is lost, and
// what the line held before a '|' is dropped only while it is still held.
TEST(HexInput, TooLongTokensAndLinesGoInPieces) {
  std::string digits;
  Bytes expected;
  for (size_t i = 0; i < 3 * HexStream::kTokenMax; ++i) {
    const uint8_t b = static_cast<uint8_t>(i * 7);
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02x", b);
    digits += pair;
    expected.push_back(b);
  }
  StreamedHex one;
  HexStream token(one);
  token.Feed(digits);
  token.End();
  EXPECT_EQ(one.bytes, expected);
  EXPECT_TRUE(one.bad.empty());

  // Far more than a line holds, then a time stamp's bar: what was handed on
  // stays, only the held rest goes.
  std::string line;
  for (size_t i = 0; i < HexStream::kLineHoldMax + 100; ++i) line += "02 6A 06 ";
  StreamedHex two;
  HexStream longLine(two);
  longLine.Feed(line + "| 02 6A 15\n");
  longLine.End();
  ASSERT_GE(two.bytes.size(), HexStream::kLineHoldMax);
  ASSERT_LT(two.bytes.size(), line.size() / 3);
  EXPECT_EQ(Bytes(two.bytes.end() - 3, two.bytes.end()), (Bytes{0x02, 0x6A, 0x15}));
}

// The program itself, on its standard input and on a file.
TEST(DecodeProgram, ReadsStandardInputAndFiles) {
  const std::string exe = std::string(QUORVEL_BINARY_DIR) + "/tools/quorvel-decode";
  if (!std::ifstream(exe).good()) GTEST_SKIP() << "quorvel-decode is not built";
  auto run = [](const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (p == nullptr) return out;
    char buf[256];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
    return out;
  };
  const std::string expected =
      " 02 50 1A 2B 3C 11 22 33 00 11 FF\n"
      " From 1a.2b.3c      To 11.22.33   On 100%\n";
  EXPECT_EQ(run("echo 02 50 1A 2B 3C 11 22 33 00 11 FF | " + exe), expected);

  const std::string path = std::string(QUORVEL_BINARY_DIR) + "/decode_test_capture.bin";
  {
    std::ofstream f(path, std::ios::binary);
    const char bytes[] = {0x02, 0x50, 0x1A, 0x2B, 0x3C, 0x11, 0x22, 0x33, 0x00, 0x11, char(0xFF)};
    f.write(bytes, sizeof bytes);
  }
  EXPECT_EQ(run(exe + " --raw " + path), expected);
  std::remove(path.c_str());
}

// quorvel-decode as a child process, its standard input and output on pipes
// (or its input opened from `inputPath`), its error stream kept.
class DecodeChild {
 public:
  DecodeChild(std::vector<std::string> args, const std::string& inputPath = "") {
    exe_ = std::string(QUORVEL_BINARY_DIR) + "/tools/quorvel-decode";
    int in[2] = {-1, -1}, out[2], err[2];
    if ((inputPath.empty() && pipe(in) != 0) || pipe(out) != 0 || pipe(err) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (inputPath.empty()) {
      posix_spawn_file_actions_adddup2(&actions, in[0], 0);
      posix_spawn_file_actions_addclose(&actions, in[1]);
    } else {
      posix_spawn_file_actions_addopen(&actions, 0, inputPath.c_str(), O_RDONLY, 0);
    }
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, err[0]);
    args.insert(args.begin(), exe_);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, exe_.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (inputPath.empty()) close(in[0]);
    close(out[1]);
    close(err[1]);
    input_ = in[1];
    output_ = out[0];
    errors_ = err[0];
  }
  ~DecodeChild() {
    CloseInput();
    if (pid_ > 0) Wait();
    if (output_ >= 0) close(output_);
    if (errors_ >= 0) close(errors_);
  }
  bool Started() const { return pid_ > 0; }

  void Write(const std::string& text) {
    if (input_ < 0) return;
    EXPECT_EQ(write(input_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  void CloseInput() {
    if (input_ >= 0) close(input_);
    input_ = -1;
  }
  // Reads the child's output until it holds `text` or the output ends; the
  // poll's bound only keeps a broken decoder from hanging the test.
  std::string ReadUntil(const std::string& text) {
    while (out_.find(text) == std::string::npos) {
      pollfd p{output_, POLLIN, 0};
      if (poll(&p, 1, 60000) <= 0) break;
      char buf[4096];
      const ssize_t n = read(output_, buf, sizeof buf);
      if (n <= 0) break;
      out_.append(buf, static_cast<size_t>(n));
    }
    return out_;
  }
  // Waits for the end; its exit status, with all its output read.
  int Wait() {
    ReadUntil(std::string(1, '\0'));  // to the end of the output
    char buf[4096];
    ssize_t n;
    while ((n = read(errors_, buf, sizeof buf)) > 0) err_.append(buf, static_cast<size_t>(n));
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  const std::string& Out() const { return out_; }
  const std::string& Err() const { return err_; }

 private:
  std::string exe_;
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  int errors_ = -1;
  std::string out_;
  std::string err_;
};

bool DecoderBuilt() { return std::ifstream(std::string(QUORVEL_BINARY_DIR) + "/tools/quorvel-decode").good(); }

// A capture that is still being written: each frame comes out while the input
// stays open, as `tail -f capture | quorvel-decode` needs.
TEST(DecodeProgram, FollowsAnInputThatIsStillOpen) {
  if (!DecoderBuilt()) GTEST_SKIP() << "quorvel-decode is not built";
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string first;
    std::string second;
  };
  const Case cases[] = {
      {"hex", {}, "02 50 1A 2B 3C 11 22 33 00 11 FF\n", "02 6A 06\n"},
      {"raw", {"--raw"}, std::string("\x02\x50\x1A\x2B\x3C\x11\x22\x33\x00\x11\xFF", 11), "\x02\x6A\x06"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DecodeChild child(c.args);
    ASSERT_TRUE(child.Started());
    child.Write(c.first);
    const std::string decoded = " From 1a.2b.3c      To 11.22.33   On 100%\n";
    EXPECT_EQ(child.ReadUntil(decoded), " 02 50 1A 2B 3C 11 22 33 00 11 FF\n" + decoded);
    child.Write(c.second);
    EXPECT_NE(child.ReadUntil(" 02 6A 06\n").find(" 02 6A 06\n"), std::string::npos);
    child.CloseInput();
    EXPECT_EQ(child.Wait(), 0) << child.Err();
  }
}

// A folder is no capture, as a file or as standard input, in either mode.
TEST(DecodeProgram, RefusesAFolderWithStatusTwo) {
  if (!DecoderBuilt()) GTEST_SKIP() << "quorvel-decode is not built";
  testing::TempFolder folder;
  ASSERT_FALSE(folder.path().empty());
  struct Case {
    std::vector<std::string> args;
    std::string input;  // opened as standard input when set
    std::string message;
  };
  const std::string named = "quorvel-decode: " + folder.path() + " is a directory, not a capture\n";
  const std::string piped = "quorvel-decode: standard input is a directory, not a capture\n";
  const Case cases[] = {
      {{folder.path()}, "", named},
      {{"--raw", folder.path()}, "", named},
      {{}, folder.path(), piped},
      {{"--raw", "-"}, folder.path(), piped},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    DecodeChild child(c.args, c.input);
    ASSERT_TRUE(child.Started());
    EXPECT_EQ(child.Wait(), 2);
    EXPECT_EQ(child.Err(), c.message);
    EXPECT_EQ(child.Out(), "");
  }
}

}  // namespace
}  // namespace quorvel::tools
