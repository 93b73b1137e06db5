#include "views/event_editors/wnd_logic_events.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
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

QLabel* Caption(const char* text, QWidget* parent) {
  auto* l = new QLabel(QString::fromLatin1(text), parent);
  QFont f = l->font();
  f.setBold(true);
  l->setFont(f);
  return l;
}

QPushButton* Toggle(const char* text, const char* name, QWidget* parent) {
  auto* b = new QPushButton(QString::fromLatin1(text), parent);
  b->setObjectName(QString::fromLatin1(name));
  StyleToggle(b);
  return b;
}

QComboBox* Rows(QWidget* parent, const char* name, int first, int last) {
  auto* c = new QComboBox(parent);
  c->setObjectName(QString::fromLatin1(name));
  for (int i = first; i <= last; ++i) c->addItem(QString::number(i));
  c->setMaxVisibleItems(16);
  return c;
}

}  // namespace

CWndLogicEvents::CWndLogicEvents(Context& ctx, QWidget* parent)
    : CTabWindow(ctx, kCWndLogicEventsName, kCWndLogicEventsId, parent) {
  auto* page = new QHBoxLayout(this);
  page->setContentsMargins(10, 8, 10, 8);
  page->setSpacing(14);
  auto* left = new QVBoxLayout;
  left->setSpacing(4);
  page->addLayout(left, 1);

  title_ = new QLabel(QString::fromLatin1(kLogicEventsTitle), this);
  title_->setObjectName(QStringLiteral("Title"));
  left->addWidget(title_);
  steps_ = new StepsText(kLogicEventsInstructions, this);
  left->addWidget(steps_);

  QWidget* panel = MakeFormPanel(this);
  auto* form = new QVBoxLayout(panel);
  form->setContentsMargins(10, 8, 10, 8);
  form->setSpacing(6);
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(4);
  grid->setColumnStretch(2, 1);
  form->addLayout(grid);
  int row = 0;

  // When this (device, group, command) ...
  grid->addWidget(Caption("When this", this), row, 0);
  initId_ = Toggle("Init ID", "InitId", this);
  grid->addWidget(initId_, row, 1);
  initiator_ = new QLineEdit(this);
  initiator_->setObjectName(QStringLiteral("InitiatorField"));
  initiator_->setReadOnly(true);
  grid->addWidget(initiator_, row, 2, 1, 2);
  ++row;
  auto* groupRow = new QHBoxLayout;
  auto* groups = new QButtonGroup(this);
  for (int i = 0; i < 3; ++i) {
    groups_[i] = new QRadioButton(RecordText(form_.groupLabels[i]), this);
    groups_[i]->setObjectName(QStringLiteral("InitiatorGroup%1").arg(i + 1));
    groups->addButton(groups_[i], i + 1);
    groupRow->addWidget(groups_[i]);
  }
  groups_[0]->setChecked(true);
  groupRow->addStretch();
  connect(groups, &QButtonGroup::idClicked, this, [this](int id) { form_.initiatorGroup = id; });
  grid->addLayout(groupRow, row, 1, 1, 3);
  ++row;
  grid->addWidget(Caption("Does this", this), row, 0);
  initiatorAction_ = new QComboBox(this);
  initiatorAction_->setObjectName(QStringLiteral("InitiatorAction"));
  for (const char* a : kInitiatorActions) initiatorAction_->addItem(QString::fromLatin1(a));
  connect(initiatorAction_, &QComboBox::currentIndexChanged, this, [this](int r) { form_.initiatorAction = r; });
  grid->addWidget(initiatorAction_, row, 1);
  ++row;

  // ... have this (device or computer group, or an X10 address) do this.
  grid->addWidget(Caption("Have this", this), row, 0);
  operId_ = Toggle("Oper ID", "OperId", this);
  grid->addWidget(operId_, row, 1);
  operand_ = new QLineEdit(this);
  operand_->setObjectName(QStringLiteral("OperatorField"));
  operand_->setReadOnly(true);
  grid->addWidget(operand_, row, 2, 1, 2);
  ++row;
  grid->addWidget(Caption("Do this", this), row, 0);
  operatorAction_ = new QComboBox(this);
  operatorAction_->setObjectName(QStringLiteral("OperatorAction"));
  for (const char* a : kOperatorActions) operatorAction_->addItem(QString::fromLatin1(a));
  connect(operatorAction_, &QComboBox::currentIndexChanged, this, [this](int r) { form_.operatorAction = r; });
  grid->addWidget(operatorAction_, row, 1);
  auto* levelRow = new QHBoxLayout;
  level_ = new QSlider(Qt::Horizontal, this);
  level_->setObjectName(QStringLiteral("LevelSlider"));
  level_->setRange(0, kLevelPositionMax);
  level_->setValue(form_.levelPosition);
  level_->setPageStep(1);
  level_->setTickPosition(QSlider::TicksBelow);
  level_->setTickInterval(5);
  levelText_ = new QLabel(RecordText(LevelLabel(form_.levelPosition)), this);
  levelText_->setObjectName(QStringLiteral("LevelText"));
  levelText_->setMinimumWidth(levelText_->fontMetrics().horizontalAdvance(QStringLiteral(" On 100% ")) + 4);
  connect(level_, &QSlider::valueChanged, this, [this](int position) {
    form_.levelPosition = position;
    levelText_->setText(RecordText(LevelLabel(position)));
  });
  levelRow->addWidget(level_, 1);
  levelRow->addWidget(levelText_);
  grid->addLayout(levelRow, row, 2, 1, 2);
  ++row;

  auto* waitRow = new QHBoxLayout;
  waitRow->addWidget(new QLabel(QStringLiteral("Wait Mins"), this));
  waitMinutes_ = Rows(this, "WaitMins", 0, kWaitRows - 1);
  connect(waitMinutes_, &QComboBox::currentIndexChanged, this, [this](int r) { form_.waitMinutes = r; });
  waitRow->addWidget(waitMinutes_);
  waitRow->addSpacing(8);
  waitRow->addWidget(new QLabel(QStringLiteral("Wait Secs"), this));
  waitSeconds_ = Rows(this, "WaitSecs", 0, kWaitRows - 1);
  connect(waitSeconds_, &QComboBox::currentIndexChanged, this, [this](int r) { form_.waitSeconds = r; });
  waitRow->addWidget(waitSeconds_);
  waitRow->addStretch();
  grid->addLayout(waitRow, row, 1, 1, 3);
  ++row;

  auto* x10Row = new QHBoxLayout;
  house_ = new QComboBox(this);
  house_->setObjectName(QStringLiteral("X10House"));
  for (char c = 'A'; c <= 'P'; ++c) house_->addItem(QString(QLatin1Char(c)));
  house_->setMaxVisibleItems(16);
  connect(house_, &QComboBox::currentIndexChanged, this, [this](int r) { form_.house = r; });
  unit_ = Rows(this, "X10Unit", 1, kX10Rows);
  connect(unit_, &QComboBox::currentIndexChanged, this, [this](int r) { form_.unit = r; });
  useX10_ = Toggle("&Use X10", "UseX10", this);
  x10Row->addWidget(new QLabel(QStringLiteral("X10"), this));
  x10Row->addWidget(house_);
  x10Row->addWidget(unit_);
  x10Row->addWidget(useX10_);
  x10Row->addStretch();
  save_ = new QPushButton(QStringLiteral("&Save"), this);
  save_->setObjectName(QStringLiteral("Command%1").arg(kCmdSaveLogicEvent));
  save_->setProperty("controlId", kCmdSaveLogicEvent);
  connect(save_, &QPushButton::clicked, this, [this] { Save(); });
  x10Row->addWidget(save_);
  grid->addLayout(x10Row, row, 1, 1, 3);

  // The window sets the three toggles itself, whatever the button did.
  connect(initId_, &QPushButton::clicked, this, [this] {
    ClickInitId(form_);
    ShowToggles();
  });
  connect(operId_, &QPushButton::clicked, this, [this] {
    ClickOperId(form_);
    ShowToggles();
  });
  connect(useX10_, &QPushButton::clicked, this, [this] {
    ClickUseX10(form_);
    ShowToggles();
  });

  weekdays_ = new WeekdayControls(this);
  weekdays_->SetDays(form_.days);
  weekdays_->Preset(WeekdayPreset::kAllWeek)->setChecked(true);
  weekdays_->changed = [this](uint8_t days) { form_.days = days; };
  form->addWidget(weekdays_);
  left->addWidget(panel);
  left->addStretch(1);

  list_ = new EventListTree(this);
  list_->setObjectName(QStringLiteral("LogicEventList"));
  list_->menuRequested = [this](QTreeWidgetItem* item, const QPoint& at) { ShowMenu(item, at); };
  page->addWidget(list_, 1);

  ShowToggles();
  SizeTexts();
  RebuildLogicEventList();
}

void CWndLogicEvents::ShowToggles() {
  initId_->setChecked(form_.initId);
  operId_->setChecked(form_.operId);
  useX10_->setChecked(form_.useX10);
}

void CWndLogicEvents::ShowFields() {
  initiator_->setText(RecordText(form_.initiator.text));
  operand_->setText(RecordText(form_.operand.text));
  for (int i = 0; i < 3; ++i) groups_[i]->setText(RecordText(form_.groupLabels[i]));
}

void CWndLogicEvents::TreeSelectionChanged() {
  const DeviceKey key = ctx_.tick.editorSelection;
  if (key == shownKey_) return;
  shownKey_ = key;
  if (ShowLogicEventDevice(ctx_, form_, key)) ShowFields();
}

void CWndLogicEvents::Refresh() { RebuildLogicEventList(); }

void CWndLogicEvents::RebuildLogicEventList() { list_->Fill(quorvel::RebuildLogicEventList(ctx_)); }

void CWndLogicEvents::Save() {
  const EventSaveOutcome out = SaveLogicEvent(ctx_, form_);
  if (!out.title.empty() || !out.text.empty()) ctx_.notifier.ShowMessage(out.title, out.text);
  RebuildLogicEventList();
  if (out.Stored()) {
    if (QTreeWidgetItem* item = list_->ItemForValue(kEventLineBase + static_cast<uint32_t>(out.slot)))
      list_->setCurrentItem(item);
  }
}

void CWndLogicEvents::ShowMenu(QTreeWidgetItem* item, const QPoint& globalPos) {
  // The item's values are taken now: the tick, which may refill the list, runs
  // on while the menu and the box are open.
  const EventLine line = LineOf(item);
  Menu menu;
  AddItem(menu, kDeleteEventItem, kCmdDeleteEvent);
  if (ExecMenu(menu, this, globalPos, "LogicEventMenu") == kCmdDeleteEvent) DeleteLine(line);
}

void CWndLogicEvents::DeleteItem(QTreeWidgetItem* item) { DeleteLine(LineOf(item)); }

void CWndLogicEvents::DeleteLine(const EventLine& line) {
  const int slot = EventLineSlot(ctx_, line.value, false);
  if (slot < 0) return;
  const EventRecord seen = ctx_.events.records[slot];
  if (!ConfirmOkCancel(this, kDeleteEventTitle, DeleteEventQuestion(line.text))) return;
  DeleteSeenEvent(ctx_, slot, seen);
  RebuildLogicEventList();
}

void CWndLogicEvents::SizeTexts() {
  title_->setFont(EventWindowFont(std::max(14, height() / 25), true));
  steps_->SetPixelSize(std::max(12, height() / 50));
}

void CWndLogicEvents::resizeEvent(QResizeEvent* event) {
  CTabWindow::resizeEvent(event);
  SizeTexts();
}

}  // namespace quorvel
