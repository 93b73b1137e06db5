#pragma once
// What the "Controller Setup" tab shows and does, without Qt: the controller
// select list, the controller shown with its panel, the list of one button
// group's responders with their on level and ramp rate (ButtonGroupList), the
// drop of a responder on a group, and the "Set Options" / "Read Options"
// commands. CWndControlers and CDPaneControlerSelect are thin views over it.
//
// The window keeps the shown controller by key, never by slot: a re-read of
// the modem's table reorders the records, and every command finds it again.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "views/common/message_texts.h"
#include "device/device_record.h"
#include "views/device_setup/controller_panel_model.h"
#include "views/device_setup/link_edit_model.h"

namespace quorvel {

struct Context;

// Column headings of the button group's list and their 22nds of the width.
inline constexpr const char* kButtonGroupHeadings[kLinkListColumns] = {"Check/Del", "Group", "Level", "Rate", "Save"};
inline constexpr int kButtonGroupWidths[kLinkListColumns] = {6, 4, 4, 5, 3};
// Longest text the group and level editors take.
inline constexpr int kButtonGroupEditMax = 4;

inline constexpr const char* kSelectButtonText = "Please select a Button #.";
inline constexpr const char* kReadOptionsFirstText = "Please read the device options first.";
inline constexpr const char* kGroupNotChangedText =
    "A link's group is not changed here: drop the responder on the other button group instead.";
inline constexpr const char* kControllerSetupHelp =
    "\n\n Insteon Device - Link to Controler\n\n Drag a Responder Icon listed to the left, onto a Button Group. "
    "Button Groups are outlined in yellow.\n\n Links will be made with the responder for the controller group. And "
    "with the controller for the responder group.\n\n If the controler is a wireless device, the link command is "
    "stored and executes when the wireless device is active.\n\n Observing the activity window will help know when "
    "to activate wireless devices.\n\n Activate a RemoteLinc - Press and hold the DIM button for 1 second.\n\n "
    "Activate a Motion Sensor - Press SET button, or cause motion, or darkness.\n\n\nMost Controllers require just 1 "
    "link for their button to function. Responder devices will all contain a link for the controller group. Knowing "
    "this helps when in the 'Repair Link View'.";

// On level written into the responder record of a dropped responder.
inline constexpr uint8_t kDropLevel = 0xFE;

// The ramp rate of a ramp text ("2 sec" is 27, "480 sec" 1), any other text 0.
int RampIndexFromText(std::string_view text);
// A typed percentage as an on level: percent x 255 / 100, the percent limited to 0..100.
uint8_t PercentTimes255(int percent);

// One row of the controller select list.
struct ControllerRow {
  std::string id;    // "[ %02x.%02x.%02x ]"
  std::string kind;  // the product name
  DeviceKey key = 0;
};

// The window's state.
struct ControllerSetupState {
  DeviceKey shown = 0;  // the controller shown, 0 for none
  bool panelShown = false;
  PanelKind kind = PanelKind::kDefault;
  int selectedButton = 0;  // 0: none
  int listedGroup = 0;     // the button group the list shows, 0: none
  bool helpVisible = false;
};

// The list of one button group's responders.
class ButtonGroupList : public LinkRowList {
 public:
  // The controller's links of `group` whose responder holds the responder
  // record back; nothing when the controller is gone.
  void Fill(const Context& ctx, DeviceKey controller, int group);
  int Group() const { return group_; }

  EditorKind Editor(int row, int column) const;
  // The Rate column's drop-down: "SWITCH" for an on/off responder, else the rates.
  CellChoices RateChoices(const Context& ctx, int row) const;
  void ChooseRate(int row, const CellChoices& choices, int entry);
  // A text edit of the Group or Level cell ended. A text that is not a group
  // or a level is refused with a box and the cell keeps its text.
  SaveOutcome EndTextEdit(int row, int column, const std::string& text);
  // A link being made by a drop: listed as "Saving..." until the devices
  // show both records back.
  void AddLinkBeingMade(const Context& ctx, const InsteonId& responder, uint8_t group, std::vector<uint32_t> tickets);

 private:
  friend class ControllerSetupModel;
  int group_ = 0;
};

class ControllerSetupModel {
 public:
  ControllerSetupState state;
  PanelGroups groups;  // the shown panel's group lists
  ButtonGroupList list;

  // The controllers by category 0..16, then by slot. The first listed becomes
  // the shown controller while none is.
  std::vector<ControllerRow> FillControllerList(Context& ctx);
  // A row of the select list chosen: that controller with button group 1, or
  // no controller when its device has gone.
  void SelectController(Context& ctx, DeviceKey key);
  // Chooses the panel for the record the key names and loads its groups; a
  // controller other than the one shown starts with no button selected.
  void ShowController(Context& ctx, DeviceKey key);
  // The list shows the controller's links of group g. Nothing while a device
  // is dragged in the tree (the window does not call it then) or none is shown.
  void ShowButtonGroup(const Context& ctx, int group);
  // "Button group %d        ".
  std::string Heading() const;
  // The panel's lists again from the table, with the listed group marked.
  void ReloadGroups(Context& ctx);

  // A responder dropped on group g of the panel: the controller record in the
  // controller and the responder record in the responder are written.
  SaveOutcome Drop(Context& ctx, int group, DeviceKey responder);
  // A click on the panel hit these groups (ascending).
  void Click(Context& ctx, const std::vector<int>& groupsHit);
  SaveOutcome SetOptions(Context& ctx);
  SaveOutcome ReadOptions(Context& ctx);

  // The save cell of a row: a marked row asks ConfirmRemoveLink's question, a
  // changed row is written by UpdateOrRemoveLink.
  SaveOutcome SaveRow(Context& ctx, int row);
  // Applies a row's on level, ramp rate and check box to the responder's link.
  SaveOutcome UpdateOrRemoveLink(Context& ctx, int row);
  // The question for removing a row's link, or an empty text when it cannot be asked.
  SaveOutcome AskRemoveLink(Context& ctx, int row);
  // The answer to that question: on OK both the controller's link and the
  // responder's partner link are written removed.
  SaveOutcome ConfirmRemoveLink(Context& ctx, bool ok);

  // Follows the link jobs of rows being saved; true when the window must redraw.
  bool FollowJobs(Context& ctx);
  // The controller shown, found again (-1 when none or gone).
  int ShownSlot(const Context& ctx) const;

 private:
  struct PendingRemoval {
    bool asked = false;
    RowLink link;
  };
  PendingRemoval pending_;
};

}  // namespace quorvel
