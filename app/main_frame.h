#pragma once
// The main window: menu bar, the standard and the widgets toolbar with the
// connection indicator, the status bar, and the three dock panes around the
// tabbed view. Each command is a QAction that carries its identifier; commands
// whose windows are not built yet are shown disabled.
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <map>

#include "app/help_window.h"

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QToolBar;

namespace quorvel {

struct Context;
struct WindowRefs;
class CDPaneOutputWnd;
class CDPane_PLM_Groups;
class CDPaneControlerSelect;

// Per-user settings: company key and the value of the visual style.
inline constexpr char kSettingsCompany[] = "Quorvel";
inline constexpr char kSettingsProgram[] = "Orvo-PLM";
inline constexpr char kApplicationLookKey[] = "ApplicationLook";
inline constexpr char kWindowTitle[] = "Orvo-PLM";

// Command identifiers.
enum CommandId : int {
  kCmdNewDevice = 57600,
  kCmdSave = 57603,
  kCmdPrint = 57607,
  kCmdPrintPreview = 57609,
  kCmdPrintSetup = 57606,
  kCmdExit = 57665,
  kCmdUndo = 57643,
  kCmdCut = 57635,
  kCmdCopy = 57634,
  kCmdPaste = 57637,
  kCmdStatusBar = 59393,
  kCmdToolbarList = 59392,
  kCmdCustomize = 126,
  kCmdOptions = 135,
  kCmdLinkWatch = 32777,
  kCmdWidgets = 6829,
  kCmdAbout = 57664,
  kCmdHelpTopics = 57667,
  kCmdContextHelp = 57669,
  kCmdConnection = 33000,
  kCmdRecentFile = 57616,
};

// Visual styles 210..218; 218 (Office 2007 aqua) when none is stored.
inline constexpr int kLookFirst = 210;
inline constexpr int kLookLast = 218;
inline constexpr int kLookDefault = 218;

// The connection indicator's images in the toolbar's image list.
inline constexpr int kConnectedImage = 10;
inline constexpr int kDisconnectedImage = 12;

inline constexpr char kWaitWindowCaption[] = "Insteon Device Linker";
inline constexpr char kWaitCancelText[] = " Cancel";

class CMainFrame : public QMainWindow {
 public:
  // Makes the output pane first, so the log channels have their view, then the
  // menus, toolbars, status bar and the other two panes. Reads the stored
  // visual style and applies it.
  CMainFrame(Context& ctx, WindowRefs& refs, QWidget* parent = nullptr);
  ~CMainFrame() override;

  QAction* Command(int id) const;
  QToolBar* StandardToolBar() const { return standard_; }
  QToolBar* WidgetsToolBar() const { return second_; }
  CDPaneOutputWnd* OutputPane() const { return output_; }
  CDPane_PLM_Groups* DeviceListPane() const { return deviceList_; }
  CDPaneControlerSelect* ControllerSelectPane() const { return controllerSelect_; }

  // Image 10 (connected) or 12 on the "Connection" button.
  void SetConnectionIndicator(bool connected);
  int ConnectionImage() const { return connectionImage_; }

  int ApplicationLook() const { return look_; }
  // Selects a visual style 210..218, redraws, and stores it.
  void ApplyLook(int id);

  // Brings the wait window in line with the engine's: opens (centred on this
  // window), updates or closes it.
  void SyncWaitWindow();
  QWidget* WaitWindow() const { return waitWindow_; }
  // The status bar's message pane: what the engine is doing and how far it has
  // come, from the engine's state; refreshed after every tick.
  void SyncStatusText();
  QLabel* StatusText() const { return statusText_; }

  // The help page in its viewer window (F1, "Help Topics").
  void ShowHelp();
  CHelpWindow* HelpWindow() const { return help_; }
  // The status bar's bar for long work; hidden while there is none.
  QProgressBar* StatusProgress() const { return statusProgress_; }

  // The window layout, toolbars and panes, kept in the per-user settings.
  void StoreLayout();
  void RestoreLayout();

  // What the commands reach outside the frame; set by the application.
  std::function<void()> newDevice;     // the view's "New device"
  std::function<void()> saveCommand;   // the document's save
  std::function<void()> optionsDialog; // the Setup dialog
  std::function<void()> aboutDialog;   // the about dialog

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QAction* MakeCommand(int id, const QString& text, const char* prompt = nullptr);
  void CreateCommands();
  void CreateMenus();
  void CreateToolBars();
  void CreateStatusBar();
  void CreatePanes();
  void EditCommand(int id);

  Context& ctx_;
  WindowRefs& refs_;
  std::map<int, QAction*> commands_;
  QActionGroup* looks_ = nullptr;
  QToolBar* standard_ = nullptr;
  QToolBar* second_ = nullptr;
  CDPaneOutputWnd* output_ = nullptr;
  CDPane_PLM_Groups* deviceList_ = nullptr;
  CDPaneControlerSelect* controllerSelect_ = nullptr;
  QMenu* toolbarsMenu_ = nullptr;
  int connectionImage_ = kDisconnectedImage;
  int look_ = kLookDefault;

  QPointer<QWidget> waitWindow_;
  QLabel* waitText_ = nullptr;
  QProgressBar* waitBar_ = nullptr;
  QProgressBar* statusProgress_ = nullptr;
  QLabel* statusText_ = nullptr;
  QPointer<CHelpWindow> help_;
};

}  // namespace quorvel
