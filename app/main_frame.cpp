#include "app/main_frame.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDockWidget>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QStyleFactory>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/controller_select_pane.h"
#include "app/help_window.h"
#include "app/window_refs.h"
#include "engine/context.h"
#include "engine/run_summary.h"
#include "log/text_contrast.h"
#include "views/event_editors/dlg_widgets.h"
#include "views/link_views/device_list_pane.h"
#include "views/log_views/output_pane.h"
#include "views/log_views/trace_list_view.h"

namespace quorvel {

namespace {

// The connection indicator drawn as a lamp: green while connected, red while not.
QIcon ConnectionIcon(bool connected) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(40, 40, 40), 1));
  p.setBrush(connected ? QColor(0, 170, 0) : QColor(200, 0, 0));
  p.drawEllipse(QRectF(2.5, 2.5, 11, 11));
  p.setPen(QPen(Qt::white, 1.5));
  if (connected) {
    p.drawLine(QPointF(5, 8), QPointF(11, 8));
  } else {
    p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
    p.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
  }
  return QIcon(pixmap);
}

struct Look {
  int id;
  const char* text;
  const char* style;
  QRgb window;     // 0: the style's own palette
  QRgb highlight;
  bool dark;
};

// The nine styles as Qt styles and palettes: the classic grey style for the
// two oldest looks, Fusion tinted after the others.
constexpr Look kLooks[] = {
    {210, "Windows &2000", "Windows", 0, 0, false},
    {211, "Office &XP", "Fusion", 0xF0F0F0, 0x316AC5, false},
    {212, "&Windows XP", "Windows", 0xECE9D8, 0x316AC5, false},
    {213, "Office 200&3", "Fusion", 0xE3EFFF, 0xFFC83C, false},
    {214, "Visual Studio.NET 200&5", "Fusion", 0xEEEDE5, 0x316AC5, false},
    {215, "&Blue Style", "Fusion", 0xD5E4F2, 0x3399FF, false},
    {216, "B&lack Style", "Fusion", 0x3C3C3C, 0x6A8FBF, true},
    {217, "&Silver Style", "Fusion", 0xE2E5EB, 0x7A8CA8, false},
    {218, "&Aqua Style", "Fusion", 0xDCEBF5, 0x5BA4D8, false},
};

TraceColor Rgb(const QColor& c) {
  return {static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()), static_cast<uint8_t>(c.blue())};
}
QColor Rgb(TraceColor c) { return QColor(c.red, c.green, c.blue); }

// Text of `text` readable on `ground`, enabled and in inactive windows.
void KeepReadable(QPalette& pal, QPalette::ColorRole text, QPalette::ColorRole ground) {
  for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive})
    pal.setColor(g, text, Rgb(ReadableOn(Rgb(pal.color(g, text)), Rgb(pal.color(g, ground)))));
}

// Disabled text plainly weaker than enabled text, so a greyed command looks
// greyed in every look, dark ones included.
void DimDisabled(QPalette& pal, QPalette::ColorRole text, QPalette::ColorRole ground) {
  pal.setColor(QPalette::Disabled, text,
               Rgb(DisabledOn(Rgb(pal.color(QPalette::Active, text)), Rgb(pal.color(QPalette::Disabled, ground)))));
}

QPalette LookPalette(const Look& look, QStyle* style) {
  QPalette pal = style->standardPalette();
  // Every colour of the style's own palette counts as chosen: a colour left
  // unchosen would come from the desktop's palette instead, and the readable
  // pairs below would be reckoned against a colour not drawn.
  for (int g = 0; g < QPalette::NColorGroups; ++g)
    for (int r = 0; r < QPalette::NColorRoles; ++r) {
      const auto group = static_cast<QPalette::ColorGroup>(g);
      const auto role = static_cast<QPalette::ColorRole>(r);
      pal.setColor(group, role, pal.color(group, role));
    }
  if (look.window != 0) {
    const QColor window(look.window);
    pal.setColor(QPalette::Window, window);
    pal.setColor(QPalette::Button, window);
    pal.setColor(QPalette::Highlight, QColor(look.highlight));
    if (look.dark) {
      const QColor base(0x2A2A2A);
      for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text,
                                       QPalette::HighlightedText, QPalette::ToolTipText})
        pal.setColor(role, Qt::white);
      pal.setColor(QPalette::Base, base);
      pal.setColor(QPalette::AlternateBase, QColor(0x333333));
      pal.setColor(QPalette::ToolTipBase, base);
      // Bevels and frames in shades of the window, not the light theme's.
      pal.setColor(QPalette::Light, window.lighter(160));
      pal.setColor(QPalette::Midlight, window.lighter(130));
      pal.setColor(QPalette::Mid, window.darker(130));
      pal.setColor(QPalette::Dark, window.darker(160));
      pal.setColor(QPalette::Shadow, Qt::black);
    }
  }
  // The look's colours where they read; a readable variant where they do not
  // (white text on a light highlight, blue links on a dark ground).
  KeepReadable(pal, QPalette::WindowText, QPalette::Window);
  KeepReadable(pal, QPalette::ButtonText, QPalette::Button);
  KeepReadable(pal, QPalette::Text, QPalette::Base);
  KeepReadable(pal, QPalette::HighlightedText, QPalette::Highlight);
  KeepReadable(pal, QPalette::ToolTipText, QPalette::ToolTipBase);
  KeepReadable(pal, QPalette::Link, QPalette::Base);
  KeepReadable(pal, QPalette::LinkVisited, QPalette::Base);
  DimDisabled(pal, QPalette::WindowText, QPalette::Window);
  DimDisabled(pal, QPalette::ButtonText, QPalette::Button);
  DimDisabled(pal, QPalette::Text, QPalette::Base);
  for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
    pal.setColor(g, QPalette::PlaceholderText, pal.color(QPalette::Disabled, QPalette::Text));
  return pal;
}

// The keys a command answers: the one its menu text shows after the tab, then
// `also`, then the desktop's standard keys for it.
void BindKeys(QAction* action, QKeySequence::StandardKey standard, const char* also = nullptr) {
  QList<QKeySequence> keys;
  const QString text = action->text();
  if (const qsizetype tab = text.indexOf(QLatin1Char('\t')); tab >= 0)
    keys.append(QKeySequence(text.mid(tab + 1), QKeySequence::PortableText));
  if (also != nullptr) keys.append(QKeySequence(QString::fromLatin1(also), QKeySequence::PortableText));
  for (const QKeySequence& key : QKeySequence::keyBindings(standard))
    if (!keys.contains(key)) keys.append(key);
  action->setShortcuts(keys);
}

// Status-bar prompt and tool tip of the program's own commands.
struct Prompt {
  int id;
  const char* text;
};
constexpr Prompt kPrompts[] = {
    {kCmdNewDevice, "Define new Insteon device ID\nNew Insteon Device"},
    {kCmdSave, "Save All Configurations to disk\nSave"},
    {kCmdOptions, "Setup Options.\nSetup"},
    {kCmdLinkWatch, "View / Repair broken links between Device - Controller.\nLink Watch"},
    {kCmdConnection, "Status for connection to PLM.\nConnection"},
};

}  // namespace

CMainFrame::CMainFrame(Context& ctx, WindowRefs& refs, QWidget* parent)
    : QMainWindow(parent), ctx_(ctx), refs_(refs) {
  refs_.frame = this;
  setObjectName(QStringLiteral("MainFrame"));
  setWindowTitle(QString::fromLatin1(kWindowTitle));
  // The output pane comes first: from here on the log channels have their view.
  output_ = new CDPaneOutputWnd(ctx_.log, this);
  refs_.output = output_;
  look_ = QSettings(kSettingsCompany, kSettingsProgram).value(kApplicationLookKey, kLookDefault).toInt();
  if (look_ < kLookFirst || look_ > kLookLast) look_ = kLookDefault;

  CreateCommands();
  ApplyLook(look_);
  CreateMenus();
  CreateToolBars();
  CreateStatusBar();
  CreatePanes();
  setDockOptions(QMainWindow::AnimatedDocks | QMainWindow::AllowNestedDocks | QMainWindow::AllowTabbedDocks |
                 QMainWindow::GroupedDragging);
  resize(1100, 760);
}

CMainFrame::~CMainFrame() {
  if (waitWindow_) delete waitWindow_;
  refs_.frame = nullptr;
  refs_.output = nullptr;
  refs_.deviceList = nullptr;
  refs_.controllerSelect = nullptr;
}

QAction* CMainFrame::Command(int id) const {
  const auto it = commands_.find(id);
  return it == commands_.end() ? nullptr : it->second;
}

QAction* CMainFrame::MakeCommand(int id, const QString& text, const char*) {
  auto* action = new QAction(text, this);
  action->setProperty("commandId", id);
  for (const Prompt& p : kPrompts) {
    if (p.id != id) continue;
    const QString prompt = QString::fromLatin1(p.text);
    const int nl = prompt.indexOf(QLatin1Char('\n'));
    action->setStatusTip(prompt.left(nl));
    action->setToolTip(prompt.mid(nl + 1));
  }
  commands_[id] = action;
  return action;
}

void CMainFrame::CreateCommands() {
  QStyle* st = style();
  QAction* newDevice = MakeCommand(kCmdNewDevice, QStringLiteral("New device"));
  newDevice->setIcon(st->standardIcon(QStyle::SP_FileIcon));
  connect(newDevice, &QAction::triggered, this, [this] {
    if (this->newDevice) this->newDevice();
  });
  QAction* save = MakeCommand(kCmdSave, QStringLiteral("Save, HINT: Auto save is on."));
  save->setIcon(st->standardIcon(QStyle::SP_DialogSaveButton));
  connect(save, &QAction::triggered, this, [this] {
    if (saveCommand) saveCommand();
  });
  BindKeys(save, QKeySequence::Save, "Ctrl+S");
  // Printing of the device list and the link table is not part of the program yet.
  for (auto [id, text] : {std::pair{kCmdPrint, "&Print...\tCtrl+P"}, std::pair{kCmdPrintPreview, "Print Pre&view"},
                          std::pair{kCmdPrintSetup, "P&rint Setup..."}}) {
    MakeCommand(id, QString::fromLatin1(text))->setEnabled(false);
  }
  Command(kCmdPrint)->setIcon(QIcon(st->standardIcon(QStyle::SP_FileDialogDetailedView)));
  BindKeys(Command(kCmdPrint), QKeySequence::Print);
  QAction* recent = MakeCommand(kCmdRecentFile, QStringLiteral("Recent File"));
  recent->setEnabled(false);
  QAction* exit = MakeCommand(kCmdExit, QStringLiteral("E&xit"));
  connect(exit, &QAction::triggered, this, &QWidget::close);
  // Ctrl+Q is the desktop's quit key even where the standard keys give none.
  BindKeys(exit, QKeySequence::Quit, "Ctrl+Q");

  for (auto [id, text] : {std::pair{kCmdUndo, "&Undo\tCtrl+Z"}, std::pair{kCmdCut, "Cu&t\tCtrl+X"},
                          std::pair{kCmdCopy, "&Copy\tCtrl+C"}, std::pair{kCmdPaste, "&Paste\tCtrl+V"}}) {
    QAction* edit = MakeCommand(id, QString::fromLatin1(text));
    connect(edit, &QAction::triggered, this, [this, id = id] { EditCommand(id); });
  }
  BindKeys(Command(kCmdUndo), QKeySequence::Undo);
  BindKeys(Command(kCmdCut), QKeySequence::Cut);
  BindKeys(Command(kCmdCopy), QKeySequence::Copy);
  BindKeys(Command(kCmdPaste), QKeySequence::Paste);
  Command(kCmdCopy)->setIcon(st->standardIcon(QStyle::SP_FileDialogContentsView));
  Command(kCmdPaste)->setIcon(st->standardIcon(QStyle::SP_DialogOpenButton));

  QAction* statusBarCmd = MakeCommand(kCmdStatusBar, QStringLiteral("&Status Bar"));
  statusBarCmd->setCheckable(true);
  statusBarCmd->setChecked(true);
  connect(statusBarCmd, &QAction::toggled, this, [this](bool on) { statusBar()->setVisible(on); });
  // The toolbar and menu customisation has no counterpart here.
  MakeCommand(kCmdCustomize, QStringLiteral("Customize..."))->setEnabled(false);

  looks_ = new QActionGroup(this);
  looks_->setExclusive(true);
  for (const Look& look : kLooks) {
    QAction* a = MakeCommand(look.id, QString::fromLatin1(look.text));
    a->setCheckable(true);
    looks_->addAction(a);
    connect(a, &QAction::triggered, this, [this, id = look.id] { ApplyLook(id); });
  }

  QAction* options = MakeCommand(kCmdOptions, QStringLiteral("&Options"));
  options->setIcon(st->standardIcon(QStyle::SP_FileDialogInfoView));
  connect(options, &QAction::triggered, this, [this] {
    if (optionsDialog) optionsDialog();
  });
  // The Link Watch dialog and the widgets dialog come with their own windows.
  QAction* linkWatch = MakeCommand(kCmdLinkWatch, QStringLiteral("&Link Watch"));
  linkWatch->setIcon(st->standardIcon(QStyle::SP_BrowserReload));
  linkWatch->setEnabled(false);
  QAction* widgets = MakeCommand(kCmdWidgets, QStringLiteral("Widgets"));
  widgets->setIcon(st->standardIcon(QStyle::SP_DesktopIcon));
  connect(widgets, &QAction::triggered, this, [this] {
    dlgWidgets dialog(ctx_, this);
    dialog.exec();
  });
  QAction* about = MakeCommand(kCmdAbout, QStringLiteral("&About Orvo..."));
  about->setIcon(st->standardIcon(QStyle::SP_MessageBoxQuestion));
  connect(about, &QAction::triggered, this, [this] {
    if (aboutDialog) aboutDialog();
  });
  QAction* helpTopics = MakeCommand(kCmdHelpTopics, QStringLiteral("&Help Topics"));
  connect(helpTopics, &QAction::triggered, this, &CMainFrame::ShowHelp);
  BindKeys(helpTopics, QKeySequence::HelpContents, "F1");
  QAction* contextHelp = MakeCommand(kCmdContextHelp, QStringLiteral("Help"));
  contextHelp->setIcon(st->standardIcon(QStyle::SP_TitleBarContextHelpButton));
  connect(contextHelp, &QAction::triggered, this, &CMainFrame::ShowHelp);

  // The indicator is a button without a command: only its image says something.
  QAction* connection = MakeCommand(kCmdConnection, QStringLiteral("Connection"));
  connection->setIcon(ConnectionIcon(false));
  connection->setProperty("image", kDisconnectedImage);
}

void CMainFrame::CreateMenus() {
  QMenuBar* bar = menuBar();
  QMenu* file = bar->addMenu(QStringLiteral("&File"));
  file->addAction(Command(kCmdNewDevice));
  file->addAction(Command(kCmdSave));
  file->addAction(Command(kCmdPrint));
  file->addAction(Command(kCmdPrintPreview));
  file->addAction(Command(kCmdPrintSetup));
  file->addSeparator();
  file->addAction(Command(kCmdRecentFile));
  file->addSeparator();
  file->addAction(Command(kCmdExit));

  QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
  edit->addAction(Command(kCmdUndo));
  edit->addSeparator();
  edit->addAction(Command(kCmdCut));
  edit->addAction(Command(kCmdCopy));
  edit->addAction(Command(kCmdPaste));

  QMenu* view = bar->addMenu(QStringLiteral("&View"));
  toolbarsMenu_ = view->addMenu(QStringLiteral("&Toolbars and Docking Windows"));
  toolbarsMenu_->menuAction()->setProperty("commandId", static_cast<int>(kCmdToolbarList));
  view->addAction(Command(kCmdStatusBar));
  QMenu* lookMenu = view->addMenu(QStringLiteral("&Application Look"));
  for (int id = 210; id <= 214; ++id) lookMenu->addAction(Command(id));
  QMenu* office2007 = lookMenu->addMenu(QStringLiteral("Office 200&7"));
  for (int id = 215; id <= 218; ++id) office2007->addAction(Command(id));

  QMenu* tools = bar->addMenu(QStringLiteral("&Tools"));
  tools->addAction(Command(kCmdOptions));
  tools->addAction(Command(kCmdLinkWatch));
  tools->addSeparator();
  tools->addAction(Command(kCmdAbout));

  QMenu* help = bar->addMenu(QStringLiteral("&Help"));
  help->addAction(Command(kCmdHelpTopics));
  help->addSeparator();
  help->addAction(Command(kCmdAbout));
}

void CMainFrame::CreateToolBars() {
  standard_ = addToolBar(QStringLiteral("Standard"));
  standard_->setObjectName(QStringLiteral("Standard"));
  for (int id : {kCmdNewDevice, kCmdSave, kCmdPrint, kCmdCopy, kCmdPaste, kCmdAbout, kCmdContextHelp})
    standard_->addAction(Command(id));
  standard_->addSeparator();
  for (int id : {kCmdOptions, kCmdConnection, kCmdLinkWatch}) standard_->addAction(Command(id));

  second_ = addToolBar(QStringLiteral("Widgets"));
  second_->setObjectName(QStringLiteral("Toolbar600"));
  second_->addAction(Command(kCmdWidgets));
  for (QToolBar* bar : {standard_, second_}) bar->setAllowedAreas(Qt::AllToolBarAreas);
}

void CMainFrame::CreateStatusBar() {
  QStatusBar* bar = statusBar();
  // The message pane. A command's prompt covers it while the pointer is on the
  // command; a long text is cut rather than widening the window.
  statusText_ = new QLabel(bar);
  statusText_->setObjectName(QStringLiteral("StatusText"));
  statusText_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  bar->addWidget(statusText_, 1);
  statusProgress_ = new QProgressBar(bar);
  statusProgress_->setObjectName(QStringLiteral("StatusProgress"));
  statusProgress_->setMaximumWidth(200);
  statusProgress_->setTextVisible(false);
  bar->addPermanentWidget(statusProgress_);
  statusProgress_->hide();
  // The keyboard's lock states cannot be read portably: the panes show their names.
  for (const char* name : {"CAP", "NUM", "SCRL"}) {
    auto* indicator = new QLabel(QString::fromLatin1(name), bar);
    indicator->setObjectName(QString::fromLatin1(name));
    indicator->setEnabled(false);
    bar->addPermanentWidget(indicator);
  }
}

void CMainFrame::CreatePanes() {
  deviceList_ = new CDPane_PLM_Groups(ctx_, this);
  refs_.deviceList = deviceList_;
  output_->linkReportRequested = [this] { deviceList_->Tree()->WriteLinkReport(); };
  controllerSelect_ = new CDPaneControlerSelect(ctx_, this);
  refs_.controllerSelect = controllerSelect_;
  for (QDockWidget* pane : {static_cast<QDockWidget*>(deviceList_), static_cast<QDockWidget*>(output_),
                            static_cast<QDockWidget*>(controllerSelect_)}) {
    pane->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                      QDockWidget::DockWidgetFloatable);
    pane->setAllowedAreas(Qt::AllDockWidgetAreas);
  }
  addDockWidget(Qt::LeftDockWidgetArea, deviceList_);
  addDockWidget(Qt::BottomDockWidgetArea, output_);
  addDockWidget(Qt::RightDockWidgetArea, controllerSelect_);
  // The tree's lines hold an id and a name: the pane opens wide enough for them.
  resizeDocks({deviceList_, controllerSelect_}, {kDeviceListWidth, 200}, Qt::Horizontal);
  resizeDocks({output_}, {100}, Qt::Vertical);
  deviceList_->show();
  deviceList_->raise();
  output_->show();
  controllerSelect_->hide();

  for (QToolBar* bar : {standard_, second_}) toolbarsMenu_->addAction(bar->toggleViewAction());
  toolbarsMenu_->addSeparator();
  for (QDockWidget* pane : {static_cast<QDockWidget*>(deviceList_), static_cast<QDockWidget*>(output_),
                            static_cast<QDockWidget*>(controllerSelect_)})
    toolbarsMenu_->addAction(pane->toggleViewAction());
  toolbarsMenu_->addSeparator();
  toolbarsMenu_->addAction(Command(kCmdCustomize));
}

void CMainFrame::SetConnectionIndicator(bool connected) {
  connectionImage_ = connected ? kConnectedImage : kDisconnectedImage;
  QAction* indicator = Command(kCmdConnection);
  indicator->setIcon(ConnectionIcon(connected));
  indicator->setProperty("image", connectionImage_);
}

void CMainFrame::ApplyLook(int id) {
  const Look* look = nullptr;
  for (const Look& l : kLooks)
    if (l.id == id) look = &l;
  if (look == nullptr) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  look_ = id;
  if (QStyle* style = QStyleFactory::create(QString::fromLatin1(look->style))) {
    QApplication::setStyle(style);
    QApplication::setPalette(LookPalette(*look, style));
  }
  if (QAction* a = Command(id)) a->setChecked(true);
  update();
  QSettings(kSettingsCompany, kSettingsProgram).setValue(kApplicationLookKey, id);
  QApplication::restoreOverrideCursor();
}

void CMainFrame::EditCommand(int id) {
  QWidget* focus = QApplication::focusWidget();
  if (auto* combo = qobject_cast<QComboBox*>(focus)) focus = combo->lineEdit();
  if (auto* edit = qobject_cast<QLineEdit*>(focus)) {
    switch (id) {
      case kCmdUndo: edit->undo(); break;
      case kCmdCut: edit->cut(); break;
      case kCmdCopy: edit->copy(); break;
      case kCmdPaste: edit->paste(); break;
      default: break;
    }
    return;
  }
  // A log list copies its selected rows.
  for (QWidget* w = focus; w != nullptr; w = w->parentWidget()) {
    if (auto* list = dynamic_cast<CTraceList*>(w)) {
      if (id == kCmdCopy) list->CopySelected();
      return;
    }
  }
  // Any other control gets the command as its own key, as it would if the
  // window did not bind the key (a table copies its current cell).
  if (focus == nullptr) return;
  const QKeySequence::StandardKey key = id == kCmdUndo  ? QKeySequence::Undo
                                        : id == kCmdCut ? QKeySequence::Cut
                                        : id == kCmdCopy ? QKeySequence::Copy
                                                         : QKeySequence::Paste;
  const QList<QKeySequence> keys = QKeySequence::keyBindings(key);
  if (keys.isEmpty()) return;
  const QKeyCombination combination = keys.first()[0];
  QKeyEvent press(QEvent::KeyPress, combination.key(), combination.keyboardModifiers());
  // Straight to the control and then up its parents, as an unhandled key
  // travels: through the application it would meet this command's shortcut again.
  for (QWidget* w = focus; w != nullptr; w = w->parentWidget()) {
    press.accept();
    static_cast<QObject*>(w)->event(&press);  // QObject's event() is the public one
    if (press.isAccepted() || w->isWindow()) break;
  }
}

void CMainFrame::SyncStatusText() {
  const QString text = QString::fromStdString(ProgressText(ctx_));
  if (text == statusText_->text()) return;
  statusText_->setText(text);
  statusText_->setToolTip(text);
}

void CMainFrame::ShowHelp() {
  if (!help_) {
    help_ = new CHelpWindow(this);
    QRect box(QPoint(), help_->size());
    box.moveCenter(frameGeometry().center());
    help_->move(box.topLeft());
  }
  help_->show();
  help_->raise();
  help_->activateWindow();
}

void CMainFrame::SyncWaitWindow() {
  const quorvel::WaitWindow& wait = ctx_.engine.wait;
  if (!wait.open) {
    if (waitWindow_) delete waitWindow_;
    return;
  }
  if (!waitWindow_) {
    auto* window = new QWidget(this, Qt::Tool | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    window->setObjectName(QStringLiteral("WaitWindow"));
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->setWindowTitle(QString::fromLatin1(kWaitWindowCaption));
    auto* box = new QVBoxLayout(window);
    waitText_ = new QLabel(QString::fromStdString(wait.text.substr(0, 4095)), window);
    waitText_->setObjectName(QStringLiteral("WaitText"));
    waitBar_ = new QProgressBar(window);
    waitBar_->setRange(0, 100);
    waitBar_->setTextVisible(false);
    auto* cancel = new QPushButton(QString::fromLatin1(kWaitCancelText), window);
    cancel->setObjectName(QStringLiteral("WaitCancel"));
    connect(cancel, &QPushButton::clicked, this, [this] { ctx_.engine.wait.cancelPressed = true; });
    box->addWidget(waitText_);
    box->addWidget(waitBar_);
    box->addWidget(cancel);
    waitWindow_ = window;
    // Centred on this window, wherever the desktop would have put a new one.
    window->adjustSize();
    QRect placed = window->frameGeometry();
    placed.moveCenter(frameGeometry().center());
    window->move(placed.topLeft());
    window->show();
  }
  waitBar_->setValue(wait.bar < 0 ? 0 : wait.bar % 101);
}

void CMainFrame::StoreLayout() {
  QSettings settings(kSettingsCompany, kSettingsProgram);
  settings.setValue("Layout/geometry", saveGeometry());
  settings.setValue("Layout/state", saveState());
}

void CMainFrame::RestoreLayout() {
  QSettings settings(kSettingsCompany, kSettingsProgram);
  const QByteArray geometry = settings.value("Layout/geometry").toByteArray();
  const QByteArray state = settings.value("Layout/state").toByteArray();
  if (!geometry.isEmpty()) restoreGeometry(geometry);
  if (!state.isEmpty()) restoreState(state);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  // The application runs the shutdown once the event loop is over.
  event->accept();
}

}  // namespace quorvel
