#include "views/event_editors/wnd_time_events.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

#include "automation/event_record.h"
#include "engine/context.h"
#include "views/common/confirm_box.h"
#include "views/common/qt_menu.h"
#include "views/event_editors/event_widgets.h"

namespace quorvel {

namespace {

QSlider* MakeSlider(QWidget* parent, const char* name, int max, int value) {
  auto* s = new QSlider(Qt::Horizontal, parent);
  s->setObjectName(QString::fromLatin1(name));
  s->setRange(0, max);
  s->setValue(value);
  s->setSingleStep(1);
  s->setPageStep(1);
  return s;
}

QLabel* MakeValueLabel(QWidget* parent, const char* name, const char* widest) {
  auto* l = new QLabel(parent);
  l->setObjectName(QString::fromLatin1(name));
  l->setMinimumWidth(l->fontMetrics().horizontalAdvance(QString::fromLatin1(widest)) + 4);
  return l;
}

}  // namespace

CWndTimeEvents::CWndTimeEvents(Context& ctx, QWidget* parent)
    : CTabWindow(ctx, kCWndTimeEventsName, kCWndTimeEventsId, parent), form_(OpenTimeEventForm(ctx)) {
  auto* page = new QHBoxLayout(this);
  page->setContentsMargins(10, 8, 10, 8);
  page->setSpacing(14);
  auto* left = new QVBoxLayout;
  left->setSpacing(8);
  page->addLayout(left, 1);

  title_ = new QLabel(QString::fromLatin1(kTimeEventsTitle), this);
  title_->setObjectName(QStringLiteral("Title"));
  left->addWidget(title_);
  steps_ = new StepsText(kTimeEventsInstructions, this);
  left->addWidget(steps_);

  QWidget* panel = MakeFormPanel(this);
  auto* form = new QVBoxLayout(panel);
  form->setContentsMargins(10, 10, 10, 10);
  form->setSpacing(8);
  target_ = new QLineEdit(this);
  target_->setObjectName(QStringLiteral("TargetField"));
  target_->setReadOnly(true);
  target_->setText(RecordText(form_.target.text));
  form->addWidget(target_);

  auto* commandRow = new QHBoxLayout;
  command_ = new QComboBox(this);
  command_->setObjectName(QStringLiteral("comboMacOperFunc"));
  for (const char* c : kTimeCommands) command_->addItem(QString::fromLatin1(c));
  command_->setCurrentIndex(form_.command);
  connect(command_, &QComboBox::currentIndexChanged, this, [this](int row) { form_.command = row; });
  commandRow->addWidget(command_);
  level_ = MakeSlider(this, "LevelSlider", kLevelPositionMax, form_.levelPosition);
  level_->setTickPosition(QSlider::TicksBelow);
  level_->setTickInterval(5);
  levelText_ = MakeValueLabel(this, "LevelText", " On 100% ");
  levelText_->setText(RecordText(LevelLabel(form_.levelPosition)));
  connect(level_, &QSlider::valueChanged, this, [this](int position) {
    form_.levelPosition = position;
    levelText_->setText(RecordText(LevelLabel(position)));
  });
  commandRow->addWidget(level_, 1);
  commandRow->addWidget(levelText_);
  save_ = new QPushButton(QStringLiteral("&Save"), this);
  save_->setObjectName(QStringLiteral("Command%1").arg(kCmdSaveTimeEvent));
  save_->setProperty("controlId", kCmdSaveTimeEvent);
  connect(save_, &QPushButton::clicked, this, [this] { Save(); });
  commandRow->addWidget(save_);
  form->addLayout(commandRow);

  auto* baseRow = new QHBoxLayout;
  auto* bases = new QButtonGroup(this);
  for (int i = 0; i < 3; ++i) {
    timeBase_[i] = new QRadioButton(QString::fromLatin1(kTimeBaseTexts[i]), this);
    timeBase_[i]->setObjectName(QStringLiteral("TimeBase%1").arg(i));
    bases->addButton(timeBase_[i], i);
    baseRow->addWidget(timeBase_[i]);
  }
  timeBase_[0]->setChecked(true);
  connect(bases, &QButtonGroup::idClicked, this, [this](int id) {
    form_.timeBase = static_cast<TimeBase>(id);
    ShowTimeBase();
  });
  baseRow->addStretch();
  form->addLayout(baseRow);

  clockRow_ = new QWidget(this);
  clockRow_->setObjectName(QStringLiteral("ClockTime"));
  auto* clock = new QHBoxLayout(clockRow_);
  clock->setContentsMargins(0, 0, 0, 0);
  hour_ = MakeSlider(clockRow_, "HourSlider", 23, form_.hour);
  hourText_ = MakeValueLabel(clockRow_, "HourText", "00:");
  amPm_ = MakeValueLabel(clockRow_, "AmPm", "pm");
  minute_ = MakeSlider(clockRow_, "MinuteSlider", 59, form_.minute);
  minuteText_ = MakeValueLabel(clockRow_, "MinuteText", "00");
  auto showClock = [this] {
    hourText_->setText(RecordText(HourLabel(form_.hour)));
    amPm_->setText(RecordText(AmPmLabel(form_.hour)));
    minuteText_->setText(RecordText(MinuteLabel(form_.minute)));
  };
  showClock();
  connect(hour_, &QSlider::valueChanged, this, [this, showClock](int h) {
    form_.hour = h;
    showClock();
  });
  connect(minute_, &QSlider::valueChanged, this, [this, showClock](int m) {
    form_.minute = m;
    showClock();
  });
  clock->addWidget(hour_, 3);
  clock->addWidget(hourText_);
  clock->addWidget(amPm_);
  clock->addSpacing(10);
  clock->addWidget(minute_, 4);
  clock->addWidget(minuteText_);
  form->addWidget(clockRow_);

  auto* offsetRow = new QHBoxLayout;
  auto* offsets = new QButtonGroup(this);
  for (int i = 0; i < 3; ++i) {
    offset_[i] = new QRadioButton(QString::fromLatin1(kOffsetTexts[i]), this);
    offset_[i]->setObjectName(QStringLiteral("Offset%1").arg(i));
    offsets->addButton(offset_[i], i);
    offsetRow->addWidget(offset_[i]);
  }
  offset_[0]->setChecked(true);
  connect(offsets, &QButtonGroup::idClicked, this, [this](int id) { form_.offset = static_cast<SunOffset>(id); });
  offsetMinutes_ = new QComboBox(this);
  offsetMinutes_->setObjectName(QStringLiteral("OffsetMinutes"));
  for (int m = 1; m <= kOffsetRows; ++m) offsetMinutes_->addItem(QString::number(m));
  offsetMinutes_->setCurrentIndex(form_.offsetRow);
  connect(offsetMinutes_, &QComboBox::currentIndexChanged, this, [this](int row) { form_.offsetRow = row; });
  offsetRow->addWidget(offsetMinutes_);
  offsetRow->addStretch();
  form->addLayout(offsetRow);

  weekdays_ = new WeekdayControls(this);
  weekdays_->SetDays(form_.days);
  weekdays_->changed = [this](uint8_t days) { form_.days = days; };
  form->addWidget(weekdays_);
  left->addWidget(panel);
  left->addStretch(1);

  list_ = new EventListTree(this);
  list_->setObjectName(QStringLiteral("TimeEventList"));
  list_->menuRequested = [this](QTreeWidgetItem* item, const QPoint& at) { ShowMenu(item, at); };
  page->addWidget(list_, 1);

  ShowTimeBase();
  ShowSunTimes();
  SizeTexts();
  RebuildTimeEventList();
}

void CWndTimeEvents::ShowTimeBase() {
  const bool sun = OffsetEnabled(form_);
  for (QRadioButton* r : offset_) r->setEnabled(sun);
  offsetMinutes_->setEnabled(sun);
  clockRow_->setVisible(TimeSlidersShown(form_));
}

void CWndTimeEvents::ShowSunTimes() {
  timeBase_[1]->setText(RecordText(SunriseLabel(ctx_.sun)));
  timeBase_[2]->setText(RecordText(SunsetLabel(ctx_.sun)));
}

void CWndTimeEvents::TreeSelectionChanged() {
  const DeviceKey key = ctx_.tick.editorSelection;
  if (key == shownKey_) return;
  shownKey_ = key;
  if (ShowTimeEventTarget(ctx_, form_, key)) target_->setText(RecordText(form_.target.text));
}

void CWndTimeEvents::Refresh() {
  ShowSunTimes();
  RebuildTimeEventList();
}

void CWndTimeEvents::RebuildTimeEventList() { list_->Fill(quorvel::RebuildTimeEventList(ctx_)); }

void CWndTimeEvents::Save() {
  const EventSaveOutcome out = SaveTimeEvent(ctx_, form_);
  if (!out.title.empty() || !out.text.empty()) ctx_.notifier.ShowMessage(out.title, out.text);
  RebuildTimeEventList();
  if (out.Stored()) {
    if (QTreeWidgetItem* item = list_->ItemForValue(kEventLineBase + static_cast<uint32_t>(out.slot)))
      list_->setCurrentItem(item);
  }
}

void CWndTimeEvents::ShowMenu(QTreeWidgetItem* item, const QPoint& globalPos) {
  // The item's values are taken now: the tick, which may refill the list, runs
  // on while the menu and the box are open.
  const EventLine line = LineOf(item);
  Menu menu;
  AddItem(menu, kDeleteEventItem, kCmdDeleteEvent);
  if (ExecMenu(menu, this, globalPos, "TimeEventMenu") == kCmdDeleteEvent) DeleteLine(line);
}

void CWndTimeEvents::DeleteItem(QTreeWidgetItem* item) { DeleteLine(LineOf(item)); }

void CWndTimeEvents::DeleteLine(const EventLine& line) {
  // Only an event line under a time header names an event.
  if (line.parent < kTimeHeaderBase || line.parent >= kEventLineBase) return;
  const int slot = EventLineSlot(ctx_, line.value, true);
  if (slot < 0) return;
  const EventRecord seen = ctx_.events.records[slot];
  if (!ConfirmOkCancel(this, kDeleteEventTitle, DeleteEventQuestion(line.text))) return;
  DeleteSeenEvent(ctx_, slot, seen);
  RebuildTimeEventList();
}

void CWndTimeEvents::SizeTexts() {
  const int titleHeight = std::max(14, height() / 25);
  title_->setFont(EventWindowFont(titleHeight, true));
  steps_->SetPixelSize(std::max(12, titleHeight / 2));
}

void CWndTimeEvents::resizeEvent(QResizeEvent* event) {
  CTabWindow::resizeEvent(event);
  SizeTexts();
}

void CWndTimeEvents::showEvent(QShowEvent* event) {
  CTabWindow::showEvent(event);
  // A new day may have moved the sun-based events since the list was filled.
  Refresh();
}

}  // namespace quorvel
