// The window as a desktop user meets it: every key a menu shows does what the
// menu does, the desktop's own keys (save, quit, help) work, the log reads in
// every look and disabled commands look disabled, and the windows that open
// over the main window open centred on it.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTextBrowser>
#include <algorithm>
#include <string>
#include <vector>

#include "app/help_window.h"
#include "app/orvo_view.h"
#include "gui_rig.h"
#include "log/text_contrast.h"
#include "views/log_views/output_pane.h"
#include "views/log_views/trace_list_view.h"

namespace quorvel {
namespace {

using testing::GuiRig;

TraceColor Rgb(const QColor& c) {
  return {static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()), static_cast<uint8_t>(c.blue())};
}

// The window shown and active, with the keyboard on the view, as after a click
// into it: where the window's shortcuts apply.
void Activate(CMainFrame& frame, GuiRig& rig) {
  frame.show();
  frame.activateWindow();
  QApplication::processEvents();
  if (QApplication::activeWindow() != &frame) QApplication::setActiveWindow(&frame);
  ASSERT_EQ(QApplication::activeWindow(), &frame);
  rig.app->View()->setFocus(Qt::OtherFocusReason);
  QApplication::processEvents();
}

void AllActions(QMenu* menu, std::vector<QAction*>& out) {
  for (QAction* a : menu->actions()) {
    if (a->menu() != nullptr) {
      AllActions(a->menu(), out);
    } else if (!a->isSeparator()) {
      out.push_back(a);
    }
  }
}

class WindowKeys : public ::testing::Test {
 protected:
  void SetUp() override { testing::ClearSettings(); }
};

TEST_F(WindowKeys, EveryShortcutAMenuShowsTriggersItsCommand) {
  GuiRig rig;
  rig.Start(true);
  CMainFrame& f = rig.Frame();
  Activate(f, rig);
  std::vector<QAction*> actions;
  for (QAction* top : f.menuBar()->actions()) AllActions(top->menu(), actions);

  std::vector<std::string> shown;
  for (QAction* a : actions) {
    const QString text = a->text();
    const qsizetype tab = text.indexOf(QLatin1Char('\t'));
    if (tab < 0) continue;
    const QKeySequence key(text.mid(tab + 1), QKeySequence::PortableText);
    shown.push_back(key.toString(QKeySequence::PortableText).toStdString());
    SCOPED_TRACE(text.toStdString());
    EXPECT_TRUE(a->shortcuts().contains(key)) << "the key the menu shows is bound";
    QSignalSpy triggered(a, &QAction::triggered);
    QTest::keySequence(&f, key);
    // Printing is not built: its command is greyed and its key does nothing.
    EXPECT_EQ(triggered.count(), a->isEnabled() ? 1 : 0);
  }
  EXPECT_EQ(shown, (std::vector<std::string>{"Ctrl+P", "Ctrl+Z", "Ctrl+X", "Ctrl+C", "Ctrl+V"}));
  // The menu texts stay as they are; only the keys were added.
  EXPECT_EQ(f.Command(kCmdSave)->text(), QStringLiteral("Save, HINT: Auto save is on."));
  EXPECT_EQ(f.Command(kCmdExit)->text(), QStringLiteral("E&xit"));
}

TEST_F(WindowKeys, EditKeysStillReachTheControlThatHasTheKeyboard) {
  GuiRig rig;
  rig.Start(true);
  CMainFrame& f = rig.Frame();
  Activate(f, rig);
  // A table in one of the tab windows copies its current cell on Ctrl+C, as it
  // would if the window did not bind the key, and so does Edit > Copy.
  auto* table = new QTableWidget(2, 2, rig.app->View());
  table->setItem(1, 0, new QTableWidgetItem(QStringLiteral("cell text")));
  table->setCurrentCell(1, 0);
  table->show();
  table->setFocus(Qt::OtherFocusReason);
  QApplication::processEvents();
  ASSERT_TRUE(table->hasFocus());
  QGuiApplication::clipboard()->setText(QStringLiteral("previous"));
  QTest::keySequence(&f, QKeySequence(QStringLiteral("Ctrl+C")));
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("cell text"));
  QGuiApplication::clipboard()->setText(QStringLiteral("previous"));
  f.Command(kCmdCopy)->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("cell text"));
}

TEST_F(WindowKeys, TheDesktopsKeysSaveQuitAndOpenTheHelp) {
  struct Case {
    const char* key;
    int command;
  };
  const Case cases[] = {{"Ctrl+S", kCmdSave}, {"Ctrl+Q", kCmdExit}, {"F1", kCmdHelpTopics}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    GuiRig rig;
    rig.Start(true);
    CMainFrame& f = rig.Frame();
    int saves = 0;
    f.saveCommand = [&] { ++saves; };
    Activate(f, rig);
    QSignalSpy triggered(f.Command(c.command), &QAction::triggered);
    QTest::keySequence(&f, QKeySequence(QString::fromLatin1(c.key)));
    QApplication::processEvents();
    EXPECT_EQ(triggered.count(), 1);
    switch (c.command) {
      case kCmdSave:
        EXPECT_EQ(saves, 1);
        break;
      case kCmdExit:
        EXPECT_FALSE(f.isVisible()) << "the main window closed";
        break;
      case kCmdHelpTopics:
        ASSERT_NE(f.HelpWindow(), nullptr);
        EXPECT_TRUE(f.HelpWindow()->isVisible());
        break;
    }
  }
}

TEST_F(WindowKeys, TheHelpPageDescribesTheWindowAndOpensCentredOnIt) {
  GuiRig rig;
  rig.Start(true);
  CMainFrame& f = rig.Frame();
  f.setGeometry(120, 80, 1000, 700);
  f.Command(kCmdHelpTopics)->trigger();
  CHelpWindow* help = f.HelpWindow();
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(help->windowTitle(), QStringLiteral("Orvo-PLM Help"));
  ASSERT_TRUE(help->PageLoaded()) << "the page is built into the program";
  const QString page = help->Browser()->toPlainText();
  for (const char* part : {"Device List / Computer Groups", "General Activity", "Setup dialog", "Ctrl+Q", "F1",
                           "--serial", "dialout", "Save, HINT: Auto save is on."})
    EXPECT_TRUE(page.contains(QString::fromLatin1(part))) << part;
  EXPECT_LE((help->frameGeometry().center() - f.frameGeometry().center()).manhattanLength(), 4);
  // The toolbar's help button opens the same window again.
  help->close();
  f.Command(kCmdContextHelp)->trigger();
  EXPECT_EQ(f.HelpWindow(), help);
  EXPECT_TRUE(help->isVisible());
}

TEST_F(WindowKeys, TheWaitWindowOpensCentredOnTheMainWindow) {
  GuiRig rig;
  rig.Start(true);
  CMainFrame& f = rig.Frame();
  for (const QRect& where : {QRect(0, 0, 900, 600), QRect(300, 200, 700, 500)}) {
    f.setGeometry(where);
    QApplication::processEvents();
    WaitWindow& wait = rig.ctx->engine.wait;
    wait.open = true;
    wait.text = "Device discovery placed to Area 251  1a.2b.3c\n\nPlease wait...";
    f.SyncWaitWindow();
    ASSERT_NE(f.WaitWindow(), nullptr);
    EXPECT_LE((f.WaitWindow()->frameGeometry().center() - f.frameGeometry().center()).manhattanLength(), 4)
        << "main window at " << where.x() << "," << where.y();
    wait.open = false;
    f.SyncWaitWindow();
  }
}

// The colour a row's text was drawn in: of its pixels, the one that differs
// most from the ground (the glyphs are drawn without smoothing).
QColor TextColourOf(const QImage& shot, int top, int height, QColor ground) {
  QColor best = ground;
  double bestRatio = 1.0;
  for (int y = top; y < top + height && y < shot.height(); ++y) {
    for (int x = 0; x < shot.width(); ++x) {
      const QColor c = shot.pixelColor(x, y);
      const double r = ContrastRatio(Rgb(c), Rgb(ground));
      if (r > bestRatio) {
        bestRatio = r;
        best = c;
      }
    }
  }
  return best;
}

class Looks : public ::testing::Test {
 protected:
  void SetUp() override { testing::ClearSettings(); }
  // The next test starts in the default look again.
  void TearDown() override {
    GuiRig rig;
    rig.Start();
    rig.Frame().ApplyLook(kLookDefault);
  }
};

TEST_F(Looks, LogTextReadsInEveryLook) {
  GuiRig rig;
  rig.Start();
  const TraceColor kinds[] = {KindColor(TraceKind::Comment), KindColor(TraceKind::CommentOn),
                              KindColor(TraceKind::CommentOff), KindColor(TraceKind::Data)};
  for (int look = kLookFirst; look <= kLookLast; ++look) {
    SCOPED_TRACE(look);
    rig.Frame().ApplyLook(look);
    TraceList list(LogChannel::GeneralActivity);
    list.AddEntry(TraceComment("MWMWMW black comment"));
    list.AddEntry(TraceCommentOn("MWMWMW green on"));
    list.AddEntry(TraceCommentOff("MWMWMW dark red off"));
    list.AddEntry(TraceData("MWMWMW navy data"));
    CTraceList view(list);
    QFont font = OutputPaneFont();
    font.setStyleStrategy(QFont::NoAntialias);
    view.setFont(font);
    view.resize(400, 200);
    view.show();
    view.OnAdded(false);
    QApplication::processEvents();
    const QImage shot = view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QPalette pal = view.palette();
    const QColor ground = pal.color(QPalette::Base);
    ASSERT_EQ(shot.pixelColor(shot.width() - 2, 2), ground) << "rows are drawn on the list's base colour";
    for (int row = 0; row < 4; ++row) {
      const QColor text = TextColourOf(shot, row * view.LineHeight(), view.LineHeight(), ground);
      const double ratio = ContrastRatio(Rgb(text), Rgb(ground));
      EXPECT_GE(ratio, kMinTextContrast) << "row " << row;
      // The colours the log is known by stay wherever they read.
      if (ContrastRatio(kinds[row], Rgb(ground)) >= kMinTextContrast) {
        EXPECT_EQ(Rgb(text), kinds[row]) << "row " << row;
      }
    }
    // Selected rows: the highlight with the list focused, the button face without.
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
      EXPECT_GE(ContrastRatio(Rgb(pal.color(g, QPalette::HighlightedText)), Rgb(pal.color(g, QPalette::Highlight))),
                kMinTextContrast);
      EXPECT_GE(ContrastRatio(Rgb(pal.color(g, QPalette::ButtonText)), Rgb(pal.color(g, QPalette::Button))),
                kMinTextContrast);
      EXPECT_GE(ContrastRatio(Rgb(pal.color(g, QPalette::WindowText)), Rgb(pal.color(g, QPalette::Window))),
                kMinTextContrast);
    }
  }
}

TEST_F(Looks, DisabledMenuCommandsLookDisabledInEveryLook) {
  GuiRig rig;
  rig.Start();
  for (int look = kLookFirst; look <= kLookLast; ++look) {
    SCOPED_TRACE(look);
    rig.Frame().ApplyLook(look);
    QMenu menu;
    QAction* enabled = menu.addAction(QStringLiteral("MWMWMW Enabled command"));
    QAction* disabled = menu.addAction(QStringLiteral("MWMWMW Disabled command"));
    disabled->setEnabled(false);
    QFont font = menu.font();
    font.setStyleStrategy(QFont::NoAntialias);
    menu.setFont(font);
    menu.resize(menu.sizeHint());
    const QImage shot = menu.grab().toImage().convertToFormat(QImage::Format_RGB32);
    auto ratioOf = [&](QAction* a) {
      const QRect r = menu.actionGeometry(a);
      const QColor ground = shot.pixelColor(r.right() - 2, r.center().y());
      const QColor text = TextColourOf(shot.copy(r), 0, r.height(), ground);
      return ContrastRatio(Rgb(text), Rgb(ground));
    };
    const double on = ratioOf(enabled), off = ratioOf(disabled);
    EXPECT_GE(on, kMinTextContrast) << "enabled commands read";
    EXPECT_LT(off, on * 0.6) << "a disabled command is plainly weaker (" << off << " against " << on << ")";
    EXPECT_GT(off, 1.5) << "and still there to be read";
  }
}

}  // namespace
}  // namespace quorvel
