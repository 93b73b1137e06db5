#include "engine/run_summary.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "device/device_catalogue.h"
#include "device/group_table.h"
#include "engine/context.h"
#include "engine/device_polling.h"
#include "engine/link_operations.h"
#include "engine/link_watch.h"

namespace quorvel {

namespace {

bool LinksRead(const DeviceRecord& r) { return r.aldbReadState == kReadNone && r.timeLinksRead != 0; }

int LinksInUse(const DeviceRecord& r) {
  int n = 0;
  for (int k = 0; k < r.LinkLimit(); ++k) n += r.links[k].InUse();
  return n;
}

__attribute__((format(printf, 2, 3))) void Line(std::string& out, const char* format, ...) {
  char line[160];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  out += line;
  out += '\n';
}

// The engine's status text on one line: its line breaks and tabs (the wait
// window's layout) as single blanks.
std::string OneLine(const std::string& text) {
  std::string out;
  for (char c : text) {
    const bool blank = c == ' ' || c == '\n' || c == '\r' || c == '\t';
    if (blank && (out.empty() || out.back() == ' ')) continue;
    out += blank ? ' ' : c;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

__attribute__((format(printf, 1, 2))) std::string Printed(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

}  // namespace

NetworkCensus TakeCensus(const Context& ctx) {
  NetworkCensus c;
  const DeviceDatabase& db = ctx.db;
  const uint32_t n = std::min<uint32_t>(db.count, kMaxDevices);
  for (uint32_t i = 0; i < n; ++i) {
    const DeviceRecord& first = db.records[i];
    if (first.group == kDiscoveryGroup) ++c.discoveryMembers;
    if (first.linkFlags == 0) ++c.awaitingDiscovery;
    if (db.FindDevice(first.id) != static_cast<int>(i)) continue;  // counted with its first record

    bool inUse = false, kind = false, firmware = false, read = false, wireless = false, silent = false;
    uint8_t engine = kEngineUnknown;
    int links = 0;
    for (uint32_t j = i; j < n; ++j) {
      const DeviceRecord& r = db.records[j];
      if (!(r.id == first.id)) continue;
      inUse |= r.InUse();
      silent |= r.InUse() && r.noResponse != 0;
      kind |= r.IdentityKnown();
      firmware |= r.firmware != 0;
      read |= LinksRead(r);
      wireless |= r.IdentityKnown() && IsWirelessDevice(r);
      if (r.engineVersion >= kEngineI1 && r.engineVersion <= kEngineI2cs) engine = r.engineVersion;
      links = std::max(links, LinksInUse(r));
    }
    ++c.devices;
    c.linkedToModem += inUse;
    c.kindKnown += kind;
    c.firmwareKnown += firmware;
    c.engineKnown += engine != kEngineUnknown;
    c.engineI1 += engine == kEngineI1;
    c.engineI2 += engine == kEngineI2;
    c.engineI2cs += engine == kEngineI2cs;
    c.identified += kind && engine != kEngineUnknown;
    c.linkTablesRead += read;
    c.linksStored += links;
    if (inUse && !wireless && !silent && (!kind || engine == kEngineUnknown || !read)) ++c.poweredOutstanding;
  }
  return c;
}

bool NetworkSettled(const Context& ctx) {
  if (ctx.engine.engineState < kEngineSteady || ctx.db.plm.plmFound == 0) return false;
  const SendQueues& q = ctx.queues;
  if (!q.replyRing.Empty() || !q.plainRing.Empty() || !q.delayedRing.Empty() || !q.modem.Empty()) return false;
  if (ctx.linkReader.Busy() || LinkOperationRunning(ctx)) return false;
  const NetworkCensus c = TakeCensus(ctx);
  if ((ctx.options.runFlags & kRunDiscovery) != 0 && c.awaitingDiscovery > 0) return false;
  if ((ctx.options.runFlags & kRunLinkWatchRepair) != 0 && RepairsWaiting(ctx) > 0) return false;
  return c.poweredOutstanding == 0;
}

std::string RunSummary(const Context& ctx) {
  const NetworkCensus c = TakeCensus(ctx);
  const PlmInfo& plm = ctx.db.plm;
  const NetworkEngine& e = ctx.engine;
  const TrafficCounts& t = ctx.queues.counts;
  std::string out;
  Line(out, "Run summary");
  if (plm.plmFound) {
    const std::string firmware = FirmwareText(plm.plmFirmware);
    Line(out, "  modem          %02x.%02x.%02x  %.40s  firmware %s", plm.plmId.b[0], plm.plmId.b[1], plm.plmId.b[2],
         std::string(ProductName(plm.plmCategory, plm.plmSubcategory)).c_str(), firmware.c_str());
  } else {
    Line(out, "  modem          not found");
  }
  Line(out, "  engine         %s (state %d), modem table read %u times, %u records",
       e.engineState >= kEngineSteady ? "steady" : "starting", e.engineState, e.plmTableReads, ctx.db.count);
  Line(out, "  devices        %d (%d linked to the modem, %d known only from links)", c.devices, c.linkedToModem,
       c.devices - c.linkedToModem);
  Line(out, "  identified     kind %d, firmware %d, engine version %d (i1 %d, i2 %d, i2cs %d)", c.kindKnown,
       c.firmwareKnown, c.engineKnown, c.engineI1, c.engineI2, c.engineI2cs);
  Line(out, "  link tables    %d read, %d links stored", c.linkTablesRead, c.linksStored);
  Line(out, "  group 251      %d members, %d found in links still to place", c.discoveryMembers, c.awaitingDiscovery);
  Line(out, "  outstanding    %d powered devices not yet identified and read", c.poweredOutstanding);
  Line(out, "  link watch     %d devices waiting for their link to the modem (repair %s)", RepairsWaiting(ctx),
       (ctx.options.runFlags & kRunLinkWatchRepair) != 0 ? "on" : "off");
  Line(out, "  messages       %u sent, %u retries, %u modem commands, %u frames received", t.insteonSent, t.retries,
       t.modemCommandsSent, ctx.incoming.framesHandled);
  Line(out, "  given up       %u unanswered, %u held for wireless devices", t.giveUps,
       static_cast<unsigned>(ctx.queues.hold.heldCount));
  return out;
}

std::string ProgressText(const Context& ctx) {
  if (ctx.options.userDisconnect != 0) return kProgressDisconnected;
  if (!ctx.link.Answered()) {
    // What keeps a port shut says more than that no modem answered.
    if (!ctx.link.Refusal().empty() && !ctx.port.IsOpen()) return ctx.link.Refusal();
    if (!ctx.link.NoModemText().empty()) return ctx.link.NoModemText();
    if (ctx.port.IsOpen())
      return Printed(kProgressAsking, ctx.port.PortName(ctx.link.OpenPortNumber()).c_str());
    return kProgressSearching;
  }
  const NetworkEngine& e = ctx.engine;
  if (e.engineState < kEngineSteady) {
    // The start-up sequence: configure the modem, read its table, merge.
    if (e.plmTableReading) return Printed(kProgressReadingModem, ctx.db.count);
    return e.engineState < 4 ? kProgressSettingUp : kProgressLoading;
  }
  const NetworkCensus c = TakeCensus(ctx);
  std::string doing = OneLine(e.statusText);
  // Between requests the polling says "Idle"; while devices are still to be
  // learned it is only waiting for its next turn on the line.
  const bool learning = c.poweredOutstanding > 0 ||
                        ((ctx.options.runFlags & kRunDiscovery) != 0 && c.awaitingDiscovery > 0);
  if (doing.empty() || (doing == kStatusIdle && learning)) doing = learning ? kProgressLearning : kStatusIdle;
  const std::string counts =
      c.devices == 0 ? kProgressNoDevices : Printed(kProgressCounts, c.identified, c.devices, c.linkTablesRead, c.linkTablesRead == 1 ? "" : "s");
  return doing + " - " + counts;
}

}  // namespace quorvel
