// The simulated modem and devices as the host sees them through the serial
// seam: the answers to each command, link tables that reads and writes really
// reach, presses, sleepers and seeded faults, all in virtual time.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "sim/house_file.h"
#include "sim/sim_network.h"
#include "sim/sim_port.h"

namespace quorvel::sim {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr const char* kSmallHouse = R"(
modem 1e.65.a2 category 03 subcategory 15 firmware 9e
link controller 1 2a.10.01 01 20 41
link responder  1 2a.10.01 01 20 41
link controller 1 2a.10.02 02 1c 45
link controller 1 2a.10.04 01 20 41
device 2a.10.01 "Dimmer" category 01 subcategory 20 firmware 41 engine i2cs level 40 delta 07
link responder  1 1e.65.a2 ff 1c 01
link controller 1 1e.65.a2 03 00 01
link controller 1 2a.10.02 03 00 01
link controller 1 2a.10.03 03 00 01
device 2a.10.02 "Relay" category 02 subcategory 1c firmware 45 engine i2
link responder  1 1e.65.a2 ff 00 01
link responder  1 2a.10.01 ff 00 01
device 2a.10.03 "Old Switch" category 01 subcategory 01 firmware 32 engine i1
link responder  1 1e.65.a2 ff 1f 01
device 2a.10.04 "Never Linked" category 01 subcategory 20 firmware 41 engine i2cs
device 2a.10.05 "Motion" category 10 subcategory 01 firmware 40 engine i2 sleeper awake 30
link controller 1 1e.65.a2 03 00 01
)";

const InsteonId kModem = InsteonId::From(0x1e, 0x65, 0xa2);
const InsteonId kDimmer = InsteonId::From(0x2a, 0x10, 0x01);
const InsteonId kRelay = InsteonId::From(0x2a, 0x10, 0x02);
const InsteonId kOld = InsteonId::From(0x2a, 0x10, 0x03);
const InsteonId kMotion = InsteonId::From(0x2a, 0x10, 0x05);

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// 02 62 to a device, standard.
Bytes Send(uint8_t lo, uint8_t cmd1, uint8_t cmd2) { return {0x02, 0x62, 0x2a, 0x10, lo, 0x0F, cmd1, cmd2}; }
// 02 62 to a device, extended with 14 data bytes.
Bytes SendExt(uint8_t lo, uint8_t cmd1, uint8_t cmd2, const Bytes& d14) {
  Bytes b = {0x02, 0x62, 0x2a, 0x10, lo, 0x1F, cmd1, cmd2};
  b.insert(b.end(), d14.begin(), d14.end());
  b.resize(22, 0x00);
  return b;
}
Bytes Echo(const Bytes& command, uint8_t ackOrNak = 0x06) {
  Bytes b = command;
  b.push_back(ackOrNak);
  return b;
}
// 02 50 from a device to the modem, heard one hop away.
Bytes Heard(uint8_t lo, uint8_t flags, uint8_t cmd1, uint8_t cmd2) {
  return {0x02, 0x50, 0x2a, 0x10, lo, 0x1e, 0x65, 0xa2, flags, cmd1, cmd2};
}

class Simulator : public ::testing::Test {
 protected:
  void SetUp() override { Build(kSmallHouse); }
  void Build(const char* text) {
    House house;
    std::string error;
    ASSERT_TRUE(ParseHouse(text, house, error)) << error;
    port_.reset();
    net_ = std::make_unique<SimNetwork>(clock_, std::move(house));
    port_ = std::make_unique<SimPort>(*net_, 1);
    ASSERT_TRUE(port_->Open(1));
  }
  void Write(const Bytes& bytes) {
    for (uint8_t b : bytes) ASSERT_EQ(port_->WriteByte(b), IoStatus::Ok);
  }
  // Everything readable after `ms` more milliseconds of virtual time, read in
  // 160 ms steps as the program's tick reads.
  Bytes Collect(int ms = 3000) {
    Bytes out;
    for (int t = 0; t <= ms; t += 160) {
      uint8_t buf[127];
      size_t got = 0;
      while (port_->Read(buf, sizeof buf, got) == IoStatus::Ok && got > 0) out.insert(out.end(), buf, buf + got);
      clock_.AdvanceMillis(160);
    }
    return out;
  }
  Bytes Exchange(const Bytes& command, int ms = 3000) {
    Write(command);
    return Collect(ms);
  }
  SimDevice& Dev(const InsteonId& id) { return *net_->Device(id); }

  TestClock clock_;
  std::unique_ptr<SimNetwork> net_;
  std::unique_ptr<SimPort> port_;
};

TEST_F(Simulator, AnswersEachCommandAsTheModemDoes) {
  struct Case {
    const char* what;
    std::vector<Bytes> commands;
    Bytes replies;
  };
  const Bytes read0 = SendExt(0x01, 0x2F, 0x00, {0x00, 0x00, 0x0F, 0xFF, 0x01});  // one record, checksum wrong
  const Case cases[] = {
      {"identity", {{0x02, 0x60}}, {0x02, 0x60, 0x1e, 0x65, 0xa2, 0x03, 0x15, 0x9e, 0x06}},
      {"configuration set, then read back",
       {{0x02, 0x6B, 0x40}, {0x02, 0x73}},
       {0x02, 0x6B, 0x40, 0x06, 0x02, 0x73, 0x40, 0x00, 0x00, 0x06}},
      {"ON to a dimmer: echo, then its ACK with the level", {Send(0x01, 0x11, 0xC0)},
       Cat({Echo(Send(0x01, 0x11, 0xC0)), Heard(0x01, 0x2B, 0x11, 0xC0)})},
      {"ON to a relay comes back full on", {Send(0x02, 0x11, 0x40)},
       Cat({Echo(Send(0x02, 0x11, 0x40)), Heard(0x02, 0x2B, 0x11, 0xFF)})},
      {"status: link revision and level", {Send(0x01, 0x19, 0x00)},
       Cat({Echo(Send(0x01, 0x19, 0x00)), Heard(0x01, 0x2B, 0x07, 40)})},
      {"engine versions", {Send(0x01, 0x0D, 0x00), Send(0x02, 0x0D, 0x00), Send(0x03, 0x0D, 0x00)},
       Cat({Echo(Send(0x01, 0x0D, 0x00)), Heard(0x01, 0x2B, 0x0D, 0x02), Echo(Send(0x02, 0x0D, 0x00)),
            Heard(0x02, 0x2B, 0x0D, 0x01), Echo(Send(0x03, 0x0D, 0x00)), Heard(0x03, 0x2B, 0x0D, 0x00)})},
      {"identification: ACK, then the SET broadcast with the kind", {Send(0x02, 0x10, 0x00)},
       Cat({Echo(Send(0x02, 0x10, 0x00)), Heard(0x02, 0x2B, 0x10, 0x00),
            {0x02, 0x50, 0x2a, 0x10, 0x02, 0x02, 0x1c, 0x45, 0x8B, 0x01, 0x00}})},
      {"a device nobody has: only the echo", {Send(0x77, 0x11, 0xFF)}, Echo(Send(0x77, 0x11, 0xFF))},
      {"an i2cs device refuses a bad checksum", {read0},
       Cat({Echo(read0), Heard(0x01, 0xAB, 0x2F, 0xFD)})},
      {"an i2cs device not linked to the modem refuses it", {Send(0x04, 0x19, 0x00)},
       Cat({Echo(Send(0x04, 0x19, 0x00)), Heard(0x04, 0xAB, 0x19, 0xFF)})},
      {"an i1 device cannot hear extended messages", {SendExt(0x03, 0x2F, 0x00, {})}, Echo(SendExt(0x03, 0x2F, 0x00, {}))},
      {"an unknown code is refused with a lone NAK", {{0x02, 0x4F}}, {0x15}},
      {"X10", {{0x02, 0x63, 0x66, 0x00}}, {0x02, 0x63, 0x66, 0x00, 0x06}},
      {"start and cancel linking",
       {{0x02, 0x64, 0x01, 0xFB}, {0x02, 0x65}},
       {0x02, 0x64, 0x01, 0xFB, 0x06, 0x02, 0x65, 0x06}},
      {"find a link record", {{0x02, 0x6F, 0x00, 0x00, 0x01, 0x2a, 0x10, 0x02, 0x00, 0x00, 0x00}},
       {0x02, 0x6F, 0x00, 0x00, 0x01, 0x2a, 0x10, 0x02, 0x00, 0x00, 0x00, 0x06, 0x02, 0x57, 0xE2, 0x01, 0x2a, 0x10,
        0x02, 0x02, 0x1c, 0x45}},
      {"deleting a record the modem lacks is refused",
       {{0x02, 0x6F, 0x80, 0x00, 0x09, 0x2a, 0x10, 0x02, 0x00, 0x00, 0x00}},
       {0x02, 0x6F, 0x80, 0x00, 0x09, 0x2a, 0x10, 0x02, 0x00, 0x00, 0x00, 0x15}},
      {"reset empties the link table", {{0x02, 0x67}, {0x02, 0x69}}, {0x02, 0x67, 0x06, 0x02, 0x69, 0x15}},
      {"a group command: echo, each member's clean-up ACK, then the report",
       {{0x02, 0x61, 0x01, 0x11, 0x00}},
       Cat({{0x02, 0x61, 0x01, 0x11, 0x00, 0x06}, Heard(0x01, 0x6B, 0x11, 0x01), Heard(0x02, 0x6B, 0x11, 0x01),
            {0x02, 0x56, 0x01, 0x01, 0x2a, 0x10, 0x04}, {0x02, 0x58, 0x15}})},
      {"a group command for a group the modem does not control", {{0x02, 0x61, 0x07, 0x11, 0x00}},
       {0x02, 0x61, 0x07, 0x11, 0x00, 0x15}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Build(kSmallHouse);
    Bytes got;
    for (const Bytes& command : c.commands) {
      const Bytes part = Exchange(command);
      got.insert(got.end(), part.begin(), part.end());
    }
    EXPECT_EQ(got, c.replies);
  }
}

TEST_F(Simulator, ADeviceBeyondTheAllowedHopsHearsNothing) {
  // The dimmer is one hop away: a message allowing no hops is lost on the way.
  struct Case {
    uint8_t flags;
    int deviceHops;
    bool heard;
  };
  const Case cases[] = {{0x0F, 1, true}, {0x01, 1, true}, {0x00, 1, false}, {0x01, 2, false}, {0x0E, 2, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "flags " << int(c.flags) << ", hops " << c.deviceHops);
    Build(kSmallHouse);
    Dev(kDimmer).hops = c.deviceHops;
    const Bytes on = {0x02, 0x62, 0x2a, 0x10, 0x01, c.flags, 0x11, 0xFF};
    const Bytes got = Exchange(on);
    EXPECT_EQ(Dev(kDimmer).level, c.heard ? 0xFF : 40);
    EXPECT_EQ(got.size() > on.size() + 1, c.heard) << "an answer only from a device that heard";
  }
}

TEST_F(Simulator, GetFirstAndNextWalkTheModemTableAndEndWithANak) {
  Bytes got = Exchange({0x02, 0x69});
  for (int i = 0; i < 4; ++i) {
    const Bytes part = Exchange({0x02, 0x6A});
    got.insert(got.end(), part.begin(), part.end());
  }
  const Bytes want = {0x02, 0x69, 0x06, 0x02, 0x57, 0xE2, 0x01, 0x2a, 0x10, 0x01, 0x01, 0x20, 0x41,  // first
                      0x02, 0x6A, 0x06, 0x02, 0x57, 0xA2, 0x01, 0x2a, 0x10, 0x01, 0x01, 0x20, 0x41,  // next
                      0x02, 0x6A, 0x06, 0x02, 0x57, 0xE2, 0x01, 0x2a, 0x10, 0x02, 0x02, 0x1c, 0x45,  // next
                      0x02, 0x6A, 0x06, 0x02, 0x57, 0xE2, 0x01, 0x2a, 0x10, 0x04, 0x01, 0x20, 0x41,  // last
                      0x02, 0x6A, 0x15};                                                               // the end
  EXPECT_EQ(got, want);
}

TEST_F(Simulator, ManageRecordReallyChangesTheModemTable) {
  EXPECT_EQ(Exchange({0x02, 0x6F, 0x41, 0xA2, 0x05, 0x2a, 0x10, 0x03, 0x01, 0x01, 0x32}).back(), 0x06);
  // The same responder record twice is refused.
  EXPECT_EQ(Exchange({0x02, 0x6F, 0x41, 0xA2, 0x05, 0x2a, 0x10, 0x03, 0x01, 0x01, 0x32}).back(), 0x15);
  ASSERT_EQ(net_->Modem().links.size(), 5u);
  EXPECT_EQ(net_->Modem().links[4].flags, 0xA2);
  EXPECT_EQ(net_->Modem().links[4].group, 5);
  EXPECT_EQ(Exchange({0x02, 0x6F, 0x80, 0x00, 0x01, 0x2a, 0x10, 0x01, 0x00, 0x00, 0x00}).back(), 0x06);
  EXPECT_EQ(net_->Modem().links.size(), 4u);
  EXPECT_EQ(net_->Modem().Find(1, kDimmer, kControllerSide), -1);
  EXPECT_EQ(net_->Modem().Find(1, kDimmer, kResponderSide), 0) << "only the first record found is deleted";
}

// Peeks of an i1 device read the very bytes of its table: record 0 starts at
// 0x0FF8 with its flags.
TEST_F(Simulator, PeeksReadAndPokesWriteAnI1DevicesTable) {
  Bytes got = Exchange(Send(0x03, 0x28, 0x0F));
  EXPECT_EQ(got, Cat({Echo(Send(0x03, 0x28, 0x0F)), Heard(0x03, 0x2B, 0x28, 0x0F)}));
  Bytes record;
  for (uint8_t lsb = 0xF8; lsb != 0x00; ++lsb) {
    got = Exchange(Send(0x03, 0x2B, lsb));
    ASSERT_EQ(got.size(), 20u);
    record.push_back(got.back());
  }
  EXPECT_EQ(record, (Bytes{0xA2, 0x01, 0x1e, 0x65, 0xa2, 0xff, 0x1f, 0x01}));

  // Poke a controller record into slot 1 (0x0FF0..0x0FF7), a peek setting each address.
  const Bytes rec = {0xE2, 0x06, 0x2a, 0x10, 0x04, 0x03, 0x00, 0x06};
  for (int i = 0; i < 8; ++i) {
    Exchange(Send(0x03, 0x2B, static_cast<uint8_t>(0xF0 + i)));
    EXPECT_EQ(Exchange(Send(0x03, 0x29, rec[i])), Cat({Echo(Send(0x03, 0x29, rec[i])), Heard(0x03, 0x2B, 0x29, rec[i])}));
  }
  const LinkEntry e = Dev(kOld).LinkAt(1);
  EXPECT_EQ(e.flags, 0xE2);
  EXPECT_EQ(e.group, 6);
  EXPECT_EQ(e.id, InsteonId::From(0x2a, 0x10, 0x04));
  EXPECT_EQ(Dev(kOld).Links().size(), 2u);
}

// The extended read of the whole table: an ACK, then one reply per record down
// to the record never used, which ends it.
TEST_F(Simulator, AnExtendedReadStreamsEveryRecordWithItsAddress) {
  const Bytes request = SendExt(0x01, 0x2F, 0x00, Bytes(13, 0x00));
  Bytes withSum = request;
  withSum[21] = 0xD1;  // the i2cs checksum of a read-all request
  Write(withSum);
  const Bytes got = Collect(4000);
  const Bytes ack = Heard(0x01, 0x2B, 0x2F, 0x00);
  ASSERT_GE(got.size(), 23u + 11u);
  EXPECT_EQ(Bytes(got.begin() + 23, got.begin() + 34), ack);
  const size_t replies = (got.size() - 34) / 25;
  ASSERT_EQ((got.size() - 34) % 25, 0u);
  ASSERT_EQ(replies, 5u) << "four records and the end";
  const Bytes expectedRecords[5] = {{0xA2, 0x01, 0x1e, 0x65, 0xa2, 0xff, 0x1c, 0x01},
                                    {0xE2, 0x01, 0x1e, 0x65, 0xa2, 0x03, 0x00, 0x01},
                                    {0xE2, 0x01, 0x2a, 0x10, 0x02, 0x03, 0x00, 0x01},
                                    {0xE2, 0x01, 0x2a, 0x10, 0x03, 0x03, 0x00, 0x01},
                                    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}};
  for (size_t k = 0; k < replies; ++k) {
    SCOPED_TRACE(k);
    const uint8_t* r = got.data() + 34 + 25 * k;
    EXPECT_EQ(Bytes(r, r + 11), (Bytes{0x02, 0x51, 0x2a, 0x10, 0x01, 0x1e, 0x65, 0xa2, 0x1B, 0x2F, 0x00}));
    EXPECT_EQ(r[11], 0x00);
    EXPECT_EQ(r[12], 0x01);
    const unsigned address = r[13] << 8 | r[14];
    EXPECT_EQ(address, 0x0FFFu - 8 * k);
    EXPECT_EQ(Bytes(r + 16, r + 24), expectedRecords[k]);
    // An i2cs device seals what it sends: the bytes from cmd1 to D14 sum to 0.
    unsigned sum = 0;
    for (int i = 9; i < 25; ++i) sum += r[i];
    EXPECT_EQ(sum & 0xFF, 0u);
  }
}

TEST_F(Simulator, AnExtendedWriteChangesTheTableOnlyWithAGoodChecksum) {
  // Write slot 4 (0x0FDF) of the i2cs dimmer: responder for group 9 of 2a.10.02.
  Bytes d = {0x00, 0x02, 0x0F, 0xDF, 0x08, 0xA2, 0x09, 0x2a, 0x10, 0x02, 0x80, 0x1C, 0x00};
  unsigned sum = 0x2F + 0x00;
  for (uint8_t b : d) sum += b;
  Bytes good = d;
  good.push_back(static_cast<uint8_t>(-static_cast<int>(sum & 0xFF) & 0xFF));
  Bytes bad = d;
  bad.push_back(static_cast<uint8_t>(good.back() + 1));

  const uint8_t deltaBefore = Dev(kDimmer).aldbDelta;
  EXPECT_EQ(Exchange(SendExt(0x01, 0x2F, 0x00, bad)),
            Cat({Echo(SendExt(0x01, 0x2F, 0x00, bad)), Heard(0x01, 0xAB, 0x2F, 0xFD)}));
  EXPECT_FALSE(Dev(kDimmer).LinkAt(4).InUse());
  EXPECT_EQ(Dev(kDimmer).aldbDelta, deltaBefore);

  EXPECT_EQ(Exchange(SendExt(0x01, 0x2F, 0x00, good)),
            Cat({Echo(SendExt(0x01, 0x2F, 0x00, good)), Heard(0x01, 0x2B, 0x2F, 0x00)}));
  const LinkEntry e = Dev(kDimmer).LinkAt(4);
  EXPECT_EQ(e.flags, 0xA2);
  EXPECT_EQ(e.group, 9);
  EXPECT_EQ(e.id, kRelay);
  EXPECT_EQ(e.data[0], 0x80);
  EXPECT_NE(Dev(kDimmer).aldbDelta, deltaBefore);
  EXPECT_EQ(Dev(kDimmer).FindLink(false, 9, kRelay), 4);
  // An i2 device takes the same write with no checksum at all.
  Bytes plain = d;
  plain[2] = 0x0F;
  plain[3] = 0xEF;  // its slot 2
  EXPECT_EQ(Exchange(SendExt(0x02, 0x2F, 0x00, plain)).back(), 0x00);
  EXPECT_EQ(Dev(kRelay).LinkAt(2).group, 9);
}

TEST_F(Simulator, LinkingModeAndEnterLinkingMakeBothRecordsAndReportThem) {
  // The host's repair: modem linking as controller of 0xFB, device told to link.
  Exchange({0x02, 0x64, 0x01, 0xFB});
  Bytes d(13, 0x00);
  d.push_back(0xFC);  // checksum of 09 FB and zeros
  const Bytes enter = SendExt(0x04, 0x09, 0xFB, d);
  const Bytes got = Exchange(enter);
  EXPECT_EQ(got, Cat({Echo(enter), Heard(0x04, 0x2B, 0x09, 0xFB),
                      {0x02, 0x53, 0x01, 0xFB, 0x2a, 0x10, 0x04, 0x01, 0x20, 0x41}}));
  EXPECT_GE(net_->Modem().Find(0xFB, InsteonId::From(0x2a, 0x10, 0x04), kControllerSide), 0);
  EXPECT_EQ(Dev(InsteonId::From(0x2a, 0x10, 0x04)).FindLink(false, 0xFB, kModem), 0);
  // Now linked, the i2cs device answers the modem.
  EXPECT_EQ(Exchange(Send(0x04, 0x19, 0x00)).back(), 0x00);
}

TEST_F(Simulator, APressSendsItsBroadcastWithRepeatsThenItsCleanUps) {
  Dev(kRelay).level = 0;
  ASSERT_TRUE(net_->Press(kDimmer, 1, 0x11));
  const Bytes broadcast = {0x02, 0x50, 0x2a, 0x10, 0x01, 0x00, 0x00, 0x01, 0xCB, 0x11, 0x00};
  // Two identical copies of the broadcast, then the clean-up to the modem; the
  // clean-ups to other devices stay off the serial line outside monitor mode.
  EXPECT_EQ(Collect(), Cat({broadcast, broadcast, Heard(0x01, 0x4B, 0x11, 0x01)}));
  EXPECT_EQ(Dev(kRelay).level, 0xFF) << "the relay follows the dimmer";
  EXPECT_EQ(Dev(kDimmer).level, 0xFF);
  EXPECT_EQ(Dev(kOld).level, 0) << "no responder record: the old switch ignores it";

  // In monitor mode the modem passes everything it hears.
  Exchange({0x02, 0x6B, 0x40});
  ASSERT_TRUE(net_->Press(kDimmer, 1, 0x13));
  const Bytes off = {0x02, 0x50, 0x2a, 0x10, 0x01, 0x00, 0x00, 0x01, 0xCB, 0x13, 0x00};
  EXPECT_EQ(Collect(), Cat({off, off, Heard(0x01, 0x4B, 0x13, 0x01),
                            {0x02, 0x50, 0x2a, 0x10, 0x01, 0x2a, 0x10, 0x02, 0x4B, 0x13, 0x01},
                            {0x02, 0x50, 0x2a, 0x10, 0x02, 0x2a, 0x10, 0x01, 0x6B, 0x13, 0x01},
                            {0x02, 0x50, 0x2a, 0x10, 0x01, 0x2a, 0x10, 0x03, 0x4B, 0x13, 0x01}}));
  EXPECT_EQ(Dev(kRelay).level, 0);
}

TEST_F(Simulator, ASleeperHearsNothingUntilWokenAndSendsItsWakeUp) {
  EXPECT_EQ(Exchange(Send(0x05, 0x19, 0x00)), Echo(Send(0x05, 0x19, 0x00)));
  ASSERT_TRUE(net_->PressSet(kMotion));
  EXPECT_EQ(Collect(500), (Bytes{0x02, 0x50, 0x2a, 0x10, 0x05, 0x10, 0x01, 0x40, 0x8B, 0x01, 0x00}));
  EXPECT_EQ(Exchange(Send(0x05, 0x19, 0x00)).back(), 0x00) << "awake: it answers";
  clock_.AdvanceMillis(30000);
  EXPECT_EQ(Exchange(Send(0x05, 0x19, 0x00)), Echo(Send(0x05, 0x19, 0x00))) << "asleep again";
  // A press wakes it too, for a few seconds.
  ASSERT_TRUE(net_->Press(kMotion, 1, 0x11));
  Collect(600);
  EXPECT_EQ(Exchange(Send(0x05, 0x19, 0x00), 500).size(), 20u);
}

TEST_F(Simulator, AnswersBecomeReadableOnlyWhenTheirTimeComes) {
  Write(Send(0x01, 0x11, 0xFF));
  EXPECT_EQ(port_->Available(), 0);
  clock_.AdvanceMillis(20);
  EXPECT_EQ(port_->Available(), 9) << "the echo";
  clock_.AdvanceMillis(40);
  EXPECT_EQ(port_->Available(), 9) << "the device is still answering";
  clock_.AdvanceMillis(200);
  EXPECT_EQ(port_->Available(), 20);
}

// A command whose bytes stop part-way is forgotten, so it cannot swallow the
// start of the next one; bytes before a start byte are ignored.
TEST_F(Simulator, AnUnfinishedCommandIsDroppedAfterAPause) {
  Write({0x02, 0x62, 0x2a, 0x10});
  clock_.AdvanceMillis(300);
  EXPECT_EQ(Exchange({0x15, 0x06, 0x02, 0x60}), (Bytes{0x02, 0x60, 0x1e, 0x65, 0xa2, 0x03, 0x15, 0x9e, 0x06}));
  // Without the pause the bytes belong to the command they continue.
  Write({0x02, 0x6B});
  clock_.AdvanceMillis(100);
  EXPECT_EQ(Exchange({0x40}), (Bytes{0x02, 0x6B, 0x40, 0x06}));
}

TEST_F(Simulator, FaultsOfOneDevice) {
  Dev(kRelay).deaf = true;
  EXPECT_EQ(Exchange(Send(0x02, 0x19, 0x00)), Echo(Send(0x02, 0x19, 0x00)));
  Dev(kRelay).deaf = false;
  Dev(kRelay).slowMillis = 1500;
  Write(Send(0x02, 0x19, 0x00));
  EXPECT_EQ(Collect(1000), Echo(Send(0x02, 0x19, 0x00)));
  EXPECT_EQ(Collect(1000), Heard(0x02, 0x2B, 0x00, 0x00));
}

TEST_F(Simulator, LineFaultsAreSeededAndRepeatable) {
  auto run = [&](const Faults& f) {
    Build(kSmallHouse);
    net_->SetFaults(f);
    Bytes all;
    for (int i = 0; i < 12; ++i) {
      const Bytes part = Exchange(i % 2 == 0 ? Bytes{0x02, 0x60} : Send(0x01, 0x19, 0x00), 1000);
      all.insert(all.end(), part.begin(), part.end());
    }
    return all;
  };
  const Bytes clean = run(Faults{});
  Faults noisy;
  noisy.dropByte = 0.05;
  noisy.garbleByte = 0.05;
  noisy.seed = 11;
  const Bytes a = run(noisy);
  const Bytes b = run(noisy);
  EXPECT_EQ(a, b) << "the same seed gives the same damage";
  EXPECT_NE(a, clean);
  noisy.seed = 12;
  EXPECT_NE(run(noisy), a);

  Faults busy;
  busy.busyNak = 1.0;
  EXPECT_EQ(run(busy), Bytes(12, 0x15)) << "every command refused with a lone NAK";
  EXPECT_TRUE(Dev(kDimmer).level == 40) << "a refused command does nothing";
}

TEST_F(Simulator, ThePortOpensOnlyItsNumberAndCanBePulledOut) {
  SimPort other(*net_, 5);
  EXPECT_FALSE(other.Open(4));
  port_->Close();
  EXPECT_TRUE(other.Open(5));
  other.Unplug();
  EXPECT_LT(other.Available(), 0);
  uint8_t b[8];
  size_t got = 0;
  EXPECT_EQ(other.Read(b, sizeof b, got), IoStatus::Gone);
  EXPECT_EQ(other.WriteByte(0x02), IoStatus::Gone);
  other.Close();
  EXPECT_FALSE(other.Open(5));
  other.PlugIn();
  EXPECT_TRUE(other.Open(5));
}

}  // namespace
}  // namespace quorvel::sim
