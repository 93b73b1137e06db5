#include "plm/incoming_messages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "automation/event_record.h"
#include "device/device_catalogue.h"
#include "queue_rig.h"

namespace quorvel {
namespace {

using testing::AckFrame;
using testing::ExtendedFrame;
using testing::kModemId;
using testing::QueueRig;
using testing::StandardFrame;
using testing::WrittenMessage;

const InsteonId kDimmer = InsteonId::From(0x1a, 0x2b, 0x3c);
const InsteonId kRelay = InsteonId::From(0x2a, 0x2b, 0x2c);
const InsteonId kKeypad = InsteonId::From(0x33, 0x44, 0x55);
const InsteonId kTrigger = InsteonId::From(0x4a, 0x4b, 0x4c);
const InsteonId kStranger = InsteonId::From(0x5a, 0x5b, 0x5c);
const InsteonId kGroup1 = InsteonId::From(0x00, 0x00, 0x01);

constexpr uint8_t kFlagsAck = 0x2B;
constexpr uint8_t kFlagsDirect = 0x0B;
constexpr uint8_t kFlagsBroadcast = 0x8F;
constexpr uint8_t kFlagsGroup = 0xCF;
constexpr uint8_t kFlagsCleanup = 0x41;

std::vector<uint8_t> GroupFrame(const InsteonId& from, uint8_t group, uint8_t cmd1) {
  return StandardFrame(from, InsteonId::From(0, 0, group), kFlagsGroup, cmd1, 0x00);
}

int CountContaining(const std::vector<std::string>& lines, const std::string& part) {
  return static_cast<int>(std::count_if(lines.begin(), lines.end(),
                                        [&](const std::string& l) { return l.find(part) != std::string::npos; }));
}

// Sends a request and ticks until it went out, so that its answer can match it.
void SendAndWait(QueueRig& q, const InsteonId& id, uint8_t cmd1, uint8_t cmd2) {
  const size_t before = q.WrittenWithCode(0x62).size();
  SendStandard(q.ctx(), id, cmd1, cmd2);
  ASSERT_TRUE(q.TickUntil([&] { return q.WrittenWithCode(0x62).size() > before; }, 20));
}

int RingEntriesFor(const RingSlots& ring, const InsteonId& id, uint8_t cmd1) {
  int n = 0;
  for (uint8_t i = ring.head; i != ring.tail; i = RingSlots::Next(i))
    if (ring.slots[i].id == id && ring.slots[i].cmd1 == cmd1 && ring.slots[i].status != kEntryDone) ++n;
  return n;
}

struct FrameCase {
  const char* name;
  std::function<void(QueueRig&)> setup;
  std::vector<std::vector<uint8_t>> frames;
  std::function<void(QueueRig&)> check;
};

void RunCases(const std::vector<FrameCase>& cases) {
  for (const FrameCase& c : cases) {
    SCOPED_TRACE(c.name);
    QueueRig q;
    c.setup(q);
    for (const std::vector<uint8_t>& f : c.frames) q.Feed(f);
    c.check(q);
  }
}

// --- Device messages to database changes ------------------------------------------

TEST(IncomingMessages, DeviceFramesChangeTheDatabase) {
  const Time t0 = testing::kQueueStart;
  RunCases({
      {"SET button of a thermostat: kind, name and one engine-version request for every record",
       [](QueueRig& q) {
         q.AddDevice(kDimmer, 0, 0, kEngineUnknown, 1);
         q.AddDevice(kDimmer, 0, 0, kEngineUnknown, 2);
       },
       {StandardFrame(kDimmer, InsteonId::From(0x05, 0x01, 0x41), kFlagsBroadcast, 0x01, 0x00),
        StandardFrame(kDimmer, InsteonId::From(0x05, 0x01, 0x41), kFlagsBroadcast, 0x01, 0x00)},
       [&](QueueRig& q) {
         for (int s = 0; s < 2; ++s) {
           const DeviceRecord& r = q.ctx().db[s];
           EXPECT_EQ(r.category, 0x05);
           EXPECT_EQ(r.subcategory, 0x01);
           EXPECT_EQ(r.firmware, 0x41);
           EXPECT_EQ(std::string(r.name), "EZTherm");
           EXPECT_EQ(r.timeLastContact, t0);
         }
         EXPECT_EQ(CountContaining(q.Activity(), "[1a 2b 3c] EZTherm  Catagory 5.1"), 4);
         EXPECT_EQ(RingEntriesFor(q.queues().plainRing, kDimmer, 0x0D), 1) << "asked once, not again while it waits";
         EXPECT_EQ(q.ctx().db[0].versionTries, 1);
         EXPECT_TRUE(q.ctx().refresh.deviceTreeRefresh);
         // The kind changed: the modem is asked for that link record.
         const PlmCommandQueue& m = q.queues().modem;
         ASSERT_EQ(m.Size(), 1);
         const uint8_t find[] = {0x6F, 0x00, 0x00, 0x02, 0x1a, 0x2b, 0x3c, 0x00, 0x00, 0x00};
         EXPECT_EQ(0, std::memcmp(m.entries[m.head].bytes, find, sizeof find));
       }},
      {"SET button of a dimmer: kind learned, the engine is left to the polling",
       [](QueueRig& q) { q.AddDevice(kDimmer, 0, 0, kEngineUnknown, 1); },
       {StandardFrame(kDimmer, InsteonId::From(0x01, 0x0E, 0x41), kFlagsBroadcast, 0x01, 0x00)},
       [](QueueRig& q) {
         EXPECT_EQ(q.ctx().db[0].category, 0x01);
         EXPECT_EQ(RingEntriesFor(q.queues().plainRing, kDimmer, 0x0D), 0);
         EXPECT_EQ(q.ctx().db[0].versionTries, 0);
       }},
      {"engine version 0..2 is stored plus one, in every record; a keypad is asked its settings once",
       [](QueueRig& q) {
         q.AddDevice(kKeypad, 0x01, 0x1C, kEngineUnknown, 1).noResponse = 1;
         q.AddDevice(kKeypad, 0x01, 0x1C, kEngineUnknown, 3);
         SendAndWait(q, kKeypad, 0x0D, 0x00);
       },
       {AckFrame(kKeypad, 0x0D, 0x02)},
       [&](QueueRig& q) {
         for (int s = 0; s < 2; ++s) {
           EXPECT_EQ(q.ctx().db[s].engineVersion, kEngineI2cs);
           EXPECT_EQ(q.ctx().db[s].noResponse, 0);
           EXPECT_GT(q.ctx().db[s].timeLastContact, 0);
         }
         EXPECT_EQ(RingEntriesFor(q.queues().plainRing, kKeypad, 0x0D), 0) << "the request is answered";
         EXPECT_EQ(RingEntriesFor(q.queues().replyRing, kKeypad, 0x2E), 1);
       }},
      {"an engine-version reply of 5 changes no engine",
       [](QueueRig& q) {
         q.AddDevice(kRelay, 0x02, 0x09, kEngineI2);
         SendAndWait(q, kRelay, 0x0D, 0x00);
       },
       {AckFrame(kRelay, 0x0D, 0x05)},
       [](QueueRig& q) { EXPECT_EQ(q.ctx().db[0].engineVersion, kEngineI2); }},
      {"the acknowledgement of our ON brings the dimmer's level into every record",
       [](QueueRig& q) {
         q.AddDevice(kDimmer, 0x01, 0x20, kEngineI2, 1);
         q.AddDevice(kDimmer, 0x01, 0x20, kEngineI2, 5);
         SendAndWait(q, kDimmer, 0x11, 0xC0);
       },
       {AckFrame(kDimmer, 0x11, 0xC0)},
       [&](QueueRig& q) {
         for (int s = 0; s < 2; ++s) {
           EXPECT_EQ(q.ctx().db[s].level, 0xC0);
           EXPECT_GT(q.ctx().db[s].timeLastOn, 0);
           EXPECT_EQ(q.ctx().db[s].workFlags & kWorkOnOffPass, 0) << "the pass marker is cleared again";
         }
         EXPECT_EQ(q.queues().replyRing.Head().status, kEntryDone);
         EXPECT_EQ(q.ctx().incoming.lastcmd1, 0x11);
       }},
      {"a relay that is switched ON by hand shows full level, and its ON is logged",
       [](QueueRig& q) { q.AddDevice(kRelay, 0x02, 0x09); },
       {StandardFrame(kRelay, kModemId, kFlagsDirect, 0x11, 0x7F)},
       [](QueueRig& q) {
         EXPECT_EQ(q.ctx().db[0].level, 255);
         EXPECT_EQ(CountContaining(q.Activity(), " [2a 2b 2c]  ApplianceLinc  ON"), 1);
         EXPECT_EQ(CountContaining(q.rig.Texts(LogChannel::OnLog), " [2a 2b 2c]  ApplianceLinc  ON"), 1);
       }},
      {"a status reply: level, link revision marked once, reply time",
       [](QueueRig& q) {
         q.AddDevice(kDimmer, 0x01, 0x20, kEngineI2, 1).aldbDelta = 3;
         q.AddDevice(kDimmer, 0x01, 0x20, kEngineI2, 2).aldbDelta = 3;
         SendAndWait(q, kDimmer, 0x19, 0x00);
       },
       // A clean-up that arrives meanwhile is not the answer.
       {StandardFrame(kDimmer, kGroup1, kFlagsCleanup, 0x13, 0x01), AckFrame(kDimmer, 0x05, 0x80)},
       [&](QueueRig& q) {
         for (int s = 0; s < 2; ++s) {
           EXPECT_EQ(q.ctx().db[s].level, 0x80);
           EXPECT_EQ(q.ctx().db[s].aldbDelta, 0x05);
           EXPECT_GT(q.ctx().db[s].timeStatusReply, 0);
         }
         EXPECT_EQ(q.ctx().db[0].workFlags & kWorkLinksReread, kWorkLinksReread);
         EXPECT_EQ(q.ctx().db[1].workFlags & kWorkLinksReread, 0) << "the links are read again once";
         EXPECT_EQ(q.ctx().db[0].aldbReadState, kReadWanted) << "no links read yet";
       }},
      {"a broadcast while a status request waits leaves level and revision alone",
       [](QueueRig& q) {
         q.AddDevice(kRelay, 0x02, 0x09).aldbDelta = 3;
         SendAndWait(q, kRelay, 0x19, 0x00);
       },
       {StandardFrame(kRelay, kGroup1, kFlagsGroup, 0x11, 0x00)},
       [](QueueRig& q) {
         EXPECT_EQ(q.ctx().db[0].level, 255) << "the ON itself counts";
         EXPECT_EQ(q.ctx().db[0].aldbDelta, 3);
         EXPECT_EQ(RingEntriesFor(q.queues().replyRing, kRelay, 0x19), 1) << "still waiting for its answer";
       }},
      {"operating flags by the request's variant",
       [](QueueRig& q) {
         q.AddDevice(kRelay, 0x07, 0x00);
         SendAndWait(q, kRelay, 0x1F, 0x00);
       },
       {AckFrame(kRelay, 0x1F, 0x5A)},
       [](QueueRig& q) {
         EXPECT_EQ(q.ctx().db[0].opFlags, 0x5A);
         EXPECT_EQ(q.ctx().db[0].opFlags2, 0x00);
       }},
      {"a group broadcast: the controller's last contact and its responders' levels",
       [](QueueRig& q) {
         DeviceRecord& keypad = q.AddDevice(kKeypad, 0x01, 0x1C);
         keypad.noResponse = 1;
         keypad.links[0] = LinkRecord{0xE2, {}, 0x0FFF, 3, kDimmer, {0x03, 0x1C, 0x03}, 0};
         keypad.linkCount = 1;
         DeviceRecord& dimmer = q.AddDevice(kDimmer, 0x01, 0x20);
         dimmer.links[0] = LinkRecord{0xA2, {}, 0x0FFF, 3, kKeypad, {0x80, 0x1C, 0x03}, 0};
         dimmer.linkCount = 1;
       },
       {GroupFrame(kKeypad, 3, 0x11)},
       [&](QueueRig& q) {
         const DeviceRecord& keypad = q.ctx().db[0];
         const DeviceRecord& dimmer = q.ctx().db[1];
         EXPECT_EQ(keypad.timeLastContact, t0);
         EXPECT_EQ(keypad.noResponse, 0);
         EXPECT_EQ(dimmer.level, 0x80) << "the on-level stored in its link";
         EXPECT_EQ(keypad.groupStates, 0x04) << "button 3 lit";
         EXPECT_EQ(CountContaining(q.Activity(), "On  [1a 2b 3c]  SwitchLinc Dimmer DB"), 1);
         EXPECT_EQ(CountContaining(q.Activity(), "[33 44 55]  KeypadLinc Dimmer8  Groups , 3 are On"), 1);
       }},
      {"a group broadcast from a device the modem does not know",
       [](QueueRig&) {}, {GroupFrame(kStranger, 4, 0x13)},
       [](QueueRig& q) {
         const LogRows& lines = q.rig->log.Lines(LogChannel::GeneralActivity);
         ASSERT_FALSE(lines.empty());
         EXPECT_NE(lines.back().text.find("[5a 5b 5c] Group 4 - Device not PLM Link!"), std::string::npos);
         EXPECT_EQ(lines.back().kind, TraceKind::CommentOn);
       }},
      {"a keypad's settings answer its settings request, though the acknowledgement was lost",
       [](QueueRig& q) {
         q.AddDevice(kKeypad, 0x01, 0x1C, kEngineI2cs);
         uint8_t ask[kExtendedDataBytes] = {0x01};
         SendExtended(q.ctx(), kKeypad, 0x2E, 0x00, ask);
         ASSERT_TRUE(q.TickUntil([&] { return !q.WrittenWithCode(0x62).empty(); }, 20));
       },
       {ExtendedFrame(kKeypad, kModemId, 0x1B, 0x2E, 0x00, {0x01, 0x01, 0x5A})},
       [](QueueRig& q) {
         EXPECT_EQ(q.ctx().db[0].extData[2], 0x5A);
         EXPECT_EQ(RingEntriesFor(q.queues().replyRing, kKeypad, 0x2E), 0) << "answered";
         q.Ticks(120);
         EXPECT_EQ(q.WrittenWithCode(0x62).size(), 1u) << "not asked again";
       }},
      {"extended settings reply fills the first record only; 0x82 fills every record",
       [](QueueRig& q) {
         q.AddDevice(kTrigger, 0x10, 0x01, kEngineI2, 1);
         q.AddDevice(kTrigger, 0x10, 0x01, kEngineI2, 2);
         q.AddDevice(kRelay, 0x09, 0x07, kEngineI2, 1);
         q.AddDevice(kRelay, 0x09, 0x07, kEngineI2, 2);
       },
       {ExtendedFrame(kTrigger, kModemId, 0x1B, 0x2E, 0x00, {0x01, 0x00, 0x7F, 0x01, 0x50}),
        ExtendedFrame(kRelay, kModemId, 0x1B, 0x82, 0x00, {0x09, 0x08, 0x07})},
       [&](QueueRig& q) {
         EXPECT_EQ(q.ctx().db[0].extData[2], 0x7F);
         EXPECT_EQ(q.ctx().db[0].timeLastContact, t0);
         EXPECT_EQ(q.ctx().db[1].extData[2], 0x00);
         EXPECT_EQ(q.ctx().db[2].extData[0], 0x09);
         EXPECT_EQ(q.ctx().db[3].extData[2], 0x07);
       }},
      {"an extended link record answers what went out to the device, not what waits to go, and gives no level",
       [](QueueRig& q) {
         q.AddDevice(kDimmer, 0x01, 0x20).level = 0x40;
         SendExtended(q.ctx(), kDimmer, 0x2F, 0x00, nullptr);
         ASSERT_TRUE(q.TickUntil([&] { return !q.WrittenWithCode(0x62).empty(); }, 20));
         // Queued behind the read, not sent when its records come.
         SendStandard(q.ctx(), kDimmer, 0x19, 0x00);
         SendStandard(q.ctx(), kDimmer, 0x11, 0xFF);
       },
       {ExtendedFrame(kDimmer, kModemId, 0x11, 0x2F, 0x00, {0x00, 0x01, 0x0F, 0xFF, 0x00, 0xE2, 0x01, 0x11, 0x22, 0x33})},
       [](QueueRig& q) {
         EXPECT_EQ(RingEntriesFor(q.queues().replyRing, kDimmer, 0x2F), 0);
         EXPECT_EQ(RingEntriesFor(q.queues().replyRing, kDimmer, 0x19), 1) << "the status request still goes out";
         EXPECT_EQ(RingEntriesFor(q.queues().replyRing, kDimmer, 0x11), 1) << "the ON still goes out";
         EXPECT_EQ(q.ctx().db[0].level, 0x40);
         EXPECT_EQ(q.ctx().incoming.lastcmd1, 0x2F);
       }},
      {"a message from a device not in the database changes nothing",
       [](QueueRig& q) { q.AddDevice(kDimmer, 0x01, 0x20); },
       {AckFrame(kStranger, 0x11, 0xFF), StandardFrame(kStranger, kModemId, 0x61, 0x11, 0x01),
        ExtendedFrame(kStranger, kModemId, 0x1B, 0x2E, 0x00, {1, 2, 3})},
       [](QueueRig& q) {
         EXPECT_EQ(q.ctx().db.Count(), 1u);
         EXPECT_EQ(q.ctx().db[0].level, 0);
         EXPECT_EQ(q.ctx().db[0].timeLastContact, 0);
       }},
      {"frames shorter than their code are ignored",
       [](QueueRig& q) { q.AddDevice(kDimmer, 0x01, 0x20); },
       {std::vector<uint8_t>{0x02, 0x50, 0x1a, 0x2b, 0x3c, 0x11, 0x22, 0x33, 0x2B, 0x11},
        std::vector<uint8_t>{0x02, 0x57, 0xE2, 0x01, 0x1a, 0x2b}, std::vector<uint8_t>{0x02, 0x60, 0x11}},
       [](QueueRig& q) {
         EXPECT_EQ(q.ctx().db.Count(), 1u);
         EXPECT_EQ(q.ctx().db[0].level, 0);
         EXPECT_EQ(q.ctx().db.plm.plmFound, 0);
       }},
  });
}

// Through the framer, as the program receives them: the network's repeat of a
// message within its window changes nothing; the same message later is news.
TEST(IncomingMessages, ARepeatChangesNothing) {
  struct Step {
    int64_t afterMillis;  // since the previous copy
    uint8_t levelBefore;  // set by the test, to see whether the copy is handled
    uint8_t levelAfter;
  };
  const std::vector<Step> steps = {
      {0, 0x00, 0xC0},     // the first copy is handled
      {1000, 0x11, 0x11},  // its repeat is dropped
      {1000, 0x22, 0x22},  // and a repeat of the repeat, within 2 s of that one
      {2500, 0x33, 0xC0},  // 2.5 s later it is a new message
  };
  QueueRig q;
  q.AddDevice(kDimmer, 0x01, 0x20);
  q.AddDevice(kDimmer, 0x01, 0x20, kEngineI2, 2);
  const std::vector<uint8_t> ack = AckFrame(kDimmer, 0x11, 0xC0);
  for (const Step& s : steps) {
    q.rig.clock.AdvanceMillis(s.afterMillis);
    q.ctx().db[0].level = s.levelBefore;
    q.ctx().db[1].level = s.levelBefore;
    const Time contact = q.ctx().db[0].timeLastContact;
    q.rig.port.Feed(ack);
    ASSERT_TRUE(q.ctx().framer.PumpReceive(q.ctx()));
    EXPECT_EQ(q.ctx().db[0].level, s.levelAfter);
    EXPECT_EQ(q.ctx().db[1].level, s.levelAfter);
    if (s.levelBefore == s.levelAfter) {
      EXPECT_EQ(q.ctx().db[0].timeLastContact, contact) << "a repeat is not even a contact";
    }
  }
}

// Group numbers come from the wire and from link data; only groups 1..8 (and 0)
// have a bit in the 8-bit groupStates.
TEST(IncomingMessages, GroupNumbersOutsideTheButtonsLeaveGroupStatesAlone) {
  struct Case {
    uint8_t group;
    uint8_t states;  // keypad groupStates after an ON of that group
  };
  const std::vector<Case> cases = {{0, 0x01}, {1, 0x01}, {8, 0x80}, {9, 0x00}, {32, 0x00}, {200, 0x00}, {255, 0x00}};
  for (const Case& c : cases) {
    SCOPED_TRACE(int{c.group});
    QueueRig q;
    DeviceRecord& keypad = q.AddDevice(kKeypad, 0x01, 0x1C);
    keypad.links[0] = LinkRecord{0xE2, {}, 0x0FFF, c.group, kDimmer, {0, 0, 0}, 0};
    keypad.linkCount = 1;
    DeviceRecord& dimmer = q.AddDevice(kDimmer, 0x01, 0x20);
    dimmer.links[0] = LinkRecord{0xA2, {}, 0x0FFF, c.group, kKeypad, {0xFF, 0x1C, 0}, 0};
    dimmer.linkCount = 1;
    // Any of the two paths (the keypad as controller, and the responder's LED
    // update) may touch the bit.
    q.Feed(GroupFrame(kKeypad, c.group, 0x11));
    EXPECT_EQ(q.ctx().db[0].groupStates, c.states);
    EXPECT_EQ(q.ctx().db[1].level, 0xFF);
    q.Feed(GroupFrame(kKeypad, c.group, 0x13));
    EXPECT_EQ(q.ctx().db[0].groupStates, 0x00);
  }
}

// A keypad button that controls two lights stays lit while the other light is on.
TEST(IncomingMessages, KeypadButtonGoesDarkOnlyWhenNoLightOfItIsOn) {
  const InsteonId kOther = InsteonId::From(0x6a, 0x6b, 0x6c);
  for (const uint8_t otherLevel : {uint8_t{0xFF}, uint8_t{0x00}}) {
    SCOPED_TRACE(int{otherLevel});
    QueueRig q;
    DeviceRecord& keypad = q.AddDevice(kKeypad, 0x01, 0x1C);
    keypad.groupStates = 0x04;
    keypad.links[0] = LinkRecord{0xE2, {}, 0x0FFF, 3, kDimmer, {0, 0, 0}, 0};
    keypad.links[1] = LinkRecord{0xE2, {}, 0x0FF7, 3, kOther, {0, 0, 0}, 0};
    keypad.linkCount = 2;
    DeviceRecord& dimmer = q.AddDevice(kDimmer, 0x01, 0x20);
    dimmer.level = 0xFF;
    dimmer.links[0] = LinkRecord{0xA2, {}, 0x0FFF, 1, kRelay, {0xFF, 0x1C, 0}, 0};
    dimmer.links[1] = LinkRecord{0xA2, {}, 0x0FF7, 3, kKeypad, {0xFF, 0x1C, 0}, 0};
    dimmer.linkCount = 2;
    q.AddDevice(kOther, 0x01, 0x20, kEngineI2, /*group=*/3).level = otherLevel;
    q.AddDevice(kRelay, 0x02, 0x2A);
    // A switch elsewhere turns the dimmer off.
    q.Feed(GroupFrame(kRelay, 1, 0x13));
    EXPECT_EQ(q.ctx().db[1].level, 0);
    EXPECT_EQ(q.ctx().db[0].groupStates, otherLevel != 0 ? 0x04 : 0x00);
    EXPECT_EQ(q.ctx().db[0].ledDirty, otherLevel != 0 ? 0 : 1);
  }
}

TEST(IncomingMessages, ATriggerLincKeepsItsGroupNumber) {
  QueueRig q;
  q.AddDevice(kTrigger, 0x10, 0x02);
  q.Feed(GroupFrame(kTrigger, 200, 0x11));
  EXPECT_EQ(q.ctx().db[0].groupStates, 200);
}

TEST(IncomingMessages, LogicEventsGetTheGroupOfTheMessage) {
  struct Case {
    const char* name;
    std::vector<uint8_t> frame;
    bool tableRead;
    uint8_t ruleGroup;
    bool fires;
  };
  const std::vector<Case> cases = {
      {"acknowledgement of our ON: group 1", AckFrame(kDimmer, 0x11, 0xFF), false, 1, true},
      {"group broadcast: the group of the to-address", GroupFrame(kDimmer, 3, 0x11), false, 3, true},
      {"clean-up: the group in cmd2", StandardFrame(kDimmer, kModemId, kFlagsCleanup, 0x11, 0x02), false, 2, true},
      {"clean-up of group 2 is not group 1", StandardFrame(kDimmer, kModemId, kFlagsCleanup, 0x11, 0x02), false, 1,
       false},
      {"nothing fires while the modem's table is read", GroupFrame(kDimmer, 3, 0x11), true, 3, false},
      {"fast ON is not ON", StandardFrame(kDimmer, kGroup1, kFlagsGroup, 0x12, 0x00), false, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QueueRig q;
    q.AddDevice(kDimmer, 0x01, 0x20);
    q.AddDevice(kRelay, 0x02, 0x09);
    EventRecord& rule = q.ctx().events.records[0];
    rule.inUse = 1;
    rule.isLogicEvent = 1;
    rule.days = 0x7F;
    rule.initiatorId = kDimmer;
    rule.initiatorCmd1 = 0x11;
    rule.initiatorGroup = c.ruleGroup;
    rule.operatorId = kRelay;
    rule.operatorCmd1 = 0x13;
    q.ctx().engine.plmTableReading = c.tableRead;
    q.Feed(c.frame);
    EXPECT_EQ(CountContaining(q.Activity(), "Logic Event - 1a.2b.3c, ON then 2a.2b.2c, OFF"), c.fires ? 1 : 0);
  }
}

TEST(IncomingMessages, AnUnlinkedDeviceIsAskedToLinkBack) {
  QueueRig q;
  q.AddDevice(kDimmer, 0x01, 0x20, kEngineI2cs);
  q.Feed(StandardFrame(kDimmer, kModemId, 0xAB, 0x11, 0xFF));  // NAK: the modem is not in its table
  EXPECT_EQ(q.ctx().db[0].linkFlags, kLinkRemovedBySystem);
  ASSERT_TRUE(q.TickUntil([&] { return !q.WrittenWithCode(0x62).empty(); }, 20));
  const std::vector<WrittenMessage> start = q.WrittenWithCode(0x64);
  ASSERT_EQ(start.size(), 1u);
  EXPECT_EQ(start[0].bytes, (std::vector<uint8_t>{0x02, 0x64, 0x01, 0xFB}));
  const WrittenMessage link = q.WrittenWithCode(0x62)[0];
  ASSERT_EQ(link.bytes.size(), 22u);
  EXPECT_EQ(link.bytes[6], 0x09);
  EXPECT_EQ(link.bytes[7], 0xFB);
  EXPECT_EQ(link.bytes[21], 0xFC);

  // The same refusal from a device the modem does not know does nothing.
  q.Feed(StandardFrame(kStranger, kModemId, 0xAB, 0x11, 0xFF));
  EXPECT_EQ(q.WrittenWithCode(0x64).size(), 1u);
}

// --- Modem replies ---------------------------------------------------------------

TEST(IncomingMessages, ModemRepliesAndLinkRecords) {
  RunCases({
      {"identity: the modem's id and kind, found and answered",
       [](QueueRig&) {}, {{0x02, 0x60, 0x11, 0x22, 0x33, 0x03, 0x15, 0x9B, 0x06}},
       [](QueueRig& q) {
         const PlmInfo& plm = q.ctx().db.plm;
         EXPECT_EQ(plm.plmId, kModemId);
         EXPECT_EQ(plm.plmCategory, 0x03);
         EXPECT_EQ(plm.plmSubcategory, 0x15);
         EXPECT_EQ(plm.plmFirmware, 0x9B);
         EXPECT_EQ(plm.plmFound, 1);
         EXPECT_TRUE(q.ctx().refresh.plmAnswered);
         EXPECT_TRUE(q.ctx().refresh.deviceListShownReset);
       }},
      {"identity refused: nothing", [](QueueRig&) {}, {{0x02, 0x60, 0x11, 0x22, 0x33, 0x03, 0x15, 0x9B, 0x15}},
       [](QueueRig& q) {
         EXPECT_EQ(q.ctx().db.plm.plmFound, 0);
         EXPECT_FALSE(q.ctx().refresh.plmAnswered);
       }},
      {"configuration acknowledged and read back", [](QueueRig&) {},
       {{0x02, 0x6B, 0x40, 0x06}, {0x02, 0x73, 0x48, 0x00, 0x00, 0x06}},
       [](QueueRig& q) {
         EXPECT_EQ(q.ctx().db.plm.plmConfigAcked, 1);
         EXPECT_EQ(q.ctx().db.plm.plmConfigFlags, 0x48);
       }},
      {"link table read: records arrive, the refused Get Next ends the table", [](QueueRig&) {},
       {{0x02, 0x69, 0x06},
        {0x02, 0x57, 0xE2, 0x01, 0x1a, 0x2b, 0x3c, 0x01, 0x20, 0x41},
        {0x02, 0x6A, 0x06},
        {0x02, 0x57, 0xA2, 0x05, 0x1a, 0x2b, 0x3c, 0x00, 0x00, 0x00},
        {0x02, 0x57, 0xA2, 0x05, 0x1a, 0x2b, 0x3c, 0x00, 0x00, 0x00},
        {0x02, 0x6A, 0x15}},
       [](QueueRig& q) {
         const DeviceDatabase& db = q.ctx().db;
         ASSERT_EQ(db.Count(), 2u) << "a link already in the table changes nothing";
         EXPECT_EQ(db[0].linkFlags, 0xE2);
         EXPECT_EQ(db[0].group, 0x01);
         EXPECT_EQ(db[0].id, kDimmer);
         EXPECT_EQ(db[0].category, 0x01);
         EXPECT_EQ(db[0].subcategory, 0x20);
         EXPECT_EQ(db[0].firmware, 0x41);
         EXPECT_EQ(db[1].group, 0x05);
         const IncomingState& in = q.ctx().incoming;
         EXPECT_EQ(in.plmRecordArrived, 0) << "cleared by the last echo";
         EXPECT_EQ(in.plmReadNakCount, 1);
         EXPECT_EQ(in.plmReadAckCount, 0);
         EXPECT_EQ(in.plmTableEnd, 1);
         EXPECT_TRUE(q.ctx().refresh.eventsViewRefresh);
       }},
      {"a record arrived after the echo", [](QueueRig&) {},
       {{0x02, 0x69, 0x06}, {0x02, 0x57, 0xE2, 0x01, 0x1a, 0x2b, 0x3c, 0x01, 0x20, 0x41}},
       [](QueueRig& q) {
         EXPECT_EQ(q.ctx().incoming.plmRecordArrived, 1);
         EXPECT_EQ(q.ctx().incoming.plmReadAckCount, 1);
         EXPECT_EQ(q.ctx().incoming.plmTableEnd, 0);
       }},
      {"linking completed appends the device with its kind", [](QueueRig&) {},
       {{0x02, 0x53, 0x01, 0xFB, 0x2a, 0x2b, 0x2c, 0x02, 0x09, 0x38}},
       [](QueueRig& q) {
         const DeviceDatabase& db = q.ctx().db;
         ASSERT_EQ(db.Count(), 1u);
         EXPECT_EQ(db[0].id, kRelay);
         EXPECT_EQ(db[0].group, 0xFB);
         EXPECT_EQ(db[0].linkCode, 0x01);
         EXPECT_EQ(db[0].category, 0x02);
         EXPECT_EQ(db[0].subcategory, 0x09);
         EXPECT_EQ(db[0].firmware, 0x38);
       }},
      {"the send echo is remembered for the link reader", [](QueueRig&) {},
       {{0x02, 0x62, 0x1a, 0x2b, 0x3c, 0x0F, 0x28, 0x0F, 0x06}},
       [](QueueRig& q) { EXPECT_EQ(q.ctx().incoming.lastcmd1, 0x28); }},
  });
}

TEST(IncomingMessages, ARefusedGroupCommandAsksAGroupMemberToLinkBack) {
  struct Case {
    uint8_t engine;
    bool starts;
    int standard09;  // 0x09 0xFB standard messages queued
    int extended2E;  // 0x2E D1=0xFB extended messages queued
  };
  const std::vector<Case> cases = {{kEngineI2, true, 1, 0}, {kEngineI2cs, true, 0, 1}, {kEngineI1, false, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(int{c.engine});
    QueueRig q;
    q.AddDevice(kRelay, 0x02, 0x09, c.engine, 7);
    SendGroupCommand(q.ctx(), 7, 0x11);
    ASSERT_TRUE(q.TickUntil([&] { return !q.WrittenWithCode(0x61).empty(); }, 5));
    q.Feed({0x02, 0x61, 0x07, 0x11, 0x00, 0x15});
    EXPECT_EQ(q.WrittenWithCode(0x64).size(), c.starts ? 1u : 0u);
    EXPECT_EQ(RingEntriesFor(q.queues().replyRing, kRelay, 0x09), c.standard09);
    EXPECT_EQ(RingEntriesFor(q.queues().replyRing, kRelay, 0x2E), c.extended2E);
    EXPECT_EQ(q.queues().modem.Head().status, 0) << "the group command stays open for its retry";
  }
}

}  // namespace
}  // namespace quorvel
