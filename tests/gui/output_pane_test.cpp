#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QListWidget>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <string>
#include <vector>

#include "app/main_frame.h"
#include "device/device_catalogue.h"
#include "gui_rig.h"
#include "support/test_rig.h"
#include "views/log_views/output_pane.h"
#include "views/log_views/trace_list_view.h"

namespace quorvel {
namespace {

// A trace list shown at a known size, over a list of its own.
struct ShownList {
  explicit ShownList(int height = 200) : view(list) {
    QFont font = OutputPaneFont();
    // Solid glyphs, so a row's colour can be read from its pixels.
    font.setStyleStrategy(QFont::NoAntialias);
    view.setFont(font);
    view.resize(400, height);
    view.show();
    QCoreApplication::processEvents();
  }
  QImage Shot() {
    QCoreApplication::processEvents();
    return view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  }
  // Whether any pixel of a row has the colour.
  bool RowHas(const QImage& shot, int row, QColor color) {
    const int lh = view.LineHeight();
    for (int y = (row - list.TopRow()) * lh; y < (row - list.TopRow() + 1) * lh && y < shot.height(); ++y)
      for (int x = 0; x < shot.width(); ++x)
        if (shot.pixelColor(x, y) == color) return true;
    return false;
  }
  TraceList list{LogChannel::GeneralActivity};
  CTraceList view;
};

void ClickRow(CTraceList& view, int row) {
  const int y = (row - view.Model().TopRow()) * view.LineHeight() + view.LineHeight() / 2;
  QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(30, y));
}

void Trigger(CTraceList& view, const char* text) {
  for (QAction* a : view.ContextMenu()->actions())
    if (a->text() == QString::fromLatin1(text)) return a->trigger();
  ADD_FAILURE() << "no menu entry " << text;
}

TEST(TraceListView, RowsAreDrawnInTheirEntrysColour) {
  ShownList s;
  s.list.AddEntry(TraceComment("black comment line"));
  s.list.AddEntry(TraceCommentOn("green on line"));
  s.list.AddEntry(TraceCommentOff("dark red off line"));
  s.list.AddEntry(TraceData("navy \x01 data line"));
  s.view.OnAdded(false);
  const QImage shot = s.Shot();
  const QColor colours[] = {QColor(0, 0, 0), QColor(0, 136, 0), QColor(136, 0, 0), QColor(0, 0, 128)};
  for (int row = 0; row < 4; ++row) {
    for (int other = 0; other < 4; ++other)
      EXPECT_EQ(s.RowHas(shot, row, colours[other]), row == other) << "row " << row << " colour " << other;
  }
}

TEST(TraceListView, SelectedRowsUseTheHighlightWithFocusAndTheButtonFaceWithout) {
  ShownList s;
  for (int i = 0; i < 3; ++i) s.list.AddEntry(TraceCommentOn("line " + std::to_string(i)));
  s.view.OnAdded(false);
  ClickRow(s.view, 1);
  ASSERT_EQ(s.list.SelectedRows(), std::vector<int>{1});
  const QPalette& pal = s.view.palette();
  s.view.setFocus();
  QImage shot = s.Shot();
  if (s.view.hasFocus()) {
    EXPECT_TRUE(s.RowHas(shot, 1, pal.color(QPalette::Highlight)));
    EXPECT_FALSE(s.RowHas(shot, 1, QColor(0, 136, 0))) << "a selected row is written in the highlight text colour";
  }
  s.view.clearFocus();
  shot = s.Shot();
  EXPECT_TRUE(s.RowHas(shot, 1, pal.color(QPalette::Button)));
  EXPECT_TRUE(s.RowHas(shot, 0, QColor(0, 136, 0)));
}

TEST(TraceListView, ClicksToggleRowsAndTheMenuCopiesThemInRowOrder) {
  ShownList s;
  for (int i = 0; i < 5; ++i) s.list.AddEntry(TraceComment("row " + std::to_string(i)));
  s.list.AddEntry(TraceData("raw\tbyte"));
  s.view.OnAdded(false);

  ClickRow(s.view, 3);
  ClickRow(s.view, 1);
  ClickRow(s.view, 5);
  ClickRow(s.view, 4);
  ClickRow(s.view, 4);  // a second click on a row takes it out again
  EXPECT_EQ(s.list.SelectedRows(), (std::vector<int>{1, 3, 5}));

  QGuiApplication::clipboard()->setText(QStringLiteral("previous"));
  Trigger(s.view, kCopySelectedText);
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "row 1\r\nrow 3\r\nraw\\tbyte\r\n");

  Trigger(s.view, kUnSelectAllText);
  EXPECT_TRUE(s.list.SelectedRows().empty());
  Trigger(s.view, kCopySelectedText);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QString()) << "nothing selected copies an empty text";

  Trigger(s.view, kSelectAllText);
  EXPECT_EQ(s.list.SelectedRows().size(), 6u);
  EXPECT_TRUE(s.view.updatesEnabled() && s.view.viewport()->updatesEnabled());

  std::vector<std::string> entries;
  for (QAction* a : s.view.ContextMenu()->actions()) entries.push_back(a->text().toStdString());
  EXPECT_EQ(entries, (std::vector<std::string>{"Select All", "Copy Selected", "UnSelect All"}));
}

TEST(TraceListView, CtrlCCopiesTheSelectedRowsAndCtrlASelectsThemAll) {
  // A list of its own, as in a floating pane: the keys work without the main window.
  ShownList s;
  for (int i = 0; i < 4; ++i) s.list.AddEntry(TraceComment("row " + std::to_string(i)));
  s.view.OnAdded(false);
  s.list.SetSelected(2, true);
  s.list.SetSelected(0, true);
  QGuiApplication::clipboard()->setText(QStringLiteral("previous"));
  QTest::keyClick(&s.view, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "row 0\r\nrow 2\r\n");
  QTest::keyClick(&s.view, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(s.list.SelectedRows(), (std::vector<int>{0, 1, 2, 3}));
}

TEST(OutputPane, CtrlCInALogTabCopiesItsRowsInTheWindow) {
  testing::GuiRig rig;
  rig.Start(true);
  CMainFrame& f = rig.Frame();
  f.activateWindow();
  QCoreApplication::processEvents();
  if (QApplication::activeWindow() != &f) QApplication::setActiveWindow(&f);
  for (const char* text : {"first line here", "second line here", "third line here"}) rig.ctx->log.LogActivity(text);
  CTraceList* list = f.OutputPane()->TraceView(LogChannel::GeneralActivity);
  list->Model().SetSelected(1, true);
  list->Model().SetSelected(2, true);
  list->setFocus(Qt::MouseFocusReason);
  QCoreApplication::processEvents();
  ASSERT_TRUE(list->hasFocus());
  QGuiApplication::clipboard()->setText(QStringLiteral("previous"));
  // The window's Edit > Copy has the same key: the list that has the keyboard copies, once.
  QSignalSpy editCopy(f.Command(kCmdCopy), &QAction::triggered);
  QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
  const std::string copied = QGuiApplication::clipboard()->text().toStdString();
  EXPECT_EQ(copied, list->Model().Row(1).Text() + "\r\n" + list->Model().Row(2).Text() + "\r\n");
  EXPECT_NE(copied.find("second line here"), std::string::npos);
  EXPECT_EQ(editCopy.count(), 0);
}

TEST(TraceListView, FollowsTheEndOnlyWhileTheLastRowIsInView) {
  ShownList s(100);
  const int perPage = s.view.viewport()->height() / s.view.LineHeight();
  ASSERT_GT(perPage, 1);
  for (int i = 0; i < 3 * perPage; ++i) {
    s.list.AddEntry(TraceComment("line " + std::to_string(i)));
    s.view.OnAdded(false);
  }
  QCoreApplication::processEvents();
  const int last = s.list.Count() - 1;
  EXPECT_EQ(s.list.TopRow(), last - perPage + 1) << "the newest row sits at the bottom";
  EXPECT_EQ(s.view.verticalScrollBar()->value(), s.list.TopRow());

  // The user scrolls up to read: new lines leave the view where it is.
  s.view.verticalScrollBar()->setValue(2);
  EXPECT_EQ(s.list.TopRow(), 2);
  s.list.AddEntry(TraceComment("while reading"));
  s.view.OnAdded(false);
  QCoreApplication::processEvents();
  EXPECT_EQ(s.list.TopRow(), 2);
  EXPECT_EQ(s.view.verticalScrollBar()->value(), 2);
}

TEST(TraceListView, HorizontalExtentGrowsWithRowsAndShrinksWhenTheWidestGoes) {
  ShownList s;
  s.list.SetMaxEntries(20);
  const QFontMetrics fm(s.view.font());
  s.list.AddEntry(TraceComment("first"));
  s.view.OnAdded(false);
  const std::string wide(120, 'W');
  s.list.AddEntry(TraceComment(wide));
  s.view.OnAdded(false);
  const int indent = fm.horizontalAdvance(QStringLiteral("0000000 "));
  EXPECT_EQ(s.view.TextIndent(), indent);
  EXPECT_EQ(s.view.HorizontalExtent(), indent + fm.horizontalAdvance(QString::fromStdString(wide)));
  EXPECT_GT(s.view.horizontalScrollBar()->maximum(), 0);

  // Overflow pushes the wide row (row 1) out: the extent is measured again.
  bool trimmed = false;
  for (int i = 0; i < 20 && !trimmed; ++i) {
    const long long before = s.list.RemovedCount();
    s.list.AddEntry(TraceComment("short " + std::to_string(i)));
    trimmed = s.list.RemovedCount() != before;
    s.view.OnAdded(trimmed);
  }
  ASSERT_TRUE(trimmed);
  int widest = 0;
  for (int i = 0; i < s.list.Count(); ++i)
    widest = std::max(widest, indent + fm.horizontalAdvance(QString::fromStdString(s.list.Row(i).Text())));
  EXPECT_EQ(s.view.HorizontalExtent(), widest);
  EXPECT_LT(widest, indent + fm.horizontalAdvance(QString::fromStdString(wide)));

  s.list.Clear();
  s.view.OnCleared();
  EXPECT_EQ(s.view.HorizontalExtent(), 0);
}

struct PaneRig {
  PaneRig() : pane(rig->log) {
    pane.resize(600, 300);
    pane.show();
    QCoreApplication::processEvents();
  }
  testing::TestRig rig;
  CDPaneOutputWnd pane;
};

TEST(OutputPane, HasFiveTabsAlongTheBottomInChannelOrder) {
  PaneRig r;
  EXPECT_EQ(r.pane.windowTitle(), QStringLiteral("Output"));
  QTabWidget* tabs = r.pane.Tabs();
  EXPECT_EQ(tabs->tabPosition(), QTabWidget::South);
  const char* captions[] = {"General Activity", "Insteon Traffic", "Qued for Activity", "On Log", "Link Report"};
  ASSERT_EQ(tabs->count(), 5);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(tabs->tabText(i).toStdString(), captions[i]);
    EXPECT_EQ(tabs->widget(i)->property("controlId").toInt(), i + 2);
    const QFont f = tabs->widget(i)->font();
    EXPECT_EQ(f.family(), QStringLiteral("Times New Roman"));
    EXPECT_EQ(f.pixelSize(), 14);
    EXPECT_TRUE(f.fixedPitch());
    EXPECT_EQ(f.weight(), QFont::Normal);
  }
  EXPECT_EQ(tabs->widget(2), r.pane.QueuedView());
  EXPECT_EQ(r.pane.TraceView(LogChannel::QuedForActivity), nullptr);
  for (LogChannel c : {LogChannel::GeneralActivity, LogChannel::InsteonTraffic, LogChannel::OnLog,
                       LogChannel::LinkReport}) {
    ASSERT_NE(r.pane.TraceView(c), nullptr);
    EXPECT_EQ(r.pane.TraceView(c)->Model().MaxEntries(), 1000);
    EXPECT_EQ(&r.pane.TraceView(c)->Model(), &r.rig->log.List(c));
  }
}

TEST(OutputPane, ChannelLinesReachTheirTabs) {
  PaneRig r;
  ActivityLog& log = r.rig->log;
  log.LogActivity("abcd");
  log.LogActivity("Serial Port On 1 : Open");
  log.LogTraffic("02 60");
  log.LogOnEvent("Kitchen ON");
  log.LogLinkReport("report line");
  QCoreApplication::processEvents();
  EXPECT_EQ(r.pane.TraceView(LogChannel::GeneralActivity)->Model().Count(), 1) << "a text under 5 characters is dropped";
  EXPECT_EQ(r.pane.TraceView(LogChannel::InsteonTraffic)->Model().Count(), 1);
  EXPECT_EQ(r.pane.TraceView(LogChannel::OnLog)->Model().Count(), 1);
  EXPECT_EQ(r.pane.TraceView(LogChannel::LinkReport)->Model().Count(), 1);

  // Queued rows carry the device's id as their row value; a clear empties the list.
  DeviceDatabase& db = r.rig->db;
  db.count = 1;
  db[0].id = InsteonId{{0x1A, 0x2B, 0x3C}};
  db[0].linkFlags = 0xA2;
  log.AddQueuedLine("held ON", InsteonId{{0x1A, 0x2B, 0x3C}}, db);
  log.AddQueuedLine("no such device", InsteonId{{0x99, 0x99, 0x99}}, db);
  QListWidget* queued = r.pane.QueuedView();
  ASSERT_EQ(queued->count(), 1);
  EXPECT_EQ(queued->item(0)->text(), QStringLiteral("held ON"));
  EXPECT_EQ(queued->item(0)->data(Qt::UserRole).toUInt(), 0x1A2B3Cu);
  log.ClearQueued();
  EXPECT_EQ(queued->count(), 0);

  log.ClearActivity();
  EXPECT_EQ(r.pane.TraceView(LogChannel::GeneralActivity)->Model().Count(), 0);
}

TEST(OutputPane, ReleasingOverLinkReportAsksForAFreshReport) {
  PaneRig r;
  int asked = 0;
  r.pane.linkReportRequested = [&] { ++asked; };
  QTabBar* bar = r.pane.Tabs()->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(3).center());
  EXPECT_EQ(r.pane.Tabs()->currentIndex(), 3);
  EXPECT_EQ(asked, 0) << "On Log only switches tabs";
  QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(4).center());
  EXPECT_EQ(r.pane.Tabs()->currentIndex(), 4);
  EXPECT_EQ(asked, 1);
}

TEST(OutputPane, TheListFollowsTheLimitAndItsNotice) {
  PaneRig r;
  ActivityLog& log = r.rig->log;
  for (int i = 0; i < 1002; ++i) log.LogActivity("entry number " + std::to_string(i));
  QCoreApplication::processEvents();
  CTraceList* view = r.pane.TraceView(LogChannel::GeneralActivity);
  ASSERT_EQ(view->Model().Count(), 1000);
  EXPECT_NE(view->Model().Row(0).text.find("entry number 0"), std::string::npos);
  EXPECT_EQ(view->Model().Row(1).text, "Entries have been deleted from log (3)");
  EXPECT_EQ(view->verticalScrollBar()->value(), view->Model().TopRow());
  EXPECT_GT(view->Model().TopRow(), 900) << "a list at its end follows the newest line";
}

}  // namespace
}  // namespace quorvel
