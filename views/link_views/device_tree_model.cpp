#include "views/link_views/device_tree_model.h"

#include <cstdarg>
#include <cstdio>

#include "device/device_catalogue.h"
#include "device/group_table.h"
#include "engine/context.h"
#include "engine/device_polling.h"
#include "platform/bytes.h"
#include "views/device_setup/device_setup_model.h"

namespace quorvel {

namespace {

constexpr const char* kHelpLines[] = {
    " - Link device to PLM -",
    "1) Enter DEVICE ID",
    "2) Choose Group",
    "3) CLICK 'Add New Device' Button.",
    "HINT: Enter a device ID with other links.",
    "The device ALL-Link Database is read for device discovery.",
    "Wireless devices such as RemoteLinc need activation.",
    "Commands for wireless devices are stored waiting for device activity.",
    " - Wireless Activation -",
    "For RemoteLinc: Press DIM button.",
    "For Motion Sensor: Press set button, or activate motion.",
};
constexpr const char* kDragTip = "Tip: Drag and Drop by dragging a device onto another group title.";
constexpr const char* kRemoveTip = "Tip: Remove a group by unlinking all devices.";

__attribute__((format(printf, 1, 2))) std::string Format(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

bool IsDeviceKind(TreeItemKind kind) {
  return kind == TreeItemKind::kDevice || kind == TreeItemKind::kUnlinkedDevice ||
         kind == TreeItemKind::kDiscoveredDevice;
}

// The item text of a record. A record of a further group that nothing has
// identified yet (a sleeping device heard of only from the modem) is shown
// with the name another record of the device holds; nothing is stored.
std::string ShownText(const DeviceDatabase& db, DeviceRecord& r) {
  if (r.name[0] != '\0' || r.IdentityKnown()) return DeviceItemText(r);
  const uint32_t n = db.count < kMaxDevices ? db.count : kMaxDevices;
  for (uint32_t i = 0; i < n; ++i) {
    const DeviceRecord& other = db.records[i];
    if (&other == &r || !(other.id == r.id) || other.name[0] == '\0') continue;
    DeviceRecord shown = r;
    CopyFixedText(shown.name, FixedText(other.name));
    return DeviceItemText(shown);
  }
  return DeviceItemText(r);
}

TreeItem DeviceItem(const DeviceDatabase& db, DeviceRecord& r, TreeItemKind kind) {
  TreeItem item;
  item.kind = kind;
  item.key = MakeDeviceKey(r.group, r.id);
  item.group = r.group;
  item.text = ShownText(db, r);
  item.image = kind == TreeItemKind::kDevice ? DeviceItemImage(r) : kImageUnlinked;
  item.color = DeviceItemColor(r);
  return item;
}

template <typename Fn>
void ForEachItem(std::vector<TreeItem>& items, Fn fn) {
  for (TreeItem& item : items) {
    fn(item);
    ForEachItem(item.children, fn);
  }
}

const TreeItem* Find(const std::vector<TreeItem>& items, uint32_t key) {
  for (const TreeItem& item : items) {
    if (item.key == key && item.kind != TreeItemKind::kUnlinkedNode && item.kind != TreeItemKind::kDiscoveredNode)
      return &item;
    if (const TreeItem* found = Find(item.children, key)) return found;
  }
  return nullptr;
}

// "H:M:S m/d/yyyy: " of a stored time; empty for never and for a time that
// cannot be converted.
std::string InfoTime(const Context& ctx, Time t) {
  if (t <= 0 || t > static_cast<Time>(UINT32_MAX)) return {};
  return ctx.log.OnLogTimeStamp(static_cast<uint32_t>(t));
}

void WriteDeviceLinks(Context& ctx, const DeviceRecord& r) {
  const DeviceDatabase& db = ctx.db;
  const int n = r.LinkLimit();
  for (int k = 0; k < n; ++k) {
    const LinkRecord& l = r.links[k];
    if (!l.InUse()) continue;
    std::string partner;
    if (l.id == db.plm.plmId) {
      partner = ProductName(db.plm.plmCategory, db.plm.plmSubcategory);
    } else if (const int other = db.FindDevice(l.id); other >= 0) {
      partner = ProductName(db[other].category, db[other].subcategory);
    }
    ctx.log.LogLinkReport(Format("%s %02x%02x : %02x  Group:%d    [ %02x.%02x.%02x ]   %02x %02x %02x    %s",
                                 "   -> ", (l.address >> 8) & 0xFF, l.address & 0xFF, l.flags, l.group, l.id.b[0],
                                 l.id.b[1], l.id.b[2], l.data[0], l.data[1], l.data[2], partner.c_str()));
  }
}

void WriteItem(Context& ctx, const TreeItem& item) {
  switch (item.kind) {
    case TreeItemKind::kGroup:
    case TreeItemKind::kUnlinkedNode:
    case TreeItemKind::kDiscoveredNode:
      ctx.log.LogLinkReport("GROUP " + item.text);
      break;
    case TreeItemKind::kDevice:
    case TreeItemKind::kUnlinkedDevice:
    case TreeItemKind::kDiscoveredDevice: {
      ctx.log.LogLinkReport(" =>> " + item.text);
      if (const int slot = ctx.db.FindDeviceByKey(item.key); slot >= 0) WriteDeviceLinks(ctx, ctx.db[slot]);
      break;
    }
    default:
      break;
  }
  for (const TreeItem& child : item.children) WriteItem(ctx, child);
}

}  // namespace

std::string GroupItemText(const GroupTable& groups, uint8_t group) {
  if (group == kDiscoveryGroup) return Format("[ %d ] -- Discovery Group --", group);
  if (group == kAllDevicesGroup) return Format("[ %d ] -- All Insteon Devices --", group);
  return Format("[ %d ] -- ", group) + std::string(groups.GroupLabel(group)) + "  --";
}

std::string DeviceItemText(DeviceRecord& r) {
  if (r.IdentityKnown()) NameFromCatalogueIfEmpty(r);
  const std::string name(FixedText(r.name));
  const std::string id = Format("[ %02x.%02x.%02x ]   ", r.id.b[0], r.id.b[1], r.id.b[2]);
  if (r.category == 0x10 && (r.subcategory == 0x01 || r.subcategory == 0x02)) {
    std::string text = r.groupStates != 0 ? id + "+ " + name + " +" : id + name;
    if (r.subcategory == 0x01) {
      if ((r.groupStates & 0x02) != 0) text += " Darkness";
      if ((r.groupStates & 0x04) != 0) text += " Battery low";
    } else {
      if (r.groupStates == 1) text += " Open";
      if (r.groupStates == 2) text += " Closed";
    }
    return text;
  }
  return r.level != 0 ? id + name + "+" : id + name;
}

int DeviceItemImage(const DeviceRecord& r) {
  const uint8_t c = r.category;
  const uint8_t s = r.subcategory;
  switch (c) {
    case 0x00:
      if (s == 0x04) return 1;
      if (s == 0x05) return 2;
      if (s == 0x0A || s == 0x0C || (s >= 0x10 && s <= 0x13)) return 0;
      break;
    case 0x01:
      if (s == 0x02 || s == 0x1A) return 9;
      if (s == 0x05 || s == 0x09 || s == 0x0C || s == 0x1B || s == 0x1C) return 0;
      if (s == 0x17) return 3;
      break;
    case 0x02:
      if (s == 0x10) return 9;
      if (s == 0x0F) return 0;
      if (s == 0x0D) return 3;
      if (s == 0x08) return 7;
      break;
    case 0x10:
      if (s == 0x01) return 4;
      if (s == 0x02) return 6;
      break;
    default:
      break;
  }
  return kImageGeneric;
}

uint32_t DeviceItemColor(DeviceRecord& r) {
  // The sensors first: they are controller kinds too, but their states say more.
  if (IsMotionSensor(r)) return (r.groupStates & 0x01) != 0 ? kColorMotion : kColorOff;
  if (IsTriggerLinc(r)) return r.level != 0 ? kColorTriggered : kColorOff;
  if (ControllerGroupCount(r) != 0) return r.level != 0 ? kColorOn : kColorBlack;
  return r.level != 0 ? kColorOn : kColorOff;
}

bool RebuildTree(Context& ctx, DeviceTreeModel& model) {
  const Time now = ctx.clock.Now();
  // Items are in use while a label is edited or a device dragged; and a
  // network that is being read would rebuild the tree on every record.
  const bool tooSoon = model.rebuiltOnce && (now == model.lastRebuildSecond || now == model.lastRebuildSecond + 1);
  if (model.labelEditing || model.dragging || tooSoon) {
    ctx.tick.treeRefreshPending = true;
    return false;
  }
  model.rebuiltOnce = true;
  model.lastRebuildSecond = now;
  ctx.tick.treeRefreshPending = false;
  ++model.rebuilds;
  model.items.clear();

  DeviceDatabase& db = ctx.db;
  const PlmInfo& plm = db.plm;
  const uint32_t current = ctx.tick.treeSelection;
  const uint32_t modemKey = ModemKey(ctx);

  TreeItem root;
  root.kind = TreeItemKind::kPlmRoot;
  root.key = modemKey;
  root.expanded = true;
  if (plm.plmFound != 0) {
    root.text = Format("[%02x.%02x.%02x]  ", plm.plmId.b[0], plm.plmId.b[1], plm.plmId.b[2]) +
                std::string(ProductName(plm.plmCategory, plm.plmSubcategory)) + "      (click/setup)";
    root.image = kImageGeneric;
    TreeItem setup;
    setup.kind = TreeItemKind::kPlmSetup;
    setup.key = modemKey;
    setup.text = kPlmSetupText;
    root.children.push_back(std::move(setup));
  } else {
    root.text = kPlmNotFoundText;
    root.image = kImageNotFound;
  }
  root.selected = current == modemKey;

  const uint32_t n = db.count < kMaxDevices ? db.count : kMaxDevices;
  if (n == 0) {
    for (const char* line : kHelpLines) {
      TreeItem help;
      help.kind = TreeItemKind::kHelpLine;
      help.key = modemKey;
      help.text = line;
      root.children.push_back(std::move(help));
    }
  }

  // Records by group, each group in slot order: one pass over the table.
  std::vector<uint16_t> byGroup[kGroupCount];
  for (uint32_t i = 0; i < n; ++i) byGroup[db.records[i].group].push_back(static_cast<uint16_t>(i));

  TreeItem unlinked;
  unlinked.kind = TreeItemKind::kUnlinkedNode;
  unlinked.text = kUnlinkedText;
  TreeItem discovered;
  discovered.kind = TreeItemKind::kDiscoveredNode;
  discovered.text = kDiscoveredText;
  discovered.expanded = true;
  bool haveUnlinked = false;
  bool haveDiscovered = false;
  int unlinkedOrder = -1;  // which of the two nodes came first

  for (int g = 0; g < kGroupCount; ++g) {
    const uint8_t group = static_cast<uint8_t>(g);
    // The all-devices node stands whenever the table holds anything, and stays empty.
    const bool present = g == kAllDevicesGroup ? n > 0 : !byGroup[g].empty();
    if (!present) continue;
    // A group shown for the first time (it has no label yet) opens, so its
    // devices are in view; after that it keeps what the user chose.
    if (ctx.groups.GroupLabel(group).empty()) ctx.groups.SetGroupExpanded(group, true);
    ctx.groups.PrepareForTree(group);
    TreeItem node;
    node.kind = TreeItemKind::kGroup;
    node.key = MakeGroupKey(group);
    node.group = group;
    node.image = kImageGroup;
    node.text = GroupItemText(ctx.groups, group);
    node.expanded = ctx.groups.groups[g].expanded != 0;
    node.selected = current == node.key;
    if (g != kAllDevicesGroup) {
      for (const uint16_t slot : byGroup[g]) {
        DeviceRecord& r = db.records[slot];
        if (r.InUse()) {
          node.children.push_back(DeviceItem(db, r, TreeItemKind::kDevice));
        } else if (r.linkFlags == kLinkRemovedBySystem) {
          if (!haveUnlinked && !haveDiscovered) unlinkedOrder = 0;
          haveUnlinked = true;
          unlinked.children.push_back(DeviceItem(db, r, TreeItemKind::kUnlinkedDevice));
        } else {
          if (!haveUnlinked && !haveDiscovered) unlinkedOrder = 1;
          haveDiscovered = true;
          discovered.children.push_back(DeviceItem(db, r, TreeItemKind::kDiscoveredDevice));
        }
      }
    }
    root.children.push_back(std::move(node));
  }

  model.items.push_back(std::move(root));
  if (unlinkedOrder == 1 && haveDiscovered) model.items.push_back(std::move(discovered));
  if (haveUnlinked) model.items.push_back(std::move(unlinked));
  if (unlinkedOrder == 0 && haveDiscovered) model.items.push_back(std::move(discovered));
  ForEachItem(model.items, [current](TreeItem& item) {
    if (IsDeviceKind(item.kind) && item.key == current) item.selected = true;
  });
  return true;
}

int RefreshDeviceItem(Context& ctx, DeviceTreeModel& model, uint32_t key) {
  const int slot = ctx.db.FindDeviceByKey(key);
  if (slot < 0) return 0;
  DeviceRecord& r = ctx.db[slot];
  int n = 0;
  ForEachItem(model.items, [&](TreeItem& item) {
    if (!IsDeviceKind(item.kind) || item.key != key) return;
    item.text = ShownText(ctx.db, r);
    item.color = DeviceItemColor(r);
    ++n;
  });
  return n;
}

const TreeItem* FindTreeItem(const DeviceTreeModel& model, uint32_t key) { return Find(model.items, key); }

void SelectTreeItem(Context& ctx, uint32_t key) {
  ctx.tick.treeSelection = key;
  if (ctx.refresh.dataReady) ctx.tick.editorSelection = key;
  const Selection sel = ResolveSelection(ctx, key);
  if (sel.kind != SelectionKind::kDevice) return;
  DeviceRecord& r = ctx.db[sel.slot];
  if (r.engineVersion == kEngineUnknown) SendVersionRequest(ctx, r);
  if (!r.IdentityKnown()) SendCategoryRequest(ctx, r);
}

void SetTreeItemExpanded(Context& ctx, uint32_t key, bool expanded) {
  if (IsGroupKey(key)) ctx.groups.SetGroupExpanded(GroupFromKey(key), expanded);
}

bool LabelEditable(TreeItemKind kind, uint8_t group) {
  if (kind == TreeItemKind::kGroup) return group != kDiscoveryGroup && group != kAllDevicesGroup;
  return IsDeviceKind(kind);
}

std::string EditableLabel(const Context& ctx, uint32_t key) {
  const Selection sel = ResolveSelection(ctx, key);
  if (sel.kind == SelectionKind::kGroup) return std::string(ctx.groups.GroupLabel(sel.group));
  if (sel.kind == SelectionKind::kDevice) return std::string(FixedText(ctx.db[sel.slot].name));
  return {};
}

std::string_view LabelLimitText(uint32_t key) {
  return IsGroupKey(key) ? "A group label holds at most 62 characters." : "A device name holds at most 31 characters.";
}

LabelEdit CommitLabel(Context& ctx, uint32_t key, std::string_view latin1, std::string& itemText) {
  const Selection sel = ResolveSelection(ctx, key);
  if (sel.kind != SelectionKind::kGroup && sel.kind != SelectionKind::kDevice) return LabelEdit::kGone;
  const size_t limit = sel.kind == SelectionKind::kGroup ? kGroupLabelEditMax : kDeviceNameEditMax;
  if (latin1.size() > limit) return LabelEdit::kTooLong;
  // Log lines and lists show the label as one line of text.
  std::string text(latin1);
  for (char& ch : text) {
    const auto b = static_cast<unsigned char>(ch);
    if (b < 0x20 || b == 0x7F) ch = '?';
  }
  if (sel.kind == SelectionKind::kGroup) {
    ctx.groups.SetGroupLabel(sel.group, text);
    itemText = Format("[ %d ] ", sel.group) + text;
  } else {
    DeviceRecord& r = ctx.db[sel.slot];
    CopyFixedText(r.name, text);
    itemText = Format("[%02x.%02x.%02x]  ", r.id.b[0], r.id.b[1], r.id.b[2]) + text;
  }
  return LabelEdit::kStored;
}

Menu TreeContextMenu(Context& ctx, uint32_t key) {
  Menu m;
  const Selection sel = ResolveSelection(ctx, key);
  if (sel.kind == SelectionKind::kDevice) {
    DeviceRecord& r = ctx.db[sel.slot];
    const std::string name = DeviceDescription(r);
    AddLine(m, Format("[ %02x.%02x.%02x ]   ", r.id.b[0], r.id.b[1], r.id.b[2]) + name);
    AddItem(m, Format("Unlink %s from group %d", name.empty() ? IdText(r.id).c_str() : name.c_str(), r.group),
            kCmdTreeUnlink);
    AddItem(m, "Show in Controller Setup List", kCmdShowInControllerList, r.showInControllerList != 0);
    const bool controller = (r.linkFlags & kPlmIsController) != 0;
    AddItem(m, controller ? "Controller to PLM" : "Responder to PLM", kCmdControllerToPlm, controller);
    BeginSubmenu(m, "&Get Properties");
    AddItem(m, "Get Status", kCmdGetStatus);
    AddItem(m, "Get Catagory", kCmdGetCategory);
    AddItem(m, "Get Version", kCmdGetVersion);
    AddItem(m, "Refresh Link List", kCmdRefreshLinks);
    AddSeparator(m);
    AddItem(m, "On", kCmdOn);
    AddItem(m, "Off", kCmdOff);
    EndSubmenu(m);
    AddLine(m, "Last On: " + InfoTime(ctx, r.timeLastOn));
    AddLine(m, "Last Off: " + InfoTime(ctx, r.timeLastOff));
    AddLine(m, Format("Minutes on today. %u", r.minutesOnToday));
    AddLine(m, Format("Minutes on this week. %u", r.minutesOnWeek));
    AddLine(m, Format("Minutes on this month. %u", r.minutesOnMonth));
    AddLine(m, "Last Contact: " + InfoTime(ctx, r.timeLastContact));
    AddLine(m, "Last status received: " + InfoTime(ctx, r.timeStatusReply));
    AddLine(m, "Last links update: " + InfoTime(ctx, r.timeLinksRead));
    AddLine(m, "Icon:" + std::string(PictureText(r)));
  }
  AddSeparator(m);
  AddLine(m, kDragTip);
  AddLine(m, kRemoveTip);
  return m;
}

bool RunTreeCommand(Context& ctx, uint32_t key, int command, uint8_t onLevel) {
  switch (command) {
    case kCmdShowInControllerList: {
      const int slot = ctx.db.FindDeviceByKey(key);
      if (slot >= 0) {
        DeviceRecord& r = ctx.db[slot];
        r.showInControllerList = r.showInControllerList != 0 ? 0 : 1;
        ctx.notifier.Refresh(ViewRefresh::ControllerList);
      }
      return true;
    }
    case kCmdGetStatus: GetStatus(ctx, key); return true;
    case kCmdGetCategory: GetCategory(ctx, key); return true;
    case kCmdGetVersion: GetVersion(ctx, key); return true;
    case kCmdRefreshLinks: RefreshLinkList(ctx, key); return true;
    case kCmdOn: DeviceOn(ctx, key, onLevel); return true;
    case kCmdOff: DeviceOff(ctx, key); return true;
    default: return false;
  }
}

int DropTargetGroup(TreeItemKind kind, uint32_t targetKey, uint8_t targetGroup, uint32_t draggedKey) {
  if (kind != TreeItemKind::kGroup && kind != TreeItemKind::kDevice) return -1;
  if (kind == TreeItemKind::kDevice && targetKey == draggedKey) return -1;
  if (targetGroup > 251) return -1;
  return targetGroup;
}

void WriteLinkReport(Context& ctx, const DeviceTreeModel& model) {
  ctx.log.ClearLinkReport();
  for (const TreeItem& top : model.items) {
    if (top.kind == TreeItemKind::kPlmRoot) {
      ctx.log.LogLinkReport("Power Line Modem (PLM)  " + top.text);
      for (const TreeItem& child : top.children) WriteItem(ctx, child);
    } else {
      WriteItem(ctx, top);
    }
  }
}

}  // namespace quorvel
