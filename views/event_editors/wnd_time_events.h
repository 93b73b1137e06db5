#pragma once
// The "Time Events" tab: on the left the form that builds a time event from
// the device or computer group chosen in the device tree, a command, a level,
// a clock or sun time and the weekdays; on the right every time event by time
// of day, deleted from the list's context menu. A thin view over
// time_events_model.
#include "views/common/tab_window.h"
#include "views/event_editors/time_events_model.h"

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

inline constexpr char kCWndTimeEventsName[] = "Time Events";
inline constexpr int kCWndTimeEventsId = 5369;

class CWndTimeEvents : public CTabWindow {
 public:
  explicit CWndTimeEvents(Context& ctx, QWidget* parent = nullptr);

  // The device tree's selection changed: a new device or computer group (once
  // the stored details are merged) fills the target field.
  void TreeSelectionChanged();
  // The sun times or the events changed: the sun labels and the list follow.
  void Refresh();
  void RebuildTimeEventList();
  // "&Save".
  void Save();
  // "Delete selected item" on `item`, after the user confirmed.
  void DeleteItem(QTreeWidgetItem* item);

  const TimeEventForm& Form() const { return form_; }
  QLineEdit* TargetField() const { return target_; }
  QComboBox* CommandList() const { return command_; }
  QSlider* LevelSlider() const { return level_; }
  QLabel* LevelText() const { return levelText_; }
  QPushButton* SaveButton() const { return save_; }
  QRadioButton* TimeBaseRadio(TimeBase base) const { return timeBase_[static_cast<int>(base)]; }
  QSlider* HourSlider() const { return hour_; }
  QSlider* MinuteSlider() const { return minute_; }
  QLabel* HourText() const { return hourText_; }
  QLabel* AmPmText() const { return amPm_; }
  QLabel* MinuteText() const { return minuteText_; }
  QRadioButton* OffsetRadio(SunOffset offset) const { return offset_[static_cast<int>(offset)]; }
  QComboBox* OffsetMinutes() const { return offsetMinutes_; }
  WeekdayControls* Weekdays() const { return weekdays_; }
  EventListTree* List() const { return list_; }
  QLabel* Title() const { return title_; }
  StepsText* Instructions() const { return steps_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void ShowTimeBase();
  void ShowSunTimes();
  // The title at a 25th of the window's height, the steps smaller.
  void SizeTexts();
  void ShowMenu(QTreeWidgetItem* item, const QPoint& globalPos);
  void DeleteLine(const EventLine& line);

  TimeEventForm form_;
  DeviceKey shownKey_ = 0;

  QLabel* title_ = nullptr;
  StepsText* steps_ = nullptr;
  QLineEdit* target_ = nullptr;
  QComboBox* command_ = nullptr;
  QSlider* level_ = nullptr;
  QLabel* levelText_ = nullptr;
  QPushButton* save_ = nullptr;
  QRadioButton* timeBase_[3] = {};
  QSlider* hour_ = nullptr;
  QSlider* minute_ = nullptr;
  QLabel* hourText_ = nullptr;
  QLabel* amPm_ = nullptr;
  QLabel* minuteText_ = nullptr;
  QWidget* clockRow_ = nullptr;
  QRadioButton* offset_[3] = {};
  QComboBox* offsetMinutes_ = nullptr;
  WeekdayControls* weekdays_ = nullptr;
  EventListTree* list_ = nullptr;
};

}  // namespace quorvel
