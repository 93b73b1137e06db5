#pragma once
// The "Device Setup" tab: what is selected in the device tree (the modem, a
// computer group or a device) with its picture, identity and links, and the
// commands for it. A thin view over device_setup_model: the model says which
// controls show and what the panel holds, and carries out every command.
#include <QHash>
#include <QWidget>
#include <functional>

#include "views/common/tab_window.h"
#include "views/device_setup/device_setup_model.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QSlider;

namespace quorvel {

class CListCtrlALDB;

inline constexpr char kWndDeviceControlsName[] = "Device";
inline constexpr int kWndDeviceControlsId = 5365;

// The information panel: picture, identity lines, the meter's boxes and the
// id and description in a larger font, drawn from what the model built.
class InfoPanelView : public QWidget {
 public:
  explicit InfoPanelView(QWidget* parent = nullptr);
  // `lineHeight` is the text's pixel height.
  void SetPanel(const InfoPanel& panel, int lineHeight);
  const InfoPanel& Panel() const { return panel_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  InfoPanel panel_;
  int lineHeight_ = 12;
  int requestedLineHeight_ = 12;
};

class WndDeviceControls : public CTabWindow {
 public:
  explicit WndDeviceControls(Context& ctx, QWidget* parent = nullptr);

  // Shows the controls that fit the tree's selection.
  void ApplySelectionMode();
  // The panel, the link list and the slider; the edits and the cost field only
  // when another device is shown.
  void RefreshDeviceDisplay();
  // The tree's selection changed.
  void SelectionChanged();
  // A button's or menu item's command.
  void RunCommand(int command);
  // Follows the link jobs of the list's rows being saved; run after every tick.
  void FollowLinkJobs();

  DeviceSetupState& State() { return state_; }
  const ControlSet& Shown() const { return shown_; }
  InfoPanelView* Info() const { return info_; }
  QPushButton* Button(int command) const { return buttons_.value(command, nullptr); }
  QLineEdit* IdEdit(int i) const { return ids_[i]; }
  QComboBox* GroupList() const { return groupList_; }
  QSlider* Slider() const { return slider_; }
  QLabel* LevelText() const { return levelText_; }
  CListCtrlALDB* LinkList() const { return linkList_; }
  QLineEdit* CostField() const { return cost_; }
  QLabel* HelpPanel() const { return helpPanel_; }

  // Told when a command changed the tree's contents or its selection.
  std::function<void()> treeChanged;
  // True while a device is dragged in the tree: refreshes wait for the drop.
  std::function<bool()> treeDragging;

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPushButton* MakeButton(int command, const char* caption, const char* tip = nullptr);
  void SyncGroupList();
  void CommitCostField();
  void Notify(const std::string& title, const std::string& text);
  int LineHeight() const;

  DeviceSetupState state_;
  ControlSet shown_;
  bool settingSlider_ = false;

  InfoPanelView* info_ = nullptr;
  QHash<int, QPushButton*> buttons_;
  QLabel* idLabel_ = nullptr;
  QLineEdit* ids_[3] = {};
  QLabel* groupLabel_ = nullptr;
  QComboBox* groupList_ = nullptr;
  QSlider* slider_ = nullptr;
  QLabel* levelText_ = nullptr;
  QLabel* costLabel_ = nullptr;
  QLineEdit* cost_ = nullptr;
  CListCtrlALDB* linkList_ = nullptr;
  QScrollArea* helpScroll_ = nullptr;
  QLabel* helpPanel_ = nullptr;
};

}  // namespace quorvel
