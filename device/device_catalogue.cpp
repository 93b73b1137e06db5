#include "device/device_catalogue.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <span>

#include "platform/bytes.h"

namespace quorvel {

namespace {

using namespace std::string_view_literals;

// Names as the devices' makers spelt them; they show up in lists and logs, so
// they stay exactly as users have seen them, odd spellings included.
constexpr std::string_view kCategory00[] = {
    "ControlLinc",      "RemoteLinc",      "Icon Tabletop",   "",   "EXBridge",
    "SignalLinc",       "LCD Controller",  "AccessPoint",     "IES Color Touchscreen",
    "",                 "RemoteLincEZ",    "",                "RemoteLinc 2 4B",
    "RemoteLinc 2 S",   "RemoteLinc 2 8B", ""};  // from 0x04

constexpr std::string_view kCategory01[] = {
    "LampLinc", "SwitchLinc 600W", "In-LineLinc", "Icon Switch", "SwitchLinc 1000W",
    "KeypadLinc Timer/Dimmer", "LampLinc", "Icon LampLinc", "SwitchLinc Timer", "KeypadLinc",
    "Icon InWall", "0x0b", "KeypadLinc Dimmer", "0x0d", "LampLinc (Dual Band)", "0x0f",
    "0x10", "0x11", "0x12", "ICON Switchlinc Dimmer", "0x14", "0x15", "0x16", "0x17", "0x18",
    "SwitchLinc Dimmer", "InlineLinc1 Dimmer", "KeypadLinc Dimmer6", "KeypadLinc Dimmer8",
    "SwitchLinc Dimmer", "ICON Dimmer", "ToggleLinc Dimmer", "SwitchLinc Dimmer DB",
    "OutletLinc Dimmer DB", "LampLinc", "0x23", "SwitchLinc Dimmer", "0x25", "LampLinc",
    "Wall Dimmer", "0x28", "0x29", "Plug in Dimmer", "0x2b", "0x2c", "SwitchLinc Dimmer DB",
    "0x2e", "0x2f", "SwitchLinc dimmer"};  // from 0x00

constexpr std::string_view kCategory02[] = {
    "KeypadLinc Relay", "Outdoor ApplianceLinc", "TimerLinc", "OutletLinc", "ApplianceLinc",
    "SwitchLinc Relay", "ICON Switch", "c", "ToggleLinc Relay", "SwitchLinc Relay",
    "KeypadLinc Switch", "10", "EZSwitch30", "ICON InlineLinc Relay", "ICON Relay",
    "InlineLinc Relay w/Sense", "SwitchLinc w/Sense", "ICON Switch", "ICON Appliance", "18",
    "19", "ToggleLinc Relay", "1b", "SwitchLinc Relay", "1d", "KeypadLinc ON/OFF",
    "InLineLinc ON/OFF", "20", "Outlet Relay", "22", "Wall Switch"};  // from 0x05

constexpr std::string_view kCategory03[] = {
    "2414S", "2414U", "2814S", "2814U", "PLM 2412S", "IRLinc Reciever", "IRLinc Transmitter",
    "IR BID", "RF DEV", "2410S", "PLM 2412U", "PLM Alert", "EZX10RF", "X10 TW523 X", "X10 IR",
    "2412N", "PLM 2413S", "RF", "PLM 2412UH", "2412SH", "PLM 2413U", "Gateway", "ZigBee", "18",
    "2413SH", "2413UH", "iGateway", "1c", "PLM 2413S", "PLM 2412S", "2448A7", "20",
    "2448A7H"};  // from 0x01

constexpr std::string_view kCategory04[] = {"EZRain"};
constexpr std::string_view kCategory05[] = {
    "Exhaust Fan", "EZTherm", "Exhaust Fan", "Thermostat Adapter", "Thermosatat",
    "Ranghoods", "Damper", "7", "8", "Thermostat"};
constexpr std::string_view kCategory06[] = {"EZPool", "Controller", "Controller", "Controller"};
constexpr std::string_view kCategory07[] = {"I/OLinc", "EZSns",   "EZIO8T",  "EZIO2X4", "EZIO8SA",
                                            "EZSnsRF", "EZISnsRF", "EZIO6I", "EZIO4O"};
constexpr std::string_view kCategory08[] = {"0", "1", "2", "3"};
constexpr std::string_view kCategory09[] = {
    "EZEnergy", "Leak Detector", "Control Valve", "TED", "TED", "TED", "TED",
    "iMeter #2423A1", "Load Control NC", "HUB"};
constexpr std::string_view kCategory0E[] = {"Drape Control"};
constexpr std::string_view kCategory0F[] = {"Weiland", "Weiland", "Weiland", "Weiland",
                                            "GarageHawk Unit", "GarageHawk Remote", "MorningLinc"};
constexpr std::string_view kCategory10[] = {"ONELinc", "Motion Sensor", "TriggerLinc"};

struct NameRange {
  uint8_t firstSubcategory;
  std::span<const std::string_view> names;
};

// Indexed by category; categories without names have an empty range.
constexpr NameRange kNames[] = {
    {0x04, kCategory00}, {0x00, kCategory01}, {0x05, kCategory02}, {0x01, kCategory03},
    {0x00, kCategory04}, {0x00, kCategory05}, {0x00, kCategory06}, {0x00, kCategory07},
    {0x00, kCategory08}, {0x00, kCategory09}, {0x00, {}},          {0x00, {}},
    {0x00, {}},          {0x00, {}},          {0x00, kCategory0E}, {0x00, kCategory0F},
    {0x00, kCategory10},
};

bool OneOf(uint8_t v, std::initializer_list<uint8_t> set) {
  for (uint8_t s : set)
    if (v == s) return true;
  return false;
}

constexpr std::string_view kRampRates[] = {
    "540 sec", "480 sec", "420 sec", "360 sec", "300 sec", "270 sec", "240 sec",
    "210 sec", "180 sec", "150 sec", "120 sec", "90 sec",  "60 sec",  "47 sec",
    "43 sec",  "38 sec",  "34 sec",  "32 sec",  "30 sec",  "28 sec",  "26 sec",
    "23 sec",  "21 sec",  "19 sec",  "8 sec",   "6 sec",   "4 sec",   "2 sec",
    "0.5 sec", "0.3 sec", "0.2 sec", "0.1 sec", "SWITCH"};

// What ControllerGroupCount found for a kind.
enum class ControllerKind { Unjudged, NotController, Controller };

ControllerKind JudgeController(uint8_t cat, uint8_t sub, int& groups) {
  groups = 0;
  auto listed = [&](int n) {
    groups = n;
    return ControllerKind::Controller;
  };
  switch (cat) {
    case 0x00:
      if (sub == 0x04) return listed(5);
      if (OneOf(sub, {0x05, 0x0E})) return listed(6);
      if (OneOf(sub, {0x0A, 0x0C})) return listed(12);
      if (sub == 0x10) return listed(4);
      if (sub == 0x11) return listed(2);
      if (OneOf(sub, {0x12, 0x13})) return listed(8);
      return ControllerKind::NotController;
    case 0x01:
      if (OneOf(sub, {0x01, 0x03, 0x04, 0x08, 0x0A, 0x0E, 0x13, 0x17, 0x19, 0x1D, 0x1E, 0x1F,
                      0x20, 0x24, 0x27, 0x2D, 0x30}))
        return listed(1);
      if (OneOf(sub, {0x05, 0x09, 0x0C, 0x1C})) return listed(8);
      if (sub == 0x1B) return listed(6);
      if (sub == 0x1A) return listed(0);  // listed as a controller with no button groups
      return ControllerKind::NotController;
    case 0x02:
      if (OneOf(sub, {0x05, 0x25})) return listed(8);
      if (OneOf(sub, {0x0A, 0x0B, 0x0D, 0x0E, 0x14, 0x15, 0x16, 0x1A, 0x1C, 0x29})) return listed(1);
      if (OneOf(sub, {0x0F, 0x1E})) return listed(6);
      return ControllerKind::NotController;
    case 0x03:
      return listed(255);
    case 0x05:
    case 0x07:
    case 0x0F:
      return listed(1);
    case 0x10:
      if (sub == 0x01) return listed(2);
      if (OneOf(sub, {0x02, 0x08})) return listed(1);
      return ControllerKind::NotController;
    default:
      return ControllerKind::Unjudged;
  }
}

}  // namespace

std::string_view ProductName(uint8_t category, uint8_t subcategory) {
  if (category >= std::size(kNames)) return {};
  const NameRange& range = kNames[category];
  if (subcategory < range.firstSubcategory) return {};
  const size_t i = subcategory - range.firstSubcategory;
  return i < range.names.size() ? range.names[i] : std::string_view{};
}

std::string_view PictureName(uint8_t category, uint8_t subcategory) {
  const uint8_t sub = subcategory;
  switch (category) {
    case 0x00:
      if (sub == 0x04) return "controllinc.bmp";
      if (sub == 0x05) return "remotelinc.bmp";
      if (sub >= 0x10 && sub <= 0x13) return "remotelinc-2.bmp";
      break;
    case 0x01:
      if (OneOf(sub, {0x01, 0x03, 0x19})) return "2476d.bmp";
      if (OneOf(sub, {0x02, 0x1A})) return "2475d.bmp";
      if (sub == 0x05) return "keypadlinc.bmp";
      if (OneOf(sub, {0x08, 0x1D, 0x20})) return "2476dt.bmp";
      if (OneOf(sub, {0x09, 0x0C, 0x1C})) return "2486dwh8.bmp";
      if (sub == 0x1B) return "2486dwh6.bmp";
      if (sub == 0x1F) return "2466sw.bmp";
      break;
    case 0x02:
      if (sub == 0x05) return "2486dwh8.bmp";
      if (OneOf(sub, {0x08, 0x21})) return "2473swh.bmp";
      if (sub == 0x09) return "2456s3.bmp";
      if (OneOf(sub, {0x0D, 0x1A})) return "2466sw.bmp";
      if (sub == 0x10) return "2475d.bmp";
      if (sub == 0x14) return "247s2.bmp";
      if (OneOf(sub, {0x1C, 0x23})) return "2476dt.bmp";
      break;
    case 0x03:
      return "2413u.bmp";
    case 0x07:
    case 0x09:
    case 0x0E:
    case 0x0F:
      if (sub == 0x00) return "2450.bmp";
      break;
    case 0x10:
      if (sub == 0x01) return "motion-sensor.bmp";
      if (sub == 0x02) return "2421.bmp";
      break;
    default:
      break;
  }
  return "default.bmp";
}

bool IsWirelessKind(uint8_t category, uint8_t subcategory) {
  if (category == 0x10) return OneOf(subcategory, {0x01, 0x02});
  if (category == 0x00) return OneOf(subcategory, {0x05, 0x09, 0x0B, 0x0E, 0x10, 0x11, 0x12});
  return false;
}

bool IsWirelessDevice(const DeviceRecord& r) { return IsWirelessKind(r.category, r.subcategory); }

bool IsRemoteLinc(const DeviceRecord& r) {
  return r.InUse() && r.category == 0x00 && OneOf(r.subcategory, {0x05, 0x0E, 0x10, 0x11, 0x12});
}

bool IsMotionSensor(const DeviceRecord& r) {
  return r.InUse() && r.category == 0x10 && r.subcategory == 0x01;
}

bool IsTriggerLinc(const DeviceRecord& r) {
  return r.InUse() && r.category == 0x10 && r.subcategory == 0x02;
}

bool IsKeypadLinc(const DeviceRecord& r) {
  if (r.category == 0x01) return OneOf(r.subcategory, {0x05, 0x09, 0x0C, 0x1B, 0x1C});
  if (r.category == 0x02) return r.subcategory == 0x0F;
  return false;
}

int ControllerGroupCount(DeviceRecord& r) {
  int groups = 0;
  const ControllerKind kind =
      r.InUse() ? JudgeController(r.category, r.subcategory, groups) : ControllerKind::Unjudged;
  switch (kind) {
    case ControllerKind::Controller:
      r.showInControllerList = 1;
      return groups;
    case ControllerKind::NotController:
      r.showInControllerList = 0;
      return 0;
    case ControllerKind::Unjudged:
      break;
  }
  // Kinds we know nothing about keep the user's choice.
  return r.showInControllerList != 0 ? 1 : 0;
}

std::string_view RampRateName(int index) {
  if (index < 0 || index >= static_cast<int>(std::size(kRampRates))) return "NA";
  return kRampRates[index];
}

std::string FirmwareText(uint8_t firmware) {
  char buf[4];
  std::snprintf(buf, sizeof buf, "%x.%x", firmware >> 4, firmware & 0x0F);
  return buf;
}

int LevelPercent(uint8_t level) { return level * 100 / 255; }

void LearnIdentity(DeviceRecord& r, uint8_t category, uint8_t subcategory, uint8_t firmware, Time now) {
  r.timeLastContact = now;
  r.noResponse = 0;
  if (!r.IdentityKnown()) r.categoryLearned = 1;
  r.category = category;
  r.subcategory = subcategory;
  r.firmware = firmware;
  // Only the 16 name bytes: byte 812 is the tile's large flag and belongs to the group view.
  std::memset(r.picture, 0, kPictureNameWidth);
  const std::string_view picture = PictureName(category, subcategory);
  std::memcpy(r.picture, picture.data(), std::min(picture.size(), kPictureNameWidth));
}

std::string_view PictureText(const DeviceRecord& r) {
  const std::string_view stored = FixedText(r.picture, kPictureNameWidth + 1);
  // The name is joined to the images folder: a damaged file must not lead elsewhere.
  if (stored.find_first_of("/\\") != std::string_view::npos ||
      stored.find("..") != std::string_view::npos)
    return "default.bmp";
  if (stored.size() == kPictureNameWidth) {
    const std::string_view full = PictureName(r.category, r.subcategory);
    if (full.size() > stored.size() && full.substr(0, stored.size()) == stored) return full;
  }
  return stored;
}

bool NameFromCatalogueIfEmpty(DeviceRecord& r) {
  if (r.name[0] != '\0') return false;
  const std::string_view product = ProductName(r.category, r.subcategory);
  if (product.empty()) return false;
  CopyFixedText(r.name, product);
  return true;
}

}  // namespace quorvel
