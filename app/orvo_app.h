#pragma once
// The application: brings the program up in its fixed order and takes it
// down again. Up: the document (the configuration is loaded), then the main
// frame with its panes (the log channels get their view), then the view, whose
// initial update makes the tab windows and starts the 160 ms tick. Down: the
// view goes first (the modem's port is closed), then the document (the files
// are saved), then the frame with its panes, whose layout is stored.
#include <functional>
#include <memory>

#include "app/window_refs.h"
#include "config/config_files.h"

namespace quorvel {

struct Context;
class QtNotifier;
class COrvoDoc;
class CMainFrame;
class COrvoView;

class COrvoApp {
 public:
  // `notifier` is the context's notifier; the application points it at the windows.
  COrvoApp(Context& ctx, QtNotifier& notifier);
  ~COrvoApp();
  COrvoApp(const COrvoApp&) = delete;
  COrvoApp& operator=(const COrvoApp&) = delete;

  // Start-up; `tick` is what the view's timer calls every 160 ms. With `show`
  // false the window stays hidden (tests).
  void Start(std::function<void()> tick, bool show = true);
  // The run object loaded the files already and saves them when `close` is
  // called; call before Start.
  void UseLoadedDocument(std::function<SaveResult()> close) { docClose_ = std::move(close); }
  // Shutdown; returns what the save at exit wrote. Runs once.
  SaveResult Shutdown();
  bool Running() const { return frame_ != nullptr; }

  // The modal dialogs of the commands.
  void ShowSetupDialog();
  void ShowAboutDialog();

  COrvoDoc* Doc() const { return doc_.get(); }
  CMainFrame* Frame() const { return frame_; }
  COrvoView* View() const { return view_; }
  WindowRefs& Refs() { return refs_; }

 private:
  Context& ctx_;
  QtNotifier& notifier_;
  WindowRefs refs_;
  std::unique_ptr<COrvoDoc> doc_;
  CMainFrame* frame_ = nullptr;
  COrvoView* view_ = nullptr;
  std::function<SaveResult()> docClose_;
  SaveResult exitSave_;
  bool shutDown_ = false;
};

}  // namespace quorvel
