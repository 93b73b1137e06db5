// Reading devices' own link tables against the simulated network: peeks for
// i1 devices, extended record streams for i2 and i2cs, with lost, repeated and
// overlong answers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "device/device_database.h"
#include "plm/link_reader.h"
#include "plm/send_queues.h"
#include "support/sim_rig.h"

namespace quorvel {
namespace {

using testing::SimRig;

const InsteonId kDevice = InsteonId::From(0x2a, 0x10, 0x01);
const InsteonId kOther = InsteonId::From(0x2a, 0x10, 0x02);

sim::LinkEntry Link(int n) {
  // Alternating controller and responder records naming different devices.
  sim::LinkEntry e;
  e.flags = n % 2 == 0 ? 0xE2 : 0xA2;
  e.group = static_cast<uint8_t>(1 + n % 5);
  e.id = InsteonId::From(0x33, 0x00, static_cast<uint8_t>(0x10 + n));
  e.data[0] = static_cast<uint8_t>(0xF0 - n);
  e.data[1] = 0x1C;
  e.data[2] = static_cast<uint8_t>(n);
  return e;
}

sim::House HouseWith(uint8_t engine, int links, uint8_t category = 0x01, uint8_t subcategory = 0x20,
                     uint8_t firmware = 0x41) {
  sim::House house;
  sim::SimDevice d(kDevice, category, subcategory, firmware, engine);
  // i2cs devices answer only a modem they are linked to: the first record says so.
  for (int i = 0; i < links; ++i) {
    sim::LinkEntry e = Link(i);
    if (i == 0) e.id = house.modem.id;
    d.SetLinkAt(i, e);
  }
  house.devices.push_back(d);
  house.devices.emplace_back(kOther, 0x02, 0x1c, 0x45, kEngineI2);
  return house;
}

// Where a record sits in the device's memory, as each method names it.
uint32_t ExpectedAddress(uint8_t engine, int slot) {
  const uint32_t top = 0x0FFF - 8u * static_cast<uint32_t>(slot);
  return engine == kEngineI1 ? top - 7 : top;
}

void ExpectMirrors(const sim::SimDevice& device, const DeviceRecord& r, int slots, uint8_t engine) {
  for (int s = 0; s < slots; ++s) {
    const sim::LinkEntry e = device.LinkAt(s);
    const LinkRecord& l = r.links[s];
    SCOPED_TRACE("slot " + std::to_string(s));
    EXPECT_EQ(l.flags, e.flags);
    if (e.InUse()) {
      EXPECT_EQ(l.group, e.group);
      EXPECT_EQ(l.id, e.id);
      EXPECT_EQ(0, std::memcmp(l.data, e.data, 3));
    }
    EXPECT_EQ(l.address, ExpectedAddress(engine, s));
  }
}

struct ReadCase {
  const char* name;
  uint8_t engine;
  int links;       // in-use records in the device, followed by one never used
  uint16_t loseAt;  // a link-memory address whose answers are lost, 0 for none
  int losses;
  bool repeats;  // every extended record arrives twice
};

class ReadsTable : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadsTable, MirrorsTheDeviceTable) {
  const ReadCase& c = GetParam();
  SimRig rig(HouseWith(c.engine, c.links));
  sim::SimDevice& device = *rig.net.Device(kDevice);
  if (c.loseAt != 0) device.loseAnswers[c.loseAt] = c.losses;
  device.repeatRecords = c.repeats;
  DeviceRecord& r = rig.AddRecord(kDevice);
  r.linkCount = 9;  // what an earlier, longer read left
  rig.AddRecord(kOther);

  ASSERT_EQ(StartLinkRead(*rig, r), 1);
  ASSERT_TRUE(rig.StepUntil([&] { return !rig->linkReader.Busy() && rig->queues.replyRing.Empty() &&
                                         rig->queues.plainRing.Empty(); },
                            3000));

  EXPECT_EQ(r.linkCount, c.links);
  ExpectMirrors(device, r, c.links + 1, c.engine);
  EXPECT_EQ(r.linksUpdated, 2);
  EXPECT_EQ(r.aldbReadState, 0);
  EXPECT_EQ(rig->linkReader.recordsStored, static_cast<uint32_t>(c.links + 1))
      << "each record stored once, the never-used one included";
  if (c.loseAt != 0) {
    EXPECT_EQ(device.loseAnswers[c.loseAt], 0) << "the loss did happen";
  }
  // Devices named in the links join the table as discovered, the modem does not.
  EXPECT_EQ(rig->db.Count(), 2u + static_cast<uint32_t>(c.links > 0 ? c.links - 1 : 0));
  EXPECT_LT(rig->db.FindDevice(rig.net.Modem().id), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Engines, ReadsTable,
    ::testing::Values(
        ReadCase{"i1_full", kEngineI1, 6, 0, 0, false}, ReadCase{"i1_empty", kEngineI1, 0, 0, 0, false},
        // Two losses use up the ring's two sends of one peek: the record is read again.
        ReadCase{"i1_peek_lost", kEngineI1, 4, 0x0FF3, 2, false},
        ReadCase{"i1_flags_lost", kEngineI1, 4, 0x0FE8, 2, false},
        ReadCase{"i2_full", kEngineI2, 6, 0, 0, false}, ReadCase{"i2_empty", kEngineI2, 0, 0, 0, false},
        ReadCase{"i2_record_lost", kEngineI2, 6, 0x0FEF, 1, false},
        ReadCase{"i2_end_lost", kEngineI2, 3, 0x0FE7, 1, false},
        ReadCase{"i2_repeated", kEngineI2, 5, 0, 0, true}, ReadCase{"i2cs_full", kEngineI2cs, 6, 0, 0, false},
        ReadCase{"i2cs_one_link", kEngineI2cs, 1, 0, 0, false},
        ReadCase{"i2cs_record_lost_twice", kEngineI2cs, 8, 0x0FDF, 2, false},
        ReadCase{"i2cs_repeated", kEngineI2cs, 4, 0, 0, true}),
    [](const ::testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

TEST(PeekRead, SendsOneAddressPerRecordAndEightPeeksPerRecordInUse) {
  struct Case {
    int links;
    size_t addresses;
    size_t peeks;
  };
  for (const Case& c : {Case{0, 1, 1}, Case{3, 4, 3 * 8 + 1}}) {
    SCOPED_TRACE(c.links);
    SimRig rig(HouseWith(kEngineI1, c.links));
    DeviceRecord& r = rig.AddRecord(kDevice);
    ASSERT_EQ(StartLinkRead(*rig, r), 1);
    ASSERT_TRUE(rig.StepUntil([&] { return !rig->linkReader.Busy() && rig->queues.plainRing.Empty(); }, 2000));
    const auto addresses = rig.SentTo(kDevice, 0x28);
    EXPECT_EQ(addresses.size(), c.addresses);
    for (const auto& m : addresses) EXPECT_EQ(m[7], 0x0F);
    const auto peeks = rig.SentTo(kDevice, 0x2B);
    ASSERT_EQ(peeks.size(), c.peeks);
    for (size_t i = 0; i < peeks.size(); ++i) EXPECT_EQ(peeks[i][7], 0xF8 - 8 * (i / 8) + i % 8) << i;
    EXPECT_TRUE(rig.SentTo(kDevice, 0x2F).empty());
  }
}

TEST(PeekRead, AddressStepsIntoTheNextPageBelowLowByteZero) {
  // 31 records fill 0x0FF8 down to 0x0F08; record 31 starts at 0x0F00 and
  // record 32 at 0x0EF8.
  SimRig rig(HouseWith(kEngineI1, 33));
  DeviceRecord& r = rig.AddRecord(kDevice);
  ASSERT_EQ(StartLinkRead(*rig, r), 1);
  ASSERT_TRUE(rig.StepUntil([&] { return !rig->linkReader.Busy() && rig->queues.plainRing.Empty(); }, 20000));
  EXPECT_EQ(r.links[31].address, 0x0F00u);
  EXPECT_EQ(r.links[32].address, 0x0EF8u);
  const auto addresses = rig.SentTo(kDevice, 0x28);
  ASSERT_FALSE(addresses.empty());
  EXPECT_EQ(addresses.back()[7], 0x0E);
}

// A device with more records than the mirror holds: the reader stores 33 and
// stops, and nothing past the links is touched.
TEST(LinkRead, LongTableStopsAtTheLastSlotAndWritesNothingBeyond) {
  for (uint8_t engine : {kEngineI1, kEngineI2, kEngineI2cs}) {
    SCOPED_TRACE(static_cast<int>(engine));
    SimRig rig(HouseWith(engine, 40));
    DeviceRecord& r = rig.AddRecord(kDevice);
    std::strcpy(r.name, "Hall dimmer");
    r.noResponse = 0x5A;
    r.category = 0x01;
    DeviceRecord& next = rig.AddRecord(kOther);
    std::strcpy(next.name, "Porch");
    const DeviceRecord nextBefore = next;
    DeviceRecord before = r;

    ASSERT_EQ(StartLinkRead(*rig, r), 1);
    ASSERT_TRUE(rig.StepUntil([&] { return !rig->linkReader.Busy() && rig->queues.replyRing.Empty() &&
                                           rig->queues.plainRing.Empty(); },
                              30000));
    EXPECT_EQ(r.linkCount, kReadableLinks);
    ExpectMirrors(*rig.net.Device(kDevice), r, kReadableLinks, engine);
    EXPECT_EQ(0, std::memcmp(reinterpret_cast<const char*>(&r) + offsetof(DeviceRecord, name),
                             reinterpret_cast<const char*>(&before) + offsetof(DeviceRecord, name),
                             offsetof(DeviceRecord, timeCategoryRequest) - offsetof(DeviceRecord, name)));
    EXPECT_STREQ(r.name, "Hall dimmer");
    EXPECT_EQ(0, std::memcmp(&next, &nextBefore, sizeof next)) << "the next record is untouched";
    if (engine == kEngineI1) {
      EXPECT_EQ(rig.SentTo(kDevice, 0x28).size(), static_cast<size_t>(kReadableLinks)) << "no peek past slot 32";
    }
  }
}

// A read that ended on 0x0FFF (an empty table) must not drop the first record
// of the next read as a repeat of it.
TEST(ExtendedRead, NextReadKeepsItsFirstRecord) {
  SimRig rig(HouseWith(kEngineI2, 0));
  DeviceRecord& r = rig.AddRecord(kDevice);
  auto idle = [&] { return !rig->linkReader.Busy() && rig->queues.replyRing.Empty(); };
  ASSERT_EQ(StartLinkRead(*rig, r), 1);
  ASSERT_TRUE(rig.StepUntil(idle, 2000));
  EXPECT_EQ(r.linkCount, 0);

  sim::SimDevice& device = *rig.net.Device(kDevice);
  device.SetLinkAt(0, Link(0));
  device.SetLinkAt(1, Link(1));
  ASSERT_EQ(StartLinkRead(*rig, r), 1);
  ASSERT_TRUE(rig.StepUntil(idle, 2000));
  EXPECT_EQ(r.linkCount, 2);
  ExpectMirrors(device, r, 3, kEngineI2);
  EXPECT_EQ(rig.SentTo(kDevice, 0x2F).size(), 2u) << "one request per read: nothing had to be asked again";
}

TEST(ExtendedRead, RecordsGoToEveryRecordOfTheDeviceAtTheirAddress) {
  SimRig rig(HouseWith(kEngineI2cs, 3));
  DeviceRecord& a = rig.AddRecord(kDevice, 1);
  DeviceRecord& b = rig.AddRecord(kDevice, 251);
  ASSERT_EQ(StartLinkRead(*rig, a), 1);
  ASSERT_TRUE(rig.StepUntil([&] { return !rig->linkReader.Busy() && rig->queues.replyRing.Empty(); }, 2000));
  ASSERT_EQ(rig.SentTo(kDevice, 0x2F).size(), 1u) << "one request, answered by the stream";
  const std::vector<uint8_t> m = rig.SentTo(kDevice, 0x2F)[0];
  ASSERT_EQ(m.size(), 22u);
  EXPECT_EQ(m[5], 0x1F);
  EXPECT_EQ(m[7], 0x00);
  for (size_t i = 8; i < 21; ++i) EXPECT_EQ(m[i], 0) << i;
  EXPECT_EQ(m[21], static_cast<uint8_t>(-0x2F & 0xFF)) << "the i2cs checksum";
  EXPECT_EQ(a.linkCount, 3);
  EXPECT_EQ(b.linkCount, 3);
  ExpectMirrors(*rig.net.Device(kDevice), b, 4, kEngineI2cs);
}

// Answers on the wire that name no slot of the mirror, or come from another
// device than the one peeked, change nothing.
TEST(LinkRead, StrayAnswersAreIgnored) {
  SimRig rig(HouseWith(kEngineI2, 2));
  DeviceRecord& r = rig.AddRecord(kDevice);
  const DeviceRecord before = r;
  // An extended record from the top of a table far longer than 33 records.
  std::vector<uint8_t> f = {0x02, 0x51, 0x2a, 0x10, 0x01, 0x1e, 0x65, 0xa2, 0x11, 0x2F, 0x00,
                            0x00, 0x01, 0x0E, 0x07, 0x00, 0xE2, 0x01, 0x44, 0x55, 0x66, 0x01, 0x02, 0x03, 0x00};
  rig->incoming.HandleFrame(*rig, f.data(), f.size());
  EXPECT_EQ(0, std::memcmp(&r, &before, sizeof r));
  EXPECT_EQ(rig->db.Count(), 1u) << "no device discovered from a record not stored";
  // A short frame is refused before any position is read.
  OnExtendedLinkRecord(*rig, f.data(), 20);
  OnPeekReply(*rig, f.data(), 10);
  EXPECT_EQ(0, std::memcmp(&r, &before, sizeof r));

  // A peek answer from another device while an i1 device is read.
  rig.net.Device(kDevice)->engine = kEngineI1;
  r.engineVersion = kEngineI1;
  rig.AddRecord(kOther);
  ASSERT_EQ(StartLinkRead(*rig, r), 1);
  const std::vector<uint8_t> stray = {0x02, 0x50, 0x2a, 0x10, 0x02, 0x1e, 0x65, 0xa2, 0x2B, 0x2B, 0x00};
  rig->incoming.HandleFrame(*rig, stray.data(), stray.size());
  EXPECT_EQ(rig->linkReader.byteIndex, 0);
  EXPECT_EQ(rig->linkReader.recordsRead, 0);
}

TEST(StartLinkRead, ChoosesWhatToSendFromTheDeviceKind) {
  struct Case {
    const char* name;
    uint8_t category, subcategory, firmware, engine;
    int result;
    uint8_t cmd1;  // the one message sent, 0 for none
    uint8_t cmd2;
  };
  const Case cases[] = {
      {"engine unknown: its version is asked", 0x01, 0x20, 0x41, kEngineUnknown, -1, 0x0D, 0x00},
      {"i1: the address of the first record", 0x01, 0x20, 0x41, kEngineI1, 1, 0x28, 0x0F},
      {"early modem kind: peeks", 0x03, 0x05, 0x74, kEngineI2, 1, 0x28, 0x0F},
      {"modem kind with newer firmware: one record", 0x03, 0x05, 0x95, kEngineI2, 1, 0x2F, 0x01},
      {"old bridge firmware: nothing", 0x03, 0x15, 0x84, kEngineI2, 1, 0, 0},
      {"i2: the whole table", 0x02, 0x1c, 0x45, kEngineI2, 1, 0x2F, 0x00},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimRig rig(HouseWith(kEngineI2, 0));
    DeviceRecord& r = rig.AddRecord(kDevice);
    r.category = c.category;
    r.subcategory = c.subcategory;
    r.firmware = c.firmware;
    r.engineVersion = c.engine;
    r.versionTries = 2;
    EXPECT_EQ(StartLinkRead(*rig, r), c.result);
    EXPECT_EQ(r.timeLinksRead, rig.clock.Now());
    rig.StepUntil([&] { return !rig.Sent().empty(); }, 10);
    if (c.cmd1 == 0) {
      EXPECT_TRUE(rig.Sent().empty());
      EXPECT_TRUE(rig->queues.replyRing.Empty() && rig->queues.plainRing.Empty());
      continue;
    }
    ASSERT_EQ(rig.Sent().size(), 1u);
    EXPECT_EQ(rig.Sent()[0][6], c.cmd1);
    EXPECT_EQ(rig.Sent()[0][7], c.cmd2);
    if (c.cmd1 == 0x0D) {
      EXPECT_EQ(r.versionTries, 1) << "asked once, counted from 0";
    }
    if (c.cmd2 == 0x01 && c.cmd1 == 0x2F) {
      EXPECT_EQ(rig.Sent()[0][10], 0x3F);
      EXPECT_EQ(rig.Sent()[0][11], 0xF0);
      EXPECT_EQ(rig.Sent()[0][12], 0x01);
    }
  }
}

TEST(StartLinkRead, RefusedWhileARequestWaitsOrAnotherReadRuns) {
  SimRig rig(HouseWith(kEngineI2, 3));
  DeviceRecord& r = rig.AddRecord(kDevice);
  DeviceRecord& other = rig.AddRecord(kOther);
  ASSERT_EQ(StartLinkRead(*rig, r), 1);
  EXPECT_EQ(StartLinkRead(*rig, r), -1) << "the request still waits for its answer";
  EXPECT_EQ(StartLinkRead(*rig, other), -1) << "one read at a time";
  ASSERT_TRUE(rig.StepUntil([&] { return !rig->linkReader.Busy() && rig->queues.replyRing.Empty(); }, 2000));
  EXPECT_EQ(StartLinkRead(*rig, other), 1);
}

// A sleeping device's request waits in the hold queue; the reader does not
// wait for it, and the records are stored when the device wakes and answers.
TEST(ExtendedRead, SleepingDeviceAnswersWhenWoken) {
  sim::House house = HouseWith(kEngineI2, 3, 0x10, 0x01, 0x40);
  house.devices[0].sleeper = true;
  SimRig rig(std::move(house));
  DeviceRecord& r = rig.AddRecord(kDevice);
  ASSERT_EQ(StartLinkRead(*rig, r), 1);
  EXPECT_FALSE(rig->linkReader.Busy());
  EXPECT_GE(rig->queues.hold.Find(kDevice, 0x2F), 0);
  for (int i = 0; i < 200; ++i) rig.Step();
  EXPECT_EQ(r.linkCount, 0) << "asleep: nothing sent, nothing heard";
  EXPECT_TRUE(rig.SentTo(kDevice, 0x2F).empty());

  rig.net.PressSet(kDevice);
  ASSERT_TRUE(rig.StepUntil([&] { return r.linkCount == 3; }, 500));
  for (int i = 0; i < 20; ++i) rig.Step();  // the never-used record follows
  ExpectMirrors(*rig.net.Device(kDevice), r, 4, kEngineI2);
}

TEST(PeekRead, DeviceThatNeverAnswersTimesOut) {
  SimRig rig(HouseWith(kEngineI1, 3));
  rig.net.Device(kDevice)->deaf = true;
  DeviceRecord& r = rig.AddRecord(kDevice);
  ASSERT_EQ(StartLinkRead(*rig, r), 1);
  ASSERT_TRUE(rig.StepUntil([&] { return !rig->linkReader.Busy(); }, 2000));
  EXPECT_EQ(rig->linkReader.timeouts, 1u);
  EXPECT_EQ(r.linkCount, 0);
  // The modem's echo of the address lets the first peek go; its ring sends it twice.
  EXPECT_EQ(rig.SentTo(kDevice, 0x2B).size(), 2u);
}

TEST(LinkSlotForAddress, BothEndsOfARecordNameItsSlot) {
  struct Case {
    uint16_t address;
    int slot;
  };
  for (const Case& c : {Case{0x0FFF, 0}, Case{0x0FF8, 0}, Case{0x0FF7, 1}, Case{0x0F07, 31}, Case{0x0EFF, 32},
                        Case{0x0EF8, 32}, Case{0x0EF7, -1}, Case{0x0000, -1}, Case{0x3FF7, 1}}) {
    EXPECT_EQ(LinkSlotForAddress(c.address), c.slot) << std::hex << c.address;
  }
}

}  // namespace
}  // namespace quorvel
