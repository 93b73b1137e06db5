#include "views/link_views/wnd_controlers.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "engine/context.h"
#include "views/device_setup/controller_panels.h"
#include "views/device_setup/link_list_ctrls.h"

namespace quorvel {

namespace {

constexpr int kX10FieldLength = 3;
constexpr char kX10FieldStart[] = "A16";

QString Latin1(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

CWndControlers::CWndControlers(Context& ctx, QWidget* parent)
    : CTabWindow(ctx, kCWndControlersName, kCWndControlersId, parent) {
  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(6, 6, 6, 6);

  stack_ = new QStackedWidget(this);
  stack_->setObjectName(QStringLiteral("ControllerPanels"));
  for (int k = 0; k < kPanelKinds; ++k) {
    CWndCtrlPanel* panel = MakeControllerPanel(static_cast<PanelKind>(k), ctx_, model_, stack_);
    panel->dropped = [this](int group, DeviceKey device) {
      Carry(model_.Drop(ctx_, group, device));
    };
    panel->clicked = [this](const std::vector<int>& groups) {
      model_.Click(ctx_, groups);
      Sync();
    };
    panels_[k] = panel;
    stack_->addWidget(panel);
  }
  noPanel_ = new QWidget(stack_);
  stack_->addWidget(noPanel_);
  stack_->setCurrentWidget(noPanel_);

  auto* top = new QHBoxLayout;
  top->addWidget(stack_, 1);
  auto* side = new QVBoxLayout;
  side->addWidget(MakeButton(kCmdControllerHelp, "Help"));
  side->addStretch();
  top->addLayout(side);
  page->addLayout(top, 3);

  helpText_ = new QLabel(QString::fromLatin1(kControllerSetupHelp), this);
  helpText_->setObjectName(QStringLiteral("ControllerHelp"));
  helpText_->setWordWrap(true);
  helpText_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  helpText_->setMargin(8);
  helpScroll_ = new QScrollArea(this);
  helpScroll_->setWidget(helpText_);
  helpScroll_->setWidgetResizable(true);
  helpScroll_->hide();
  page->addWidget(helpScroll_, 3);

  commandRow_ = new QWidget(this);
  auto* row = new QHBoxLayout(commandRow_);
  row->setContentsMargins(0, 0, 0, 0);
  heading_ = new QLabel(QStringLiteral("Group"), commandRow_);
  heading_->setObjectName(QStringLiteral("GroupHeading"));
  QFont headingFont = heading_->font();
  headingFont.setBold(true);
  headingFont.setPointSizeF(headingFont.pointSizeF() * 1.2);
  heading_->setFont(headingFont);
  row->addWidget(heading_);
  x10_ = new QLineEdit(QString::fromLatin1(kX10FieldStart), commandRow_);
  x10_->setObjectName(QStringLiteral("X10Address"));
  x10_->setMaxLength(kX10FieldLength);
  x10_->setMaximumWidth(x10_->fontMetrics().horizontalAdvance(QStringLiteral("WWWW")) + 12);
  // The keypad's panel shows it, for the X10 address of the selected button.
  x10_->hide();
  row->addWidget(x10_);
  row->addStretch();
  row->addWidget(MakeButton(kCmdSetOptions, "Set Options"));
  row->addWidget(MakeButton(kCmdReadOptions, "Read Options"));
  row->addWidget(MakeButton(kCmdSetupOptions, "Setup Options"));
  page->addWidget(commandRow_);

  list_ = new CListCtrlDevALDB(ctx_, model_, this);
  list_->setObjectName(QStringLiteral("ButtonGroupLinks"));
  list_->changed = [this] {
    model_.ReloadGroups(ctx_);
    if (CWndCtrlPanel* p = ShownPanel()) p->update();
  };
  page->addWidget(list_, 2);
  Sync();
}

QPushButton* CWndControlers::MakeButton(int command, const char* caption) {
  auto* b = new QPushButton(QString::fromLatin1(caption), this);
  b->setObjectName(QStringLiteral("Command%1").arg(command));
  b->setProperty("controlId", command);
  connect(b, &QPushButton::clicked, this, [this, command] { RunCommand(command); });
  buttons_.insert(command, b);
  return b;
}

CWndCtrlPanel* CWndControlers::ShownPanel() const {
  if (!model_.state.panelShown) return nullptr;
  return panels_[static_cast<int>(model_.state.kind)];
}

void CWndControlers::Sync() {
  const bool help = model_.state.helpVisible;
  stack_->setVisible(!help);
  list_->setVisible(!help);
  commandRow_->setVisible(!help);
  helpScroll_->setVisible(help);
  CWndCtrlPanel* shown = ShownPanel();
  stack_->setCurrentWidget(shown != nullptr ? static_cast<QWidget*>(shown) : noPanel_);
  const std::string heading = model_.Heading();
  heading_->setText(heading.empty() ? QStringLiteral("Group") : Latin1(heading));
  list_->ShowRows();
  if (shown != nullptr) shown->update();
}

void CWndControlers::Carry(const SaveOutcome& outcome) {
  if (outcome.kind == SaveOutcome::kMessage) ctx_.notifier.ShowMessage(outcome.title, outcome.text);
  Sync();
}

void CWndControlers::FillControllerList() {
  const std::vector<ControllerRow> rows = model_.FillControllerList(ctx_);
  if (listFilled) listFilled(rows, model_.state.shown);
  Sync();
}

void CWndControlers::SelectController(DeviceKey key) {
  model_.SelectController(ctx_, key);
  Sync();
}

void CWndControlers::ShowController(DeviceKey key) {
  model_.ShowController(ctx_, key);
  Sync();
}

void CWndControlers::ShowButtonGroup(int group) {
  if (treeDragging && treeDragging()) return;
  model_.ShowButtonGroup(ctx_, group);
  Sync();
}

void CWndControlers::RefreshController() {
  if (!model_.state.panelShown || (treeDragging && treeDragging())) return;
  model_.ShowController(ctx_, model_.state.shown);
  Sync();
}

void CWndControlers::FollowLinkJobs() { list_->FollowJobs(); }

void CWndControlers::RunCommand(int command) {
  switch (command) {
    case kCmdControllerHelp:
      model_.state.helpVisible = !model_.state.helpVisible;
      break;
    case kCmdSetOptions:
      Carry(model_.SetOptions(ctx_));
      return;
    case kCmdReadOptions:
      Carry(model_.ReadOptions(ctx_));
      return;
    case kCmdSetupOptions:
      if (setupOptions) setupOptions();
      break;
    default:
      break;
  }
  Sync();
}

}  // namespace quorvel
