#include "tools/trace_decoder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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

TEST(HexInput, ParsesTheFormsOfACapture) {
  struct Case {
    const char* line;
    Bytes bytes;
    std::vector<std::string> bad;
  };
  const Case cases[] = {
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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    Bytes bytes;
    std::vector<std::string_view> bad;
    ParseHexLine(c.line, bytes, bad);
    EXPECT_EQ(bytes, c.bytes);
    EXPECT_EQ(std::vector<std::string>(bad.begin(), bad.end()), c.bad);
  }
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

}  // namespace
}  // namespace quorvel::tools
