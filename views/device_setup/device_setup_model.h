#pragma once
// What the "Device Setup" tab shows and does, without Qt: the controls that fit
// the tree's selection (ApplySelectionMode), the information panel, the level
// slider's arithmetic, the energy meter's boxes, and every command of the
// window's buttons and context menu. WndDeviceControls is a thin view over it.
//
// The selection is the tree's key (MainTick::treeSelection): group byte 255 is
// the modem, 254 a computer group node, anything else a device record. Every
// command looks it up again when it runs and does nothing once it is gone.
#include <cstdint>
#include <string>
#include <vector>

#include "device/device_record.h"
#include "platform/clock.h"
#include "views/common/menu_entry.h"
#include "views/device_setup/link_list_model.h"

namespace quorvel {

struct Context;

// Commands of the window's buttons and menus, and of the tree's menu.
enum DeviceCommand : int {
  kCmdOn = 5624,
  kCmdOff = 5625,
  kCmdPreset100 = 6724,
  kCmdPreset75 = 6725,
  kCmdPreset50 = 6726,
  kCmdPreset25 = 6727,
  kCmdPreset0 = 6728,
  kCmdSideView = 5615,
  kCmdTopView = 5614,
  kCmdGetStatus = 5632,
  kCmdGetCategory = 5525,
  kCmdGetVersion = 5526,
  kCmdRefreshLinks = 5527,
  kCmdEnterLinking = 5633,
  kCmdEnterUnlinking = 5634,
  kCmdEnergyReset = 5670,
  kCmdEnergyRefresh = 5669,
  kCmdAddJoin = 5668,
  kCmdUnlinkGroup = 5726,
  kCmdGroupSetup = 5659,
  kCmdPlmRead = 5775,
  kCmdPlmLinkMode = 5776,
  kCmdPlmCancelLinkMode = 5777,
  kCmdPlmReset = 5778,
  kCmdHelp = 1027,
  // The device tree's own.
  kCmdShowInControllerList = 5727,
  kCmdControllerToPlm = 5728,
  kCmdTreeUnlink = 5729,
};

// Captions and texts of the window.
inline constexpr const char* kAddNewDeviceCaption = "Add New Device";
inline constexpr const char* kJoinGroupCaption = "Join/Create Computer Group";
inline constexpr const char* kGroupSetupCaption = "Computer Group Setup";
inline constexpr const char* kCloseGroupSetupCaption = "Close Computer Group Setup";
inline constexpr const char* kAddingDeviceText = "Adding new Insteon device to network...";
inline constexpr const char* kConfirmTitle = "Confirm";
inline constexpr const char* kNotResetText = "Serial port closed - PLM not reset.";
inline constexpr const char* kReadingLinksText = "Reading Device Links from %02x.%02x.%02x";
inline constexpr const char* kHeldForWirelessText = ", Held command for wireless device.";
inline constexpr const char* kUnlinkTitle = "Ulink From Computer Group";
inline constexpr const char* kUnlinkQuestion = "Ulink device ID  %02x.%02x.%02x  from group %d ?";

// The level slider: positions 0..51, each one 2 % or 5 levels.
inline constexpr int kSliderMax = 51;
// Entries of the group number list: "0" to "251".
inline constexpr int kGroupListEntries = 252;
inline constexpr int kGroupListStart = 5;

enum class SelectionKind : uint8_t { kNone, kModem, kGroup, kDevice };

struct Selection {
  SelectionKind kind = SelectionKind::kNone;
  DeviceKey key = 0;
  uint8_t group = 0;  // a group node's number
  int slot = -1;      // a device's record, as found now
};

// The tree's key resolved against the table as it is now.
Selection ResolveSelection(const Context& ctx, DeviceKey key);
// The modem's key in the tree: group byte 255 and the modem's id.
DeviceKey ModemKey(const Context& ctx);

// The window's state.
struct DeviceSetupState {
  uint8_t onLevel = 255;     // what "ON" sends to a device: the last preset or slider value
  uint8_t sliderPercent = 0;  // the percentage the slider last showed
  bool helpVisible = false;
  bool groupSetupOpen = false;
  int groupListIndex = kGroupListStart;  // the group number list's entry, -1 for none
  bool joinCaption = false;  // add/join reads "Join/Create Computer Group"
  bool noModemShown = false;  // the id edits were set to "00" while the modem is unknown
  // The device last shown, whose edits and cost field were filled.
  bool deviceShown = false;
  DeviceKey shownKey = 0;
  // The selection ApplySelectionMode last acted on.
  DeviceKey appliedKey = 0;
};

// Which controls show for the selection.
struct ControlSet {
  bool groupOnOff = false;   // ON and Off of a computer group
  bool deviceOnOff = false;  // ON and Off of a device that can be switched
  bool slider = false;       // with the level text
  bool linkList = false;
  bool modemButtons = false;
  bool addJoin = false;
  bool unlink = false;
  bool energy = false;  // Refresh, Reset and the cost field
  bool idEdits = false;
  bool groupList = false;
  bool helpPanel = false;
  std::string addJoinCaption = kAddNewDeviceCaption;
  std::string groupSetupCaption = kGroupSetupCaption;
  std::string levelText;
  int groupView = -1;  // the computer group whose view shows, -1 none
};

// Shows the controls that fit the selection; also moves the group number list
// to the group of a device's link to the modem while group setup is open.
ControlSet ApplySelectionMode(Context& ctx, DeviceSetupState& state);

// --- The level slider and its text ------------------------------------------------

// " %d%% " of a device level: 96..100 % show 100, 0..4 % show 0.
std::string LevelTextFromLevel(uint8_t level);
// (level / 5) + 1, held within the slider's range.
int SliderPositionForLevel(uint8_t level);
// A drag or drop of the slider at `position`: the percentage shown and, for a
// device, the level "ON" sends (5 per step).
void SliderMoved(DeviceSetupState& state, int position, bool deviceSelected);
// " %d%% " of the slider's percentage: above 98 shows 100, below 2 shows 0.
std::string LevelTextFromSlider(const DeviceSetupState& state);

// --- The information panel ---------------------------------------------------------

struct EnergyReading {
  int watts = 0;
  double kwh = 0;
};
// Power from data bytes 7..8 and energy from bytes 9..12 of a meter's extended reply.
EnergyReading EnergyFromExtData(const uint8_t extData[14]);

// "%02d/%02d/%02d - %02d:%02d:%02d %s" of a stored time on a 12-hour clock;
// empty for never (0) and when the time cannot be converted.
std::string PanelTimeText(const Context& ctx, Time t);

struct InfoPanel {
  bool noModem = false;      // the modem has not answered: its text comes first
  std::string picture;       // stored picture name to draw, empty for none
  bool idLabel = false;      // "Device ID" beside the id edits
  std::vector<std::string> lines;  // text lines under the picture, in order
  std::vector<std::string> energyLeft, energyRight;  // the meter's boxes
  std::string caption;       // the id and description, or the group's caption, in the larger font
};

// The panel for the selection. A device with no name but a known kind gets its
// product name stored as its name here (never while painting).
InfoPanel BuildInfoPanel(Context& ctx, const DeviceSetupState& state);

// What a refresh puts into the window's controls.
struct DisplayRefresh {
  InfoPanel panel;
  bool refill = false;  // a device other than the one shown: the edits and the cost field are set
  std::string idEdits[3];
  std::string costText;
  bool hasDevice = false;
  DeviceLinks links;
  int sliderPosition = 0;
  std::string levelText;
};

// The panel, and for a selected device its links, slider and level text; the
// edits and the cost field are refilled only when the device changed, so text
// the user is typing stays.
DisplayRefresh RefreshDeviceDisplay(Context& ctx, DeviceSetupState& state);

// --- Commands ------------------------------------------------------------------------

// A box the window shows after a command, if any.
struct CommandOutcome {
  bool changed = false;
  std::string title;
  std::string text;
  bool HasBox() const { return !title.empty() || !text.empty(); }
};

// The simple commands of the buttons and menus (on, off, presets, the get
// requests, linking modes, the meter, the group view, the modem's all-link
// mode, group setup and help). False when the command is not one of them.
bool RunDeviceCommand(Context& ctx, DeviceSetupState& state, int command);

// A device's own commands, shared with the tree's menu.
void DeviceOn(Context& ctx, DeviceKey key, uint8_t level);
void DeviceOff(Context& ctx, DeviceKey key);
void GetStatus(Context& ctx, DeviceKey key);
void GetCategory(Context& ctx, DeviceKey key);
void GetVersion(Context& ctx, DeviceKey key);
// Starts reading the device's link table; its log line when the read started.
void RefreshLinkList(Context& ctx, DeviceKey key);

// "Add New Device" / "Join/Create Computer Group" with the three id edits' text.
CommandOutcome AddOrJoin(Context& ctx, DeviceSetupState& state, const std::string idEdits[3]);
// The unlink confirmation's question, or empty when the selection is no device.
std::string UnlinkQuestion(const Context& ctx, DeviceKey key);
// The unlink after the user said OK: for the key taken before the box opened.
CommandOutcome UnlinkFromComputerGroup(Context& ctx, DeviceKey key);
// "PLM Read ALDB": saves first when the table was merged, then reads the modem again.
void PlmReadAldb(Context& ctx);
// The factory reset's question, and the reset once the user said OK. False
// (and nothing emptied) when nothing could be written to the modem.
std::string FactoryResetQuestion(const Context& ctx);
bool FactoryReset(Context& ctx);

// The cost field lost the focus: an edited text must be a price per kWh and
// is stored whole; an untouched field changes nothing.
CommandOutcome CommitCost(Context& ctx, const DeviceSetupState& state, const std::string& text, bool edited);
// The cost field's text for a price.
std::string CostText(float price);

// The help panel's text for the selection.
std::string HelpText(const Context& ctx, const DeviceSetupState& state);

// The window's context menu for the selection; empty for the modem.
Menu DeviceSetupMenu(Context& ctx, const DeviceSetupState& state);

// "[ %02x.%02x.%02x ]   %s": the id and the device's description.
std::string DeviceTitle(Context& ctx, DeviceRecord& r);
// The device's description: its name, or its kind's product name stored as its name.
std::string DeviceDescription(DeviceRecord& r);

}  // namespace quorvel
