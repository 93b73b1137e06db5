#include "app/qt_notifier.h"

#include <QMessageBox>
#include <QProgressBar>
#include <algorithm>
#include <QTabWidget>

#include "app/controller_select_pane.h"
#include "app/main_frame.h"
#include "app/window_refs.h"
#include "views/device_setup/wnd_device_controls.h"
#include "views/event_editors/wnd_logic_events.h"
#include "views/event_editors/wnd_time_events.h"
#include "views/link_views/device_list_pane.h"
#include "views/link_views/wnd_controlers.h"

namespace quorvel {

namespace {
QString Q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
bool Has(ViewRefresh what, ViewRefresh bit) {
  return (static_cast<uint32_t>(what) & static_cast<uint32_t>(bit)) != 0;
}
}  // namespace

void QtNotifier::Refresh(ViewRefresh what) {
  if (refs_ != nullptr) {
    if (Has(what, ViewRefresh::DeviceTree) && refs_->deviceList) refs_->deviceList->Tree()->Rebuild();
    if (Has(what, ViewRefresh::DeviceSetup) && refs_->deviceSetup) refs_->deviceSetup->RefreshDeviceDisplay();
    // Links stored and settings replies change what the shown controller's panel lists.
    if (Has(what, ViewRefresh::DeviceSetup) && refs_->controllers) refs_->controllers->RefreshController();
    if (Has(what, ViewRefresh::TablesMerged) && refs_->deviceSetup) refs_->deviceSetup->SelectionChanged();
    if (Has(what, ViewRefresh::ControllerList) && refs_->controllers) refs_->controllers->FillControllerList();
    if (Has(what, ViewRefresh::TimeEvents) && refs_->timeEvents) refs_->timeEvents->Refresh();
    if (Has(what, ViewRefresh::LogicEvents) && refs_->logicEvents) refs_->logicEvents->Refresh();
    if (Has(what, ViewRefresh::GroupView) && refs_->controllers) refs_->controllers->update();
  }
  if (onRefresh) onRefresh(what);
}

void QtNotifier::DeviceChanged(uint32_t deviceKey) {
  if (refs_ == nullptr) return;
  if (refs_->deviceList) refs_->deviceList->Tree()->RefreshDeviceItem(deviceKey);
  if (refs_->deviceSetup) refs_->deviceSetup->RefreshDeviceDisplay();
  if (refs_->controllers) refs_->controllers->RefreshController();
}

void QtNotifier::ShowMessage(std::string_view title, std::string_view text) {
  messages.push_back(std::string(title) + ": " + std::string(text));
  if (!modalMessages) return;
  QWidget* parent = refs_ != nullptr ? refs_->frame : nullptr;
  QMessageBox::information(parent, Q(title), Q(text));
}

void QtNotifier::ProgressBegin(std::string_view title, int total) {
  QProgressBar* bar = refs_ != nullptr && refs_->frame != nullptr ? refs_->frame->StatusProgress() : nullptr;
  if (bar == nullptr) return;
  bar->setRange(0, total > 0 ? total : 0);
  bar->setValue(0);
  bar->setToolTip(Q(title));
  bar->show();
}

void QtNotifier::ProgressStep(int done, std::string_view text) {
  QProgressBar* bar = refs_ != nullptr && refs_->frame != nullptr ? refs_->frame->StatusProgress() : nullptr;
  if (bar == nullptr) return;
  if (bar->maximum() > 0) bar->setValue(std::clamp(done, 0, bar->maximum()));
  if (!text.empty()) bar->setToolTip(Q(text));
}

void QtNotifier::ProgressEnd() {
  QProgressBar* bar = refs_ != nullptr && refs_->frame != nullptr ? refs_->frame->StatusProgress() : nullptr;
  if (bar != nullptr) bar->hide();
}

void QtNotifier::ConnectionChanged(bool connected, int) {
  if (refs_ != nullptr && refs_->frame != nullptr) refs_->frame->SetConnectionIndicator(connected);
}

}  // namespace quorvel
