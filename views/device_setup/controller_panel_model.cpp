#include "views/device_setup/controller_panel_model.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_set>

#include "device/device_catalogue.h"
#include "engine/context.h"
#include "plm/send_queues.h"

namespace quorvel {

namespace {

constexpr uint8_t kSettingsCommand = 0x2E;
constexpr uint8_t kOperatingFlagsCommand = 0x1F;
constexpr uint8_t kWriteOptionsCode = 0x05;
constexpr int kGroupGap = 10;
constexpr int kMargin = 8;

constexpr PanelInfo kPanels[kPanelKinds] = {
    {"CWndCtrlControlLinc", "ControlLinc", 5569},     {"CWndCtrlRemoteLinc", "RemoteLinc", 5568},
    {"CWndCtrlKeypadLinc", "KeypadLinc", 5567},       {"CWndCtrlMotionSensor", "MotionSensor", 5570},
    {"CWndCtrlTriggerLinc", "TriggerLinc", 5571},     {"CWndCtrlToggleLinc", "ToggleLinc", 5572},
    {"CWndCtrlDefault", "Default", 5574},             {"CWndCtrlNetworkBridge", "NetworkBridge", 5575},
    {"CWndCtrlIOLinc", "IOLinc", 46546},              {"WndCtrlSwitchLinc", "SwitchLinc", 5573},
};

bool OneOf(uint8_t v, std::initializer_list<uint8_t> set) { return std::find(set.begin(), set.end(), v) != set.end(); }

bool IsIoModule(const DeviceRecord& r) { return r.category == 0x07 && r.subcategory == 0x00; }

}  // namespace

const PanelInfo& PanelInfoOf(PanelKind kind) {
  const int i = static_cast<int>(kind);
  return kPanels[i >= 0 && i < kPanelKinds ? i : static_cast<int>(PanelKind::kDefault)];
}

int KeypadButtonCount(const DeviceRecord& r) {
  if (!r.InUse()) return 0;
  if (r.category == 0x01 && OneOf(r.subcategory, {0x05, 0x0C, 0x1C})) return 8;
  if (r.category == 0x01 && OneOf(r.subcategory, {0x09, 0x1B})) return 6;
  if (r.category == 0x02 && r.subcategory == 0x0F) return 6;
  return 0;
}

PanelKind ChooseControllerPanel(const DeviceRecord& r) {
  const uint8_t cat = r.category;
  const uint8_t sub = r.subcategory;
  if (cat == 0x03) return PanelKind::kNetworkBridge;
  if (cat == 0x07) return PanelKind::kIOLinc;
  if (cat == 0x10) {
    if (sub == 0x01) return PanelKind::kMotionSensor;
    if (sub == 0x02) return PanelKind::kTriggerLinc;
    return PanelKind::kDefault;
  }
  if (cat == 0x00) {
    if (sub == 0x04) return PanelKind::kControlLinc;
    if (sub == 0x05 || sub == 0x12) return PanelKind::kRemoteLinc;
  }
  if (cat == 0x00 || cat == 0x01) {
    if (KeypadButtonCount(r) > 0) return PanelKind::kKeypadLinc;
    if (OneOf(sub, {0x01, 0x20, 0x2D, 0x30, 0x31})) return PanelKind::kSwitchLinc;
  }
  if (cat <= 0x02) {
    if (sub == 0x0D) return PanelKind::kToggleLinc;
    if (sub == 0x0F) return PanelKind::kKeypadLinc;
    if (OneOf(sub, {0x15, 0x1C, 0x29})) return PanelKind::kSwitchLinc;
  }
  return PanelKind::kDefault;
}

int PanelGroupCount(PanelKind kind, const DeviceRecord& r) {
  switch (kind) {
    case PanelKind::kControlLinc: return 5;
    case PanelKind::kTriggerLinc: return 2;
    case PanelKind::kMotionSensor: return 2;
    case PanelKind::kKeypadLinc: {
      const int n = KeypadButtonCount(r);
      return n > 0 ? n : kMaxPanelGroups;
    }
    case PanelKind::kRemoteLinc: {
      // Asked on a copy: the answer also decides the controller listing.
      DeviceRecord copy = r;
      return std::clamp(ControllerGroupCount(copy), 1, kMaxPanelGroups);
    }
    default: return 1;
  }
}

std::string PanelPicture(PanelKind kind, const DeviceRecord& r) {
  switch (kind) {
    case PanelKind::kControlLinc: return "controllinc.bmp";
    case PanelKind::kTriggerLinc: return "triggerlinc.bmp";
    case PanelKind::kToggleLinc: return "togglelinc.bmp";
    case PanelKind::kDefault: return "default.bmp";
    case PanelKind::kNetworkBridge: return "plm.bmp";
    case PanelKind::kSwitchLinc: return "2476d.bmp";
    default: return std::string(PictureName(r.category, r.subcategory));
  }
}

ClickRequest RequestAfterClick(PanelKind kind) {
  switch (kind) {
    case PanelKind::kControlLinc:
    case PanelKind::kTriggerLinc:
    case PanelKind::kIOLinc:
    case PanelKind::kMotionSensor: return ClickRequest::kButtonSettings;
    case PanelKind::kKeypadLinc: return ClickRequest::kKeypadRead;
    case PanelKind::kRemoteLinc: return ClickRequest::kNone;
    default: return ClickRequest::kIgnored;
  }
}

PanelGroups LoadGroups(Context& ctx, int slot, int groupCount) {
  PanelGroups out;
  DeviceDatabase& db = ctx.db;
  if (slot < 0 || static_cast<uint32_t>(slot) >= db.count || slot >= kDeviceSlots) return out;
  DeviceRecord& controller = db[slot];
  out.found = true;
  out.controller = controller.id;
  const int n = std::clamp(groupCount, 0, kMaxPanelGroups);
  for (int g = 1; g <= n; ++g) out.lists.push_back(PanelGroupList{static_cast<uint8_t>(g), 0, {}});
  if (ControllerGroupCount(controller) == 0) return out;
  // A responder's own table holds a responder record naming the controller
  // for the group; a record naming it as a controller (a sensor that switches
  // the keypad's load) is no responder of its buttons. One line per device,
  // however many records of the modem it has.
  std::unordered_set<uint32_t> seen;
  const uint32_t count = std::min<uint32_t>(db.count, kMaxDevices + 1);
  for (uint32_t i = 0; i < count; ++i) {
    const DeviceRecord& r = db.records[i];
    if (r.id == controller.id || !seen.insert(r.id.Value()).second) continue;
    const int links = r.LinkLimit();
    for (int k = 0; k < links; ++k) {
      const LinkRecord& l = r.links[k];
      if (!l.InUse() || !(l.id == controller.id) || (l.flags & kLinkController) != 0) continue;
      // A group byte from the device's table names no list beyond the panel's own.
      if (l.group < 1 || l.group > n) continue;
      PanelGroupList& list = out.lists[l.group - 1u];
      if (static_cast<int>(list.entries.size()) < kMaxGroupEntries) list.entries.push_back(PanelEntry{r.group, r.id});
      break;
    }
  }
  return out;
}

void AppendToGroup(PanelGroups& groups, int group, const PanelEntry& entry) {
  if (group < 1 || group > static_cast<int>(groups.lists.size())) return;
  PanelGroupList& list = groups.lists[static_cast<size_t>(group - 1)];
  for (const PanelEntry& e : list.entries)
    if (e.id == entry.id) return;
  if (static_cast<int>(list.entries.size()) < kMaxGroupEntries) list.entries.push_back(entry);
}

std::string PanelCaption(const DeviceRecord& r) {
  char text[96];
  std::snprintf(text, sizeof text, "[ %02x.%02x.%02x ]   %s", r.id.b[0], r.id.b[1], r.id.b[2],
                std::string(ProductName(r.category, r.subcategory)).c_str());
  return text;
}

std::string GroupTitle(const DeviceRecord& r, int group) {
  std::string title = "Group " + std::to_string(group);
  if (IsMotionSensor(r)) {
    if (group == 1) title += " - Motion";
    if (group == 2) title += " - Dark";
  } else if (r.category == 0x00 && r.subcategory == 0x12 && group >= 1 && group <= 8) {
    static constexpr char kLetters[] = "badcfehg";
    title += kLetters[group - 1];
  }
  return title;
}

std::string EntryText(const PanelEntry& e) { return IdText(e.id); }

PanelLayout LayoutPanel(int groupCount, int width, int height) {
  PanelLayout layout;
  const int top = kCaptionHeight + 4;
  const int pictureWidth = std::min(kPictureAreaWidth, std::max(64, width / 4));
  const int pictureHeight = std::min(kPictureAreaHeight, std::max(0, height - top - kMargin));
  layout.picture = PanelRect{kMargin, top, kMargin + pictureWidth - 1, top + pictureHeight - 1};
  const int n = std::clamp(groupCount, 0, kMaxPanelGroups);
  if (n == 0) return layout;
  const int rows = n <= 5 ? 1 : 2;
  const int cols = (n + rows - 1) / rows;
  const int areaLeft = layout.picture.right + 2 * kMargin;
  const int areaRight = width - kMargin - 1;
  const int areaBottom = height - kMargin - 1;
  const int cellWidth = std::max(0, (areaRight - areaLeft + 1 - kGroupGap * (cols - 1)) / cols);
  const int cellHeight = std::max(0, (areaBottom - top + 1 - kGroupGap * (rows - 1)) / rows);
  for (int i = 0; i < n; ++i) {
    const int x = areaLeft + (i % cols) * (cellWidth + kGroupGap);
    const int y = top + (i / cols) * (cellHeight + kGroupGap);
    layout.groups.push_back(PanelRect{x, y, x + cellWidth - 1, y + cellHeight - 1});
  }
  return layout;
}

std::vector<int> GroupsAt(const PanelLayout& layout, int x, int y) {
  std::vector<int> hit;
  for (size_t i = 0; i < layout.groups.size(); ++i)
    if (layout.groups[i].StrictlyContains(x, y)) hit.push_back(static_cast<int>(i) + 1);
  return hit;
}

void RequestButtonSettings(Context& ctx, const DeviceRecord& r, uint8_t button) {
  uint8_t data[kExtendedDataBytes] = {};
  data[0] = button;
  SendExtended(ctx, r.id, kSettingsCommand, 0x00, data);
  if (IsIoModule(r)) SendStandard(ctx, r.id, kOperatingFlagsCommand, 0x00);
}

void WriteButtonOptions(Context& ctx, const DeviceRecord& r, uint8_t button) {
  uint8_t data[kExtendedDataBytes] = {};
  data[0] = button;
  data[1] = kWriteOptionsCode;
  data[2] = r.extData[5];  // D6 of the stored settings reply
  SendExtended(ctx, r.id, kSettingsCommand, 0x00, data);
}

void ReadButtonOptions(Context& ctx, const DeviceRecord& r, uint8_t button) {
  RequestButtonSettings(ctx, r, button);
  if (IsIoModule(r)) SendStandard(ctx, r.id, kOperatingFlagsCommand, 0x00);
}

bool SettingsKnown(const DeviceRecord& r) {
  static constexpr uint8_t kZero[sizeof r.extData] = {};
  return std::memcmp(r.extData, kZero, sizeof r.extData) != 0;
}

}  // namespace quorvel
