#pragma once
// The "Logic Events" tab: on the left the form of a rule (when this device
// sends ON or OFF for this group, then after this wait switch that device,
// computer group or X10 address, on these days); on the right every rule in
// slot order, deleted from the list's context menu. A thin view over
// logic_events_model.
#include "views/common/tab_window.h"
#include "views/event_editors/logic_events_model.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTreeWidgetItem;

namespace quorvel {

class EventListTree;
struct EventLine;
class StepsText;
class WeekdayControls;

inline constexpr char kCWndLogicEventsName[] = "Logic Events";
inline constexpr int kCWndLogicEventsId = 5370;

class CWndLogicEvents : public CTabWindow {
 public:
  explicit CWndLogicEvents(Context& ctx, QWidget* parent = nullptr);

  // The device tree's selection changed: a new device or computer group (once
  // the stored details are merged) goes into the field the toggles choose.
  void TreeSelectionChanged();
  void Refresh();
  void RebuildLogicEventList();
  // "&Save".
  void Save();
  // "Delete selected item" on `item`, after the user confirmed.
  void DeleteItem(QTreeWidgetItem* item);

  const LogicEventForm& Form() const { return form_; }
  QRadioButton* GroupRadio(int i) const { return groups_[i]; }
  QPushButton* InitIdToggle() const { return initId_; }
  QPushButton* OperIdToggle() const { return operId_; }
  QPushButton* UseX10Toggle() const { return useX10_; }
  QLineEdit* InitiatorField() const { return initiator_; }
  QLineEdit* OperatorField() const { return operand_; }
  QComboBox* InitiatorAction() const { return initiatorAction_; }
  QComboBox* OperatorAction() const { return operatorAction_; }
  QComboBox* WaitMinutes() const { return waitMinutes_; }
  QComboBox* WaitSeconds() const { return waitSeconds_; }
  QComboBox* HouseList() const { return house_; }
  QComboBox* UnitList() const { return unit_; }
  QSlider* LevelSlider() const { return level_; }
  QLabel* LevelText() const { return levelText_; }
  QPushButton* SaveButton() const { return save_; }
  WeekdayControls* Weekdays() const { return weekdays_; }
  EventListTree* List() const { return list_; }
  QLabel* Title() const { return title_; }
  StepsText* Instructions() const { return steps_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void ShowToggles();
  void ShowFields();
  // The title at a 25th of the window's height, the steps smaller.
  void SizeTexts();
  void ShowMenu(QTreeWidgetItem* item, const QPoint& globalPos);
  void DeleteLine(const EventLine& line);

  LogicEventForm form_;
  DeviceKey shownKey_ = 0;

  QLabel* title_ = nullptr;
  StepsText* steps_ = nullptr;
  QRadioButton* groups_[3] = {};
  QPushButton* initId_ = nullptr;
  QPushButton* operId_ = nullptr;
  QPushButton* useX10_ = nullptr;
  QLineEdit* initiator_ = nullptr;
  QLineEdit* operand_ = nullptr;
  QComboBox* initiatorAction_ = nullptr;
  QComboBox* operatorAction_ = nullptr;
  QComboBox* waitMinutes_ = nullptr;
  QComboBox* waitSeconds_ = nullptr;
  QComboBox* house_ = nullptr;
  QComboBox* unit_ = nullptr;
  QSlider* level_ = nullptr;
  QLabel* levelText_ = nullptr;
  QPushButton* save_ = nullptr;
  WeekdayControls* weekdays_ = nullptr;
  EventListTree* list_ = nullptr;
};

}  // namespace quorvel
