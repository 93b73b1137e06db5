// The "Time Events" and "Logic Events" tabs and the widgets dialog, offscreen:
// their controls and texts, and against the simulated house in virtual time
// what a user's clicks store, list, delete and set off.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include "app/orvo_view.h"
#include "app/window_refs.h"
#include "automation/x10_widget.h"
#include "gui_rig.h"
#include "house_window_rig.h"
#include "views/event_editors/dlg_widgets.h"
#include "views/event_editors/event_widgets.h"
#include "views/event_editors/wnd_logic_events.h"
#include "views/event_editors/wnd_time_events.h"

namespace quorvel {
namespace {

using testing::AnswerNextBox;
using testing::GuiRig;
using testing::HouseWindowRig;

const InsteonId kKitchenCeiling = InsteonId::From(0x2a, 0x10, 0x01);
const InsteonId kHallKeypad = InsteonId::From(0x2a, 0x10, 0x04);

QStringList Items(const QComboBox* c) {
  QStringList out;
  for (int i = 0; i < c->count(); ++i) out << c->itemText(i);
  return out;
}

QStringList Lines(const QTreeWidget* tree) {
  QStringList out;
  std::function<void(QTreeWidgetItem*, int)> walk = [&](QTreeWidgetItem* item, int depth) {
    out << QString(depth * 2, QLatin1Char(' ')) + item->text(0);
    for (int i = 0; i < item->childCount(); ++i) walk(item->child(i), depth + 1);
  };
  for (int i = 0; i < tree->topLevelItemCount(); ++i) walk(tree->topLevelItem(i), 0);
  return out;
}

// Chooses the entry `text` of the next context menu that opens, inside its own loop.
void ChooseInNextMenu(const char* text) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, text] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (menu == nullptr) return;
    timer->stop();
    timer->deleteLater();
    for (QAction* a : menu->actions()) {
      if (a->text() != QString::fromLatin1(text)) continue;
      menu->setActiveAction(a);
      QTest::keyClick(menu, Qt::Key_Return);
      return;
    }
    menu->close();
  });
  timer->start();
}

// A right click on a list line, as the view gets it.
void RightClick(QTreeWidget* tree, QTreeWidgetItem* item) {
  const QPoint at = tree->visualItemRect(item).center();
  QContextMenuEvent event(QContextMenuEvent::Mouse, at, tree->viewport()->mapToGlobal(at));
  QApplication::sendEvent(tree->viewport(), &event);
}

TEST(EventEditorWindows, TheTimeEventsTabWithItsControlsAndTexts) {
  testing::ClearSettings();
  GuiRig rig;
  rig.Start();
  rig.ctx->sun.sunriseHour = 6;
  rig.ctx->sun.sunriseMinute = 4;
  rig.ctx->sun.sunsetHour = 19;
  rig.ctx->sun.sunsetMinute = 31;
  CWndTimeEvents& w = *rig.app->Refs().timeEvents;
  w.Refresh();
  EXPECT_EQ(w.objectName(), QStringLiteral("Time Events"));
  EXPECT_EQ(w.property("controlId").toInt(), 5369);
  EXPECT_EQ(w.Title()->text(), QStringLiteral("Time Events"));
  EXPECT_TRUE(w.Instructions()->Text().startsWith(QStringLiteral("STEP 1 - Set the time of day.\nSTEP 2 - ")));
  EXPECT_TRUE(w.Instructions()->Text().endsWith(QStringLiteral(
      "Click the SAVE button.\n\n- Delete Event, left click on Event, then right click for context menu.")));
  EXPECT_TRUE(w.TargetField()->isReadOnly());
  EXPECT_TRUE(w.TargetField()->text().isEmpty());
  EXPECT_EQ(Items(w.CommandList()), (QStringList{"ON", "OFF"}));
  EXPECT_EQ(w.CommandList()->currentText(), QStringLiteral("ON"));
  EXPECT_EQ(w.LevelSlider()->maximum(), 51);
  EXPECT_EQ(w.LevelText()->text(), QStringLiteral(" On 100% "));
  EXPECT_EQ(w.SaveButton()->text(), QStringLiteral("&Save"));
  EXPECT_EQ(w.SaveButton()->property("controlId").toInt(), 5226);
  EXPECT_EQ(w.TimeBaseRadio(TimeBase::kClock)->text(), QStringLiteral("Hour/Minute"));
  EXPECT_TRUE(w.TimeBaseRadio(TimeBase::kClock)->isChecked());
  EXPECT_EQ(w.TimeBaseRadio(TimeBase::kSunrise)->text(), QStringLiteral("Sunrise   (6:04)"));
  EXPECT_EQ(w.TimeBaseRadio(TimeBase::kSunset)->text(), QStringLiteral("Sunset   (19:31)"));
  EXPECT_EQ(w.HourSlider()->value(), 6);
  EXPECT_EQ(w.HourText()->text(), QStringLiteral("06:"));
  EXPECT_EQ(w.AmPmText()->text(), QStringLiteral("am"));
  EXPECT_EQ(w.MinuteText()->text(), QStringLiteral("15"));
  EXPECT_TRUE(w.OffsetRadio(SunOffset::kNone)->isChecked());
  EXPECT_EQ(w.OffsetRadio(SunOffset::kBefore)->text(), QStringLiteral("Pre Delay"));
  EXPECT_EQ(w.OffsetMinutes()->count(), 90);
  EXPECT_EQ(w.OffsetMinutes()->currentText(), QStringLiteral("20"));
  EXPECT_FALSE(w.OffsetMinutes()->isEnabled());
  EXPECT_FALSE(w.OffsetRadio(SunOffset::kAfter)->isEnabled());
  for (int d = 0; d < 7; ++d) EXPECT_TRUE(w.Weekdays()->Day(d)->isChecked()) << d;
  EXPECT_EQ(w.Weekdays()->Day(4)->text(), QStringLiteral("T"));
  EXPECT_EQ(w.Weekdays()->Preset(WeekdayPreset::kWeekEnd)->text(), QStringLiteral("Week End"));

  // Moving the sliders relabels them; a sun time hides them and opens the offsets.
  w.HourSlider()->setValue(13);
  w.MinuteSlider()->setValue(5);
  w.LevelSlider()->setValue(30);
  EXPECT_EQ(w.HourText()->text(), QStringLiteral("01:"));
  EXPECT_EQ(w.AmPmText()->text(), QStringLiteral("pm"));
  EXPECT_EQ(w.MinuteText()->text(), QStringLiteral("05"));
  EXPECT_EQ(w.LevelText()->text(), QStringLiteral(" On 60% "));
  w.TimeBaseRadio(TimeBase::kSunset)->click();
  EXPECT_FALSE(w.HourSlider()->isVisibleTo(&w));
  EXPECT_TRUE(w.OffsetMinutes()->isEnabled());
  EXPECT_TRUE(w.OffsetRadio(SunOffset::kBefore)->isEnabled());
  w.TimeBaseRadio(TimeBase::kClock)->click();
  EXPECT_TRUE(w.HourSlider()->isVisibleTo(&w));
  EXPECT_FALSE(w.OffsetMinutes()->isEnabled());

  // The day buttons flip on their own; the presets set them all.
  w.Weekdays()->Day(0)->click();
  EXPECT_FALSE(w.Weekdays()->Day(0)->isChecked());
  EXPECT_TRUE(w.Weekdays()->Day(1)->isChecked());
  EXPECT_EQ(w.Form().days, 0x7E);
  w.Weekdays()->Preset(WeekdayPreset::kWeekEnd)->click();
  EXPECT_EQ(w.Form().days, 0x41);
  EXPECT_TRUE(w.Weekdays()->Day(6)->isChecked());
  EXPECT_FALSE(w.Weekdays()->Day(3)->isChecked());

  // The title and the steps grow with the window.
  rig.Frame().show();
  rig.app->View()->Tabs()->setCurrentWidget(&w);
  w.resize(900, 1000);
  EXPECT_EQ(w.Title()->font().pixelSize(), 40);
  EXPECT_EQ(w.Instructions()->PixelSize(), 20);
  w.resize(900, 200);
  EXPECT_EQ(w.Title()->font().pixelSize(), 14);
  EXPECT_EQ(w.Instructions()->PixelSize(), 12);
  // Where the window is too short for them the steps grow smaller, never the window taller.
  EXPECT_LE(w.Instructions()->font().pixelSize(), 12);

  // Nothing chosen in the tree: the save says so and stores nothing.
  w.SaveButton()->click();
  ASSERT_FALSE(rig.notifier.messages.empty());
  EXPECT_EQ(rig.notifier.messages.back(), "Selection Missing: Please select an Insteon device.");
  EXPECT_EQ(rig.ctx->events.eventCount, 0u);
  EXPECT_EQ(Lines(w.List()), (QStringList{"Time Events"}));
}

TEST(EventEditorWindows, ATimeEventMadeInTheTabIsListedAndDeletedOnlyOnceConfirmed) {
  testing::ClearSettings();
  HouseWindowRig rig;
  ASSERT_TRUE(rig.ReadTheHouse());
  CWndTimeEvents& w = *rig.app->Refs().timeEvents;
  rig.Tree().SelectKey(MakeDeviceKey(1, kKitchenCeiling));
  ASSERT_FALSE(w.TargetField()->text().isEmpty());
  EXPECT_TRUE(w.TargetField()->text().startsWith(QStringLiteral("2A.10.01  ")))
      << w.TargetField()->text().toStdString();
  const QString dimmer = w.TargetField()->text();
  // The modem leaves the field; a computer group takes it.
  rig.Tree().SelectRoot();
  EXPECT_EQ(w.TargetField()->text(), dimmer);
  rig.Tree().SelectKey(MakeGroupKey(3));
  EXPECT_EQ(w.TargetField()->text(), QStringLiteral("Group 3  Computer Group"));
  rig.Tree().SelectKey(MakeDeviceKey(1, kKitchenCeiling));
  EXPECT_EQ(w.TargetField()->text(), dimmer);

  w.HourSlider()->setValue(7);
  w.MinuteSlider()->setValue(30);
  w.LevelSlider()->setValue(25);
  w.Weekdays()->Preset(WeekdayPreset::kWeekDays)->click();
  w.SaveButton()->click();
  ASSERT_EQ(rig.ctx->events.records[0].inUse, 1);
  EXPECT_EQ(rig.ctx->events.records[0].cmd2, 125);
  const QString line = QStringLiteral("[2a.10.01] ") + dimmer.mid(10) + QStringLiteral(" On, 50%, _MTWTF_");
  EXPECT_EQ(Lines(w.List()), (QStringList{"Time Events", "  07:30 am  _MTWTF_", "    " + line}));
  QTreeWidgetItem* item = w.List()->ItemForValue(0xF0000);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(w.List()->currentItem(), item) << "the new event is the line shown";

  // A right click on the header offers the delete, which leaves a header alone.
  w.List()->setCurrentItem(w.List()->topLevelItem(0));
  ChooseInNextMenu("Delete selected item");
  RightClick(w.List(), w.List()->ItemForValue(0x40000));
  EXPECT_EQ(EventListTree::Value(w.List()->currentItem()), 0x40000u) << "the item under the pointer is selected";
  EXPECT_EQ(rig.ctx->events.records[0].inUse, 1);

  // On the line: Cancel keeps the event, OK deletes it.
  ChooseInNextMenu("Delete selected item");
  AnswerNextBox(QMessageBox::Cancel);
  RightClick(w.List(), w.List()->ItemForValue(0xF0000));
  EXPECT_EQ(rig.ctx->events.records[0].inUse, 1);
  ChooseInNextMenu("Delete selected item");
  AnswerNextBox(QMessageBox::Ok);
  RightClick(w.List(), w.List()->ItemForValue(0xF0000));
  EXPECT_EQ(rig.ctx->events.records[0].inUse, 0);
  EXPECT_EQ(Lines(w.List()), (QStringList{"Time Events"}));
}

TEST(EventEditorWindows, TheLogicEventsTabWithItsControlsAndToggles) {
  testing::ClearSettings();
  GuiRig rig;
  rig.Start();
  CWndLogicEvents& w = *rig.app->Refs().logicEvents;
  EXPECT_EQ(w.objectName(), QStringLiteral("Logic Events"));
  EXPECT_EQ(w.property("controlId").toInt(), 5370);
  EXPECT_EQ(w.Title()->text(), QStringLiteral("Logic Events"));
  EXPECT_TRUE(w.Instructions()->Text().startsWith(QStringLiteral("STEP 1 \t- Click \to Init ID\nSTEP 2 \t- ")));
  EXPECT_TRUE(w.Instructions()->Text().endsWith(QStringLiteral("right click event listed at right for context menu.")));
  EXPECT_EQ(w.GroupRadio(0)->text(), QStringLiteral("1) On Motion"));
  EXPECT_EQ(w.GroupRadio(1)->text(), QStringLiteral("2) On Dusk"));
  EXPECT_EQ(w.GroupRadio(2)->text(), QStringLiteral("3) On Low Battery"));
  EXPECT_TRUE(w.GroupRadio(0)->isChecked());
  EXPECT_TRUE(w.InitIdToggle()->isChecked());
  EXPECT_FALSE(w.OperIdToggle()->isChecked());
  EXPECT_FALSE(w.UseX10Toggle()->isChecked());
  EXPECT_EQ(w.UseX10Toggle()->text(), QStringLiteral("&Use X10"));
  EXPECT_EQ(Items(w.InitiatorAction()), (QStringList{"ON", "OFF"}));
  EXPECT_EQ(Items(w.OperatorAction()), (QStringList{"ON", "OFF", "ALL ON", "ALL OFF"}));
  for (QComboBox* wait : {w.WaitMinutes(), w.WaitSeconds()}) {
    EXPECT_EQ(wait->count(), 240);
    EXPECT_EQ(wait->itemText(239), QStringLiteral("239"));
    EXPECT_EQ(wait->currentText(), QStringLiteral("0"));
  }
  EXPECT_EQ(w.HouseList()->count(), 16);
  EXPECT_EQ(w.HouseList()->itemText(15), QStringLiteral("P"));
  EXPECT_EQ(w.UnitList()->itemText(0), QStringLiteral("1"));
  EXPECT_EQ(w.UnitList()->itemText(15), QStringLiteral("16"));
  EXPECT_EQ(w.LevelText()->text(), QStringLiteral(" On 100% "));
  EXPECT_EQ(w.SaveButton()->property("controlId").toInt(), 5193);
  EXPECT_TRUE(w.Weekdays()->Preset(WeekdayPreset::kAllWeek)->isChecked());
  for (int d = 0; d < 7; ++d) EXPECT_TRUE(w.Weekdays()->Day(d)->isChecked()) << d;

  // The window sets the toggles by its rules, whatever a button would do alone.
  w.OperIdToggle()->click();
  EXPECT_FALSE(w.InitIdToggle()->isChecked());
  EXPECT_TRUE(w.OperIdToggle()->isChecked());
  w.UseX10Toggle()->click();
  EXPECT_FALSE(w.OperIdToggle()->isChecked());
  EXPECT_TRUE(w.UseX10Toggle()->isChecked());
  EXPECT_FALSE(w.InitIdToggle()->isChecked());
  w.InitIdToggle()->click();
  EXPECT_TRUE(w.InitIdToggle()->isChecked());
  EXPECT_FALSE(w.OperIdToggle()->isChecked());
  rig.Frame().show();
  rig.app->View()->Tabs()->setCurrentWidget(&w);
  w.resize(900, 1000);
  EXPECT_EQ(w.Title()->font().pixelSize(), 40);
  EXPECT_EQ(w.Instructions()->PixelSize(), 20);

  w.SaveButton()->click();
  ASSERT_FALSE(rig.notifier.messages.empty());
  EXPECT_EQ(rig.notifier.messages.back(), "Selection Missing: Please select an Insteon device as Initiator ID.");
}

TEST(EventEditorWindows, ALogicEventMadeInTheTabSwitchesTheKitchenWhenTheKeypadIsPressed) {
  testing::ClearSettings();
  HouseWindowRig rig;
  ASSERT_TRUE(rig.ReadTheHouse());
  CWndLogicEvents& w = *rig.app->Refs().logicEvents;
  rig.Tree().SelectKey(MakeDeviceKey(3, kHallKeypad));
  EXPECT_TRUE(w.InitiatorField()->text().startsWith(QStringLiteral("2A.10.04  ")));
  EXPECT_EQ(w.GroupRadio(0)->text(), QStringLiteral("Group 1"));
  w.OperIdToggle()->click();
  rig.Tree().SelectKey(MakeDeviceKey(1, kKitchenCeiling));
  EXPECT_TRUE(w.OperatorField()->text().startsWith(QStringLiteral("2A.10.01  ")));
  EXPECT_TRUE(w.InitiatorField()->text().startsWith(QStringLiteral("2A.10.04  ")));
  w.WaitSeconds()->setCurrentIndex(2);
  w.LevelSlider()->setValue(20);
  w.SaveButton()->click();
  ASSERT_EQ(Lines(w.List()).size(), 2);
  EXPECT_EQ(Lines(w.List())[1],
            QStringLiteral("  2a.10.04 Group 1 ON  then delay 0:2 2a.10.01 ON 40%, SMTWTFS"));

  // The program learns the keypad from a first press; then button 1 ON.
  ASSERT_TRUE(rig.net->Press(kHallKeypad, 1, 0x13));
  rig.TickUntil([] { return false; }, 60);
  rig.Sim(kKitchenCeiling).level = 0;
  ASSERT_TRUE(rig.net->Press(kHallKeypad, 1, 0x11));
  EXPECT_TRUE(rig.TickUntil([&] { return rig.Sim(kKitchenCeiling).level == 100; }, 200));

  // Deleted from its list, the rule does nothing more.
  ChooseInNextMenu("Delete selected item");
  AnswerNextBox(QMessageBox::Ok);
  RightClick(w.List(), w.List()->ItemForValue(0xF0000));
  EXPECT_EQ(rig.ctx->events.records[0].inUse, 0);
  rig.TickUntil([] { return false; }, 60);  // what the press and its clean-up set off is over
  rig.Sim(kKitchenCeiling).level = 0;
  ASSERT_TRUE(rig.net->Press(kHallKeypad, 1, 0x11));
  EXPECT_FALSE(rig.TickUntil([&] { return rig.Sim(kKitchenCeiling).level != 0; }, 100));
}

TEST(EventEditorWindows, TheWidgetsDialogKeepsATypedX10Address) {
  testing::ClearSettings();
  GuiRig rig;
  rig.Start();
  rig.ctx->widgets.Add(MakeX10Widget("A1"));
  dlgWidgets dialog(*rig.ctx, &rig.Frame());
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Dialog"));
  EXPECT_EQ(Items(dialog.TypeList()), (QStringList{"Email", "X10"}));
  EXPECT_EQ(dialog.TypeList()->currentText(), QStringLiteral("Email"));
  EXPECT_EQ(dialog.TypeLabel()->text(), QStringLiteral("Email Setup"));
  EXPECT_TRUE(dialog.X10Edit()->isHidden());
  EXPECT_FALSE(dialog.EmailEdit(0)->isHidden());
  EXPECT_EQ(Items(dialog.WidgetList()), (QStringList{"A1"}));
  EXPECT_EQ(dialog.WidgetList()->currentText(), QStringLiteral("A1"));

  dialog.TypeList()->setCurrentIndex(1);
  EXPECT_EQ(dialog.TypeLabel()->text(), QStringLiteral("New X10 Address (A5, J11)"));
  EXPECT_FALSE(dialog.X10Edit()->isHidden());
  EXPECT_TRUE(dialog.EmailEdit(2)->isHidden());
  EXPECT_EQ(dialog.X10Edit()->maxLength(), 3);
  dialog.X10Edit()->setText(QStringLiteral("J11"));
  dialog.CreateButton()->click();
  EXPECT_EQ(Items(dialog.WidgetList()), (QStringList{"A1", "J11"}));
  EXPECT_EQ(dialog.WidgetList()->currentText(), QStringLiteral("J11"));
  ASSERT_EQ(rig.ctx->widgets.widgets.size(), 2u);
  EXPECT_EQ(rig.ctx->widgets.widgets.rbegin()->second.x10House, 15);

  dialog.X10Edit()->setText(QStringLiteral("Q5"));
  dialog.CreateButton()->click();
  EXPECT_EQ(rig.ctx->widgets.widgets.size(), 2u) << "no widget from a text that names no address";
  ASSERT_FALSE(rig.notifier.messages.empty());
  EXPECT_EQ(rig.notifier.messages.back(), std::string(kX10AddressTitle) + ": " + kX10AddressHelp);
  dialog.reject();
  EXPECT_EQ(rig.ctx->widgets.widgets.size(), 2u) << "Cancel keeps what was created";

  // The second toolbar's button opens it.
  QAction* button = rig.Frame().Command(6829);
  ASSERT_TRUE(button->isEnabled());
  QString opened;
  QTimer::singleShot(0, [&opened] {
    if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      opened = d->objectName();
      d->reject();
    }
  });
  button->trigger();
  EXPECT_EQ(opened, QStringLiteral("dlgWidgets"));
}

}  // namespace
}  // namespace quorvel
