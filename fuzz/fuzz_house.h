#pragma once
// A small house shared by the fuzz targets: a modem and six devices of the
// kinds whose messages the program treats differently (dimmer, keypad, relay,
// I/O module, an old i1 switch, a sleeping motion sensor), with a few events,
// groups and widgets, so bytes from the line and from files meet a program
// that has records to touch.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "automation/event_record.h"
#include "engine/context.h"
#include "platform/bytes.h"
#include "sim/house_database.h"
#include "sim/house_file.h"
#include "sim/invariants.h"

namespace quorvel::fuzzing {

inline constexpr char kFuzzHouse[] = R"(
modem 1e.65.a2 category 03 subcategory 15 firmware 9e
link controller 1 2a.10.01 01 20 41
link responder  1 2a.10.01 01 20 41
link controller 1 2a.10.04 01 1c 41
link responder  1 2a.10.04 01 1c 41
link responder  3 2a.10.04 01 1c 41
link controller 1 2a.10.05 02 1c 45
link controller 1 2a.10.07 07 00 41
link responder  1 2a.10.07 07 00 41
link responder  1 2a.10.08 10 01 40
link responder  2 2a.10.08 10 01 40
link controller 1 2a.10.0a 01 01 32
device 2a.10.01 "Kitchen Ceiling" category 01 subcategory 20 firmware 41 engine i2cs level 128
link responder  1 1e.65.a2 ff 1c 01
link controller 1 1e.65.a2 03 00 01
link responder  3 2a.10.04 ff 1c 01
device 2a.10.04 "Hall Keypad" category 01 subcategory 1c firmware 41 engine i2cs
link responder  1 1e.65.a2 ff 1c 01
link controller 1 1e.65.a2 03 00 01
link controller 3 2a.10.01 03 00 03
link controller 4 2a.10.05 03 00 04
device 2a.10.05 "Porch Light" category 02 subcategory 1c firmware 45 engine i2cs
link controller 1 1e.65.a2 03 00 01
device 2a.10.07 "Garage Door" category 07 subcategory 00 firmware 41 engine i2 opflags 0a
link responder  1 1e.65.a2 ff 1c 01
link controller 1 1e.65.a2 03 00 01
device 2a.10.08 "Hall Motion" category 10 subcategory 01 firmware 40 engine i2 sleeper
link controller 1 1e.65.a2 03 00 01
link controller 2 1e.65.a2 03 00 02
link controller 1 2a.10.05 03 00 01
device 2a.10.0a "Basement Stairs" category 01 subcategory 01 firmware 32 engine i1
link responder  1 1e.65.a2 ff 1f 01
link removed    1 2a.0f.33 ff 1f 01
link controller 1 1e.65.a2 03 00 01
)";

inline constexpr Time kFuzzStart = 1300000000;

[[noreturn]] inline void Broken(const std::string& what) {
  std::fprintf(stderr, "broken invariant: %s\n", what.c_str());
  std::abort();
}

inline void CheckInvariants(const Context& ctx, bool full = true) {
  const std::string broken = sim::BrokenInvariant(ctx, full);
  if (!broken.empty()) Broken(broken);
}

// The user's data of the house as the program holds it after a full read.
struct HouseData {
  DeviceDatabase db;
  EventTable events;
  GroupTable groups;
  OptionsRecord options{};
};

inline EventRecord LogicEvent(InsteonId from, uint8_t group, uint8_t cmd1, InsteonId to, uint8_t toCmd1) {
  EventRecord e{};
  e.inUse = 1;
  e.isLogicEvent = 1;
  e.days = 0x7F;
  e.initiatorId = from;
  e.initiatorGroup = group;
  e.initiatorCmd1 = cmd1;
  e.operatorId = to;
  e.operatorCmd1 = toCmd1;
  e.operatorCmd2 = 0xFF;
  return e;
}

inline const HouseData& PreparedHouse() {
  static const HouseData* data = [] {
    sim::House house;
    std::string error;
    if (!sim::ParseHouse(kFuzzHouse, house, error)) Broken("fuzz house: " + error);
    auto* d = new HouseData;
    sim::FillDatabase(house, d->db, kFuzzStart);
    const InsteonId ceiling = InsteonId::From(0x2a, 0x10, 0x01);
    const InsteonId keypad = InsteonId::From(0x2a, 0x10, 0x04);
    const InsteonId porch = InsteonId::From(0x2a, 0x10, 0x05);
    const InsteonId motion = InsteonId::From(0x2a, 0x10, 0x08);
    int n = 0;
    d->events.records[n++] = LogicEvent(motion, 1, 0x11, porch, 0x11);
    d->events.records[n++] = LogicEvent(keypad, 3, 0x13, ceiling, 0x13);
    EventRecord x10 = LogicEvent(ceiling, 1, 0x11, InsteonId{}, 0);
    x10.targetKind = 1;
    x10.x10House = 6;
    x10.x10Unit = 6;
    x10.x10Function = 2;
    d->events.records[n++] = x10;
    EventRecord group = LogicEvent(keypad, 1, 0x11, InsteonId{}, 0x11);
    group.isGroup = 1;
    group.group = 7;
    group.cmd1 = 0x11;
    d->events.records[n++] = group;
    EventRecord timed{};
    timed.inUse = 1;
    timed.isTimeEvent = 1;
    timed.days = 0x7F;
    timed.hour = 6;
    timed.minute = 30;
    timed.targetId = ceiling;
    timed.cmd1 = 0x11;
    timed.cmd2 = 0xFF;
    d->events.records[n++] = timed;
    d->events.eventCount = static_cast<uint32_t>(n);
    d->groups.SetGroupLabel(7, "Downstairs");
    d->groups.SetGroupLabel(kDiscoveryGroup, "Found");
    d->options.runFlags = 0x1F | kRunSetUp;
    d->options.initMarker = kInitMarker;
    CopyFixedText(d->options.latitude, "44:96");
    CopyFixedText(d->options.longitude, "-93:10");
    d->options.timeZone = -6;
    d->options.comPort = 1;
    return d;
  }();
  return *data;
}

// Puts the house into a fresh context.
inline void LoadHouse(Context& ctx) {
  const HouseData& h = PreparedHouse();
  ctx.db = h.db;
  ctx.loaded = h.db;
  ctx.events = h.events;
  ctx.groups = h.groups;
  ctx.options = h.options;
}

}  // namespace quorvel::fuzzing
