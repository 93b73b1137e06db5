#include "app/orvo_view.h"

#include <QMessageBox>
#include <QMouseEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/controller_select_pane.h"
#include "app/main_frame.h"
#include "app/window_refs.h"
#include "engine/context.h"
#include "views/device_setup/wnd_device_controls.h"
#include "views/event_editors/wnd_logic_events.h"
#include "views/event_editors/wnd_time_events.h"
#include "views/link_views/device_list_pane.h"
#include "views/link_views/wnd_controlers.h"

namespace quorvel {

COrvoView::COrvoView(Context& ctx, WindowRefs& refs, QWidget* parent) : QWidget(parent), ctx_(ctx), refs_(refs) {
  setObjectName(QStringLiteral("OrvoView"));
  refs_.deviceSetup = nullptr;
  refs_.controllers = nullptr;
  refs_.timeEvents = nullptr;
  refs_.logicEvents = nullptr;
  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("ViewTabs"));
  tabs_->setProperty("controlId", 1);
  tabs_->setTabPosition(QTabWidget::South);
  tabs_->setDocumentMode(true);
  refs_.viewTabs = tabs_;
  auto* box = new QVBoxLayout(this);
  box->setContentsMargins(0, 0, 0, 0);
  box->addWidget(tabs_);
  setMouseTracking(true);
  timer_.setInterval(kTickMillis);
  connect(&timer_, &QTimer::timeout, this, [this] { TickNow(); });
}

COrvoView::~COrvoView() {
  timer_.stop();
  refs_.viewTabs = nullptr;
  refs_.deviceSetup = nullptr;
  refs_.controllers = nullptr;
  refs_.timeEvents = nullptr;
  refs_.logicEvents = nullptr;
}

void COrvoView::InitialUpdate(std::function<void()> tick) {
  auto* device = new WndDeviceControls(ctx_, tabs_);
  auto* controllers = new CWndControlers(ctx_, tabs_);
  auto* timeEvents = new CWndTimeEvents(ctx_, tabs_);
  auto* logicEvents = new CWndLogicEvents(ctx_, tabs_);
  refs_.deviceSetup = device;
  refs_.controllers = controllers;
  refs_.timeEvents = timeEvents;
  refs_.logicEvents = logicEvents;
  tabs_->addTab(device, QString::fromLatin1(kTabDeviceSetup));
  tabs_->addTab(controllers, QString::fromLatin1(kTabControllerSetup));
  tabs_->addTab(timeEvents, QString::fromLatin1(kTabTimeEvents));
  tabs_->addTab(logicEvents, QString::fromLatin1(kTabLogicEvents));
  tabs_->tabBar()->installEventFilter(this);
  if (refs_.deviceList != nullptr) {
    // The device tree drives the setup window, and the window's commands change the tree.
    CTreeCtrl_PLM_ALDB* tree = refs_.deviceList->Tree();
    tree->selectionChanged = [device, timeEvents, logicEvents] {
      device->SelectionChanged();
      // The event editors take a selection of their own once the table is merged.
      timeEvents->TreeSelectionChanged();
      logicEvents->TreeSelectionChanged();
    };
    tree->onLevel = [device] { return device->State().onLevel; };
    tree->rebuilt = [device] { device->RefreshDeviceDisplay(); };
    device->treeDragging = [tree] { return tree->Model().dragging; };
    device->treeChanged = [this, tree] {
      if (!tree->Rebuild()) return;  // the tick rebuilds it shortly
      tree->SelectKey(ctx_.tick.treeSelection);
    };
    treeReselect = [tree] { tree->ReselectCurrent(); };
    treeSelectRoot = [tree] { tree->SelectRoot(); };
    controllers->treeDragging = [tree] { return tree->Model().dragging; };
  }
  if (refs_.controllerSelect != nullptr) {
    // The select pane picks the controller; taking the focus brings its tab forward.
    CCListCtrlControlers* select = refs_.controllerSelect->List();
    controllers->listFilled = [select](const std::vector<ControllerRow>& rows, DeviceKey shown) {
      select->ShowRows(rows, shown);
    };
    select->selected = [controllers](DeviceKey key) { controllers->SelectController(key); };
    select->focused = [this] {
      if (tabs_->currentIndex() != 1) ActivateTab(1);
    };
  }
  controllerRefresh = [controllers] { controllers->FillControllerList(); };
  controllers->setupOptions = [this] {
    QAction* options = refs_.frame != nullptr ? refs_.frame->Command(kCmdOptions) : nullptr;
    if (options != nullptr) options->trigger();
  };
  ActivateTab(0);

  tick_ = std::move(tick);
  timer_.start();
  if (!timer_.isActive())
    QMessageBox::warning(this, QString(), QStringLiteral("Error: SetTimer failed"));
}

void COrvoView::TickNow() {
  if (!tick_) return;
  // A tick that comes back while the previous one waits in a message loop (a
  // message box) finds the program busy: the pointer says so until it is over.
  if (ctx_.tick.tickGuard && !busyCursor_) {
    setCursor(Qt::WaitCursor);
    busyCursor_ = true;
  }
  tick_();
  // Rows being saved show "Saved" once the devices showed the records back.
  if (refs_.deviceSetup != nullptr) refs_.deviceSetup->FollowLinkJobs();
  if (refs_.controllers != nullptr) refs_.controllers->FollowLinkJobs();
  if (!ctx_.tick.tickGuard && busyCursor_) {
    unsetCursor();
    busyCursor_ = false;
  }
}

void COrvoView::Shutdown() {
  timer_.stop();
  tick_ = nullptr;
  ctx_.link.ClosePort(ctx_);
}

void COrvoView::ActivateTab(int tab) {
  tabs_->setCurrentIndex(tab);
  QDockWidget* select = refs_.controllerSelect;
  QDockWidget* devices = refs_.deviceList;
  if (devices != nullptr) {
    devices->show();
    devices->raise();
  }
  switch (tab) {
    case 0:
      if (select != nullptr) select->hide();
      if (treeReselect) treeReselect();
      break;
    case 1:
      if (select != nullptr) {
        select->show();
        select->raise();
      }
      if (controllerRefresh) controllerRefresh();
      break;
    default:
      if (select != nullptr) select->hide();
      break;
  }
}

void COrvoView::NewDevice() {
  if (treeSelectRoot) treeSelectRoot();
  tabs_->setCurrentIndex(0);
  if (refs_.controllerSelect != nullptr) refs_.controllerSelect->hide();
}

bool COrvoView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == tabs_->tabBar() && event->type() == QEvent::MouseButtonRelease) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    const int tab = tabs_->tabBar()->tabAt(mouse->position().toPoint());
    if (mouse->button() == Qt::LeftButton && tab >= 0) ActivateTab(tab);
  }
  return QWidget::eventFilter(watched, event);
}

void COrvoView::mouseMoveEvent(QMouseEvent* event) {
  // Pointing at the view gives it the keyboard.
  if (!hasFocus()) setFocus(Qt::MouseFocusReason);
  QWidget::mouseMoveEvent(event);
}

}  // namespace quorvel
