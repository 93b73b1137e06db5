#include "app/orvo_app.h"

#include "app/about_dialog.h"
#include "app/main_frame.h"
#include "app/orvo_doc.h"
#include "app/orvo_view.h"
#include "app/qt_notifier.h"
#include "app/serial_choice.h"
#include "engine/context.h"
#include "views/setup/setup_dialog.h"

namespace quorvel {

COrvoApp::COrvoApp(Context& ctx, QtNotifier& notifier) : ctx_(ctx), notifier_(notifier) {}

COrvoApp::~COrvoApp() { Shutdown(); }

void COrvoApp::Start(std::function<void()> tick, bool show) {
  doc_ = docClose_ ? std::make_unique<COrvoDoc>(ctx_, docClose_) : std::make_unique<COrvoDoc>(ctx_);

  frame_ = new CMainFrame(ctx_, refs_);
  notifier_.Attach(&refs_);
  view_ = new COrvoView(ctx_, refs_, frame_);
  frame_->setCentralWidget(view_);
  frame_->newDevice = [this] { view_->NewDevice(); };
  frame_->saveCommand = [this] { doc_->Save(); };
  frame_->optionsDialog = [this] { ShowSetupDialog(); };
  frame_->aboutDialog = [this] { ShowAboutDialog(); };
  frame_->RestoreLayout();

  view_->InitialUpdate([this, tick = std::move(tick)] {
    tick();
    if (frame_ != nullptr) {
      frame_->SyncWaitWindow();
      frame_->SyncStatusText();
    }
  });
  if (show) frame_->show();
}

SaveResult COrvoApp::Shutdown() {
  if (shutDown_ || doc_ == nullptr) return exitSave_;
  shutDown_ = true;
  // The view first: no tick may run once the files are saved.
  if (view_ != nullptr) {
    view_->Shutdown();
    delete view_;
    view_ = nullptr;
  }
  exitSave_ = doc_->Close();
  doc_.reset();
  if (frame_ != nullptr) {
    frame_->StoreLayout();
    notifier_.Attach(nullptr);
    delete frame_;
    frame_ = nullptr;
  }
  return exitSave_;
}

void COrvoApp::ShowSetupDialog() {
  ContextSetupHost host(ctx_, [this](bool connected) {
    if (frame_ != nullptr) frame_->SetConnectionIndicator(connected);
  });
  host.storeChoice = StoreSerialDevice;
  SetupDialogModel model(ctx_.options, host);
  CSetupDialog dialog(model, frame_);
  dialog.exec();
}

void COrvoApp::ShowAboutDialog() {
  CAboutDlg dialog(frame_);
  dialog.exec();
}

}  // namespace quorvel
