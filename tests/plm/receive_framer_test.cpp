#include "plm/receive_framer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/test_rig.h"

namespace quorvel {
namespace {

using Bytes = std::vector<uint8_t>;

// A direct ON at full level from 1A.2B.3C to the modem 11.22.33.
const Bytes kOn = {0x02, 0x50, 0x1A, 0x2B, 0x3C, 0x11, 0x22, 0x33, 0x00, 0x11, 0xFF};
const std::string kOnHex = " 02 50 1A 2B 3C 11 22 33 00 11 FF";
const std::string kOnText = " From 1a.2b.3c      To 11.22.33   On 100%";
// A different standard message: OFF from 44.55.66.
const Bytes kOff = {0x02, 0x50, 0x44, 0x55, 0x66, 0x11, 0x22, 0x33, 0x00, 0x13, 0x00};

std::string Hex(const Bytes& bytes) {
  std::string s;
  char b[4];
  for (uint8_t v : bytes) {
    std::snprintf(b, sizeof b, " %02X", v);
    s += b;
  }
  return s;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

class RecordingHandler : public FrameHandler {
 public:
  void HandleFrame(Context& ctx, const uint8_t* frame, size_t length) override {
    frames.emplace_back(frame, frame + length);
    if (reenter) innerPumps.push_back(ctx.framer.PumpReceive(ctx));
  }
  std::vector<Bytes> frames;
  bool reenter = false;
  std::vector<bool> innerPumps;
};

class FramerTest : public ::testing::Test {
 protected:
  FramerTest() {
    rig.port.AllowPort(1);
    rig.port.Open(1);
    rig->framer.handler = &handler;
  }

  // Pumps until the port is empty, as ticks would.
  void PumpAll() {
    while (rig.port.Available() > 0) rig->framer.PumpReceive(*rig);
  }
  void Receive(const Bytes& bytes) {
    rig.port.Feed(bytes);
    PumpAll();
  }
  std::vector<std::string> Traffic() const { return rig.Texts(LogChannel::InsteonTraffic); }
  std::vector<std::string> Activity() const { return rig.Texts(LogChannel::GeneralActivity); }

  testing::TestRig rig;
  RecordingHandler handler;
};

struct LengthCase {
  uint8_t code;
  uint8_t flags;  // the byte at position 5
  uint8_t length;
  bool action;
  bool acked;  // an echo or reply, ending in ACK or NAK
};

// The modem's frames and their lengths, as the modem sends them.
const LengthCase kLengths[] = {
    {0x50, 0x00, 11, true, false}, {0x51, 0x00, 25, true, false}, {0x52, 0x00, 4, false, false},
    {0x53, 0x00, 10, true, false}, {0x54, 0x00, 3, false, false}, {0x55, 0x00, 2, false, false},
    {0x56, 0x00, 7, false, false}, {0x57, 0x00, 10, true, false}, {0x58, 0x00, 3, false, false},
    {0x60, 0x00, 9, true, true},   {0x61, 0x00, 6, true, true},   {0x62, 0x00, 9, true, true},
    {0x62, 0x0F, 9, true, true},   {0x62, 0xEF, 9, true, true},   {0x62, 0x10, 23, true, true},
    {0x62, 0x1F, 23, true, true},  {0x63, 0x00, 5, false, true},  {0x64, 0x00, 5, true, true},
    {0x65, 0x00, 3, true, true},   {0x66, 0x00, 6, false, true},  {0x67, 0x00, 3, false, true},
    {0x68, 0x00, 4, false, true},  {0x69, 0x00, 3, true, true},   {0x6A, 0x00, 3, true, true},
    {0x6B, 0x00, 4, true, true},   {0x6C, 0x00, 3, false, true},  {0x6F, 0x00, 12, true, true},
    {0x73, 0x00, 6, true, true},
};

const LengthCase* FindLength(uint8_t code) {
  for (const LengthCase& c : kLengths) {
    if (c.code == code) return &c;
  }
  return nullptr;
}

TEST(FrameTable, LengthsAndActionsByCode) {
  for (const LengthCase& c : kLengths) {
    SCOPED_TRACE(::testing::Message() << "code " << std::hex << int(c.code) << " flags " << int(c.flags));
    EXPECT_EQ(FrameLength(c.code, c.flags), c.length);
    EXPECT_EQ(FrameHasAction(c.code), c.action);
    EXPECT_EQ(FrameEndsInAck(c.code), c.acked);
  }
  for (int code = 0; code < 256; ++code) {
    if (FindLength(static_cast<uint8_t>(code)) != nullptr) continue;
    EXPECT_EQ(FrameLength(static_cast<uint8_t>(code)), 0) << "code " << code << " is no modem message";
    EXPECT_FALSE(FrameHasAction(static_cast<uint8_t>(code)));
    EXPECT_FALSE(FrameEndsInAck(static_cast<uint8_t>(code)));
  }
}

// Every code, one byte per read: a frame completes exactly at its length, goes
// to the handler only when its code has an action, and unknown codes never frame.
// An echo ends in the modem's ACK, as a real one does.
TEST(Framer, EveryCodeCompletesAtItsLengthOneBytePerRead) {
  for (int code = 0; code < 256; ++code) {
    SCOPED_TRACE(::testing::Message() << "code 0x" << std::hex << code);
    testing::TestRig rig;
    rig.port.AllowPort(1);
    rig.port.Open(1);
    rig.port.SetReadChunk(1);
    RecordingHandler handler;
    rig->framer.handler = &handler;
    const LengthCase* expected = FindLength(static_cast<uint8_t>(code));
    Bytes stream = {0x02, static_cast<uint8_t>(code)};
    stream.resize(40, 0x00);
    if (expected != nullptr && expected->acked) stream[expected->length - 1] = 0x06;
    size_t completedAt = 0;
    size_t linesBefore = 0;
    for (size_t i = 0; i < stream.size(); ++i) {
      rig.port.Feed({stream[i]});
      ASSERT_TRUE(rig->framer.PumpReceive(*rig));
      ASSERT_LE(rig->framer.PendingCount(), kLongestFrame);
      const std::vector<std::string> traffic = rig.Texts(LogChannel::InsteonTraffic);
      if (traffic.size() > linesBefore && traffic.back() == Hex(Bytes(stream.begin(), stream.begin() + i + 1))) {
        EXPECT_EQ(completedAt, 0u) << "completed twice";
        completedAt = i + 1;
      }
      linesBefore = traffic.size();
    }
    if (expected == nullptr) {
      EXPECT_EQ(completedAt, 0u);
      EXPECT_TRUE(handler.frames.empty());
    } else {
      EXPECT_EQ(completedAt, expected->length);
      ASSERT_EQ(handler.frames.size(), expected->action ? 1u : 0u);
      if (expected->action) {
        EXPECT_EQ(handler.frames[0], Bytes(stream.begin(), stream.begin() + expected->length));
      }
    }
    EXPECT_EQ(rig->framer.PendingCount(), 0u) << "the zeros after a frame are no frame";
  }
}

TEST_F(FramerTest, ExtendedEchoWaitsForTwentyThreeBytes) {
  const Bytes extended = {0x02, 0x62, 0x1A, 0x2B, 0x3C, 0x1F, 0x2F, 0x00, 0x00, 0x00, 0x0F, 0xFF,
                          0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x06};
  Receive(Bytes(extended.begin(), extended.begin() + 9));
  EXPECT_TRUE(handler.frames.empty()) << "nine bytes complete only a standard echo";
  Receive(Bytes(extended.begin() + 9, extended.end()));
  ASSERT_EQ(handler.frames.size(), 1u);
  EXPECT_EQ(handler.frames[0], extended);
}

TEST_F(FramerTest, FrameSplitOverThreeTicksCompletesWithItsLastByte) {
  Receive(Bytes(kOn.begin(), kOn.begin() + 4));
  Receive(Bytes(kOn.begin() + 4, kOn.begin() + 10));
  EXPECT_TRUE(handler.frames.empty());
  EXPECT_TRUE(Traffic().empty());
  Receive(Bytes(kOn.begin() + 10, kOn.end()));
  ASSERT_EQ(handler.frames.size(), 1u);
  EXPECT_EQ(Traffic(), std::vector<std::string>{kOnHex});
}

// Stray bytes (the modem's busy NAK, noise, a tail without its start) are skipped
// up to the next start byte; the frames in the rest of the read survive.
TEST_F(FramerTest, StrayBytesAreSkippedAndTheReadGoesOn) {
  struct Case {
    const char* name;
    Bytes read;
    std::vector<Bytes> handled;
    std::vector<std::string> traffic;
  };
  const Bytes echo = {0x02, 0x6A, 0x15};
  const Case cases[] = {
      {"two frames back to back", Concat({kOn, kOff}), {kOn, kOff}, {kOnHex, Hex(kOff)}},
      {"busy NAK before a broadcast", Concat({{0x15}, kOn}), {kOn}, {"Skipped bytes: 15", kOnHex}},
      {"noise between frames",
       Concat({kOn, {0xAA, 0xBB}, echo, {0x15}}),
       {kOn, echo},
       {kOnHex, "Skipped bytes: AA BB", " 02 6A 15", "Skipped bytes: 15"}},
      {"unknown code then a frame",
       Concat({{0x02, 0x4F, 0x11}, kOn}),
       {kOn},
       {"Skipped bytes: 02 4F 11", kOnHex}},
      {"doubled start byte", Concat({{0x02}, kOn}), {kOn}, {"Skipped bytes: 02", kOnHex}},
      {"code below the modem's range", Concat({{0x02, 0x30}, kOn}), {kOn}, {"Skipped bytes: 02 30", kOnHex}},
      // 02 55 is whole at two bytes: the next frame keeps its start byte.
      {"user reset then a frame", Concat({{0x02, 0x55}, kOn}), {kOn}, {" 02 55", kOnHex}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TestRig fresh;
    fresh.port.AllowPort(1);
    fresh.port.Open(1);
    RecordingHandler h;
    fresh->framer.handler = &h;
    fresh.port.Feed(c.read);
    EXPECT_TRUE(fresh->framer.PumpReceive(*fresh));
    EXPECT_EQ(fresh.port.Available(), 0) << "one read takes the whole case";
    EXPECT_EQ(h.frames, c.handled);
    EXPECT_EQ(fresh.Texts(LogChannel::InsteonTraffic), c.traffic);
    EXPECT_EQ(fresh->framer.PendingCount(), 0u);
  }
}

// The modem ends every echo and reply with ACK or NAK. A stray 0x02 before an
// echo code makes a frame that ends in something else: it is skipped up to the
// next 0x02 inside it, and the real frames it swallowed are framed again.
TEST(FalseEcho, IsSkippedAndTheFramesItSwallowedSurvive) {
  struct Case {
    const char* name;
    Bytes read;
    std::vector<Bytes> handled;
    std::vector<std::string> traffic;
  };
  const Bytes nextRecord = {0x02, 0x6A, 0x06};
  const Case cases[] = {
      {"02 63 swallows a standard message's start",
       Concat({{0x02, 0x63}, kOn}),
       {kOn},
       {"Skipped bytes: 02 63", kOnHex}},
      {"02 68 swallows an echo's start",
       Concat({{0x02, 0x68}, nextRecord}),
       {nextRecord},
       {"Skipped bytes: 02 68", " 02 6A 06"}},
      {"02 6C swallows a start byte", Concat({{0x02, 0x6C}, kOn}), {kOn}, {"Skipped bytes: 02 6C", kOnHex}},
      {"02 63 with no start inside",
       Concat({{0x02, 0x63, 0x11, 0x22, 0x33}, kOn}),
       {kOn},
       {"Skipped bytes: 02 63 11 22 33", kOnHex}},
      {"a false start inside a false start",
       Concat({{0x02, 0x63, 0x02, 0x68}, kOn}),
       {kOn},
       {"Skipped bytes: 02 63", "Skipped bytes: 02 68", kOnHex}},
      // Bit 4 at position 5 makes an extended echo of 23 bytes: it holds two
      // whole frames and the start of a third.
      {"an extended 02 62 swallows three frames",
       Concat({{0x02, 0x62, 0x1A, 0x2B, 0x3C, 0x1F}, nextRecord, kOn, kOff}),
       {nextRecord, kOn, kOff},
       {"Skipped bytes: 02 62 1A 2B 3C 1F", " 02 6A 06", kOnHex, Hex(kOff)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (size_t chunk : {size_t{127}, size_t{1}}) {
      SCOPED_TRACE(::testing::Message() << "reads of " << chunk);
      testing::TestRig fresh;
      fresh.port.AllowPort(1);
      fresh.port.Open(1);
      fresh.port.SetReadChunk(chunk);
      RecordingHandler h;
      fresh->framer.handler = &h;
      fresh.port.Feed(c.read);
      while (fresh.port.Available() > 0) fresh->framer.PumpReceive(*fresh);
      EXPECT_EQ(h.frames, c.handled);
      EXPECT_EQ(fresh.Texts(LogChannel::InsteonTraffic), c.traffic);
      EXPECT_EQ(fresh->framer.PendingCount(), 0u);
    }
  }
}

// Real echoes end in ACK or NAK, and both are frames; a NAK is the modem's
// refusal, which the handlers must see.
TEST_F(FramerTest, EchoesEndingInAckOrNakAreFrames) {
  const std::vector<Bytes> echoes = {
      {0x02, 0x6A, 0x15},
      {0x02, 0x6A, 0x06},
      {0x02, 0x62, 0x1A, 0x2B, 0x3C, 0x0F, 0x19, 0x00, 0x15},
      {0x02, 0x62, 0x1A, 0x2B, 0x3C, 0x1F, 0x2F, 0x00, 0x00, 0x00, 0x0F, 0xFF,
       0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x15},
      {0x02, 0x6F, 0x40, 0xA2, 0x01, 0x1A, 0x2B, 0x3C, 0x01, 0x20, 0x41, 0x15},
      {0x02, 0x63, 0x66, 0x00, 0x15},
      {0x02, 0x60, 0x1E, 0x65, 0xA2, 0x03, 0x15, 0x9E, 0x06},
      {0x02, 0x73, 0x40, 0x00, 0x00, 0x06},
  };
  std::vector<std::string> hex;
  std::vector<Bytes> handled;
  for (const Bytes& e : echoes) {
    hex.push_back(Hex(e));
    if (FrameHasAction(e[1])) handled.push_back(e);
  }
  Bytes all;
  for (const Bytes& e : echoes) all.insert(all.end(), e.begin(), e.end());
  Receive(all);
  EXPECT_EQ(Traffic(), hex);
  EXPECT_EQ(handler.frames, handled);
}

TEST_F(FramerTest, PumpReportsWhetherBytesCame) {
  EXPECT_FALSE(rig->framer.PumpReceive(*rig));
  rig.port.Feed({0x15});
  EXPECT_TRUE(rig->framer.PumpReceive(*rig)) << "a skipped byte still counts as reception";
  rig.port.Close();
  rig.port.Feed(kOn);
  EXPECT_FALSE(rig->framer.PumpReceive(*rig));
}

TEST_F(FramerTest, ReadsAtMost127BytesPerPump) {
  Bytes many;
  for (int i = 0; i < 20; ++i) many.insert(many.end(), kOff.begin(), kOff.end());
  rig.port.Feed(many);
  rig->framer.PumpReceive(*rig);
  EXPECT_EQ(rig.port.Available(), 220 - 127);
  EXPECT_EQ(rig->framer.PendingCount(), 127u % 11u);
}

TEST_F(FramerTest, HandlerCannotReenterThePump) {
  handler.reenter = true;
  rig.port.SetReadChunk(11);
  rig.port.Feed(Concat({kOn, kOff}));
  rig->framer.PumpReceive(*rig);
  ASSERT_EQ(handler.frames.size(), 1u);
  EXPECT_EQ(handler.innerPumps, std::vector<bool>{false});
  EXPECT_EQ(rig.port.Available(), 11) << "the inner call read nothing";
  rig->framer.PumpReceive(*rig);
  EXPECT_EQ(handler.frames.size(), 2u);
}

// A partial frame that waits more than 2 seconds for its next byte is a glitch
// and must not spoil the frame that follows.
TEST_F(FramerTest, PartialFrameOverdueMoreThanTwoSecondsIsDropped) {
  struct Case {
    int64_t waitMillis;
    bool dropped;
  };
  for (const Case c : {Case{1999, false}, Case{2000, false}, Case{2001, true}, Case{60000, true}}) {
    SCOPED_TRACE(c.waitMillis);
    testing::TestRig fresh;
    fresh.port.AllowPort(1);
    fresh.port.Open(1);
    RecordingHandler h;
    fresh->framer.handler = &h;
    fresh.port.Feed(Bytes(kOn.begin(), kOn.begin() + 5));
    fresh->framer.PumpReceive(*fresh);
    fresh.clock.AdvanceMillis(c.waitMillis);
    fresh->framer.PumpReceive(*fresh);  // an empty tick in between
    fresh.port.Feed(Concat({Bytes(kOn.begin() + 5, kOn.end()), kOff}));
    fresh->framer.PumpReceive(*fresh);
    if (c.dropped) {
      EXPECT_EQ(h.frames, std::vector<Bytes>{kOff});
      EXPECT_EQ(fresh.Texts(LogChannel::InsteonTraffic),
                (std::vector<std::string>{"Dropped incomplete frame: 02 50 1A 2B 3C",
                                          "Skipped bytes: 11 22 33 00 11 FF", Hex(kOff)}));
    } else {
      EXPECT_EQ(h.frames, (std::vector<Bytes>{kOn, kOff}));
    }
  }
}

TEST_F(FramerTest, EachByteRestartsThePartialFrameWait) {
  rig.port.SetReadChunk(1);
  rig.port.Feed(kOn);
  for (size_t i = 0; i < kOn.size(); ++i) {
    rig->framer.PumpReceive(*rig);
    rig.clock.AdvanceMillis(1500);
  }
  EXPECT_EQ(handler.frames, std::vector<Bytes>{kOn}) << "a slow frame is not a stale one";
}

TEST_F(FramerTest, ResetEmptiesTheBuffer) {
  Receive(Bytes(kOn.begin(), kOn.begin() + 6));
  EXPECT_EQ(rig->framer.PendingCount(), 6u);
  rig->framer.Reset();
  EXPECT_EQ(rig->framer.PendingCount(), 0u);
  // The old port's tail is stray on the new port; the new port's frame is whole.
  Receive(Concat({Bytes(kOn.begin() + 6, kOn.end()), kOff}));
  EXPECT_EQ(handler.frames, std::vector<Bytes>{kOff});
  EXPECT_EQ(Traffic(), (std::vector<std::string>{"Skipped bytes: 22 33 00 11 FF", Hex(kOff)}));
}

// The network repeats a standard message; copies that match the last message
// and come within the window are logged but not handled.
TEST_F(FramerTest, RepeatWindowDependsOnTheNetworkSize) {
  struct Case {
    uint32_t records;
    int gapSeconds;
    bool repeat;
  };
  const Case cases[] = {
      {0, 0, true},   {0, 1, true},   {20, 1, true},  {20, 2, false},
      {21, 2, true},  {21, 3, false}, {479, 2, true}, {479, 5, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.records << " records, " << c.gapSeconds << " s apart");
    testing::TestRig fresh;
    fresh.port.AllowPort(1);
    fresh.port.Open(1);
    RecordingHandler h;
    fresh->framer.handler = &h;
    fresh->db.count = c.records;
    fresh.port.Feed(kOn);
    fresh->framer.PumpReceive(*fresh);
    fresh.clock.Advance(c.gapSeconds);
    fresh.port.Feed(kOn);
    fresh->framer.PumpReceive(*fresh);
    EXPECT_EQ(h.frames.size(), c.repeat ? 1u : 2u);
    EXPECT_EQ(fresh->framer.RepeatFlag(), c.repeat ? 1 : 0);
    EXPECT_EQ(fresh.Texts(LogChannel::InsteonTraffic), (std::vector<std::string>{kOnHex, kOnHex}));
    EXPECT_EQ(fresh.Texts(LogChannel::GeneralActivity).size(), c.repeat ? 1u : 2u)
        << "a repeat gets no decoded line";
  }
}

TEST_F(FramerTest, RepeatWindowRunsFromThePreviousStandardMessage) {
  // A chain of identical copies, each within the window of the one before,
  // stays a repeat long after the first copy.
  for (int i = 0; i < 4; ++i) {
    Receive(kOn);
    rig.clock.Advance(1);
  }
  EXPECT_EQ(handler.frames.size(), 1u);

  // Any other standard message becomes the one to compare with.
  Receive(kOff);
  rig.clock.Advance(1);
  Receive(kOn);
  EXPECT_EQ(handler.frames, (std::vector<Bytes>{kOn, kOff, kOn}));

  // A clock set back is no evidence of a repeat.
  rig.clock.Advance(-100);
  Receive(kOn);
  EXPECT_EQ(handler.frames.size(), 4u);

  // Other codes neither run the filter nor break a chain.
  rig.clock.Advance(1);
  Receive({0x02, 0x6A, 0x06});
  Receive(kOn);
  EXPECT_EQ(handler.frames.size(), 5u) << "only the 0x6A echo was added";
}

// Which frames get a decoded line, and in which channel colour.
TEST_F(FramerTest, DecodedLineRulesAndChannel) {
  struct Case {
    const char* name;
    Bytes frame;
    bool decoded;
    TraceKind kind;
  };
  auto standard = [](uint8_t flags, uint8_t cmd1, uint8_t cmd2) {
    return Bytes{0x02, 0x50, 0x1A, 0x2B, 0x3C, 0x11, 0x22, 0x33, flags, cmd1, cmd2};
  };
  const Case cases[] = {
      {"direct ON", standard(0x00, 0x11, 0xFF), true, TraceKind::CommentOn},
      {"direct OFF", standard(0x0B, 0x13, 0x00), true, TraceKind::CommentOff},
      {"ack of a status request", standard(0x20, 0x19, 0x80), true, TraceKind::Comment},
      {"ack of a clean-up", standard(0x60, 0x11, 0x01), true, TraceKind::CommentOn},
      {"broadcast", standard(0x80, 0x01, 0x00), true, TraceKind::Comment},
      {"NAK", standard(0xA0, 0x11, 0xFF), true, TraceKind::CommentOn},
      {"group clean-up", standard(0x40, 0x11, 0x01), false, TraceKind::Comment},
      {"group clean-up, hops", standard(0x5F, 0x11, 0x01), false, TraceKind::Comment},
      {"group broadcast", standard(0xC0, 0x11, 0x00), false, TraceKind::Comment},
      {"group broadcast, hops", standard(0xCF, 0x13, 0x00), false, TraceKind::Comment},
      {"type 7", standard(0xE0, 0x11, 0xFF), true, TraceKind::CommentOn},
      {"unknown command: addresses only", standard(0x00, 0x01, 0x00), true, TraceKind::Comment},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    rig.clock.Advance(10);
    const size_t before = rig->log.Lines(LogChannel::GeneralActivity).size();
    Receive(c.frame);
    const auto& lines = rig->log.Lines(LogChannel::GeneralActivity);
    ASSERT_EQ(lines.size(), before + (c.decoded ? 1 : 0));
    if (c.decoded) {
      EXPECT_EQ(lines.back().kind, c.kind);
    }
  }
  ASSERT_FALSE(Activity().empty());
  EXPECT_EQ(Activity().front(), kOnText);
}

// Short frames leave an earlier frame's bytes at positions 8 and 9, and the
// repeat state of the last standard message applies to every code.
TEST_F(FramerTest, ShortFramesDecideByLastStandardMessage) {
  const Bytes x10Address = {0x02, 0x52, 0x66, 0x00};
  const Bytes x10On = {0x02, 0x52, 0x62, 0x80};
  Receive(x10Address);
  Receive(x10On);
  EXPECT_TRUE(Activity().empty()) << "no decoded line before the first standard message";

  Receive(kOn);  // positions 8 and 9 now read 00 and 11
  Receive(x10Address);
  Receive(x10On);
  const auto& lines = rig->log.Lines(LogChannel::GeneralActivity);
  ASSERT_EQ(Activity(), (std::vector<std::string>{kOnText, "A1,   On  "}));
  EXPECT_EQ(lines.back().kind, TraceKind::CommentOn) << "position 9 still holds the ON's command";

  Receive(kOn);  // a repeat: nothing after it is decoded
  Receive(x10Address);
  Receive(x10On);
  EXPECT_EQ(Activity().size(), 2u);

  Receive({0x02, 0x50, 0x1A, 0x2B, 0x3C, 0x11, 0x22, 0x33, 0xC0, 0x11, 0x01});  // group broadcast
  Receive(x10Address);
  Receive(x10On);
  EXPECT_EQ(Activity().size(), 2u) << "position 8 still holds the group broadcast's flags";
  EXPECT_EQ(rig->framer.traffic.X10UnitCount(), 0) << "the stack moves only with decoded lines";
}

}  // namespace
}  // namespace quorvel
