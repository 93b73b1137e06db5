#include <gtest/gtest.h>

#include <QAction>
#include <QDockWidget>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <string>
#include <vector>

#include "app/controller_select_pane.h"
#include "app/day_night_gradient.h"
#include "app/orvo_view.h"
#include "gui_rig.h"
#include "views/device_setup/wnd_device_controls.h"
#include "views/event_editors/wnd_logic_events.h"
#include "views/event_editors/wnd_time_events.h"
#include "views/link_views/device_list_pane.h"
#include "views/link_views/wnd_controlers.h"
#include "views/log_views/output_pane.h"

namespace quorvel {
namespace {

using testing::GuiRig;

// A menu's entries as texts, "-" for a separator and "name>" for a submenu.
std::vector<std::string> Entries(QMenu* menu) {
  std::vector<std::string> out;
  for (QAction* a : menu->actions()) {
    if (a->isSeparator()) {
      out.push_back("-");
    } else {
      out.push_back(a->text().toStdString() + (a->menu() != nullptr ? ">" : ""));
    }
  }
  return out;
}

QMenu* Submenu(QMenu* menu, const char* text) {
  for (QAction* a : menu->actions())
    if (a->menu() != nullptr && a->text() == QString::fromLatin1(text)) return a->menu();
  return nullptr;
}

QMenu* TopMenu(CMainFrame& frame, const char* text) {
  for (QAction* a : frame.menuBar()->actions())
    if (a->text() == QString::fromLatin1(text)) return a->menu();
  return nullptr;
}

void ReleaseOverTab(QTabWidget* tabs, int tab) {
  QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, Qt::NoModifier, tabs->tabBar()->tabRect(tab).center());
}

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override { testing::ClearSettings(); }
};

TEST_F(MainWindow, MenusHoldTheirCommandsInOrder) {
  GuiRig rig;
  rig.Start();
  CMainFrame& f = rig.Frame();
  EXPECT_EQ(f.windowTitle(), QStringLiteral("Orvo-PLM"));
  std::vector<std::string> titles;
  for (QAction* a : f.menuBar()->actions()) titles.push_back(a->text().toStdString());
  EXPECT_EQ(titles, (std::vector<std::string>{"&File", "&Edit", "&View", "&Tools", "&Help"}));

  struct Case {
    const char* menu;
    std::vector<std::string> entries;
  };
  const Case cases[] = {
      {"&File",
       {"New device", "Save, HINT: Auto save is on.", "&Print...\tCtrl+P", "Print Pre&view", "P&rint Setup...", "-",
        "Recent File", "-", "E&xit"}},
      {"&Edit", {"&Undo\tCtrl+Z", "-", "Cu&t\tCtrl+X", "&Copy\tCtrl+C", "&Paste\tCtrl+V"}},
      {"&View", {"&Toolbars and Docking Windows>", "&Status Bar", "&Application Look>"}},
      {"&Tools", {"&Options", "&Link Watch", "-", "&About Orvo..."}},
      {"&Help", {"&Help Topics", "-", "&About Orvo..."}},
  };
  for (const Case& c : cases) {
    QMenu* menu = TopMenu(f, c.menu);
    ASSERT_NE(menu, nullptr) << c.menu;
    EXPECT_EQ(Entries(menu), c.entries) << c.menu;
  }
  QMenu* look = Submenu(TopMenu(f, "&View"), "&Application Look");
  ASSERT_NE(look, nullptr);
  EXPECT_EQ(Entries(look), (std::vector<std::string>{"Windows &2000", "Office &XP", "&Windows XP", "Office 200&3",
                                                      "Visual Studio.NET 200&5", "Office 200&7>"}));
  EXPECT_EQ(Entries(Submenu(look, "Office 200&7")),
            (std::vector<std::string>{"&Blue Style", "B&lack Style", "&Silver Style", "&Aqua Style"}));
  std::vector<std::string> panes = Entries(Submenu(TopMenu(f, "&View"), "&Toolbars and Docking Windows"));
  for (const char* name : {"Standard", "Device List / Computer Groups", "Output", "Controller Select", "Customize..."})
    EXPECT_NE(std::find(panes.begin(), panes.end(), name), panes.end()) << name;
}

TEST_F(MainWindow, CommandsCarryTheirPromptsAndUnbuiltOnesAreDisabled) {
  GuiRig rig;
  rig.Start();
  CMainFrame& f = rig.Frame();
  struct Case {
    int id;
    const char* status;
    const char* tip;
  };
  const Case prompts[] = {
      {57600, "Define new Insteon device ID", "New Insteon Device"},
      {57603, "Save All Configurations to disk", "Save"},
      {135, "Setup Options.", "Setup"},
      {32777, "View / Repair broken links between Device - Controller.", "Link Watch"},
      {33000, "Status for connection to PLM.", "Connection"},
  };
  for (const Case& c : prompts) {
    QAction* a = f.Command(c.id);
    ASSERT_NE(a, nullptr) << c.id;
    EXPECT_EQ(a->statusTip().toStdString(), c.status);
    EXPECT_EQ(a->toolTip().toStdString(), c.tip);
  }
  for (int id : {57600, 57603, 57665, 57643, 57635, 57634, 57637, 59393, 135, 57664, 57667, 57669, 210, 218, 6829})
    EXPECT_TRUE(f.Command(id)->isEnabled()) << id;
  for (int id : {57607, 57609, 57606, 32777, 126})
    EXPECT_FALSE(f.Command(id)->isEnabled()) << id << " has no window yet";
}

TEST_F(MainWindow, ToolbarsStatusBarPanesAndTabs) {
  GuiRig rig;
  rig.Start();
  CMainFrame& f = rig.Frame();
  std::vector<int> buttons;
  for (QAction* a : f.StandardToolBar()->actions())
    buttons.push_back(a->isSeparator() ? 0 : a->property("commandId").toInt());
  EXPECT_EQ(buttons, (std::vector<int>{57600, 57603, 57607, 57634, 57637, 57664, 57669, 0, 135, 33000, 32777}));
  EXPECT_EQ(f.StandardToolBar()->windowTitle(), QStringLiteral("Standard"));
  ASSERT_EQ(f.WidgetsToolBar()->actions().size(), 1);
  EXPECT_EQ(f.WidgetsToolBar()->actions()[0]->property("commandId").toInt(), 6829);
  for (const char* name : {"CAP", "NUM", "SCRL"}) {
    auto* pane = f.statusBar()->findChild<QLabel*>(QString::fromLatin1(name));
    ASSERT_NE(pane, nullptr) << name;
    EXPECT_EQ(pane->text().toStdString(), name);
  }

  struct Pane {
    QDockWidget* pane;
    const char* caption;
    int id;
    Qt::DockWidgetArea area;
    bool visible;
  };
  const Pane panes[] = {
      {f.DeviceListPane(), "Device List / Computer Groups", 133, Qt::LeftDockWidgetArea, true},
      {f.OutputPane(), "Output", 149, Qt::BottomDockWidgetArea, true},
      {f.ControllerSelectPane(), "Controller Select", 351, Qt::RightDockWidgetArea, false},
  };
  for (const Pane& p : panes) {
    ASSERT_NE(p.pane, nullptr) << p.caption;
    EXPECT_EQ(p.pane->windowTitle().toStdString(), p.caption);
    EXPECT_EQ(p.pane->property("controlId").toInt(), p.id);
    EXPECT_EQ(f.dockWidgetArea(p.pane), p.area) << p.caption;
    EXPECT_EQ(!p.pane->isHidden(), p.visible) << p.caption;
    EXPECT_TRUE(p.pane->features() & QDockWidget::DockWidgetFloatable);
    EXPECT_TRUE(p.pane->features() & QDockWidget::DockWidgetClosable);
  }
  CCListCtrlControlers* controllers = f.ControllerSelectPane()->List();
  EXPECT_EQ(controllers->horizontalHeaderItem(0)->text(), QStringLiteral("Inteon ID"));
  EXPECT_EQ(controllers->horizontalHeaderItem(1)->text(), QStringLiteral("Controller Type"));
  EXPECT_EQ(controllers->property("controlId").toInt(), 645);
  EXPECT_EQ(CDPaneControlerSelect::ListRect(QSize(240, 480)), QRect(3, 3, 234, 454));

  QTabWidget* tabs = rig.app->View()->Tabs();
  EXPECT_EQ(tabs->tabPosition(), QTabWidget::South);
  struct Tab {
    const char* caption;
    const char* window;
    int id;
  };
  const Tab expected[] = {{"Device Setup", "Device", 5365},
                          {"Controller Setup", "Link To Controller", 5368},
                          {"Time Events", "Time Events", 5369},
                          {"Logic Events", "Logic Events", 5370}};
  ASSERT_EQ(tabs->count(), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(tabs->tabText(i).toStdString(), expected[i].caption);
    EXPECT_EQ(tabs->widget(i)->objectName().toStdString(), expected[i].window);
    EXPECT_EQ(tabs->widget(i)->property("controlId").toInt(), expected[i].id);
  }
  EXPECT_EQ(tabs->currentIndex(), 0);
  WindowRefs& refs = rig.app->Refs();
  EXPECT_EQ(refs.frame, &f);
  EXPECT_EQ(refs.viewTabs, tabs);
  EXPECT_EQ(static_cast<QWidget*>(refs.deviceSetup), tabs->widget(0));
  EXPECT_EQ(static_cast<QWidget*>(refs.controllers), tabs->widget(1));
  EXPECT_EQ(static_cast<QWidget*>(refs.timeEvents), tabs->widget(2));
  EXPECT_EQ(static_cast<QWidget*>(refs.logicEvents), tabs->widget(3));
  EXPECT_EQ(rig.app->View()->Timer().interval(), 160);
  EXPECT_TRUE(rig.app->View()->Timer().isActive());
}

TEST_F(MainWindow, TabsShowTheControllerPaneOnlyForControllerSetup) {
  GuiRig rig;
  rig.Start(true);
  CMainFrame& f = rig.Frame();
  QTabWidget* tabs = rig.app->View()->Tabs();
  ReleaseOverTab(tabs, 1);
  EXPECT_EQ(tabs->currentIndex(), 1);
  EXPECT_FALSE(f.ControllerSelectPane()->isHidden());
  EXPECT_FALSE(f.DeviceListPane()->isHidden());
  ReleaseOverTab(tabs, 2);
  EXPECT_TRUE(f.ControllerSelectPane()->isHidden());
  EXPECT_FALSE(f.DeviceListPane()->isHidden());

  // "New device" from the logic events goes back to the device setup.
  int rootSelected = 0;
  rig.app->View()->treeSelectRoot = [&] { ++rootSelected; };
  ReleaseOverTab(tabs, 3);
  f.Command(kCmdNewDevice)->trigger();
  EXPECT_EQ(tabs->currentIndex(), 0);
  EXPECT_EQ(rootSelected, 1);
  EXPECT_TRUE(f.ControllerSelectPane()->isHidden());
}

TEST_F(MainWindow, ConnectionIndicatorFollowsThePort) {
  GuiRig rig;
  rig.Start();
  CMainFrame& f = rig.Frame();
  EXPECT_EQ(f.ConnectionImage(), kDisconnectedImage);
  rig.notifier.ConnectionChanged(true, 3);
  EXPECT_EQ(f.ConnectionImage(), 10);
  EXPECT_EQ(f.Command(kCmdConnection)->property("image").toInt(), 10);
  f.SetConnectionIndicator(false);
  EXPECT_EQ(f.ConnectionImage(), 12);
  EXPECT_EQ(f.Command(kCmdConnection)->property("image").toInt(), 12);
}

TEST_F(MainWindow, ApplicationLookDefaultsToAquaAndIsStored) {
  {
    GuiRig rig;
    rig.Start();
    EXPECT_EQ(rig.Frame().ApplicationLook(), 218);
    EXPECT_TRUE(rig.Frame().Command(218)->isChecked());
    rig.Frame().Command(216)->trigger();
    EXPECT_EQ(rig.Frame().ApplicationLook(), 216);
    EXPECT_TRUE(rig.Frame().Command(216)->isChecked());
    EXPECT_FALSE(rig.Frame().Command(218)->isChecked());
    EXPECT_EQ(QSettings(kSettingsCompany, kSettingsProgram).value(kApplicationLookKey).toInt(), 216);
  }
  GuiRig again;
  again.Start();
  EXPECT_EQ(again.Frame().ApplicationLook(), 216);
  again.Frame().Command(218)->trigger();
}

TEST_F(MainWindow, WaitWindowFollowsTheEngine) {
  GuiRig rig;
  rig.Start();
  CMainFrame& f = rig.Frame();
  WaitWindow& wait = rig.ctx->engine.wait;
  wait.open = true;
  wait.text = "Linking Inteon Device... \n1a.2b.3c, Group 1 \n\n\t Please wait...";
  f.SyncWaitWindow();
  QWidget* window = f.WaitWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Insteon Device Linker"));
  EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("WaitText"))->text().toStdString(), wait.text);
  auto* cancel = window->findChild<QPushButton*>(QStringLiteral("WaitCancel"));
  ASSERT_NE(cancel, nullptr);
  EXPECT_EQ(cancel->text(), QStringLiteral(" Cancel"));
  cancel->click();
  EXPECT_TRUE(wait.cancelPressed);
  f.SyncWaitWindow();
  EXPECT_EQ(f.WaitWindow(), window) << "an open window is kept, not made again";
  wait.open = false;
  f.SyncWaitWindow();
  EXPECT_EQ(f.WaitWindow(), nullptr);
}

TEST(DayNightGradient, NightFromTheSunsetHourToTheSunriseHour) {
  SunTimes sun;
  sun.sunriseHour = 6;
  sun.sunsetHour = 18;
  struct Case {
    int hour;
    bool night;
  };
  const Case cases[] = {{19, true}, {12, false}, {18, true}, {17, false}, {6, false}, {5, true}, {0, true}};
  for (const Case& c : cases) {
    EXPECT_EQ(IsNightHour(c.hour, sun), c.night) << c.hour;
    EXPECT_EQ(DayNightBottomColor(c.hour, sun), c.night ? QColor(85, 102, 119) : QColor(238, 238, 238)) << c.hour;
  }
}

TEST(DayNightGradient, PaintsFromTheTopColourToTheBottomOfTheHour) {
  for (const auto& [hour, bottom] : {std::pair{19, QColor(85, 102, 119)}, std::pair{12, QColor(238, 238, 238)}}) {
    GuiRig rig;
    rig.ctx->sun.sunriseHour = 6;
    rig.ctx->sun.sunsetHour = 18;
    rig.clock.Set(1300000000 - 1300000000 % 86400 + hour * 3600);
    QImage image(8, 200, QImage::Format_RGB32);
    QPainter painter(&image);
    FillDayNightGradient(image.rect(), painter, *rig.ctx);
    painter.end();
    EXPECT_EQ(image.pixelColor(4, 0), QColor(136, 187, 238)) << hour;
    const QColor last = image.pixelColor(4, 199);
    EXPECT_NEAR(last.red(), bottom.red(), 2) << hour;
    EXPECT_NEAR(last.green(), bottom.green(), 2) << hour;
    EXPECT_NEAR(last.blue(), bottom.blue(), 2) << hour;
  }
}

TEST_F(MainWindow, FirstAndSecondStartThroughTheRealStartUp) {
  testing::MemoryFileSystem disk;
  {
    GuiRig first(&disk);
    first.Start();
    const OptionsRecord& o = first.ctx->options;
    EXPECT_EQ(o.runFlags, 0x1F);
    EXPECT_EQ(o.initMarker, 1955u);
    EXPECT_EQ(o.timeZone, -6);
    EXPECT_EQ(o.timeZoneIndex, 6);
    EXPECT_EQ(std::string(o.latitude), "44:96");
    EXPECT_EQ(std::string(o.longitude), "-93:10");
  }
  GuiRig second(&disk);
  second.Start();
  EXPECT_EQ(second.ctx->options.runFlags, 0xFF);
}

TEST_F(MainWindow, ShutdownClosesThePortThenSavesAndStoresTheLayout) {
  struct Case {
    bool merged;
    uint8_t written;
  };
  const Case cases[] = {{true, kAllConfigFiles}, {false, kAllConfigFiles & ~kDataFile}};
  for (const Case& c : cases) {
    testing::ClearSettings();
    GuiRig rig;
    rig.port.AllowPort(1);
    rig.Start();
    ASSERT_TRUE(rig.port.Open(1));
    if (c.merged) rig.ctx->db.dbFlags |= kDbMerged;
    const SaveResult saved = rig.app->Shutdown();
    EXPECT_FALSE(rig.port.IsOpen());
    EXPECT_EQ(saved.written, c.written) << "merged " << c.merged;
    EXPECT_EQ(saved.dataGated, !c.merged);
    const char* names[] = {kOptionsFileName, kDataFileName, kEventsFileName, kGroupsFileName, kWidgetsFileName};
    const uint8_t bits[] = {kOptionsFile, kDataFile, kEventsFile, kGroupsFile, kWidgetsFile};
    for (int i = 0; i < 5; ++i)
      EXPECT_EQ(rig.files->Exists(rig.ConfigPath(names[i])), (c.written & bits[i]) != 0) << names[i];
    EXPECT_FALSE(rig.ctx->configFiles.saveLogEnabled);
    EXPECT_FALSE(QSettings(kSettingsCompany, kSettingsProgram).value("Layout/state").toByteArray().isEmpty());
    EXPECT_EQ(rig.app->Refs().frame, nullptr);
    const int steps = rig.files->StepsDone();
    rig.app->Shutdown();
    EXPECT_EQ(rig.files->StepsDone(), steps) << "a second shutdown saves nothing more";
  }
}

}  // namespace
}  // namespace quorvel
