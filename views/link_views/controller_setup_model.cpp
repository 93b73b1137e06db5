#include "views/link_views/controller_setup_model.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <unordered_set>

#include "device/device_catalogue.h"
#include "engine/context.h"
#include "engine/device_polling.h"
#include "engine/link_operations.h"

namespace quorvel {

namespace {

constexpr int kControllerLinkSlots = 32;
constexpr int kLastListedCategory = 16;
constexpr const char* kSwitchText = "SWITCH";

struct RampText {
  const char* text;
  int index;
};
constexpr RampText kRampTexts[] = {
    {"0.1 sec", 31}, {"0.2 sec", 30}, {"0.3 sec", 29}, {"0.5 sec", 28}, {"2 sec", 27},   {"4 sec", 26},
    {"6 sec", 25},   {"8 sec", 24},   {"19 sec", 23},  {"21 sec", 22},  {"23 sec", 21},  {"26 sec", 20},
    {"28 sec", 19},  {"30 sec", 18},  {"32 sec", 17},  {"34 sec", 16},  {"38 sec", 15},  {"43 sec", 14},
    {"47 sec", 13},  {"60 sec", 12},  {"90 sec", 11},  {"120 sec", 10}, {"150 sec", 9},  {"180 sec", 8},
    {"210 sec", 7},  {"240 sec", 6},  {"270 sec", 5},  {"300 sec", 4},  {"360 sec", 3},  {"420 sec", 2},
    {"480 sec", 1},
};

bool EngineKnown(uint8_t engine) { return engine >= kEngineI1 && engine <= kEngineI2cs; }

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char text[320];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

SaveOutcome Message(const char* title, const char* text) {
  SaveOutcome out;
  out.kind = SaveOutcome::kMessage;
  out.title = title;
  out.text = text;
  return out;
}

SaveOutcome RefillWanted() {
  SaveOutcome out;
  out.refill = true;
  return out;
}

SaveOutcome Started() {
  SaveOutcome out;
  out.kind = SaveOutcome::kStarted;
  return out;
}

// A ramp text the rate column may hold: the rates, 540 s (code 0) and SWITCH.
bool KnownRampText(std::string_view text) {
  if (text == kSwitchText || text == RampSecondsText(0)) return true;
  return std::any_of(std::begin(kRampTexts), std::end(kRampTexts), [&](const RampText& r) { return text == r.text; });
}

std::string NameOf(const Context& ctx, const InsteonId& id) {
  const int slot = ctx.db.FindDevice(id);
  return slot < 0 ? std::string() : std::string(ProductName(ctx.db[slot].category, ctx.db[slot].subcategory));
}

}  // namespace

int RampIndexFromText(std::string_view text) {
  for (const RampText& r : kRampTexts)
    if (text == r.text) return std::min(r.index, 31);
  return 0;
}

uint8_t PercentTimes255(int percent) {
  // Typed text can say anything up to four characters: "9999" must not wrap.
  percent = std::clamp(percent, 0, 100);
  return static_cast<uint8_t>(percent * 255 / 100);
}

// --- ButtonGroupList --------------------------------------------------------------

void ButtonGroupList::Fill(const Context& ctx, DeviceKey controller, int group) {
  if (group != group_) Clear();
  group_ = group;
  std::vector<EditRow> rows;
  const int slot = ctx.db.FindDeviceByKey(controller);
  if (slot >= 0 && group > 0) {
    const DeviceRecord& k = ctx.db[slot];
    for (int i = 0; i < kControllerLinkSlots; ++i) {
      const LinkRecord& l = k.links[i];
      // The button's own records: the controller's record and, in the
      // responder, the responder record naming it back.
      if (!l.InUse() || l.group != group || (l.flags & kLinkController) == 0) continue;
      const int other = ctx.db.FindDevice(l.id);
      if (other < 0) continue;
      const DeviceRecord& r = ctx.db[other];
      const int back = FindPartnerLink(r, k.id, l.group, false);
      if (back < 0) continue;
      const LinkRecord& p = r.links[back];
      const bool relay = r.category == 2;
      EditRow row;
      row.link = RowLink{controller, i, l.id, l.group, l.flags};
      row.cells[0] = IdText(l.id);
      row.cells[kGroupColumn] = std::to_string(l.group);
      row.cells[kLevelColumn] = std::to_string(relay ? 100 : LinkLevelPercent(p.data[0])) + "%";
      row.cells[kRateColumn] = relay && r.InUse() ? std::string(kSwitchText) : RampSecondsText(p.data[1]);
      for (int c = 0; c < kLinkListColumns; ++c) row.filled[c] = row.cells[c];
      row.editable[kGroupColumn] = true;
      row.editable[kLevelColumn] = true;
      row.editable[kRateColumn] = true;
      row.editable[kSaveColumn] = true;
      rows.push_back(std::move(row));
    }
  }
  Refill(controller, std::move(rows));
}

EditorKind ButtonGroupList::Editor(int row, int column) const {
  if (!ValidRow(row) || column <= 0 || column >= kLinkListColumns) return EditorKind::kNone;
  const EditRow& r = Row(row);
  if (r.gone || r.Busy() || r.link.slot < 0 || !r.editable[column]) return EditorKind::kNone;
  return column == kRateColumn ? EditorKind::kDropDown : EditorKind::kText;
}

CellChoices ButtonGroupList::RateChoices(const Context& ctx, int row) const {
  CellChoices c;
  if (Editor(row, kRateColumn) != EditorKind::kDropDown) return c;
  const int other = ctx.db.FindDevice(Row(row).link.partner);
  if (other >= 0 && ctx.db[other].category == 2) {
    c.entries.push_back(kSwitchText);
    c.codes.push_back(32);
  } else {
    for (int code = 31; code >= 1; --code) {
      c.entries.push_back(std::string(RampRateName(code)));
      c.codes.push_back(code);
    }
  }
  for (size_t i = 0; i < c.entries.size(); ++i)
    if (c.entries[i] == Row(row).cells[kRateColumn]) c.selected = static_cast<int>(i);
  return c;
}

void ButtonGroupList::ChooseRate(int row, const CellChoices& choices, int entry) {
  if (Editor(row, kRateColumn) != EditorKind::kDropDown) return;
  if (entry < 0 || entry >= static_cast<int>(choices.entries.size())) return;
  SetCell(row, kRateColumn, choices.entries[static_cast<size_t>(entry)]);
}

SaveOutcome ButtonGroupList::EndTextEdit(int row, int column, const std::string& text) {
  if (Editor(row, column) != EditorKind::kText || column == kSaveColumn) return {};
  if (text == Row(row).cells[column]) return {};
  int value = 0;
  if (column == kGroupColumn) {
    if (!ParseWholeNumber(text, value, false) || value > 255) return Message(kLinkEditTitle, kBadGroupText);
    SetCell(row, column, std::to_string(value));
  } else {
    if (!ParseWholeNumber(text, value, true) || value > 100) return Message(kLinkEditTitle, kBadLevelText);
    SetCell(row, column, std::to_string(value) + "%");
  }
  return {};
}

void ButtonGroupList::AddLinkBeingMade(const Context& ctx, const InsteonId& responder, uint8_t group,
                                       std::vector<uint32_t> tickets) {
  if (group != group_ || tickets.empty()) return;
  for (const EditRow& r : rows_)
    if (r.link.partner == responder && r.link.group == group && !r.gone) return;
  const int other = ctx.db.FindDevice(responder);
  const bool relay = other >= 0 && ctx.db[other].category == 2;
  EditRow row;
  row.link = RowLink{Device(), -1, responder, group, kControllerRecordFlags};
  row.cells[0] = IdText(responder);
  row.cells[kGroupColumn] = std::to_string(group);
  row.cells[kLevelColumn] = std::to_string(relay ? 100 : LinkLevelPercent(kDropLevel)) + "%";
  row.cells[kRateColumn] = relay ? std::string(kSwitchText) : RampSecondsText(0x1C);
  for (int c = 0; c < kLinkListColumns; ++c) row.filled[c] = row.cells[c];
  row.state = RowState::kSaving;
  row.tickets = std::move(tickets);
  rows_.push_back(std::move(row));
}

// --- ControllerSetupModel ---------------------------------------------------------

std::vector<ControllerRow> ControllerSetupModel::FillControllerList(Context& ctx) {
  std::vector<ControllerRow> rows;
  DeviceDatabase& db = ctx.db;
  const uint32_t n = std::min<uint32_t>(db.count, kMaxDevices + 1);
  // A device with records in several modem groups is one controller.
  std::unordered_set<uint32_t> listed;
  DeviceKey first = 0;
  for (int c = 0; c <= kLastListedCategory; ++c) {
    for (uint32_t i = 0; i < n; ++i) {
      DeviceRecord& r = db.records[i];
      if (!r.InUse() || r.category != c || ControllerGroupCount(r) == 0) continue;
      if (!listed.insert(r.id.Value()).second) continue;
      char id[24];
      std::snprintf(id, sizeof id, "[ %02x.%02x.%02x ]", r.id.b[0], r.id.b[1], r.id.b[2]);
      const DeviceKey key = MakeDeviceKey(r.group, r.id);
      rows.push_back(ControllerRow{id, std::string(ProductName(r.category, r.subcategory)), key});
      if (first == 0) first = key;
    }
  }
  if ((state.shown == 0 || ShownSlot(ctx) < 0) && first != 0) {
    ShowController(ctx, first);
    ShowButtonGroup(ctx, 1);
  } else if (state.shown != 0) {
    ShowController(ctx, state.shown);
  }
  return rows;
}

void ControllerSetupModel::SelectController(Context& ctx, DeviceKey key) {
  ShowController(ctx, key);
  ShowButtonGroup(ctx, 1);
}

int ControllerSetupModel::ShownSlot(const Context& ctx) const {
  if (state.shown == 0) return -1;
  const int slot = ctx.db.FindDeviceByKey(state.shown);
  return slot >= 0 ? slot : ctx.db.FindDevice(KeyId(state.shown));
}

void ControllerSetupModel::ShowController(Context& ctx, DeviceKey key) {
  int slot = key == 0 ? -1 : ctx.db.FindDeviceByKey(key);
  if (slot < 0 && key != 0) slot = ctx.db.FindDevice(KeyId(key));
  if (slot < 0) {
    // The chosen device has gone: nothing is shown, and the commands have nothing to act on.
    const bool help = state.helpVisible;
    state = ControllerSetupState{};
    state.helpVisible = help;
    groups = PanelGroups{};
    list.Clear();
    pending_ = PendingRemoval{};
    return;
  }
  const DeviceRecord& r = ctx.db[slot];
  const DeviceKey shown = MakeDeviceKey(r.group, r.id);
  if (!(KeyId(shown) == KeyId(state.shown)) || !state.panelShown) {
    // A button number of the last controller is not sent to this one.
    state.selectedButton = 0;
    state.listedGroup = 0;
    list.Clear();
    pending_ = PendingRemoval{};
  }
  state.shown = shown;
  state.panelShown = true;
  state.kind = ChooseControllerPanel(r);
  if (state.listedGroup > 0) list.Fill(ctx, state.shown, state.listedGroup);
  ReloadGroups(ctx);
}

void ControllerSetupModel::ShowButtonGroup(const Context& ctx, int group) {
  if (!state.panelShown || group < 1 || group > 255) return;
  state.listedGroup = group;
  list.Fill(ctx, state.shown, group);
  for (PanelGroupList& g : groups.lists) g.mark = g.group == group ? 1 : 0;
}

std::string ControllerSetupModel::Heading() const {
  if (state.listedGroup <= 0) return {};
  return Format("Button group %d        ", state.listedGroup);
}

void ControllerSetupModel::ReloadGroups(Context& ctx) {
  const int slot = ShownSlot(ctx);
  if (slot < 0) {
    groups = PanelGroups{};
    return;
  }
  groups = LoadGroups(ctx, slot, PanelGroupCount(state.kind, ctx.db[slot]));
  // A responder dropped a moment ago stays under its group until its records are read back.
  for (int i = 0; i < list.Rows(); ++i) {
    const EditRow& row = list.Row(i);
    if (row.link.slot >= 0 || row.state != RowState::kSaving) continue;
    const int other = ctx.db.FindDevice(row.link.partner);
    if (other >= 0) AppendToGroup(groups, row.link.group, PanelEntry{ctx.db[other].group, row.link.partner});
  }
  for (PanelGroupList& g : groups.lists) g.mark = g.group == state.listedGroup ? 1 : 0;
}

SaveOutcome ControllerSetupModel::Drop(Context& ctx, int group, DeviceKey responder) {
  const int k = ShownSlot(ctx);
  const int r = ctx.db.FindDevice(KeyId(responder));
  if (k < 0 || r < 0 || ctx.db[k].id == ctx.db[r].id) return {};
  if (group < 1 || group > static_cast<int>(groups.lists.size())) return {};
  if (LinkOperationRunning(ctx)) return Message(kWaitForOperationText, "");
  AppendToGroup(groups, group, PanelEntry{ctx.db[r].group, ctx.db[r].id});
  const InsteonId responderId = ctx.db[r].id;
  const bool prepared = LinkControllerResponder(ctx, k, static_cast<uint8_t>(group), r, kDropLevel);
  ShowButtonGroup(ctx, group);
  if (!prepared) return {};
  list.AddLinkBeingMade(ctx, responderId, static_cast<uint8_t>(group), PreparedTickets(ctx));
  return Started();
}

void ControllerSetupModel::Click(Context& ctx, const std::vector<int>& groupsHit) {
  if (!state.panelShown) return;
  const ClickRequest request = RequestAfterClick(state.kind);
  if (request == ClickRequest::kIgnored || groupsHit.empty()) return;
  for (int g : groupsHit) ShowButtonGroup(ctx, g);
  const int g = groupsHit.back();
  state.selectedButton = g;
  const int k = ShownSlot(ctx);
  if (k < 0) return;
  if (request == ClickRequest::kButtonSettings)
    RequestButtonSettings(ctx, ctx.db[k], static_cast<uint8_t>(state.kind == PanelKind::kIOLinc ? 1 : g));
  // A keypad reads its button through its own panel.
}

SaveOutcome ControllerSetupModel::SetOptions(Context& ctx) {
  if (state.selectedButton == 0) return Message(kSelectionMissingTitle, kSelectButtonText);
  const int k = ShownSlot(ctx);
  if (k < 0) return {};
  const DeviceRecord& r = ctx.db[k];
  // Writing back settings never read would clear what the device holds.
  if (!SettingsKnown(r)) return Message("Set Options", kReadOptionsFirstText);
  WriteButtonOptions(ctx, r, static_cast<uint8_t>(state.selectedButton));
  // The I/O module and the motion sensor write their own settings after this, from their panels.
  return Started();
}

SaveOutcome ControllerSetupModel::ReadOptions(Context& ctx) {
  if (state.selectedButton == 0) return Message(kSelectionMissingTitle, kSelectButtonText);
  const int k = ShownSlot(ctx);
  if (k < 0) return {};
  ReadButtonOptions(ctx, ctx.db[k], static_cast<uint8_t>(state.selectedButton));
  return Started();
}

SaveOutcome ControllerSetupModel::SaveRow(Context& ctx, int row) {
  if (!list.ValidRow(row)) return {};
  switch (list.Row(row).state) {
    case RowState::kMarked: return AskRemoveLink(ctx, row);
    case RowState::kChanged: return UpdateOrRemoveLink(ctx, row);
    case RowState::kSaved:
      // Over a row with nothing waiting the cell is cleared.
      list.MutableRow(row).state = RowState::kNone;
      return {};
    default: return {};
  }
}

SaveOutcome ControllerSetupModel::UpdateOrRemoveLink(Context& ctx, int row) {
  if (!list.ValidRow(row)) return {};
  const EditRow r = list.Row(row);
  const int ks = ShownSlot(ctx);
  if (ks < 0 || r.link.slot < 0) return RefillWanted();
  DeviceRecord& k = ctx.db[ks];
  if (!EngineKnown(k.engineVersion)) {
    k.versionTries = 0;
    SendVersionRequest(ctx, k);
    list.Revert(row);
    return Message("", kEngineUnknownText);
  }
  if ((k.linkCount != 0 && r.link.slot >= k.linkCount) || r.link.slot >= kLinksPerDevice ||
      !LinkRowList::LinkStillThere(k, r.link) || ctx.db.FindDevice(r.link.partner) < 0) {
    list.Revert(row);
    return RefillWanted();
  }
  const int rs = ctx.db.FindDevice(r.link.partner);
  int group = 0;
  if (!ParseWholeNumber(r.cells[kGroupColumn], group, false) || group > 255)
    return Message(kLinkEditTitle, kBadGroupText);
  if (group != r.link.group) {
    // The row stands for the link of its own group; another group's link is not this row's.
    list.Revert(row);
    SaveOutcome out = Message(kLinkEditTitle, kGroupNotChangedText);
    out.refill = true;
    return out;
  }
  DeviceRecord& resp = ctx.db[rs];
  const int partner = FindPartnerLink(resp, k.id, static_cast<uint8_t>(group), false);
  if (partner < 0) {
    list.Revert(row);
    return RefillWanted();
  }
  if (LinkOperationRunning(ctx)) return Message(kWaitForOperationText, "");
  if (r.checked) {
    resp.aldbDelta = 0;
    resp.aldbReadState = kReadUserRequested;
    ctx.log.LogActivityFormatted("Removing link for %02x.%02x.%02x Group %d", resp.id.b[0], resp.id.b[1], resp.id.b[2],
                                 group);
    if (!UpdateLink(ctx, rs, partner, static_cast<uint8_t>(group), 0, 0, kRemovedRecordFlags))
      return Message(kWaitForOperationText, "");
    list.Started(row, RowState::kUnlinking, PreparedTickets(ctx));
    return Started();
  }
  int percent = 0;
  if (!ParseWholeNumber(r.cells[kLevelColumn], percent, true) || percent > 100)
    return Message(kLinkEditTitle, kBadLevelText);
  const std::string& rate = r.cells[kRateColumn];
  if (!KnownRampText(rate)) return Message(kLinkEditTitle, kBadRateText);
  // An on/off responder's "SWITCH" reads as rate 0; its level says on (above 0) or off.
  const uint8_t level = PercentTimes255(percent);
  const uint8_t index = static_cast<uint8_t>(RampIndexFromText(rate));
  ctx.log.LogActivityFormatted("Updating link parameters for %02x.%02x.%02x Group %d - On Level %d, Ramp Rate %d",
                               resp.id.b[0], resp.id.b[1], resp.id.b[2], group, level, index);
  if (!UpdateLink(ctx, rs, partner, static_cast<uint8_t>(group), level, index, resp.links[partner].flags))
    return Message(kWaitForOperationText, "");
  list.Started(row, RowState::kSaving, PreparedTickets(ctx));
  return Started();
}

SaveOutcome ControllerSetupModel::AskRemoveLink(Context& ctx, int row) {
  if (!list.ValidRow(row)) return {};
  const EditRow& r = list.Row(row);
  const int ks = ShownSlot(ctx);
  if (ks < 0 || !LinkRowList::LinkStillThere(ctx.db[ks], r.link)) {
    list.Revert(row);
    return RefillWanted();
  }
  const DeviceRecord& k = ctx.db[ks];
  pending_.asked = true;
  pending_.link = r.link;
  SaveOutcome out;
  out.kind = SaveOutcome::kConfirm;
  out.title = "Confirm";
  out.text = Format(
      "A Link From %02x.%02x.%02x  %s  FirmWare %x.%x\n\n\n\nGroup %d control with %02x.%02x.%02x %s \n\n  Remove this link?",
      k.id.b[0], k.id.b[1], k.id.b[2], std::string(ProductName(k.category, k.subcategory)).c_str(), k.firmware >> 4,
      k.firmware & 0x0F, r.link.group, r.link.partner.b[0], r.link.partner.b[1], r.link.partner.b[2],
      NameOf(ctx, r.link.partner).c_str());
  return out;
}

SaveOutcome ControllerSetupModel::ConfirmRemoveLink(Context& ctx, bool ok) {
  if (!pending_.asked) return {};
  const RowLink link = pending_.link;
  pending_ = PendingRemoval{};
  const int row = list.FindRow(link);
  if (row < 0) return RefillWanted();
  list.Revert(row);
  if (!ok) return {};
  const int ks = ShownSlot(ctx);
  // The tick ran while the box was open: the table may have been read again.
  if (ks < 0 || !(ctx.db[ks].id == KeyId(link.device)) || !LinkRowList::LinkStillThere(ctx.db[ks], link))
    return RefillWanted();
  if (LinkOperationRunning(ctx)) return Message(kWaitForOperationText, "");
  DeviceRecord& k = ctx.db[ks];
  ctx.log.LogActivityFormatted(kRemoveLinkLogText, k.id.b[0], k.id.b[1], k.id.b[2]);
  ctx.linkOps.linkEditDisplay = true;
  bool first = false;
  if (EngineKnown(k.engineVersion)) {
    k.aldbDelta = 0;
    k.aldbReadState = kReadUserRequested;
    const LinkRecord& l = k.links[link.slot];
    first = UpdateLink(ctx, ks, link.slot, l.group, l.data[0], l.data[1], kRemovedRecordFlags);
  } else {
    k.versionTries = 0;
    SendVersionRequest(ctx, k);
  }
  const int rs = ctx.db.FindDevice(link.partner);
  if (rs >= 0) {
    DeviceRecord& r = ctx.db[rs];
    if (!EngineKnown(r.engineVersion)) {
      r.versionTries = 0;
      SendVersionRequest(ctx, r);
    } else {
      r.aldbDelta = 0;
      r.aldbReadState = kReadUserRequested;
      const int partner = FindPartnerLink(r, k.id, link.group, false);
      if (partner >= 0) {
        const LinkRecord& p = r.links[partner];
        // Joins the controller's job, or stands alone when that could not be prepared.
        if (first)
          UpdateSecondLink(ctx, rs, partner, link.group, p.data[0], p.data[1], kRemovedRecordFlags);
        else
          UpdateLink(ctx, rs, partner, link.group, p.data[0], p.data[1], kRemovedRecordFlags);
      }
    }
  }
  std::vector<uint32_t> tickets = PreparedTickets(ctx);
  if (tickets.empty()) return Message("", kEngineUnknownText);
  list.Started(row, RowState::kUnlinking, std::move(tickets));
  return Started();
}

bool ControllerSetupModel::FollowJobs(Context& ctx) {
  if (!list.FollowJobs(ctx)) return false;
  if (state.listedGroup > 0) list.Fill(ctx, state.shown, state.listedGroup);
  ReloadGroups(ctx);
  return true;
}

}  // namespace quorvel
