#include "views/device_setup/device_setup_model.h"

#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "config/config_files.h"
#include "device/device_catalogue.h"
#include "device/group_table.h"
#include "engine/context.h"
#include "engine/device_polling.h"
#include "engine/group_links.h"
#include "engine/link_operations.h"
#include "platform/bytes.h"
#include "plm/link_reader.h"
#include "plm/send_queues.h"

namespace quorvel {

namespace {

constexpr uint8_t kOn = 0x11;
constexpr uint8_t kOff = 0x13;
constexpr uint8_t kEnterLinking = 0x09;
constexpr uint8_t kEnterUnlinking = 0x0A;
constexpr uint8_t kMeterReset = 0x80;

constexpr const char* kModemNeededText = "A Power Line Modem #2413U,2412S/U must be connected to save device(s) ID.";
constexpr const char* kModemPicture = "2413u.bmp";
constexpr const char* kNoResponseText = "No response from device.";

constexpr const char* kModemLines[] = {
    " - Add New Device / Create Group -",
    "1) Enter DEVICE ID",
    "2) CLICK 'Add New Device' Button.",
    "New devices are placed to computer group 251.",
    "HINT: Enter a device ID with other links.",
    "The device ALL-Link Database is read for device discovery.",
    "Wireless devices such as RemoteLinc need activation.",
    "Commands for wireless devices are stored waiting for device activity.",
    " - Wireless Activation -",
    "For RemoteLinc: Press DIM button.",
    "For Motion Sensor: Press set button, or activate motion.",
};
constexpr const char* kActivationLines[] = {
    "Wireless devices such as RemoteLinc need activation.",
    "Commands for wireless devices are stored waiting for device activity.",
    "For RemoteLinc: Press DIM button.",
    "For Motion Sensor: Press set button, or activate motion.",
};

constexpr const char* kModemHelp = "Power Line Modem";
constexpr const char* kGroupHelp =
    "Computer Group\n\nComputer groups are made up from Insteon devices linked to the Power Line Modem as a "
    "group.Group commands are On/Off and Dim/Bright. On levels and ramp rates are stored by the group responder "
    "device.This is true for both computer groups and controller groups, such as for the RemoteLinc.When using SET "
    "buttons for linking to groups, the Insteon responder device will remember it's on state and save it with the "
    "link information.\nFor computer groups you will set on levels and ramp rates from within the Device Setup "
    "View.\n\nWith Timer and Logic events.\nExample: All my outside lighting is set to come on to 50% on level 30 "
    "minutes after sunset. The InLineLinc dimmers used for this belong to the same computer group. The InLineLinc "
    "dimmers are configured to turn on to 50% on level. When motion is detected in areas where there is lighting a "
    "Logic Event will dim the lights up to 100%, and back to 50 % after motion delay.\n\n(See help text in the "
    "Device Setup TAB from Device View)\nDiscovery Group 251 is where all newly discovered devices are initially "
    "placed.\nAll Insteon Devices Group 255 is used by all Insteon devices as a common group for ALL ON and ALL OFF "
    "commands.";
constexpr const char* kDeviceHelp =
    " Edit Device Link Information\n\n Delete Link   - Click box under Check/Del\n Clicking in the checkbox at left "
    "causes a '<Del>' prompt in the column under 'Enter/Save'.\n\n On Level for Group   - Edit On Level value (0 to "
    "100)\n Controller groups and Computer groups only send ON / OFF or DIM commands to Insteon Groups. Each device "
    "stores its onlevel for the group it responds to. This is where you set onlevel for Computer and controller "
    "groups. Press a button on a RemoteLinc, the reponder will turn on to this level.\n\n Ramp Rate /On Rate   - "
    "Edit On Level value (0 to 31)\n 31 = .1 sec\n 29 = .3 Sec\n 27 =  2 Sec\n 20 = 26 Sec\n 12 =  1 Min\n  4 =  5 "
    "Min\n  0 =  9 Min\n\n To Save\n   - Click (or use [ENTER] key) under Enter/Save";

constexpr const char* kIdEditTitle = "Device ID";
constexpr const char* kIdEditText = "Please enter the device ID as three hexadecimal bytes, for example 2a 10 01.";
constexpr const char* kCostTitle = "Cost / KWH";
constexpr const char* kCostText = "The cost per kWh must be a number from 0 to 1000, for example .13";
// A price per kWh beyond this is a typing mistake, not a tariff.
constexpr double kCostMax = 1000;

__attribute__((format(printf, 1, 2))) std::string Format(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

bool IsEnergyMeter(const DeviceRecord& r) { return r.category == 0x09 && r.subcategory == 0x07; }

// Kinds whose load the slider sets.
bool HasLevelSlider(const DeviceRecord& r) {
  switch (r.category) {
    case 0x01: case 0x02: case 0x04: case 0x05: case 0x06: case 0x07: case 0x0E: case 0x0F:
      return true;
    case 0x09:
      return r.subcategory != 0x07;
    default:
      return false;
  }
}

DeviceRecord* SelectedDevice(Context& ctx, DeviceKey key) {
  const int slot = ctx.db.FindDeviceByKey(key);
  return slot >= 0 ? &ctx.db[slot] : nullptr;
}

// A group number list entry: 0..251.
bool GroupEntry(const DeviceSetupState& state, uint8_t& group) {
  if (state.groupListIndex < 0 || state.groupListIndex >= kGroupListEntries) return false;
  group = static_cast<uint8_t>(state.groupListIndex);
  return true;
}

// One id edit: one or two hexadecimal digits, blanks around them allowed.
bool ParseIdByte(const std::string& text, uint8_t& out) {
  size_t begin = text.find_first_not_of(" \t");
  size_t end = text.find_last_not_of(" \t");
  if (begin == std::string::npos) return false;
  const std::string_view digits(text.data() + begin, end - begin + 1);
  if (digits.size() > 2) return false;
  unsigned value = 0;
  const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
  if (ec != std::errc() || ptr != digits.data() + digits.size()) return false;
  out = static_cast<uint8_t>(value);
  return true;
}

void SendToGroupOrDevice(Context& ctx, const DeviceSetupState& state, bool on) {
  const Selection sel = ResolveSelection(ctx, ctx.tick.treeSelection);
  if (sel.kind == SelectionKind::kGroup) {
    SendGroupCommand(ctx, sel.group, on ? kOn : kOff);
  } else if (sel.kind == SelectionKind::kDevice) {
    if (on)
      DeviceOn(ctx, sel.key, state.onLevel);
    else
      DeviceOff(ctx, sel.key);
  }
}

void AppendEnergyBoxes(Context& ctx, const DeviceRecord& r, InfoPanel& p) {
  const EnergyReading e = EnergyFromExtData(r.extData);
  const double price = ctx.options.energyPrice;
  p.energyLeft = {"At " + PanelTimeText(ctx, r.timeStatusRequest),
                  Format("Power Consumption %f Watts", static_cast<double>(e.watts)),
                  Format("Cost per hour %f", e.watts / 1000.0 * price),
                  Format("Cost per 8 hours %f", e.watts * 8 / 1000.0 * price)};
  p.energyRight = {"Since " + PanelTimeText(ctx, r.timeStatusReply), Format("Energy Used %f KWh", e.kwh),
                   Format("%f x $%f = $%f", e.kwh, price, e.kwh * price)};
}

}  // namespace

Selection ResolveSelection(const Context& ctx, DeviceKey key) {
  Selection sel;
  sel.key = key;
  const uint8_t top = KeyGroup(key);
  if (top == 0xFF) {
    sel.kind = SelectionKind::kModem;
  } else if (top == 0xFE) {
    sel.kind = SelectionKind::kGroup;
    sel.group = static_cast<uint8_t>(key & 0xFF);
  } else if (const int slot = ctx.db.FindDeviceByKey(key); slot >= 0) {
    sel.kind = SelectionKind::kDevice;
    sel.slot = slot;
  }
  return sel;
}

DeviceKey ModemKey(const Context& ctx) { return MakeDeviceKey(0xFF, ctx.db.plm.plmId); }

ControlSet ApplySelectionMode(Context& ctx, DeviceSetupState& state) {
  ControlSet c;
  c.groupSetupCaption = state.groupSetupOpen ? kCloseGroupSetupCaption : kGroupSetupCaption;
  c.helpPanel = state.helpVisible;
  state.appliedKey = ctx.tick.treeSelection;
  if (ctx.db.count == 0) {
    // Nothing to select yet: the first device can still be typed in.
    c.idEdits = true;
    c.addJoin = true;
  }
  c.addJoinCaption = state.joinCaption ? kJoinGroupCaption : kAddNewDeviceCaption;
  if (state.helpVisible) return c;

  const Selection sel = ResolveSelection(ctx, ctx.tick.treeSelection);
  switch (sel.kind) {
    case SelectionKind::kNone:
      break;
    case SelectionKind::kModem:
      c.modemButtons = true;
      state.joinCaption = false;
      c.addJoinCaption = kAddNewDeviceCaption;
      c.addJoin = true;
      c.idEdits = true;
      break;
    case SelectionKind::kGroup:
      c.groupOnOff = true;
      c.groupView = sel.group;
      break;
    case SelectionKind::kDevice: {
      DeviceRecord& r = ctx.db[sel.slot];
      if (state.groupSetupOpen) {
        state.joinCaption = true;
        c.addJoinCaption = kJoinGroupCaption;
        c.addJoin = true;
        c.unlink = true;
        c.idEdits = true;
        c.groupList = true;
        // A group the list does not offer (252..255) selects no entry.
        state.groupListIndex = r.group < kGroupListEntries ? r.group : -1;
      }
      c.linkList = true;
      if (IsEnergyMeter(r)) {
        c.energy = true;
      } else if (HasLevelSlider(r)) {
        c.slider = true;
        c.levelText = LevelTextFromLevel(r.level);
        c.deviceOnOff = !IsWirelessDevice(r);
      }
      break;
    }
  }
  return c;
}

std::string LevelTextFromLevel(uint8_t level) {
  int p = level * 100 / 255;
  if (p > 95) p = 100;
  if (p < 5) p = 0;
  return Format(" %d%% ", p);
}

int SliderPositionForLevel(uint8_t level) {
  const int position = level / 5 + 1;
  return position > kSliderMax ? kSliderMax : position;
}

void SliderMoved(DeviceSetupState& state, int position, bool deviceSelected) {
  if (position < 0) position = 0;
  if (position > kSliderMax) position = kSliderMax;
  const int percent = 2 * position;
  state.sliderPercent = static_cast<uint8_t>(percent > 100 ? 100 : percent);
  if (deviceSelected) state.onLevel = static_cast<uint8_t>(5 * position);
}

std::string LevelTextFromSlider(const DeviceSetupState& state) {
  int p = state.sliderPercent;
  if (p > 98) p = 100;
  if (p < 2) p = 0;
  return Format(" %d%% ", p);
}

EnergyReading EnergyFromExtData(const uint8_t extData[14]) {
  EnergyReading e;
  // Data bytes are counted from 1: bytes 7 and 8 are the watts, 9 to 12 the energy.
  const int raw = extData[6] << 8 | extData[7];
  e.watts = raw > 32767 ? raw - 65535 : raw;
  if (extData[8] < 254) {
    const uint32_t count = uint32_t{extData[8]} << 24 | uint32_t{extData[9]} << 16 | uint32_t{extData[10]} << 8 |
                           uint32_t{extData[11]};
    // The product passes 32 bits long before a meter's count runs out.
    e.kwh = static_cast<double>(count) * 65535.0 / 216000000.0;
  }
  return e;
}

std::string PanelTimeText(const Context& ctx, Time t) {
  if (t == 0) return {};  // never
  const LocalTime lt = ctx.clock.Local(t);
  if (!lt.valid) return {};
  const int hour12 = lt.hour % 12 == 0 ? 12 : lt.hour % 12;
  return Format("%02d/%02d/%02d - %02d:%02d:%02d %s", lt.month + 1, lt.day, lt.year, hour12, lt.minute, lt.second,
                lt.hour < 12 ? "am" : "pm");
}

std::string DeviceDescription(DeviceRecord& r) {
  NameFromCatalogueIfEmpty(r);
  return std::string(FixedText(r.name));
}

std::string DeviceTitle(Context&, DeviceRecord& r) {
  return Format("[ %02x.%02x.%02x ]   ", r.id.b[0], r.id.b[1], r.id.b[2]) + DeviceDescription(r);
}

InfoPanel BuildInfoPanel(Context& ctx, const DeviceSetupState&) {
  InfoPanel p;
  const PlmInfo& plm = ctx.db.plm;
  if (plm.plmFound == 0) {
    p.noModem = true;
    p.lines.push_back(kModemNeededText);
  }
  const Selection sel = ResolveSelection(ctx, ctx.tick.treeSelection);
  switch (sel.kind) {
    case SelectionKind::kNone:
      break;
    case SelectionKind::kModem: {
      p.picture = kModemPicture;
      p.idLabel = true;
      const std::string product(ProductName(plm.plmCategory, plm.plmSubcategory));
      p.lines.push_back(Format(" %s  FirmWare %x.%x, CAT %2x, %2x ", product.c_str(), plm.plmFirmware >> 4,
                               plm.plmFirmware & 0x0F, plm.plmCategory, plm.plmSubcategory));
      p.lines.push_back(Format(" %02x.%02x.%02x ", plm.plmId.b[0], plm.plmId.b[1], plm.plmId.b[2]));
      for (const char* line : kModemLines) p.lines.push_back(line);
      break;
    }
    case SelectionKind::kGroup:
      p.caption = Format(" Computer Group %d \n ", sel.group) + std::string(ctx.groups.GroupLabel(sel.group)) + " ";
      break;
    case SelectionKind::kDevice: {
      DeviceRecord& r = ctx.db[sel.slot];
      // A record whose identity came from the modem's link data has no picture
      // of its own yet: its kind's picture stands in.
      const std::string_view picture = PictureText(r);
      p.picture = picture.empty() ? std::string(PictureName(r.category, r.subcategory)) : std::string(picture);
      p.idLabel = true;
      const std::string kind(ProductName(r.category, r.subcategory));
      std::string identity = Format("%s    Cat %x:%x\nFirmware %s, IEV %d", kind.c_str(), r.category, r.subcategory,
                                    FirmwareText(r.firmware).c_str(), r.engineVersion);
      if (identity.size() < 30) identity.resize(30, ' ');
      p.lines.push_back(identity);
      const LocalTime contact = ctx.clock.Local(r.timeLastContact);
      if (r.timeLastContact != 0 && contact.valid && contact.year > 2009)
        p.lines.push_back("Last Contact: " + PanelTimeText(ctx, r.timeLastContact));
      else
        p.lines.push_back(kNoResponseText);
      if (r.category == 0x07 && r.subcategory == 0x00)
        p.lines.push_back(Format("Sensor status %d, Relay status %d", r.level2, r.level));
      if (IsWirelessDevice(r) && FindHeldFor(ctx, r.id) >= 0) {
        // The reminder names the device, then says how to wake it.
        const std::string& reminder = ctx.log.WakeReminder();
        const size_t dash = reminder.rfind(" - ");
        if (dash == std::string::npos) {
          if (!reminder.empty()) p.lines.push_back(reminder);
        } else {
          p.lines.push_back(reminder.substr(0, dash));
          p.lines.push_back(reminder.substr(dash + 3));
        }
      }
      if (!r.IdentityKnown())
        for (const char* line : kActivationLines) p.lines.push_back(line);
      if (IsEnergyMeter(r)) AppendEnergyBoxes(ctx, r, p);
      p.caption = Format("[%02x.%02x.%02x]\n", r.id.b[0], r.id.b[1], r.id.b[2]) + DeviceDescription(r);
      break;
    }
  }
  return p;
}

DisplayRefresh RefreshDeviceDisplay(Context& ctx, DeviceSetupState& state) {
  DisplayRefresh d;
  d.panel = BuildInfoPanel(ctx, state);
  if (ctx.db.plm.plmFound == 0) {
    if (!state.noModemShown) {
      state.noModemShown = true;
      d.refill = true;
      for (std::string& e : d.idEdits) e = "00";
      d.costText = CostText(ctx.options.energyPrice);
    }
  } else {
    state.noModemShown = false;
  }
  const Selection sel = ResolveSelection(ctx, ctx.tick.treeSelection);
  if (sel.kind != SelectionKind::kDevice) return d;
  DeviceRecord& r = ctx.db[sel.slot];
  d.hasDevice = true;
  d.links = FillDeviceLinks(ctx, sel.slot);
  if (!state.deviceShown || state.shownKey != sel.key) {
    state.deviceShown = true;
    state.shownKey = sel.key;
    d.refill = true;
    for (int i = 0; i < 3; ++i) d.idEdits[i] = Format("%02x", r.id.b[i]);
    d.costText = CostText(ctx.options.energyPrice);
    if (d.links.modemGroup) state.groupListIndex = *d.links.modemGroup < kGroupListEntries ? *d.links.modemGroup : -1;
  }
  d.sliderPosition = SliderPositionForLevel(r.level);
  d.levelText = LevelTextFromLevel(r.level);
  return d;
}

// --- Commands ----------------------------------------------------------------------

void DeviceOn(Context& ctx, DeviceKey key, uint8_t level) {
  if (DeviceRecord* r = SelectedDevice(ctx, key)) SendStandard(ctx, r->id, kOn, level);
}

void DeviceOff(Context& ctx, DeviceKey key) {
  if (DeviceRecord* r = SelectedDevice(ctx, key)) SendStandard(ctx, r->id, kOff, 0);
}

void GetStatus(Context& ctx, DeviceKey key) {
  if (DeviceRecord* r = SelectedDevice(ctx, key)) SendStatusRequest(ctx, *r);
}

void GetCategory(Context& ctx, DeviceKey key) {
  DeviceRecord* r = SelectedDevice(ctx, key);
  if (r == nullptr) return;
  SendCategoryRequest(ctx, *r);
  SendVersionRequest(ctx, *r);
  SendStatusRequest(ctx, *r);
}

void GetVersion(Context& ctx, DeviceKey key) {
  if (DeviceRecord* r = SelectedDevice(ctx, key)) SendVersionRequest(ctx, *r);
}

void RefreshLinkList(Context& ctx, DeviceKey key) {
  DeviceRecord* r = SelectedDevice(ctx, key);
  if (r == nullptr || StartLinkRead(ctx, *r) != 1) return;
  std::string line = Format(kReadingLinksText, r->id.b[0], r->id.b[1], r->id.b[2]);
  if (r->category == 0x0A || (r->category == 0x00 && r->subcategory == 0x05)) line += kHeldForWirelessText;
  ctx.log.LogActivity(line);
}

bool RunDeviceCommand(Context& ctx, DeviceSetupState& state, int command) {
  const DeviceKey key = ctx.tick.treeSelection;
  const Selection sel = ResolveSelection(ctx, key);
  DeviceRecord* r = sel.kind == SelectionKind::kDevice ? &ctx.db[sel.slot] : nullptr;
  uint8_t group = 0;
  switch (command) {
    case kCmdOn: SendToGroupOrDevice(ctx, state, true); return true;
    case kCmdOff: SendToGroupOrDevice(ctx, state, false); return true;
    case kCmdPreset100: case kCmdPreset75: case kCmdPreset50: case kCmdPreset25: {
      static constexpr uint8_t kLevels[] = {255, 191, 127, 64};
      state.onLevel = kLevels[command - kCmdPreset100];
      SendToGroupOrDevice(ctx, state, true);
      return true;
    }
    case kCmdPreset0: SendToGroupOrDevice(ctx, state, false); return true;
    case kCmdSideView: case kCmdTopView:
      if (sel.kind == SelectionKind::kGroup) {
        ctx.groups.SetGroupSideView(sel.group, command == kCmdSideView);
        ctx.notifier.Refresh(ViewRefresh::GroupView);
      }
      return true;
    case kCmdGetStatus: GetStatus(ctx, key); return true;
    case kCmdGetCategory: GetCategory(ctx, key); return true;
    case kCmdGetVersion: GetVersion(ctx, key); return true;
    case kCmdRefreshLinks: RefreshLinkList(ctx, key); return true;
    case kCmdEnterLinking:
      if (r != nullptr && GroupEntry(state, group)) {
        // An i2cs device takes linking mode only as an extended message.
        if (r->engineVersion == kEngineI2cs)
          SendExtended(ctx, r->id, kEnterLinking, group, nullptr);
        else
          SendStandard(ctx, r->id, kEnterLinking, group);
      }
      return true;
    case kCmdEnterUnlinking:
      if (r != nullptr && GroupEntry(state, group)) SendStandard(ctx, r->id, kEnterUnlinking, group);
      return true;
    case kCmdEnergyReset:
      if (r != nullptr) {
        SendStandard(ctx, r->id, kMeterReset, 0);
        r->timeStatusReply = ctx.clock.Now();
        SendStatusRequest(ctx, *r);
      }
      return true;
    case kCmdEnergyRefresh:
      if (r != nullptr) SendStatusRequest(ctx, *r);
      return true;
    case kCmdGroupSetup: state.groupSetupOpen = !state.groupSetupOpen; return true;
    case kCmdPlmRead: PlmReadAldb(ctx); return true;
    case kCmdPlmLinkMode: {
      // All-linking as controller of the discovery group.
      const uint8_t start[3] = {0x64, 0x01, kDiscoveryGroup};
      EnqueueModemCommand(ctx, start, sizeof start);
      return true;
    }
    case kCmdPlmCancelLinkMode: {
      const uint8_t cancel = 0x65;
      EnqueueModemCommand(ctx, &cancel, 1);
      return true;
    }
    case kCmdHelp: state.helpVisible = !state.helpVisible; return true;
    default: return false;
  }
}

CommandOutcome AddOrJoin(Context& ctx, DeviceSetupState& state, const std::string idEdits[3]) {
  CommandOutcome out;
  if (LinkOperationRunning(ctx)) {
    out.title = kWaitForOperationText;
    out.text = kAddingDeviceText;
    return out;
  }
  uint8_t group = 0;
  if (!GroupEntry(state, group)) return out;
  uint8_t bytes[3] = {};
  for (int i = 0; i < 3; ++i) {
    if (!ParseIdByte(idEdits[i], bytes[i])) {
      out.title = kIdEditTitle;
      out.text = kIdEditText;
      return out;
    }
  }
  const InsteonId id = InsteonId::From(bytes[0], bytes[1], bytes[2]);
  switch (AddOrJoinDevice(ctx, id, group)) {
    case GroupLinkResult::kAdded:
    case GroupLinkResult::kDone:
      out.changed = true;
      break;
    case GroupLinkResult::kBusy:
      out.title = kWaitForOperationText;
      out.text = kAddingDeviceText;
      break;
    case GroupLinkResult::kBadId:
      out.title = kIdEditTitle;
      out.text = id.IsZero() ? std::string("00.00.00 is not a device ID.")
                             : IdText(id) + " is the Power Line Modem's own ID.";
      break;
    case GroupLinkResult::kTableFull:
      out.title = kIdEditTitle;
      out.text = kDeviceTableFullText;
      break;
    case GroupLinkResult::kNoFreeSlot:
      out.title = kIdEditTitle;
      out.text = Format("No free link slot in %02X.%02X.%02X", id.b[0], id.b[1], id.b[2]);
      break;
    default:
      break;
  }
  return out;
}

std::string UnlinkQuestion(const Context& ctx, DeviceKey key) {
  const int slot = ctx.db.FindDeviceByKey(key);
  if (slot < 0) return {};
  const DeviceRecord& r = ctx.db[slot];
  return Format(kUnlinkQuestion, r.id.b[0], r.id.b[1], r.id.b[2], r.group);
}

CommandOutcome UnlinkFromComputerGroup(Context& ctx, DeviceKey key) {
  CommandOutcome out;
  switch (UnlinkFromGroup(ctx, key)) {
    case GroupLinkResult::kDone: out.changed = true; break;
    case GroupLinkResult::kBusy: out.title = kWaitForOperationText; break;
    default: break;
  }
  return out;
}

void PlmReadAldb(Context& ctx) {
  // The re-read merges the stored details back: what was learned and typed
  // since the last save must be in the files first.
  if ((ctx.db.dbFlags & kDbMerged) != 0) SaveCommand(ctx);
  ctx.engine.engineState = 0;
}

std::string FactoryResetQuestion(const Context& ctx) {
  const PlmInfo& plm = ctx.db.plm;
  const std::string product(ProductName(plm.plmCategory, plm.plmSubcategory));
  return Format("%02x.%02x.%02x  %s  FirmWare %x.%x\n\n  This will clear all links from the Power Line Modem",
                plm.plmId.b[0], plm.plmId.b[1], plm.plmId.b[2], product.c_str(), plm.plmFirmware >> 4,
                plm.plmFirmware & 0x0F);
}

bool FactoryReset(Context& ctx) {
  // The modem keeps every link unless it hears the reset: the table stays too.
  const uint8_t reset[2] = {0x02, 0x67};
  if (!ctx.link.IsOpen(ctx) || !ctx.link.WriteMessage(ctx, reset, sizeof reset)) {
    ctx.log.LogActivity(kNotResetText);
    return false;
  }
  ctx.db.plm.plmFound = 0;
  ctx.db.ClearAll();
  ResetLinkJobs(ctx);
  return true;
}

std::string CostText(float price) { return Format("%f", static_cast<double>(price)); }

CommandOutcome CommitCost(Context& ctx, const DeviceSetupState&, const std::string& text, bool edited) {
  CommandOutcome out;
  if (!edited || ResolveSelection(ctx, ctx.tick.treeSelection).kind != SelectionKind::kDevice) return out;
  const size_t begin = text.find_first_not_of(" \t");
  const size_t end = text.find_last_not_of(" \t");
  double value = -1;
  bool ok = begin != std::string::npos;
  if (ok) {
    const char* first = text.data() + begin;
    const char* last = text.data() + end + 1;
    // A leading point (".13") is how prices are written; from_chars wants a digit first.
    std::string digits(first, last);
    if (!digits.empty() && digits[0] == '.') digits.insert(digits.begin(), '0');
    const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    ok = ec == std::errc() && ptr == digits.data() + digits.size() && std::isfinite(value) && value >= 0 &&
         value <= kCostMax;
  }
  if (!ok) {
    out.title = kCostTitle;
    out.text = kCostText;
    return out;
  }
  ctx.options.energyPrice = static_cast<float>(value);
  out.changed = true;
  return out;
}

std::string HelpText(const Context& ctx, const DeviceSetupState&) {
  switch (ResolveSelection(ctx, ctx.tick.treeSelection).kind) {
    case SelectionKind::kModem: return kModemHelp;
    case SelectionKind::kGroup: return kGroupHelp;
    case SelectionKind::kDevice: return kDeviceHelp;
    case SelectionKind::kNone: break;
  }
  return {};
}

Menu DeviceSetupMenu(Context& ctx, const DeviceSetupState&) {
  Menu m;
  const Selection sel = ResolveSelection(ctx, ctx.tick.treeSelection);
  if (sel.kind == SelectionKind::kGroup) {
    AddItem(m, Format("Group %d", sel.group), 0, true, false);
    AddSeparator(m);
    AddItem(m, "On", kCmdOn);
    AddItem(m, "Off", kCmdOff);
    AddSeparator(m);
    BeginSubmenu(m, "&Group View");
    AddItem(m, "Side View", kCmdSideView);
    AddItem(m, "Top View", kCmdTopView);
    EndSubmenu(m);
    AddSeparator(m);
    return m;
  }
  if (sel.kind != SelectionKind::kDevice) return m;
  DeviceRecord& r = ctx.db[sel.slot];
  AddItem(m, DeviceTitle(ctx, r), 0, true, false);
  AddSeparator(m);
  if (!IsWirelessDevice(r)) {
    AddItem(m, "On", kCmdOn);
    if (r.category == 0x01 && r.InUse()) {
      BeginSubmenu(m, "&On to preset level");
      AddItem(m, "100% ON", kCmdPreset100);
      AddItem(m, " 75% ", kCmdPreset75);
      AddItem(m, " 50% ", kCmdPreset50);
      AddItem(m, " 25% ", kCmdPreset25);
      AddItem(m, "  0% OFF", kCmdPreset0);
      EndSubmenu(m);
    }
    AddItem(m, "Off", kCmdOff);
  }
  AddSeparator(m);
  BeginSubmenu(m, "&Get Properties");
  AddItem(m, "Get Status", kCmdGetStatus);
  AddItem(m, "Get Catagory", kCmdGetCategory);
  AddItem(m, "Get Version", kCmdGetVersion);
  AddItem(m, "Refresh Link List", kCmdRefreshLinks);
  AddItem(m, "Enter Linking Mode", kCmdEnterLinking);
  AddItem(m, "Enter UnLinking Mode", kCmdEnterUnlinking);
  EndSubmenu(m);
  AddSeparator(m);
  AddLine(m, "");
  return m;
}

}  // namespace quorvel
