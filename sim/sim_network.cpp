#include "sim/sim_network.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

namespace quorvel::sim {

namespace {

constexpr int kEchoMillis = 5;             // the modem's answer to a command
constexpr int kRecordReplyMillis = 30;     // a link record after its echo
constexpr int kRepeatGapMillis = 40;       // between copies of one broadcast
constexpr int kCleanupGapMillis = 150;     // between the clean-ups of one press
constexpr int kLinkingMillis = 240000;     // Start ALL-Linking lasts four minutes
constexpr int kPressAwakeMillis = 5000;    // a sleeper listens this long after a press
constexpr int kCommandGapMillis = 240;     // a command whose bytes stop this long is dropped
constexpr int kByteMicros = 521;           // one byte at 19200 baud, 8N1

bool Earlier(const auto& a, const auto& b) { return a.at != b.at ? a.at > b.at : a.seq > b.seq; }

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string s;
  char b[4];
  for (uint8_t v : bytes) {
    std::snprintf(b, sizeof b, " %02X", v);
    s += b;
  }
  return s;
}

}  // namespace

SimNetwork::SimNetwork(const Clock& clock, House house)
    : clock_(clock), house_(std::move(house)), random_(house_.faults.seed) {
  now_ = clock_.NowMillis();
  outMicros_ = now_ * 1000;
}

SimDevice* SimNetwork::Device(const InsteonId& id) {
  for (SimDevice& d : house_.devices) {
    if (d.id == id) return &d;
  }
  return nullptr;
}

void SimNetwork::SetFaults(const Faults& faults) {
  house_.faults = faults;
  random_ = SimRandom(faults.seed);
}

void SimNetwork::At(int64_t at, std::function<void()> run) {
  events_.push_back(Event{at, seq_++, std::move(run)});
  std::push_heap(events_.begin(), events_.end(), [](const Event& a, const Event& b) { return Earlier(a, b); });
}

void SimNetwork::RunUntilNow() {
  const int64_t now = clock_.NowMillis();
  while (!events_.empty() && events_.front().at <= now) {
    std::pop_heap(events_.begin(), events_.end(), [](const Event& a, const Event& b) { return Earlier(a, b); });
    Event e = std::move(events_.back());
    events_.pop_back();
    now_ = std::max(now_, e.at);
    e.run();
  }
  now_ = std::max(now_, now);
}

int64_t SimNetwork::NextEventMillis() const {
  int64_t next = -1;
  if (!events_.empty()) next = events_.front().at;
  if (!out_.empty() && (next < 0 || out_.front().at < next)) next = out_.front().at;
  return next;
}

void SimNetwork::SetHostConnected(bool connected) {
  RunUntilNow();
  hostConnected_ = connected;
  out_.clear();
  cmdLength_ = 0;
}

size_t SimNetwork::HostReadable() {
  RunUntilNow();
  const int64_t now = clock_.NowMillis();
  size_t n = 0;
  while (n < out_.size() && out_[n].at <= now) ++n;
  return n;
}

size_t SimNetwork::HostRead(uint8_t* buf, size_t max) {
  const size_t ready = HostReadable();
  const size_t n = std::min(ready, max);
  for (size_t i = 0; i < n; ++i) {
    buf[i] = out_.front().byte;
    out_.pop_front();
  }
  return n;
}

void SimNetwork::ToHost(int64_t at, std::vector<uint8_t> frame) {
  At(at, [this, frame = std::move(frame)] { Emit(frame); });
}

void SimNetwork::Emit(const std::vector<uint8_t>& frame) {
  if (!hostConnected_) return;
  if (trace) trace("to host  " + Hex(frame));
  outMicros_ = std::max(outMicros_, now_ * 1000);
  const Faults& f = house_.faults;
  for (uint8_t b : frame) {
    outMicros_ += kByteMicros;
    if (f.dropByte > 0 && random_.Chance(f.dropByte)) continue;
    if (f.garbleByte > 0 && random_.Chance(f.garbleByte)) b = static_cast<uint8_t>(b ^ (1 + random_.Below(255)));
    out_.push_back(OutByte{(outMicros_ + 999) / 1000, b});
  }
}

void SimNetwork::HostWrite(uint8_t byte) {
  RunUntilNow();
  if (!hostConnected_) return;
  if (cmdLength_ > 0 && now_ - lastCommandByte_ > kCommandGapMillis) cmdLength_ = 0;
  lastCommandByte_ = now_;
  if (cmdLength_ == 0 && byte != kStart) return;  // the modem waits for a start byte
  cmd_[cmdLength_++] = byte;
  if (cmdLength_ < 2) return;
  if (cmd_[1] == 0x62 && cmdLength_ < 6) return;  // its length hangs on the flags byte
  const size_t need = HostCommandLength(cmd_[1], cmdLength_ > 5 ? cmd_[5] : 0);
  if (need == 0) {
    cmdLength_ = 0;
    ToHost(now_ + kEchoMillis, {kNak});
    return;
  }
  if (cmdLength_ < need) return;
  cmdLength_ = 0;
  if (cmd_[1] == 0x62)
    ++received_.insteonMessages;
  else
    ++received_.modemCommands;
  if (trace) trace("from host" + Hex(std::vector<uint8_t>(cmd_, cmd_ + need)));
  if (house_.faults.busyNak > 0 && random_.Chance(house_.faults.busyNak)) {
    ToHost(now_ + kEchoMillis, {kNak});
    return;
  }
  ExecuteCommand(cmd_, need);
}

std::vector<uint8_t> SimNetwork::RecordFrame(const LinkEntry& e) const {
  return {kStart, 0x57, e.flags, e.group, e.id.b[0], e.id.b[1], e.id.b[2], e.data[0], e.data[1], e.data[2]};
}

void SimNetwork::ExecuteCommand(const uint8_t* cmd, size_t n) {
  SimModem& m = house_.modem;
  const int64_t echoAt = now_ + kEchoMillis;
  auto echo = [&](bool ok) {
    std::vector<uint8_t> frame(cmd, cmd + n);
    frame.push_back(ok ? kAck : kNak);
    ToHost(echoAt, std::move(frame));
  };
  switch (cmd[1]) {
    case 0x60:
      ToHost(echoAt, {kStart, 0x60, m.id.b[0], m.id.b[1], m.id.b[2], m.category, m.subcategory, m.firmware, kAck});
      break;
    case 0x61:
      SendGroupCommand(cmd[2], cmd[3], cmd[4]);
      break;
    case 0x62:
      SendInsteon(cmd, n);
      break;
    case 0x64:
      m.linking = true;
      m.linkingCode = cmd[2];
      m.linkingGroup = cmd[3];
      m.linkingUntilMillis = now_ + kLinkingMillis;
      echo(true);
      break;
    case 0x65:
      m.linking = false;
      echo(true);
      break;
    case 0x66:
      m.category = cmd[2];
      m.subcategory = cmd[3];
      m.firmware = cmd[4];
      echo(true);
      break;
    case 0x67:
      m.Reset();
      echo(true);
      break;
    case 0x69:
    case 0x6A: {
      if (cmd[1] == 0x69) m.readCursor = 0;
      if (m.readCursor >= m.links.size()) {
        echo(false);  // the end of the table
        break;
      }
      echo(true);
      ToHost(echoAt + kRecordReplyMillis, RecordFrame(m.links[m.readCursor]));
      ++m.readCursor;
      break;
    }
    case 0x6B:
      m.config = cmd[2];
      echo(true);
      break;
    case 0x6C: {
      const auto it = std::find_if(m.links.begin(), m.links.end(),
                                   [&](const LinkEntry& e) { return e.id == lastSender_; });
      echo(it != m.links.end());
      if (it != m.links.end()) ToHost(echoAt + kRecordReplyMillis, RecordFrame(*it));
      break;
    }
    case 0x6F:
      ManageRecord(cmd);
      break;
    case 0x73:
      ToHost(echoAt, {kStart, 0x73, m.config, 0x00, 0x00, kAck});
      break;
    default:  // X10, LED, NAK byte, ACK bytes, RF sleep: taken and confirmed
      echo(true);
      break;
  }
}

void SimNetwork::SendInsteon(const uint8_t* cmd, size_t n) {
  const int64_t echoAt = now_ + kEchoMillis;
  std::vector<uint8_t> echo(cmd, cmd + n);
  // A modem still waiting for the answer to its last message takes no new one.
  const bool busy = now_ < airBusyUntil_;
  echo.push_back(busy ? kNak : kAck);
  ToHost(echoAt, std::move(echo));
  if (busy) return;
  AirMessage a;
  a.from = house_.modem.id;
  a.to = InsteonId::FromBytes(cmd + 2);
  a.type = static_cast<uint8_t>(cmd[5] & 0xE0);
  a.extended = (cmd[5] & kExtendedBit) != 0;
  a.cmd1 = cmd[6];
  a.cmd2 = cmd[7];
  if (a.extended) std::memcpy(a.data, cmd + 8, 14);
  a.hops = 1;
  a.maxHops = cmd[5] & 0x03;
  Transmit(echoAt, a);
  airBusyUntil_ = echoAt + AirMillis(a) + kDeviceTurnaroundMillis + kStandardAirMillis;
}

void SimNetwork::SendGroupCommand(uint8_t group, uint8_t cmd1, uint8_t cmd2) {
  SimModem& m = house_.modem;
  const int64_t echoAt = now_ + kEchoMillis;
  ToHost(echoAt, {kStart, 0x61, group, cmd1, cmd2, m.ControlsGroup(group) ? kAck : kNak});
  if (!m.ControlsGroup(group)) return;
  AirMessage b;
  b.from = m.id;
  b.to = InsteonId::From(0, 0, group);
  b.type = kTypeGroupBroadcast;
  b.cmd1 = cmd1;
  Transmit(echoAt, b);
  // Then a clean-up to each member; each answers, or is reported as failed.
  auto failures = std::make_shared<int>(0);
  int64_t t = echoAt + kCleanupGapMillis;
  for (const LinkEntry& e : m.links) {
    if (!e.Controller() || e.group != group) continue;
    AirMessage c;
    c.from = m.id;
    c.to = e.id;
    c.type = kTypeCleanup;
    c.cmd1 = cmd1;
    c.cmd2 = group;
    const InsteonId member = e.id;
    At(t + kStandardAirMillis, [this, c, member, group, failures] {
      SimDevice* d = Device(member);
      if (d == nullptr || !DeviceHearsCleanup(*d, c)) {
        ++*failures;
        ToHost(now_ + kStandardAirMillis * 3,
               {kStart, 0x56, 0x01, group, member.b[0], member.b[1], member.b[2]});
      }
    });
    t += kCleanupGapMillis;
  }
  At(t + kStandardAirMillis * 4, [this, failures] { Emit({kStart, 0x58, *failures == 0 ? kAck : kNak}); });
}

void SimNetwork::ManageRecord(const uint8_t* cmd) {
  SimModem& m = house_.modem;
  const uint8_t control = cmd[2];
  LinkEntry e;
  e.flags = cmd[3];
  e.group = cmd[4];
  e.id = InsteonId::FromBytes(cmd + 5);
  std::memcpy(e.data, cmd + 8, 3);
  bool ok = false;
  const LinkEntry* found = nullptr;
  switch (control) {
    case 0x00:
    case 0x01: {
      const int i = m.Find(e.group, e.id, kAnySide, control == 0x00 ? 0 : m.findCursor);
      if (i >= 0) {
        found = &m.links[static_cast<size_t>(i)];
        m.findCursor = static_cast<size_t>(i) + 1;
        ok = true;
      }
      break;
    }
    case 0x20: {
      const int i = m.Find(e.group, e.id, e.Controller() ? kControllerSide : kResponderSide);
      if (i >= 0) {
        LinkEntry& held = m.links[static_cast<size_t>(i)];
        std::memcpy(held.data, e.data, 3);
        ok = true;
      } else {
        ok = m.Add(e);
      }
      break;
    }
    case 0x40:
    case 0x41:
      e.flags = static_cast<uint8_t>(control == 0x40 ? e.flags | kLinkController : e.flags & ~kLinkController);
      ok = m.Add(e);
      break;
    case 0x80: {
      const int i = m.Find(e.group, e.id, kAnySide);
      if (i >= 0) {
        m.links.erase(m.links.begin() + i);
        if (m.readCursor > static_cast<size_t>(i)) --m.readCursor;
        ok = true;
      }
      break;
    }
    default:
      break;
  }
  std::vector<uint8_t> echo(cmd, cmd + 11);
  echo.push_back(ok ? kAck : kNak);
  ToHost(now_ + kEchoMillis, std::move(echo));
  if (found != nullptr) ToHost(now_ + kEchoMillis + kRecordReplyMillis, RecordFrame(*found));
}

void SimNetwork::Transmit(int64_t at, const AirMessage& m) {
  At(at + AirMillis(m), [this, m] { Hear(m); });
}

void SimNetwork::Hear(const AirMessage& m) {
  if (!(m.from == house_.modem.id)) ModemHears(m);
  switch (m.type) {
    case kTypeGroupBroadcast:
      for (SimDevice& d : house_.devices) {
        if (!(d.id == m.from) && d.Awake(now_) && !d.deaf) d.FollowGroupCommand(m.from, m.to.b[2], m.cmd1);
      }
      break;
    case kTypeDirect: {
      SimDevice* d = Device(m.to);
      if (d == nullptr || !d->Awake(now_) || d->deaf) break;
      if (d->hops > m.maxHops) break;  // beyond the hops the message was allowed
      DirectOutcome out = d->HandleDirect(m, now_, house_.modem.id);
      for (Reply& r : out.replies) {
        r.message.hops = d->hops;
        Transmit(now_ + r.delayMillis, r.message);
      }
      if (out.enterLinking) {
        const InsteonId id = d->id;
        const uint8_t group = out.linkingGroup;
        At(now_ + kDeviceTurnaroundMillis + kStandardAirMillis * 2, [this, id, group] {
          if (SimDevice* dev = Device(id)) EnterLinking(*dev, group);
        });
      }
      break;
    }
    case kTypeCleanup: {
      SimDevice* d = Device(m.to);
      if (d != nullptr) DeviceHearsCleanup(*d, m);
      break;
    }
    default:
      break;
  }
}

bool SimNetwork::DeviceHearsCleanup(SimDevice& d, const AirMessage& m) {
  if (!d.Awake(now_) || d.deaf) return false;
  if (!d.FollowGroupCommand(m.from, m.cmd2, m.cmd1)) return false;  // not a member: stays quiet
  AirMessage a;
  a.from = d.id;
  a.to = m.from;
  a.type = kTypeCleanupAck;
  a.cmd1 = m.cmd1;
  a.cmd2 = m.cmd2;
  a.hops = d.hops;
  Transmit(now_ + kDeviceTurnaroundMillis + d.slowMillis, a);
  return true;
}

void SimNetwork::ModemHears(const AirMessage& m) {
  const SimModem& modem = house_.modem;
  const bool toModem = m.to == modem.id &&
                       (m.type == kTypeDirect || m.type == kTypeAck || m.type == kTypeNak || m.type == kTypeCleanup ||
                        m.type == kTypeCleanupAck || m.type == kTypeCleanupNak);
  bool pass = toModem || m.type == kTypeBroadcast || modem.MonitorMode();
  if (m.type == kTypeGroupBroadcast && modem.HasLinkWith(m.from)) pass = true;
  if (!pass) return;
  if (toModem || m.type == kTypeBroadcast) lastSender_ = m.from;
  if (toModem && (m.type == kTypeAck || m.type == kTypeNak)) airBusyUntil_ = now_;
  std::vector<uint8_t> frame = {kStart,      static_cast<uint8_t>(m.extended ? 0x51 : 0x50),
                                m.from.b[0], m.from.b[1],
                                m.from.b[2], m.to.b[0],
                                m.to.b[1],   m.to.b[2],
                                HeardFlags(m.type, m.extended, m.hops), m.cmd1,
                                m.cmd2};
  if (m.extended) frame.insert(frame.end(), m.data, m.data + 14);
  Emit(frame);
}

bool SimNetwork::Press(const InsteonId& id, uint8_t group, uint8_t cmd1) {
  RunUntilNow();
  SimDevice* d = Device(id);
  if (d == nullptr) return false;
  if (d->sleeper) d->awakeUntilMillis = std::max(d->awakeUntilMillis, now_ + kPressAwakeMillis);
  d->PressOwnButton(group, cmd1);
  AirMessage b;
  b.from = d->id;
  b.to = InsteonId::From(0, 0, group);
  b.type = kTypeGroupBroadcast;
  b.cmd1 = cmd1;
  b.hops = d->hops;
  const int copies = 1 + std::max(0, house_.repeats);
  for (int i = 0; i < copies; ++i) Transmit(now_ + i * kRepeatGapMillis, b);
  // The clean-ups go to each responder the device holds a controller record for.
  int64_t t = now_ + copies * kRepeatGapMillis + kCleanupGapMillis;
  for (const LinkEntry& e : d->Links()) {
    if (!e.Controller() || e.group != group) continue;
    AirMessage c;
    c.from = d->id;
    c.to = e.id;
    c.type = kTypeCleanup;
    c.cmd1 = cmd1;
    c.cmd2 = group;
    c.hops = d->hops;
    Transmit(t, c);
    t += kCleanupGapMillis;
  }
  return true;
}

bool SimNetwork::PressSet(const InsteonId& id, uint8_t group) {
  RunUntilNow();
  SimDevice* d = Device(id);
  if (d == nullptr) return false;
  if (d->sleeper) d->awakeUntilMillis = std::max(d->awakeUntilMillis, now_ + d->awakeSeconds * int64_t{1000});
  EnterLinking(*d, group);
  return true;
}

void SimNetwork::EnterLinking(SimDevice& d, uint8_t group) {
  SimModem& m = house_.modem;
  if (m.linking && now_ <= m.linkingUntilMillis) {
    CompleteLinking(d, group);
    return;
  }
  m.linking = false;
  // Not linking: the device tells its kind to whoever listens.
  AirMessage b;
  b.from = d.id;
  b.to = InsteonId::From(d.category, d.subcategory, d.firmware);
  b.type = kTypeBroadcast;
  b.cmd1 = 0x01;
  b.hops = d.hops;
  Transmit(now_, b);
}

void SimNetwork::CompleteLinking(SimDevice& d, uint8_t deviceGroup) {
  SimModem& m = house_.modem;
  m.linking = false;
  uint8_t code = m.linkingCode;
  uint8_t group = m.linkingGroup;
  if (code == 0xFF) {
    for (size_t i = m.links.size(); i-- > 0;) {
      if (m.links[i].id == d.id && m.links[i].group == group) m.links.erase(m.links.begin() + static_cast<long>(i));
    }
    d.RemoveLinks(group, m.id);
  } else if (code == 0x00) {
    // The modem answers the device's button: the device is the controller.
    group = deviceGroup != 0 ? deviceGroup : group;
    LinkEntry mine{0xA2, group, d.id, {d.category, d.subcategory, d.firmware}};
    m.Add(mine);
    if (d.FindLink(true, group, m.id) < 0) d.AddLink(LinkEntry{0xE2, group, m.id, {0x03, 0x00, group}});
  } else {
    code = 0x01;  // the modem controls the group; the device answers it
    LinkEntry mine{0xE2, group, d.id, {d.category, d.subcategory, d.firmware}};
    m.Add(mine);
    if (d.FindLink(false, group, m.id) < 0) {
      const uint8_t onLevel = 0xFF;
      d.AddLink(LinkEntry{0xA2, group, m.id, {onLevel, static_cast<uint8_t>(d.IsDimmer() ? 0x1C : 0x00), 0x01}});
    }
  }
  ToHost(now_ + kStandardAirMillis * 3,
         {kStart, 0x53, code, group, d.id.b[0], d.id.b[1], d.id.b[2], d.category, d.subcategory, d.firmware});
}

}  // namespace quorvel::sim
