#pragma once
// The "Controller Setup" tab: one controller at a time as its control panel,
// with one yellow rectangle per button group, and below it the list of the
// responders linked to the chosen group. Devices dragged from the device tree
// onto a group are linked to it; levels and ramp rates are edited in the list
// and links removed from it. A thin view over ControllerSetupModel.
#include <QHash>
#include <functional>
#include <vector>

#include "views/common/tab_window.h"
#include "views/link_views/controller_setup_model.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QStackedWidget;

namespace quorvel {

class CListCtrlDevALDB;
class CWndCtrlPanel;

inline constexpr char kCWndControlersName[] = "Link To Controller";
inline constexpr int kCWndControlersId = 5368;

// Commands of the window's buttons.
enum ControllerCommand : int {
  kCmdControllerHelp = 1027,
  kCmdSetOptions = 4542,
  kCmdReadOptions = 4543,
  kCmdSetupOptions = 4544,
};

class CWndControlers : public CTabWindow {
 public:
  explicit CWndControlers(Context& ctx, QWidget* parent = nullptr);

  ControllerSetupModel& Model() { return model_; }
  // Refills the controller select list (through `listFilled`).
  void FillControllerList();
  // A row of the select list chosen: its controller with button group 1.
  void SelectController(DeviceKey key);
  void ShowController(DeviceKey key);
  void ShowButtonGroup(int group);
  // The shown controller's panel and list again from the table.
  void RefreshController();
  // Follows the link jobs of rows being saved; run after every tick.
  void FollowLinkJobs();
  void RunCommand(int command);

  CWndCtrlPanel* Panel(PanelKind kind) const { return panels_[static_cast<int>(kind)]; }
  // The panel on show, or null when no controller is shown.
  CWndCtrlPanel* ShownPanel() const;
  CListCtrlDevALDB* LinkList() const { return list_; }
  QPushButton* Button(int command) const { return buttons_.value(command, nullptr); }
  QLabel* Heading() const { return heading_; }
  QLabel* HelpText() const { return helpText_; }
  QLineEdit* X10Field() const { return x10_; }

  // The rows for the select pane, and the controller to select in it.
  std::function<void(const std::vector<ControllerRow>& rows, DeviceKey shown)> listFilled;
  // True while a device is dragged in the tree: the list is left as it is.
  std::function<bool()> treeDragging;
  // "Setup Options": the program's Setup dialog.
  std::function<void()> setupOptions;

 private:
  QPushButton* MakeButton(int command, const char* caption);
  void Sync();
  void Carry(const SaveOutcome& outcome);

  ControllerSetupModel model_;
  CWndCtrlPanel* panels_[kPanelKinds] = {};
  QStackedWidget* stack_ = nullptr;
  QWidget* noPanel_ = nullptr;
  QLabel* heading_ = nullptr;
  QScrollArea* helpScroll_ = nullptr;
  QLabel* helpText_ = nullptr;
  QLineEdit* x10_ = nullptr;
  CListCtrlDevALDB* list_ = nullptr;
  QWidget* commandRow_ = nullptr;
  QHash<int, QPushButton*> buttons_;
};

}  // namespace quorvel
