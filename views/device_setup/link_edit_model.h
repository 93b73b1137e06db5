#pragma once
// Editing link records in place in the two link lists: the Device Setup tab's
// list of one device's links (DeviceLinkList, here) and the Controller Setup
// tab's list of one button group's responders (ButtonGroupList, in
// views/link_views/controller_setup_model). Both share what a row carries: the
// link it stands for, the cells as shown, the check box that marks it for
// deletion, and the save state of its last column. A save only starts link
// jobs; "Saved" and "Unlinked" appear once the devices showed the records back.
//
// Rows carry the link they were filled from (record key, slot, partner,
// group): the table can be read again under an open box, so every save looks
// the record up again and does nothing when the slot names another link.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "device/device_record.h"
#include "device/insteon_id.h"
#include "views/device_setup/link_list_model.h"

namespace quorvel {

struct Context;

inline constexpr int kSaveColumn = 4;
inline constexpr int kGroupColumn = 1;
inline constexpr int kLevelColumn = 2;
inline constexpr int kRateColumn = 3;

// The save state a row's last column shows.
enum class RowState : uint8_t {
  kNone,       // ""
  kChanged,    // "Save": an edit waits to be saved
  kMarked,     // "Del": checked for deletion
  kSaving,     // "Saving...": written, not yet shown back by the device
  kUnlinking,  // "Unlinking..."
  kSaved,      // "Saved"
  kUnlinked,   // "Unlinked"
};
std::string_view RowStateText(RowState state);

// The link a row stands for, as it was when the row was filled.
struct RowLink {
  DeviceKey device = 0;  // the record whose link table the row comes from
  int slot = -1;         // -1: a link being made that the table does not hold yet
  InsteonId partner{};
  uint8_t group = 0;
  uint8_t flags = 0;
};

struct EditRow {
  RowLink link;
  std::string cells[kLinkListColumns];
  std::string filled[kLinkListColumns];  // the cells as the table gave them
  bool checked = false;
  RowState state = RowState::kNone;
  std::vector<uint32_t> tickets;  // the link jobs carrying out the save
  bool gone = false;              // unlinked: still shown, no longer in the table
  bool editable[kLinkListColumns] = {};

  bool Changed() const;
  bool Busy() const { return state == RowState::kSaving || state == RowState::kUnlinking; }
};

enum class EditorKind : uint8_t { kNone, kDropDown, kText };

// A drop-down's entries, with the ramp code of each rate entry, and the entry
// preselected (-1 for none).
struct CellChoices {
  std::vector<std::string> entries;
  std::vector<int> codes;
  int selected = -1;
};

// Keys in an editor, and where the editor goes next: `row` -1 opens none;
// `save` asks for the row's pending change or delete to be saved first.
enum class EditKey : uint8_t { kTab, kEnter, kEscape, kUp };
struct NextEdit {
  int row = -1;
  int column = -1;
  bool save = false;
};
// Escape opens nothing. Enter opens the next column of the row, or in the save
// column saves and opens column 1 of the next row. Tab opens the next column,
// or after `lastTabColumn` column 1 of the next row (row 0 after the last).
// Up opens the same column of the row above, from row 1 on.
NextEdit NextCell(EditKey key, int row, int column, int rows, int lastTabColumn);

// What a save asks of the window: nothing, a box to show, or the "Confirm"
// box whose answer goes back to the list.
struct SaveOutcome {
  enum Kind : uint8_t { kNothing, kMessage, kConfirm, kStarted } kind = kNothing;
  std::string title;
  std::string text;
  bool refill = false;  // the list no longer matches the table: fill it again
};

// Texts of the link lists.
inline constexpr const char* kEngineUnknownText = "Device Insteon Engine Version needs be determined first.";
inline constexpr const char* kPartnerMissingTitle = "Device not found in PLM database.";
inline constexpr const char* kRemoveLinkLogText = "Remove link from %02x.%02x.%02x, - User changes";
inline constexpr const char* kLinkEditTitle = "Link Edit";
inline constexpr const char* kBadLevelText = "The on level must be a whole number from 0 to 100.";
inline constexpr const char* kBadGroupText = "The group must be a whole number from 1 to 255.";
inline constexpr const char* kBadRateText = "The ramp rate must be one of the rates the list offers.";

// A row's cell texts read back: a whole number, optionally ending in '%'.
bool ParseWholeNumber(std::string_view text, int& out, bool percentAllowed);

// Rows, their check boxes, edits and save states; the two lists fill and save
// them each in their own way.
class LinkRowList {
 public:
  int Rows() const { return static_cast<int>(rows_.size()); }
  const EditRow& Row(int row) const { return rows_[static_cast<size_t>(row)]; }
  bool ValidRow(int row) const { return row >= 0 && row < Rows(); }
  DeviceKey Device() const { return device_; }

  // The check box of column 0: a checked row shows "Del", an unchecked one
  // "Save" while it holds an edit, else nothing.
  void SetChecked(int row, bool checked);
  // The column after which Tab moves to the next row: 4 while the row waits
  // for a save or a delete, else 3.
  int LastTabColumn(int row) const;
  // Follows the jobs of rows being saved; true when a row changed. A write
  // that did not take leaves the row waiting for a save again ("Save"/"Del").
  bool FollowJobs(const Context& ctx);
  bool Waiting() const;
  // Forgets every row (another device or group is shown).
  void Clear();
  // The record still holds the row's link at its slot (in use, same partner,
  // group and role).
  static bool LinkStillThere(const DeviceRecord& r, const RowLink& link);

 protected:
  // Takes the rows the table gives now for `device`. Rows of the same device
  // keep their edits, marks and save states where the same link (slot and
  // partner) is still listed; an unlinked row stays on show until the list
  // shows another device.
  void Refill(DeviceKey device, std::vector<EditRow> fresh);
  // Sets a cell the user edited; the row shows "Save" when it differs.
  void SetCell(int row, int column, const std::string& text);
  void Started(int row, RowState state, std::vector<uint32_t> tickets);
  // The row returns to what the table gave (a save that could not start).
  void Revert(int row);
  EditRow& MutableRow(int row) { return rows_[static_cast<size_t>(row)]; }
  // The row standing for this link, or -1.
  int FindRow(const RowLink& link) const;

  std::vector<EditRow> rows_;
  DeviceKey device_ = 0;
  bool filled_ = false;
};

// The Device Setup tab's list: every link of the device selected in the tree.
class DeviceLinkList : public LinkRowList {
 public:
  // The rows of the record the key names now (FillDeviceLinks); none when it is gone.
  DeviceLinks Fill(const Context& ctx, DeviceKey device);

  EditorKind Editor(int row, int column) const;
  // Group: "1".."n" by the other end's button groups, "1".."255" for the modem
  // or a kind without groups. On Level: "0%".."100%", or "100%" alone for an
  // on/off device. On Rate: "0.1 sec".."480 sec" with their codes, or "SWITCH".
  CellChoices Choices(const Context& ctx, int row, int column) const;
  // The user chose entry `entry` of `choices`: the cell takes its text.
  void Choose(int row, int column, const CellChoices& choices, int entry);

  // The save cell: a marked row asks to be confirmed, a changed row is written
  // (UpdateLink with the row's group, level and rate).
  SaveOutcome Save(Context& ctx, int row);
  // The "Confirm" box's answer for the delete Save asked about. Whatever the
  // answer the row is unchecked; on OK both halves of the link are written removed.
  SaveOutcome ConfirmDelete(Context& ctx, bool ok);

 private:
  struct PendingDelete {
    bool asked = false;
    RowLink link;
  };
  PendingDelete pending_;
};

// The other device's half of a link: the first in-use link among the
// record's first linkCount (at most 32) with this group and id in the other
// role (a controller's link pairs with a responder's), or -1.
int FindPartnerLink(const DeviceRecord& record, const InsteonId& id, uint8_t group, bool partnerControls);

}  // namespace quorvel
