#include "views/device_setup/link_edit_model.h"

#include <algorithm>
#include <charconv>
#include <cstdarg>
#include <cstdio>

#include "device/device_catalogue.h"
#include "engine/context.h"
#include "engine/device_polling.h"
#include "engine/link_operations.h"

namespace quorvel {

namespace {

constexpr const char* kSwitchText = "SWITCH";
constexpr int kSwitchCode = 32;
constexpr int kFirstRateCode = 31;  // "0.1 sec" heads the rate list
constexpr int kLastRateCode = 1;    // "480 sec" ends it
constexpr int kPartnerLinkSlots = 32;

bool EngineKnown(uint8_t engine) { return engine >= kEngineI1 && engine <= kEngineI2cs; }

int RecordOf(const Context& ctx, DeviceKey key) { return ctx.db.FindDeviceByKey(key); }

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

SaveOutcome Busy() { return Message(kWaitForOperationText, ""); }

}  // namespace

std::string_view RowStateText(RowState state) {
  switch (state) {
    case RowState::kNone: return "";
    case RowState::kChanged: return "Save";
    case RowState::kMarked: return "Del";
    case RowState::kSaving: return "Saving...";
    case RowState::kUnlinking: return "Unlinking...";
    case RowState::kSaved: return "Saved";
    case RowState::kUnlinked: return "Unlinked";
  }
  return "";
}

bool EditRow::Changed() const {
  for (int c = 1; c < kSaveColumn; ++c)
    if (cells[c] != filled[c]) return true;
  return false;
}

bool ParseWholeNumber(std::string_view text, int& out, bool percentAllowed) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (percentAllowed && !text.empty() && text.back() == '%') text.remove_suffix(1);
  if (text.empty() || text.size() > 4) return false;
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 0) return false;
  out = value;
  return true;
}

NextEdit NextCell(EditKey key, int row, int column, int rows, int lastTabColumn) {
  NextEdit next;
  if (rows <= 0 || row < 0 || row >= rows) return next;
  const int nextRow = row + 1 < rows ? row + 1 : 0;
  switch (key) {
    case EditKey::kEscape:
      break;
    case EditKey::kEnter:
      if (column < kSaveColumn) {
        next.row = row;
        next.column = column + 1;
      } else {
        next.save = true;
        next.row = nextRow;
        next.column = kGroupColumn;
      }
      break;
    case EditKey::kTab:
      if (column < lastTabColumn) {
        next.row = row;
        next.column = column + 1;
      } else {
        next.row = nextRow;
        next.column = kGroupColumn;
      }
      break;
    case EditKey::kUp:
      if (row >= 1) {
        next.row = row - 1;
        next.column = column;
      }
      break;
  }
  return next;
}

int FindPartnerLink(const DeviceRecord& record, const InsteonId& id, uint8_t group, bool partnerControls) {
  const int n = std::min(record.LinkLimit(), kPartnerLinkSlots);
  for (int k = 0; k < n; ++k) {
    const LinkRecord& l = record.links[k];
    if (!l.InUse() || l.group != group || !(l.id == id)) continue;
    if (((l.flags & kLinkController) != 0) == partnerControls) return k;
  }
  return -1;
}

// --- LinkRowList ------------------------------------------------------------------

void LinkRowList::SetChecked(int row, bool checked) {
  if (!ValidRow(row)) return;
  EditRow& r = MutableRow(row);
  if (r.gone || r.Busy()) return;
  r.checked = checked;
  if (checked)
    r.state = RowState::kMarked;
  else
    r.state = r.Changed() ? RowState::kChanged : RowState::kNone;
}

int LinkRowList::LastTabColumn(int row) const {
  if (!ValidRow(row)) return kRateColumn;
  const RowState s = Row(row).state;
  return s == RowState::kChanged || s == RowState::kMarked ? kSaveColumn : kRateColumn;
}

bool LinkRowList::Waiting() const {
  return std::any_of(rows_.begin(), rows_.end(), [](const EditRow& r) { return r.Busy(); });
}

void LinkRowList::Clear() {
  rows_.clear();
  filled_ = false;
  device_ = 0;
}

bool LinkRowList::FollowJobs(const Context& ctx) {
  bool changed = false;
  for (EditRow& r : rows_) {
    if (!r.Busy()) continue;
    bool pending = false;
    bool failed = r.tickets.empty();
    for (uint32_t t : r.tickets) {
      const LinkWriteOutcome o = LinkJobOutcome(ctx, t);
      pending |= o == LinkWriteOutcome::kPending;
      failed |= o == LinkWriteOutcome::kFailed;
    }
    if (pending) continue;
    changed = true;
    const bool unlinking = r.state == RowState::kUnlinking;
    r.tickets.clear();
    if (!failed) {
      r.state = unlinking ? RowState::kUnlinked : RowState::kSaved;
      if (!unlinking)
        for (int c = 0; c < kLinkListColumns; ++c) r.filled[c] = r.cells[c];
      continue;
    }
    // Not taken: the link operations said why in General Activity; the row
    // waits to be saved again.
    if (unlinking) {
      r.checked = true;
      r.state = RowState::kMarked;
    } else {
      r.state = r.Changed() ? RowState::kChanged : RowState::kNone;
    }
  }
  return changed;
}

int LinkRowList::FindRow(const RowLink& link) const {
  for (int i = 0; i < Rows(); ++i) {
    const RowLink& l = Row(i).link;
    if (l.slot == link.slot && l.partner == link.partner && (l.slot >= 0 || l.group == link.group)) return i;
  }
  return -1;
}

bool LinkRowList::LinkStillThere(const DeviceRecord& r, const RowLink& link) {
  if (link.slot < 0 || link.slot >= kLinksPerDevice) return false;
  const LinkRecord& l = r.links[link.slot];
  return l.InUse() && l.id == link.partner && l.group == link.group &&
         (l.flags & kLinkController) == (link.flags & kLinkController);
}

void LinkRowList::Refill(DeviceKey device, std::vector<EditRow> fresh) {
  if (!filled_ || device != device_) {
    rows_ = std::move(fresh);
    device_ = device;
    filled_ = true;
    return;
  }
  std::vector<bool> matched(rows_.size(), false);
  for (EditRow& f : fresh) {
    int old = -1;
    for (size_t i = 0; i < rows_.size() && old < 0; ++i) {
      const RowLink& l = rows_[i].link;
      if (matched[i]) continue;
      const bool same = l.slot >= 0 ? l.slot == f.link.slot && l.partner == f.link.partner
                                    : l.partner == f.link.partner && l.group == f.link.group;
      if (same) old = static_cast<int>(i);
    }
    if (old < 0) continue;
    matched[static_cast<size_t>(old)] = true;
    EditRow& o = rows_[static_cast<size_t>(old)];
    switch (o.state) {
      case RowState::kChanged:
      case RowState::kMarked:
        // The user's edit stays while the link is still the one edited; a link
        // the table now shows in another group or role is another link.
        if (f.link.group == o.link.group && (f.link.flags & kLinkController) == (o.link.flags & kLinkController)) {
          for (int c = 1; c < kSaveColumn; ++c) f.cells[c] = o.cells[c];
          f.checked = o.checked;
          f.state = o.state;
        }
        break;
      case RowState::kSaving:
      case RowState::kUnlinking:
        // What is being written stays on show until the device shows it back.
        if (o.link.slot >= 0) {
          f = o;
        } else {
          f.state = o.state;
          f.tickets = o.tickets;
        }
        break;
      case RowState::kSaved:
      case RowState::kUnlinked:
        f.state = o.state;
        break;
      case RowState::kNone:
        break;
    }
  }
  // Links removed here stay listed as removed; a link being made waits for
  // its first read-back.
  for (size_t i = 0; i < rows_.size(); ++i) {
    EditRow& o = rows_[i];
    if (matched[i]) continue;
    const bool keep = o.state == RowState::kUnlinked || o.state == RowState::kUnlinking ||
                      (o.link.slot < 0 && o.state == RowState::kSaving);
    if (!keep) continue;
    if (o.link.slot >= 0) {
      o.gone = true;
      o.checked = false;
      for (bool& e : o.editable) e = false;
    }
    fresh.push_back(o);
  }
  std::stable_sort(fresh.begin(), fresh.end(), [](const EditRow& a, const EditRow& b) {
    const int sa = a.link.slot < 0 ? kLinksPerDevice : a.link.slot;
    const int sb = b.link.slot < 0 ? kLinksPerDevice : b.link.slot;
    return sa < sb;
  });
  rows_ = std::move(fresh);
}

void LinkRowList::SetCell(int row, int column, const std::string& text) {
  if (!ValidRow(row) || column <= 0 || column >= kSaveColumn) return;
  EditRow& r = MutableRow(row);
  if (r.gone || r.Busy()) return;
  r.cells[column] = text;
  if (r.checked) return;
  r.state = r.Changed() ? RowState::kChanged : RowState::kNone;
}

void LinkRowList::Started(int row, RowState state, std::vector<uint32_t> tickets) {
  EditRow& r = MutableRow(row);
  r.state = state;
  r.tickets = std::move(tickets);
  r.checked = false;
}

void LinkRowList::Revert(int row) {
  EditRow& r = MutableRow(row);
  for (int c = 0; c < kLinkListColumns; ++c) r.cells[c] = r.filled[c];
  r.checked = false;
  r.state = RowState::kNone;
}

// --- DeviceLinkList ---------------------------------------------------------------

DeviceLinks DeviceLinkList::Fill(const Context& ctx, DeviceKey device) {
  const int slot = RecordOf(ctx, device);
  DeviceLinks links = FillDeviceLinks(ctx, slot);
  std::vector<EditRow> rows;
  for (const LinkRow& lr : links.rows) {
    const LinkRecord& l = ctx.db[slot].links[lr.slot];
    EditRow r;
    r.link = RowLink{device, lr.slot, l.id, l.group, l.flags};
    for (int c = 0; c < kLinkListColumns; ++c) r.cells[c] = r.filled[c] = lr.cells[c];
    const bool controls = (l.flags & kLinkController) != 0;
    // A controller's record keeps its own data bytes: no level or rate to set.
    r.editable[kGroupColumn] = true;
    r.editable[kLevelColumn] = !controls;
    r.editable[kRateColumn] = !controls;
    r.editable[kSaveColumn] = true;
    rows.push_back(std::move(r));
  }
  Refill(device, std::move(rows));
  if (pending_.asked && FindRow(pending_.link) < 0) pending_ = PendingDelete{};
  return links;
}

EditorKind DeviceLinkList::Editor(int row, int column) const {
  if (!ValidRow(row) || column <= 0 || column >= kLinkListColumns) return EditorKind::kNone;
  const EditRow& r = Row(row);
  if (r.gone || r.Busy() || !r.editable[column]) return EditorKind::kNone;
  return column == kSaveColumn ? EditorKind::kText : EditorKind::kDropDown;
}

CellChoices DeviceLinkList::Choices(const Context& ctx, int row, int column) const {
  CellChoices c;
  if (Editor(row, column) != EditorKind::kDropDown) return c;
  const int slot = RecordOf(ctx, Device());
  if (slot < 0) return c;
  const DeviceRecord& d = ctx.db[slot];
  const EditRow& r = Row(row);
  const bool relay = d.category == 2;
  switch (column) {
    case kGroupColumn: {
      // The group is a button of the device that controls: the other end's
      // for a link this device answers, this device's own for one it
      // controls. The modem has no record, and an unknown partner none either:
      // both offer every group. The look-up runs on a copy, since it also
      // decides whether a device is listed as a controller.
      int n = 0;
      const bool controls = (r.link.flags & kLinkController) != 0;
      const int other = r.link.partner == ctx.db.plm.plmId ? -1 : ctx.db.FindDevice(r.link.partner);
      if (controls || other >= 0) {
        DeviceRecord copy = controls ? d : ctx.db[other];
        n = ControllerGroupCount(copy);
      }
      if (n <= 0 || n > 255) n = 255;
      for (int g = 1; g <= n; ++g) c.entries.push_back(std::to_string(g));
      break;
    }
    case kLevelColumn:
      if (relay) {
        c.entries.push_back("100%");
      } else {
        for (int p = 0; p <= 100; ++p) c.entries.push_back(std::to_string(p) + "%");
      }
      break;
    case kRateColumn:
      if (relay) {
        c.entries.push_back(kSwitchText);
        c.codes.push_back(kSwitchCode);
      } else {
        for (int code = kFirstRateCode; code >= kLastRateCode; --code) {
          c.entries.push_back(std::string(RampRateName(code)));
          c.codes.push_back(code);
        }
      }
      break;
    default:
      break;
  }
  const std::string& now = r.cells[column];
  for (size_t i = 0; i < c.entries.size(); ++i)
    if (c.entries[i] == now) c.selected = static_cast<int>(i);
  return c;
}

void DeviceLinkList::Choose(int row, int column, const CellChoices& choices, int entry) {
  if (Editor(row, column) != EditorKind::kDropDown) return;
  if (entry < 0 || entry >= static_cast<int>(choices.entries.size())) return;
  // The entry's own text: an on/off device's single "100%" is 100 %, not its position.
  SetCell(row, column, choices.entries[static_cast<size_t>(entry)]);
}

SaveOutcome DeviceLinkList::Save(Context& ctx, int row) {
  if (!ValidRow(row)) return {};
  const EditRow& r = Row(row);
  if (r.state != RowState::kChanged && r.state != RowState::kMarked) return {};
  const int slot = RecordOf(ctx, Device());
  if (slot < 0) return RefillWanted();
  DeviceRecord& d = ctx.db[slot];
  if (!EngineKnown(d.engineVersion)) {
    d.versionTries = 0;
    SendVersionRequest(ctx, d);
    Revert(row);
    return Message("", kEngineUnknownText);
  }
  const int k = r.link.slot;
  if ((d.linkCount != 0 && k >= d.linkCount) || k < 0 || k > kPartnerLinkSlots) {
    Revert(row);
    return RefillWanted();
  }
  // The table may have been read again since the row was filled.
  if (!LinkStillThere(d, r.link)) {
    Revert(row);
    return RefillWanted();
  }
  if (LinkOperationRunning(ctx)) return Busy();

  if (r.checked) {
    const bool toModem = r.link.partner == ctx.db.plm.plmId;
    const int other = toModem ? -1 : ctx.db.FindDevice(r.link.partner);
    if (!toModem && other < 0) {
      Revert(row);
      return Message(kPartnerMissingTitle, "");
    }
    const std::string otherName = toModem ? std::string("Computer PLM")
                                          : std::string(ProductName(ctx.db[other].category, ctx.db[other].subcategory));
    pending_.asked = true;
    pending_.link = r.link;
    SaveOutcome out;
    out.kind = SaveOutcome::kConfirm;
    out.title = "Confirm";
    out.text = Format("A Link From %02x.%02x.%02x  %s.\n\n\n\nGroup %d control with %02x.%02x.%02x %s \n\n  Remove this link?",
                      d.id.b[0], d.id.b[1], d.id.b[2], std::string(ProductName(d.category, d.subcategory)).c_str(),
                      r.link.group, r.link.partner.b[0], r.link.partner.b[1], r.link.partner.b[2], otherName.c_str());
    return out;
  }

  const LinkRecord& link = d.links[k];
  int group = 0;
  if (!ParseWholeNumber(r.cells[kGroupColumn], group, false) || group > 255) return Message(kLinkEditTitle, kBadGroupText);
  uint8_t data1 = link.data[0];
  uint8_t data2 = link.data[1];
  if ((link.flags & kLinkController) == 0) {
    int percent = 0;
    if (!ParseWholeNumber(r.cells[kLevelColumn], percent, true) || percent > 100)
      return Message(kLinkEditTitle, kBadLevelText);
    const int code = RampCodeOfText(r.cells[kRateColumn]);
    if (d.category == 2) {
      // An on/off device is on or off: full level, no ramp.
      data1 = 0xFF;
      data2 = 0x00;
    } else {
      if (code < 0) return Message(kLinkEditTitle, kBadRateText);
      // A cell left as it was keeps its byte: a level of 254 shows as 100 %,
      // which would be written back as 255.
      if (r.cells[kLevelColumn] != r.filled[kLevelColumn]) data1 = PercentToLevel(percent);
      if (r.cells[kRateColumn] != r.filled[kRateColumn]) data2 = static_cast<uint8_t>(code);
    }
  }
  ctx.linkOps.linkEditDisplay = true;
  if (!UpdateLink(ctx, slot, k, static_cast<uint8_t>(group), data1, data2, link.flags)) return Busy();
  Started(row, RowState::kSaving, PreparedTickets(ctx));
  SaveOutcome out;
  out.kind = SaveOutcome::kStarted;
  return out;
}

SaveOutcome DeviceLinkList::ConfirmDelete(Context& ctx, bool ok) {
  if (!pending_.asked) return {};
  const RowLink link = pending_.link;
  pending_ = PendingDelete{};
  const int row = FindRow(link);
  if (row < 0) return RefillWanted();
  // Whatever the answer, the row is no longer marked.
  Revert(row);
  if (!ok) return {};
  const int slot = RecordOf(ctx, Device());
  if (slot < 0) return RefillWanted();
  DeviceRecord& d = ctx.db[slot];
  // The box was open while the tick ran: the table may have been read again.
  if (!LinkStillThere(d, link)) return RefillWanted();
  if (LinkOperationRunning(ctx)) return Busy();
  const InsteonId& plm = ctx.db.plm.plmId;
  const uint8_t g = link.group;
  const int k = link.slot;
  if (link.partner == plm) {
    ctx.log.LogActivityFormatted(kRemoveLinkLogText, d.id.b[0], d.id.b[1], d.id.b[2]);
    // The row's own link first; one more of the group goes in the second job,
    // and any further ones stay listed.
    int second = -1;
    const int n = std::min(d.LinkLimit(), kPartnerLinkSlots);
    for (int j = 0; j < n && second < 0; ++j) {
      const LinkRecord& l = d.links[j];
      if (j != k && l.InUse() && l.group == g && l.id == plm) second = j;
    }
    ctx.linkOps.linkEditDisplay = true;
    if (!UpdateLink(ctx, slot, k, 0, 0, 0, kRemovedRecordFlags)) return Busy();
    if (second >= 0) UpdateSecondLink(ctx, slot, second, 0, 0, 0, kRemovedRecordFlags);
    std::vector<uint32_t> tickets = PreparedTickets(ctx);
    // The modem's half goes too, or the automatic repair would put the link back.
    const int modemRecord = ctx.db.FindDeviceInGroup(g, d.id);
    if (modemRecord >= 0) {
      DeletePlmRecordForDevice(ctx, ctx.db[modemRecord]);
      ctx.db[modemRecord].linkFlags = kRemovedRecordFlags;
    }
    Started(row, RowState::kUnlinking, std::move(tickets));
  } else {
    const int other = ctx.db.FindDevice(link.partner);
    if (other < 0) return Message(kPartnerMissingTitle, "");
    const bool partnerControls = (link.flags & kLinkController) == 0;
    const int partnerLink = FindPartnerLink(ctx.db[other], d.id, g, partnerControls);
    ctx.log.LogActivityFormatted(kRemoveLinkLogText, d.id.b[0], d.id.b[1], d.id.b[2]);
    ctx.linkOps.linkEditDisplay = true;
    if (!RemoveLinkPair(ctx, k, g, slot, other, partnerLink)) return Busy();
    Started(row, RowState::kUnlinking, PreparedTickets(ctx));
  }
  SaveOutcome out;
  out.kind = SaveOutcome::kStarted;
  return out;
}

}  // namespace quorvel
