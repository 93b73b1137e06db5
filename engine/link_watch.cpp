#include "engine/link_watch.h"

#include <algorithm>
#include <cstdio>

#include "device/device_catalogue.h"
#include "device/device_database.h"
#include "engine/context.h"
#include "engine/link_operations.h"

namespace quorvel {

namespace {

// Links FindLinkIndex looks at: the first linkCount, never more than 32.
constexpr int kReturnLinkSlots = 32;
// Read or write a device's link database (extended).
constexpr uint8_t kLinkDatabaseCommand = 0x2F;

uint32_t CountedSlots(const DeviceDatabase& db) { return db.count < kMaxDevices ? db.count : kMaxDevices; }

bool EngineKnown(uint8_t engine) { return engine >= kEngineI1 && engine <= kEngineI2cs; }

// The first slot of each id, as FindDevice finds it, looked up without scanning
// the table once per link: a full house has some 16000 links.
class FirstSlotIndex {
 public:
  explicit FirstSlotIndex(const DeviceDatabase& db) {
    const uint32_t n = CountedSlots(db);
    entries_.reserve(n);
    for (uint32_t i = 0; i < n; ++i) entries_.push_back(uint64_t{db.records[i].id.Value()} << 16 | i);
    std::sort(entries_.begin(), entries_.end());
  }
  int Find(const InsteonId& id) const {
    const uint64_t value = id.Value();
    auto it = std::lower_bound(entries_.begin(), entries_.end(), value << 16);
    if (it == entries_.end() || (*it >> 16) != value) return -1;
    return static_cast<int>(*it & 0xFFFF);
  }

 private:
  std::vector<uint64_t> entries_;
};

// Does the device belong in the report of this category (0..8)?
bool Selected(DeviceRecord& d, int category) {
  // Asked first and for every device: the answer also decides the controller listing.
  const bool controller = category == 8 && ControllerGroupCount(d) != 0;
  if (d.linkCount == 0) return false;
  switch (category) {
    case 0:
    case 1:
      return EngineKnown(d.engineVersion);
    case 2:
      return d.engineVersion == kEngineI2cs;
    case 3:
      return d.engineVersion == kEngineI2;
    case 4:
      return d.engineVersion == kEngineI1;
    case 5:
      return IsWirelessDevice(d);
    case 6:
      return d.InUse() && d.category == 0x01;
    case 7:
      return d.InUse() && d.category == 0x02;
    case 8:
      return controller;
    default:
      return false;
  }
}

// Never heard from: no contact since before 2010, or a stored time that does
// not convert (garbage from a file), which can only mean the same.
bool NeverHeardFrom(const Clock& clock, Time lastContact) {
  const LocalTime local = clock.Local(lastContact);
  return !local.valid || local.year < kHeardFromYear;
}

// Texts of the report lines, written by hand into one buffer: a full house
// has some 13000 lines, and formatting them is most of a report's time.
class LineText {
 public:
  // "[%02x.%02x.%02x] %s": the device and its catalogue name.
  std::string_view Device(const DeviceRecord& d) {
    Start();
    Id(d.id);
    Text(" ");
    Text(ProductName(d.category, d.subcategory));
    return View();
  }
  // "[%02x.%02x.%02x] Group %d, contains return link."
  std::string_view ReturnLink(const InsteonId& partner, uint8_t group) {
    Head(partner, group);
    Text(", contains return link.");
    return View();
  }
  // "[%02x.%02x.%02x] Group %d, contains return link in [%02x.%02x.%02x]."
  std::string_view ReturnLinkIn(const InsteonId& partner, uint8_t group) {
    Head(partner, group);
    Text(", contains return link in ");
    Id(partner);
    Text(".");
    return View();
  }
  // "[%02x.%02x.%02x] Group %d, NO return link in [%02x.%02x.%02x]."
  std::string_view NoReturnLink(const InsteonId& partner, uint8_t group) {
    Head(partner, group);
    Text(", NO return link in ");
    Id(partner);
    Text(".");
    return View();
  }

 private:
  void Start() { n_ = 0; }
  void Head(const InsteonId& partner, uint8_t group) {
    Start();
    Id(partner);
    Text(" Group ");
    if (group >= 100) Char(static_cast<char>('0' + group / 100));
    if (group >= 10) Char(static_cast<char>('0' + group / 10 % 10));
    Char(static_cast<char>('0' + group % 10));
  }
  void Id(const InsteonId& id) {
    static constexpr char kHex[] = "0123456789abcdef";
    Char('[');
    for (int i = 0; i < 3; ++i) {
      if (i > 0) Char('.');
      Char(kHex[id.b[i] >> 4]);
      Char(kHex[id.b[i] & 0x0F]);
    }
    Char(']');
  }
  void Text(std::string_view t) {
    for (char c : t) Char(c);
  }
  void Char(char c) {
    if (n_ < sizeof buf_) buf_[n_++] = c;
  }
  std::string_view View() const { return std::string_view(buf_, n_); }

  char buf_[128];
  size_t n_ = 0;
};

// Fills the report's lines in order, reusing the lines (and their text
// buffers) of the previous build: the dialog rebuilds after every stored link.
class ReportBuilder {
 public:
  explicit ReportBuilder(LinkReport& out) : out_(out) {}
  ~ReportBuilder() { out_.lines.resize(used_); }

  int Add(int parent, std::string_view text, ReportLineKind kind, DeviceKey key, int linkIndex, bool expanded) {
    if (used_ == out_.lines.size()) out_.lines.emplace_back();
    ReportLine& line = out_.lines[used_];
    line.text.assign(text);
    line.kind = kind;
    line.parent = parent;
    line.depth = parent < 0 ? 0 : out_.lines[static_cast<size_t>(parent)].depth + 1;
    line.expanded = expanded;
    line.key = key;
    line.linkIndex = linkIndex;
    return static_cast<int>(used_++);
  }
  ReportLine& Line(int index) { return out_.lines[static_cast<size_t>(index)]; }

 private:
  LinkReport& out_;
  size_t used_ = 0;
};

}  // namespace

int FindLinkIndex(const DeviceRecord& record, const InsteonId& id, uint8_t group) {
  const int n = record.linkCount < kReturnLinkSlots ? record.linkCount : kReturnLinkSlots;
  for (int k = 0; k < n; ++k) {
    const LinkRecord& link = record.links[k];
    if (link.InUse() && link.group == group && link.id == id) return k;
  }
  return -1;
}

bool BuildReport(DeviceDatabase& db, const Clock& clock, int category, LinkReport& out) {
  out.lineColour.reset();
  ReportBuilder builder(out);
  if (category < 0 || category >= kReportCategories) {
    out.category = -1;
    return false;
  }
  out.category = category;

  const std::string_view rootText =
      category == kReportNotResponding ? kNoResponseRoot : kReportCategoryNames[static_cast<size_t>(category)];
  const int root = builder.Add(-1, rootText, ReportLineKind::Root, 0, -1, false);
  const uint32_t n = CountedSlots(db);
  LineText text;

  if (category == kReportNotResponding) {
    for (uint32_t i = 0; i < n; ++i) {
      const DeviceRecord& d = db.records[i];
      if (!d.InUse() || !NeverHeardFrom(clock, d.timeLastContact)) continue;
      builder.Add(root, text.Device(d), ReportLineKind::Device, MakeDeviceKey(d.group, d.id), -1, false);
    }
    builder.Line(root).expanded = true;
    return true;
  }

  const FirstSlotIndex partners(db);
  for (uint32_t i = 0; i < n; ++i) {
    DeviceRecord& d = db.records[i];
    if (!Selected(d, category)) continue;
    const DeviceKey key = MakeDeviceKey(d.group, d.id);
    int deviceLine = -1;
    const int links = d.LinkLimit();
    for (int k = 0; k < links; ++k) {
      const LinkRecord& link = d.links[k];
      if (!link.InUse()) continue;
      const int partnerSlot = partners.Find(link.id);
      if (partnerSlot < 0) continue;  // a partner we do not know is not reported
      const DeviceRecord& o = db.records[partnerSlot];
      if (!o.InUse()) continue;
      if (category == 1 && !EngineKnown(o.engineVersion)) continue;

      if (deviceLine < 0) deviceLine = builder.Add(root, text.Device(d), ReportLineKind::Device, key, -1, true);
      const bool returned = FindLinkIndex(o, d.id, link.group) >= 0;
      auto addLink = [&](std::string_view lineText, ReportLineKind kind) {
        builder.Add(deviceLine, lineText, kind, key, k, false);
      };
      if (category == 0) {
        out.lineColour = kReportRed;
        // Modems and hubs are not checked: their tables are not read here.
        if (o.category == 0x03) continue;
        if (returned) {
          addLink(text.ReturnLink(link.id, link.group), ReportLineKind::ReturnLink);
        } else {
          out.lineColour = kReportDarkRed;
          addLink(text.NoReturnLink(link.id, link.group), ReportLineKind::NoReturnLink);
        }
      } else if (category == 1) {
        if (returned) continue;
        addLink(text.NoReturnLink(link.id, link.group), ReportLineKind::NoReturnLink);
        if (o.linkCount == 0) addLink(kZeroLinksOrUnread, ReportLineKind::PartnerUnread);
      } else if (returned) {
        addLink(text.ReturnLinkIn(link.id, link.group), ReportLineKind::ReturnLink);
      } else {
        addLink(text.NoReturnLink(link.id, link.group), ReportLineKind::NoReturnLink);
      }
    }
  }
  builder.Line(root).expanded = true;
  return true;
}

bool BuildReport(Context& ctx, int category, LinkReport& out) { return BuildReport(ctx.db, ctx.clock, category, out); }

std::string ReportText(const LinkReport& report) {
  std::string text;
  for (const ReportLine& line : report.lines) {
    text.append(static_cast<size_t>(line.depth) * 2, ' ');
    text += line.text;
    text += '\n';
  }
  return text;
}

bool CreateReturnLink(Context& ctx, int slot, int linkIndex) {
  DeviceDatabase& db = ctx.db;
  if (slot < 0 || static_cast<uint32_t>(slot) >= CountedSlots(db)) return false;
  const DeviceRecord& d = db.records[slot];
  if (linkIndex < 0 || linkIndex >= d.LinkLimit()) return false;
  const LinkRecord& link = d.links[linkIndex];
  if (!link.InUse() || link.id == d.id) return false;
  const int partner = db.FindDevice(link.id);
  if (partner < 0) return false;
  // The device's own record says whether it controls or responds; the partner
  // gets the other half. Judging by the device's kind instead would make a
  // dimmer that responds to a keypad the keypad's controller.
  if ((link.flags & kLinkController) != 0)
    return LinkControllerResponder(ctx, slot, link.group, partner, kReturnLinkLevel);
  return LinkControllerResponder(ctx, partner, link.group, slot, kReturnLinkLevel);
}

bool RemoveLink(Context& ctx, int slot, int linkIndex) {
  DeviceDatabase& db = ctx.db;
  if (slot < 0 || static_cast<uint32_t>(slot) >= CountedSlots(db)) return false;
  const DeviceRecord& d = db.records[slot];
  if (linkIndex < 0 || linkIndex >= d.LinkLimit()) return false;
  return UpdateLink(ctx, slot, linkIndex, d.links[linkIndex].group, 0, 0, kRemovedRecordFlags);
}

namespace {

// A device whose link to the modem for its own group is missing and may be
// written now.
bool WantsModemLink(const Context& ctx, const DeviceRecord& d) {
  if (!d.InUse() || d.group == kDiscoveryGroup || !d.IdentityKnown() || !EngineKnown(d.engineVersion))
    return false;
  if (ctx.db.FindLinkInDevice(d.id, d.group, ctx.db.plm.plmId) >= 0) return false;
  if (ctx.queues.hold.Find(d.id, kLinkDatabaseCommand) >= 0) return false;
  // A table that was asked for but never arrived looks empty; writing into it
  // would overwrite whatever the device holds in its first slot.
  return d.plmLinkRepairs == 0 && d.timeLinksRead != 0 && d.linkCount > 0;
}

}  // namespace

bool AutoRepair(Context& ctx) {
  RepairWindow& window = ctx.tick.repairWindow;
  // A new day lets the pass look again within the current window.
  if (ctx.sun.repairPassReset) {
    ctx.sun.repairPassReset = false;
    window.firstPassRun = false;
  }
  if ((ctx.options.runFlags & kRunLinkWatchRepair) == 0 || window.repairMade) return false;
  const Time now = ctx.clock.Now();
  if (now - ctx.tick.lastReceiveTime < kRepairQuietSeconds || now - ctx.engine.lastTreeClick < kRepairQuietSeconds)
    return true;
  if (window.firstPassRun) return false;
  // A job under way would refuse the new one; the pass runs again next time.
  if (LinkOperationRunning(ctx)) return false;

  DeviceDatabase& db = ctx.db;
  const uint32_t n = CountedSlots(db);
  for (uint32_t i = 0; i < n; ++i) {
    DeviceRecord& d = db.records[i];
    if (!WantsModemLink(ctx, d)) continue;
    ctx.log.LogActivityFormatted("LINK WATCH - Fix link for PLM Group %d not found in [%02x.%02x.%02x].", d.group,
                                 d.id.b[0], d.id.b[1], d.id.b[2]);
    LinkDeviceToPlmGroup(ctx, static_cast<int>(i), d.group);
    if (d.plmLinkRepairs < 0xFF) ++d.plmLinkRepairs;
    window.repairMade = true;
    break;
  }
  window.firstPassRun = true;
  return false;
}

int RepairsWaiting(const Context& ctx) {
  int n = 0;
  const uint32_t counted = CountedSlots(ctx.db);
  for (uint32_t i = 0; i < counted; ++i) n += WantsModemLink(ctx, ctx.db.records[i]);
  return n;
}

void WireLinkWatch(Context& ctx) { ctx.engine.autoRepair = [](Context& c) { return AutoRepair(c); }; }

}  // namespace quorvel
