#pragma once
// What the widgets dialog shows and does, without Qt: the widget types, the
// list of the X10 widgets kept in the widgets file, and "Create", which adds an
// X10 widget from the address the user typed. CDlgWidgets is a thin view over it.
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

struct Context;

inline constexpr int kCmdCreateWidget = 999;
inline constexpr const char* kWidgetsDialogCaption = "Dialog";
inline constexpr const char* kDefineWidgetText = "Define New Widget Type";
inline constexpr const char* kAvailableWidgetsText = "Available Widget List (select)";
inline constexpr const char* kEmailSetupText = "Email Setup";
inline constexpr const char* kNewX10AddressText = "New X10 Address (A5, J11)";
// The types, as the sorted list holds them.
inline constexpr const char* kWidgetTypeNames[2] = {"Email", "X10"};
inline constexpr int kWidgetTypeEmail = 0;
inline constexpr int kWidgetTypeX10 = 1;
inline constexpr int kX10AddressMaxLength = 3;
inline constexpr int kEmailTextMax = 127;
inline constexpr const char* kX10AddressTitle = "X10 Address";
inline constexpr const char* kX10AddressHelp =
    "Please enter an X10 address: a house letter A to P and a unit 1 to 16, for example A5 or J11.";

struct WidgetsDialogState {
  int type = kWidgetTypeEmail;
  std::string typeLabel = kEmailSetupText;
  bool x10EditShown = false;
  bool emailEditsShown = true;
  std::vector<std::string> list;  // sorted, as the list box keeps it
  int selected = -1;
};

// The dialog as it opens: "Email" chosen, and every X10 widget whose codes are
// both below 16 listed in its text form, the last one added selected.
WidgetsDialogState OpenWidgetsDialog(const Context& ctx);
// Another type chosen in the type list.
void ChangeWidgetType(WidgetsDialogState& state, int type);

struct CreateOutcome {
  bool created = false;  // a widget joined the collection
  std::string title;
  std::string text;
  bool HasBox() const { return !title.empty() || !text.empty(); }
};
// "Create". With "X10", a whole address (A5, J11) makes a widget that is kept
// with the next save, however the dialog is closed; anything else is refused
// with a message and nothing is made. With "Email", the first e-mail field is
// only listed: nothing of it is kept.
CreateOutcome CreateWidget(Context& ctx, WidgetsDialogState& state, std::string_view x10Text,
                           std::string_view emailText);

}  // namespace quorvel
