#include "views/device_setup/wnd_device_controls.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollArea>
#include <QSlider>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "engine/context.h"
#include "engine/link_operations.h"
#include "views/common/confirm_box.h"
#include "views/common/device_pictures.h"
#include "views/common/qt_menu.h"
#include "views/device_setup/link_list_ctrls.h"

namespace quorvel {

namespace {

constexpr int kPictureSize = 96;
constexpr int kMargin = 8;

QString Latin1(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

// "Ariel" is asked for as the panel's face; it falls back to a sans-serif one.
QFont PanelFont(int pixels, bool bold = false) {
  QFont f(QStringLiteral("Ariel"));
  f.setStyleHint(QFont::SansSerif);
  f.setPixelSize(std::max(pixels, 7));
  f.setBold(bold);
  return f;
}

QStringList Split(const std::string& text) { return Latin1(text).split(QLatin1Char('\n')); }

// The height the panel's contents take at this line height.
int PanelHeight(const InfoPanel& p, int lineHeight) {
  const QFontMetrics line(PanelFont(lineHeight));
  const QFontMetrics big(PanelFont(lineHeight * 3 / 2, true));
  int rows = 0;
  for (const std::string& l : p.lines) rows += static_cast<int>(Split(l).size());
  int textHeight = rows * line.lineSpacing();
  if (!p.energyLeft.empty()) {
    const size_t n = std::max(p.energyLeft.size(), p.energyRight.size());
    textHeight += static_cast<int>(n) * line.lineSpacing() + 3 * kMargin;
  }
  const int top = std::max(p.picture.empty() ? 0 : kPictureSize, textHeight);
  const int caption = p.caption.empty() ? 0 : static_cast<int>(Split(p.caption).size()) * big.lineSpacing() + kMargin;
  return kMargin + top + kMargin + caption + kMargin;
}

}  // namespace

InfoPanelView::InfoPanelView(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("InfoPanel"));
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
}

void InfoPanelView::SetPanel(const InfoPanel& panel, int lineHeight) {
  panel_ = panel;
  requestedLineHeight_ = lineHeight;
  // The longest line fits the panel's width: the text grows smaller before it is cut.
  const int x = kMargin + (panel_.picture.empty() ? 0 : kPictureSize + 2 * kMargin);
  for (; lineHeight > 8; --lineHeight) {
    const QFontMetrics m(PanelFont(lineHeight));
    int widest = 0;
    for (const std::string& l : panel_.lines)
      for (const QString& row : Split(l)) widest = std::max(widest, m.horizontalAdvance(row));
    if (x + widest + kMargin <= width()) break;
  }
  lineHeight_ = lineHeight;
  setMinimumHeight(PanelHeight(panel_, lineHeight_));
  update();
}

void InfoPanelView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (event->oldSize().width() != width()) SetPanel(panel_, requestedLineHeight_);
}

void InfoPanelView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  int x = kMargin;
  if (!panel_.picture.empty()) {
    const QPixmap picture = DevicePicture(panel_.picture);
    if (!picture.isNull())
      p.drawPixmap(QRect(kMargin, kMargin, kPictureSize, kPictureSize),
                   picture.scaled(kPictureSize, kPictureSize, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    x += kPictureSize + 2 * kMargin;
  }
  const QFont lineFont = PanelFont(lineHeight_);
  const QFontMetrics line(lineFont);
  p.setFont(lineFont);
  int y = kMargin + line.ascent();
  for (size_t i = 0; i < panel_.lines.size(); ++i) {
    // The missing modem is what the user must see first.
    p.setPen(panel_.noModem && i == 0 ? QColor(0xBB, 0, 0) : QColor(20, 20, 30));
    for (const QString& row : Split(panel_.lines[i])) {
      p.drawText(x, y, row);
      y += line.lineSpacing();
    }
  }
  if (!panel_.energyLeft.empty()) {
    const int boxWidth = std::max(120, (width() - x - 3 * kMargin) / 2);
    const size_t n = std::max(panel_.energyLeft.size(), panel_.energyRight.size());
    const int boxHeight = static_cast<int>(n) * line.lineSpacing() + kMargin;
    const int top = y - line.ascent() + kMargin;
    const std::vector<std::string>* boxes[2] = {&panel_.energyLeft, &panel_.energyRight};
    for (int b = 0; b < 2; ++b) {
      const QRect box(x + b * (boxWidth + kMargin), top, boxWidth, boxHeight);
      p.setPen(QPen(QColor(90, 110, 140), 1));
      p.setBrush(QColor(255, 255, 255, 170));
      p.drawRoundedRect(box, 6, 6);
      p.setPen(QColor(20, 20, 30));
      int by = box.top() + kMargin / 2 + line.ascent();
      for (const std::string& row : *boxes[b]) {
        p.drawText(box.left() + kMargin, by, Latin1(row));
        by += line.lineSpacing();
      }
    }
    y = top + boxHeight + line.ascent();
  }
  if (!panel_.caption.empty()) {
    const QFont bigFont = PanelFont(lineHeight_ * 3 / 2, true);
    const QFontMetrics big(bigFont);
    p.setFont(bigFont);
    p.setPen(QColor(20, 30, 60));
    const int textBottom = y - line.ascent();
    int cy = std::max(panel_.picture.empty() ? 0 : kMargin + kPictureSize, textBottom) + kMargin + big.ascent();
    for (const QString& row : Split(panel_.caption)) {
      p.drawText(kMargin, cy, row);
      cy += big.lineSpacing();
    }
  }
}

WndDeviceControls::WndDeviceControls(Context& ctx, QWidget* parent)
    : CTabWindow(ctx, kWndDeviceControlsName, kWndDeviceControlsId, parent) {
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(6, 6, 6, 6);

  auto* top = new QHBoxLayout;
  info_ = new InfoPanelView(this);
  top->addWidget(info_, 1);
  auto* side = new QVBoxLayout;
  MakeButton(kCmdHelp, "<<?");
  MakeButton(kCmdGroupSetup, kGroupSetupCaption);
  side->addWidget(Button(kCmdHelp), 0, Qt::AlignRight);
  side->addWidget(Button(kCmdGroupSetup), 0, Qt::AlignRight);
  side->addStretch();
  top->addLayout(side);
  page->addLayout(top);

  auto* idRow = new QHBoxLayout;
  idLabel_ = new QLabel(QStringLiteral("Device ID"), this);
  idRow->addWidget(idLabel_);
  for (int i = 0; i < 3; ++i) {
    ids_[i] = new QLineEdit(QStringLiteral("00"), this);
    ids_[i]->setObjectName(QStringLiteral("IdEdit%1").arg(5664 + i));
    ids_[i]->setMaxLength(2);
    ids_[i]->setAlignment(Qt::AlignCenter);
    ids_[i]->setFixedWidth(ids_[i]->fontMetrics().horizontalAdvance(QStringLiteral("WWW")) + 8);
    idRow->addWidget(ids_[i]);
  }
  groupLabel_ = new QLabel(QStringLiteral("Group"), this);
  idRow->addWidget(groupLabel_);
  groupList_ = new QComboBox(this);
  groupList_->setObjectName(QStringLiteral("GroupList"));
  for (int g = 0; g < kGroupListEntries; ++g) groupList_->addItem(QString::number(g));
  groupList_->setCurrentIndex(kGroupListStart);
  connect(groupList_, &QComboBox::currentIndexChanged, this, [this](int index) { state_.groupListIndex = index; });
  idRow->addWidget(groupList_);
  idRow->addWidget(MakeButton(
      kCmdAddJoin, kAddNewDeviceCaption,
      "Enter a device ID and group number.\nClick  'Add/Create Group'  button.\nNew group will be created with device "
      "ID as member.\nNew group members may be added with this function or drag and drop within the tree control at "
      "left.\n\nF1 for more help"));
  idRow->addWidget(MakeButton(kCmdUnlinkGroup, "UnLink from Computer Group",
                              "Delete device link from PLM All-Link Database.\n\nRight Click Popup Menu\n'Delete Link'"));
  idRow->addStretch();
  page->addLayout(idRow);

  auto* levelRow = new QHBoxLayout;
  levelRow->addWidget(MakeButton(kCmdOn, "ON"));
  levelRow->addWidget(MakeButton(kCmdOff, "Off"));
  slider_ = new QSlider(Qt::Horizontal, this);
  slider_->setObjectName(QStringLiteral("LevelSlider"));
  slider_->setRange(0, kSliderMax);
  slider_->setSingleStep(1);
  slider_->setPageStep(1);
  slider_->setTickPosition(QSlider::TicksBelow);
  slider_->setTickInterval(5);
  connect(slider_, &QSlider::valueChanged, this, [this](int position) {
    if (settingSlider_) return;
    SliderMoved(state_, position, ResolveSelection(ctx_, ctx_.tick.treeSelection).kind == SelectionKind::kDevice);
    levelText_->setText(Latin1(LevelTextFromSlider(state_)));
  });
  levelRow->addWidget(slider_, 1);
  levelText_ = new QLabel(this);
  levelText_->setObjectName(QStringLiteral("LevelText"));
  levelText_->setMinimumWidth(levelText_->fontMetrics().horizontalAdvance(QStringLiteral(" 100% ")) + 6);
  levelRow->addWidget(levelText_);
  costLabel_ = new QLabel(QStringLiteral("Cost / KWH"), this);
  levelRow->addWidget(costLabel_);
  cost_ = new QLineEdit(QStringLiteral(".13"), this);
  cost_->setObjectName(QStringLiteral("CostField"));
  cost_->setMaximumWidth(cost_->fontMetrics().horizontalAdvance(QStringLiteral("000.000000")) + 12);
  cost_->installEventFilter(this);
  levelRow->addWidget(cost_);
  levelRow->addWidget(MakeButton(kCmdEnergyReset, "Reset"));
  levelRow->addWidget(MakeButton(kCmdEnergyRefresh, "Refresh"));
  page->addLayout(levelRow);

  auto* modemRow = new QHBoxLayout;
  modemRow->addWidget(MakeButton(kCmdPlmRead, "PLM Read ALDB",
                                 "Read the PLM list of responder device links. Saves all data and refreshes the software. "));
  modemRow->addWidget(
      MakeButton(kCmdPlmLinkMode, "PLM Start All-Link Mode", "Puts PLM into All-Linking mode without useing the SET Button."));
  modemRow->addWidget(MakeButton(kCmdPlmCancelLinkMode, "PLM Cancel All-Link Mode", "Cancel All-Linking mode."));
  modemRow->addWidget(
      MakeButton(kCmdPlmReset, "*Reset PLM To Factory State", "Power Line Modem Factory State\n - Clears all Links.\n"));
  modemRow->addStretch();
  page->addLayout(modemRow);

  linkList_ = new CListCtrlALDB(ctx_, this);
  linkList_->setObjectName(QStringLiteral("LinkList"));
  linkList_->setProperty("controlId", 5649);
  page->addWidget(linkList_, 1);

  helpPanel_ = new QLabel(this);
  helpPanel_->setObjectName(QStringLiteral("HelpPanel"));
  helpPanel_->setWordWrap(true);
  helpPanel_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  helpPanel_->setMargin(8);
  helpScroll_ = new QScrollArea(this);
  helpScroll_->setWidget(helpPanel_);
  helpScroll_->setWidgetResizable(true);
  helpScroll_->hide();
  page->addWidget(helpScroll_, 1);

  ApplySelectionMode();
  RefreshDeviceDisplay();
}

QPushButton* WndDeviceControls::MakeButton(int command, const char* caption, const char* tip) {
  auto* b = new QPushButton(QString::fromLatin1(caption), this);
  b->setObjectName(QStringLiteral("Command%1").arg(command));
  b->setProperty("controlId", command);
  if (tip != nullptr) b->setToolTip(QString::fromLatin1(tip));
  connect(b, &QPushButton::clicked, this, [this, command] { RunCommand(command); });
  buttons_.insert(command, b);
  return b;
}

int WndDeviceControls::LineHeight() const { return std::max(8, std::min(height() / 30, 16)); }

void WndDeviceControls::ApplySelectionMode() {
  shown_ = quorvel::ApplySelectionMode(ctx_, state_);
  const ControlSet& c = shown_;
  const bool onOff = c.groupOnOff || c.deviceOnOff;
  Button(kCmdOn)->setVisible(onOff);
  Button(kCmdOff)->setVisible(onOff);
  slider_->setVisible(c.slider);
  levelText_->setVisible(c.slider);
  if (c.slider) levelText_->setText(Latin1(c.levelText));
  linkList_->setVisible(c.linkList && !c.helpPanel);
  for (int cmd : {kCmdPlmRead, kCmdPlmLinkMode, kCmdPlmCancelLinkMode, kCmdPlmReset}) Button(cmd)->setVisible(c.modemButtons);
  Button(kCmdAddJoin)->setVisible(c.addJoin);
  Button(kCmdAddJoin)->setText(Latin1(c.addJoinCaption));
  Button(kCmdUnlinkGroup)->setVisible(c.unlink);
  for (int cmd : {kCmdEnergyReset, kCmdEnergyRefresh}) Button(cmd)->setVisible(c.energy);
  cost_->setVisible(c.energy);
  costLabel_->setVisible(c.energy);
  idLabel_->setVisible(c.idEdits);
  for (QLineEdit* e : ids_) e->setVisible(c.idEdits);
  groupList_->setVisible(c.groupList);
  groupLabel_->setVisible(c.groupList);
  Button(kCmdGroupSetup)->setText(Latin1(c.groupSetupCaption));
  helpScroll_->setVisible(c.helpPanel);
  if (c.helpPanel) helpPanel_->setText(Latin1(HelpText(ctx_, state_)));
  SyncGroupList();
}

void WndDeviceControls::SyncGroupList() {
  if (groupList_->currentIndex() == state_.groupListIndex) return;
  const QSignalBlocker block(groupList_);
  groupList_->setCurrentIndex(state_.groupListIndex);
}

void WndDeviceControls::RefreshDeviceDisplay() {
  if (treeDragging && treeDragging()) return;
  if (ctx_.tick.treeSelection != state_.appliedKey) ApplySelectionMode();
  const DisplayRefresh d = quorvel::RefreshDeviceDisplay(ctx_, state_);
  info_->SetPanel(d.panel, LineHeight());
  if (d.refill) {
    for (int i = 0; i < 3; ++i) {
      ids_[i]->setText(Latin1(d.idEdits[i]));
      ids_[i]->setModified(false);
    }
    cost_->setText(Latin1(d.costText));
    cost_->setModified(false);
  }
  SyncGroupList();
  if (!d.hasDevice) {
    linkList_->Model().Clear();
    linkList_->ShowRows();
    return;
  }
  // Rows with an edit not yet saved keep it.
  linkList_->Fill(ctx_.tick.treeSelection);
  // A slider the user is moving stays where the user holds it.
  if (!slider_->isSliderDown()) {
    settingSlider_ = true;
    slider_->setValue(d.sliderPosition);
    settingSlider_ = false;
    levelText_->setText(Latin1(d.levelText));
  }
}

void WndDeviceControls::SelectionChanged() {
  ApplySelectionMode();
  RefreshDeviceDisplay();
}

void WndDeviceControls::FollowLinkJobs() { linkList_->FollowJobs(); }

void WndDeviceControls::resizeEvent(QResizeEvent* event) {
  CTabWindow::resizeEvent(event);
  info_->SetPanel(info_->Panel(), LineHeight());
}

void WndDeviceControls::Notify(const std::string& title, const std::string& text) { ctx_.notifier.ShowMessage(title, text); }

void WndDeviceControls::RunCommand(int command) {
  switch (command) {
    case kCmdAddJoin: {
      const std::string typed[3] = {ids_[0]->text().toStdString(), ids_[1]->text().toStdString(),
                                    ids_[2]->text().toStdString()};
      const CommandOutcome out = AddOrJoin(ctx_, state_, typed);
      if (out.HasBox()) Notify(out.title, out.text);
      if (out.changed && treeChanged) treeChanged();
      break;
    }
    case kCmdUnlinkGroup: {
      // The key is taken now: the tick goes on while the box is open.
      const DeviceKey key = ctx_.tick.treeSelection;
      const std::string question = UnlinkQuestion(ctx_, key);
      if (question.empty()) break;
      if (LinkOperationRunning(ctx_)) {
        Notify(kWaitForOperationText, "");
        break;
      }
      if (!ConfirmOkCancel(this, kUnlinkTitle, question)) break;
      const CommandOutcome out = UnlinkFromComputerGroup(ctx_, key);
      if (out.HasBox()) Notify(out.title, out.text);
      if (out.changed && treeChanged) treeChanged();
      break;
    }
    case kCmdPlmReset:
      if (ConfirmOkCancel(this, kConfirmTitle, FactoryResetQuestion(ctx_)) && FactoryReset(ctx_) && treeChanged)
        treeChanged();
      break;
    case kCmdPlmRead:
      PlmReadAldb(ctx_);
      break;
    default:
      RunDeviceCommand(ctx_, state_, command);
      break;
  }
  ApplySelectionMode();
  RefreshDeviceDisplay();
}

void WndDeviceControls::CommitCostField() {
  const CommandOutcome out = CommitCost(ctx_, state_, cost_->text().toStdString(), cost_->isModified());
  cost_->setModified(false);
  if (!out.HasBox()) {
    if (out.changed) RefreshDeviceDisplay();
    return;
  }
  // The price stays as it was, and the field says so.
  cost_->setText(Latin1(CostText(ctx_.options.energyPrice)));
  Notify(out.title, out.text);
}

bool WndDeviceControls::eventFilter(QObject* watched, QEvent* event) {
  if (watched == cost_ && event->type() == QEvent::FocusOut) CommitCostField();
  return CTabWindow::eventFilter(watched, event);
}

void WndDeviceControls::contextMenuEvent(QContextMenuEvent* event) {
  const Menu menu = DeviceSetupMenu(ctx_, state_);
  if (menu.empty()) return;
  const int command = ExecMenu(menu, this, event->globalPos(), "DeviceSetupMenu");
  if (command != 0) RunCommand(command);
}

}  // namespace quorvel
