#pragma once
// What the "Logic Events" tab shows and does, without Qt: the form of a rule
// (the initiating device with its group and command; the device, computer
// group or X10 address to operate with its command and level; the wait; the
// weekdays), the save into the event table, and the list of every rule in slot
// order with its delete. CWndLogicEvents is a thin view over it.
#include <cstdint>
#include <string>

#include "views/event_editors/event_form_model.h"

namespace quorvel {

struct Context;

inline constexpr int kCmdSaveLogicEvent = 5193;

inline constexpr const char* kLogicEventsTitle = "Logic Events";
inline constexpr const char* kLogicEventsInstructions =
    "STEP 1 \t- Click \to Init ID\r\nSTEP 2 \t- Select an Initiator Device (Init ID) from Device List at "
    "left.\r\nSTEP 3 \t- Select Delay Minutes / Seconds\r\nSTEP 4 \t- Click \to Oper ID\r\nSTEP 5 \t- Select "
    "Initiator Function.\r\nSTEP 6 \t- Select Operator Device (Oper ID) from Device List at left.\r\nSTEP 7 \t- "
    "Select Operator Function.\r\nSTEP 8 \t- Select days of week for this time event.\r\nSTEP 9 \t- Click the SAVE "
    "button.\r\nHINT: - To Delete an Event, right click event listed at right for context menu.";
inline constexpr const char* kInitiatorActions[2] = {"ON", "OFF"};
inline constexpr const char* kOperatorActions[4] = {"ON", "OFF", "ALL ON", "ALL OFF"};
// The wait lists: "0" .. "239".
inline constexpr int kWaitRows = 240;
inline constexpr int kX10Rows = 16;
inline constexpr const char* kGroupRadioStart[3] = {"1) On Motion", "2) On Dusk", "3) On Low Battery"};
inline constexpr const char* kGroupRadioSensor[3] = {"Motion", "Darkness", "Battery"};
inline constexpr const char* kGroupRadioDevice[3] = {"Group 1", "Group 2", "Group 3"};
inline constexpr const char* kSelectInitiatorText = "Please select an Insteon device as Initiator ID.";
inline constexpr const char* kSelectOperatorText = "Please select an Insteon device as Operand ID.";
inline constexpr const char* kSelectHouseText = "Please select X10 House Code.";
inline constexpr const char* kSelectUnitText = "Please select X10 Unit Code.";

struct LogicEventForm {
  int initiatorGroup = 1;  // the checked group radio, 1..3
  std::string groupLabels[3] = {kGroupRadioStart[0], kGroupRadioStart[1], kGroupRadioStart[2]};
  // The three radio-style toggles; the window sets them itself.
  bool initId = true;
  bool operId = false;
  bool useX10 = false;
  EventField initiator;
  EventField operand;
  int initiatorAction = 0;  // row of "ON", "OFF"
  int operatorAction = 0;   // row of "ON", "OFF", "ALL ON", "ALL OFF"
  int waitMinutes = 0;      // rows; -1 none
  int waitSeconds = 0;
  int house = 0;  // row of "A".."P"; -1 none
  int unit = 0;   // row of "1".."16"; -1 none
  int levelPosition = kLevelPositionMax;
  uint8_t days = kAllWeekDays;
};

// The toggles: "Init ID" flips and "Oper ID" takes the opposite; "Oper ID"
// clears "&Use X10", flips, and "Init ID" takes the opposite; "&Use X10"
// clears "Oper ID" and flips.
void ClickInitId(LogicEventForm& form);
void ClickOperId(LogicEventForm& form);
void ClickUseX10(LogicEventForm& form);

// The device tree's selection changed. A device goes into the initiator field
// while "Init ID" is checked (and names the group radios after its kind), else
// into the operator field; a computer group other than 0 always goes into the
// operator field. True when a field changed.
bool ShowLogicEventDevice(Context& ctx, LogicEventForm& form, DeviceKey key);

// The record Save stores, or the box that says why nothing was stored.
EventSaveOutcome SaveLogicEvent(Context& ctx, const LogicEventForm& form);

// Every logic event, in slot order, under the root.
EventTreeItem RebuildLogicEventList(const Context& ctx);
// A rule's line in the list.
std::string LogicEventLine(const EventRecord& r);

}  // namespace quorvel
