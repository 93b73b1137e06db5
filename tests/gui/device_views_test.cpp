// The device tree and the Device Setup tab against the simulated house, in
// virtual time: what a user clicks, and what the simulated devices and the
// modem then hold.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSlider>
#include <QTableWidget>
#include <QTest>

#include "gui_rig.h"
#include "house_window_rig.h"
#include "views/device_setup/device_setup_model.h"
#include "views/log_views/output_pane.h"

namespace quorvel {
namespace {

using testing::HouseWindowRig;

const InsteonId kKitchenIsland = InsteonId::From(0x2a, 0x10, 0x02);
const InsteonId kLivingRoomLamp = InsteonId::From(0x2a, 0x10, 0x06);

QTreeWidgetItem* ItemOf(HouseWindowRig& rig, uint32_t key) {
  QTreeWidgetItem* item = rig.Tree().ItemForKey(key);
  EXPECT_NE(item, nullptr) << std::hex << key;
  return item;
}

TEST(DeviceViews, OnSwitchesTheDimmerAndTheSliderFollowsItsStatus) {
  testing::ClearSettings();
  HouseWindowRig rig;
  ASSERT_TRUE(rig.ReadTheHouse());
  const uint32_t lamp = MakeDeviceKey(1, kLivingRoomLamp);
  rig.Tree().SelectKey(lamp);
  WndDeviceControls& setup = rig.Setup();
  EXPECT_EQ(rig.ctx->tick.treeSelection, lamp);
  QPushButton* on = setup.Button(kCmdOn);
  ASSERT_NE(on, nullptr);
  ASSERT_FALSE(on->isHidden()) << "a dimmer can be switched from the tab";
  EXPECT_FALSE(setup.Slider()->isHidden());

  on->click();
  ASSERT_TRUE(rig.TickUntil([&] { return rig.Sim(kLivingRoomLamp).level == 255; }, 400));

  // Someone turns the lamp down at the lamp; a status request brings it in
  // (once the lamp's engine is known: before that the request asks for it).
  const int slot = rig.ctx->db.FindDeviceInGroup(1, kLivingRoomLamp);
  ASSERT_TRUE(rig.TickUntil([&] { return rig.ctx->db[slot].engineVersion != 0; }, 2000));
  rig.Sim(kLivingRoomLamp).level = 128;
  setup.RunCommand(kCmdGetStatus);
  ASSERT_TRUE(rig.TickUntil([&] { return rig.ctx->db[slot].level == 128; }, 400));
  QApplication::processEvents();
  EXPECT_EQ(setup.Slider()->value(), SliderPositionForLevel(128));
  EXPECT_EQ(setup.LevelText()->text(), QStringLiteral(" 50% "));
  EXPECT_EQ(setup.Info()->Panel().caption.rfind("[2a.10.06]", 0), 0u) << setup.Info()->Panel().caption;
}

TEST(DeviceViews, TheLinkReportTabGetsTheTreeAndItsLinks) {
  testing::ClearSettings();
  HouseWindowRig rig;
  ASSERT_TRUE(rig.ReadTheHouse());
  rig.clock.Advance(3);
  ASSERT_TRUE(rig.Tree().Rebuild());
  CDPaneOutputWnd* output = rig.app->Frame()->OutputPane();
  ASSERT_TRUE(output->linkReportRequested);
  output->linkReportRequested();  // what releasing the mouse over the tab asks
  const LogRows& lines = rig.ctx->log.Lines(LogChannel::LinkReport);
  ASSERT_GT(lines.size(), 20u);
  EXPECT_EQ(lines[0].text, "Power Line Modem (PLM)  [1e.65.a2]  PLM 2413U      (click/setup)");
  EXPECT_EQ(lines[1].text, "GROUP [ 1 ] -- Computer Group  --");
  EXPECT_EQ(lines[2].text.rfind(" =>> [ 2a.10.01 ]", 0), 0u) << lines[2].text;
}

TEST(DeviceViews, ALabelEditedInTheTreeSurvivesASaveAndARestart) {
  testing::ClearSettings();
  testing::MemoryFileSystem disk;
  {
    HouseWindowRig rig(&disk);
    ASSERT_TRUE(rig.ReadTheHouse());
    CTreeCtrl_PLM_ALDB& tree = rig.Tree();
    for (const auto& [key, typed] : {std::pair{MakeGroupKey(1), "Downstairs"},
                                     std::pair{MakeDeviceKey(1, kLivingRoomLamp), "Lamp by the sofa"}}) {
      QTreeWidgetItem* item = ItemOf(rig, key);
      ASSERT_NE(item, nullptr);
      tree.setCurrentItem(item);
      tree.editItem(item);
      auto* editor = qobject_cast<QLineEdit*>(tree.indexWidget(tree.currentIndex()));
      ASSERT_NE(editor, nullptr);
      EXPECT_TRUE(tree.Model().labelEditing);
      editor->setText(QString::fromLatin1(typed));
      QTest::keyClick(editor, Qt::Key_Return);
      QApplication::processEvents();
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      EXPECT_FALSE(tree.Model().labelEditing);
    }
    EXPECT_EQ(ItemOf(rig, MakeGroupKey(1))->text(0), QStringLiteral("[ 1 ] Downstairs"));
    EXPECT_EQ(ItemOf(rig, MakeDeviceKey(1, kLivingRoomLamp))->text(0), QStringLiteral("[2a.10.06]  Lamp by the sofa"));
    EXPECT_EQ(rig.ctx->groups.GroupLabel(1), "Downstairs");
    rig.app->Shutdown();  // the save at exit
  }
  HouseWindowRig again(&disk);
  ASSERT_TRUE(again.ReadTheHouse());
  again.clock.Advance(3);
  again.Tree().Rebuild();
  EXPECT_EQ(ItemOf(again, MakeGroupKey(1))->text(0), QStringLiteral("[ 1 ] -- Downstairs  --"));
  EXPECT_TRUE(ItemOf(again, MakeDeviceKey(1, kLivingRoomLamp))->text(0).startsWith(QStringLiteral("[ 2a.10.06 ]   Lamp by the sofa")))
      << ItemOf(again, MakeDeviceKey(1, kLivingRoomLamp))->text(0).toStdString();
}

TEST(DeviceViews, ADeviceDroppedOnAGroupJoinsItInTheTableAndInTheModem) {
  testing::ClearSettings();
  HouseWindowRig rig;
  ASSERT_TRUE(rig.ReadTheHouse());
  ASSERT_TRUE(rig.TickUntil([&] { return !LinkOperationRunning(*rig.ctx) && rig.ctx->db[rig.ctx->db.FindDeviceInGroup(1, kKitchenIsland)].linkCount > 0; }, 6000))
      << "the island's own table is read by the polling";
  rig.app->Frame()->show();  // positions need the laid-out window
  QApplication::processEvents();
  CTreeCtrl_PLM_ALDB& tree = rig.Tree();
  const uint32_t island = MakeDeviceKey(1, kKitchenIsland);
  QTreeWidgetItem* target = ItemOf(rig, MakeGroupKey(3));
  ASSERT_NE(target, nullptr);
  tree.scrollToItem(target);
  QMimeData mime;
  mime.setData(QString::fromLatin1(kDeviceKeyMime), QByteArray::number(island));
  const QPoint at = tree.visualItemRect(target).center();
  QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(tree.viewport(), &enter);
  QDragMoveEvent move(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(tree.viewport(), &move);
  EXPECT_TRUE(move.isAccepted()) << "a group node takes the device";
  QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(tree.viewport(), &drop);

  const int slot = rig.ctx->db.FindDeviceInGroup(3, kKitchenIsland);
  ASSERT_GE(slot, 0) << "the record moved to group 3";
  EXPECT_EQ(rig.ctx->tick.treeSelection, MakeDeviceKey(3, kKitchenIsland));
  QTreeWidgetItem* moved = tree.ItemForKey(MakeDeviceKey(3, kKitchenIsland));
  ASSERT_NE(moved, nullptr);
  EXPECT_EQ(moved->parent(), target);
  ASSERT_TRUE(rig.TickUntil(
      [&] {
        return !LinkOperationRunning(*rig.ctx) && rig.net->Modem().Find(3, kKitchenIsland, sim::kAnySide) >= 0 &&
               rig.Sim(kKitchenIsland).FindLink(false, 3, rig.net->Modem().id) >= 0;
      },
      3000));
  EXPECT_EQ(rig.Sim(kKitchenIsland).FindLink(false, 1, rig.net->Modem().id), -1)
      << "its record of group 1 became the group-3 one";
}

TEST(DeviceViews, AddNewDeviceWithATypedIdAddsItAndTheEngineIdentifiesIt) {
  testing::ClearSettings();
  sim::House house = testing::ExampleHouseForWindow();
  const InsteonId newcomer = InsteonId::From(0x2a, 0x30, 0x01);
  house.devices.emplace_back(newcomer, 0x01, 0x19, 0x41, sim::kEngineI2);
  HouseWindowRig rig(nullptr, house);
  ASSERT_TRUE(rig.ReadTheHouse());
  rig.Tree().SelectRoot();
  WndDeviceControls& setup = rig.Setup();
  ASSERT_FALSE(setup.Button(kCmdAddJoin)->isHidden());
  EXPECT_EQ(setup.Button(kCmdAddJoin)->text(), QStringLiteral("Add New Device"));
  const uint32_t count = rig.ctx->db.count;
  for (int i = 0; i < 3; ++i) setup.IdEdit(i)->setText(QStringList{"2a", "30", "01"}[i]);
  setup.Button(kCmdAddJoin)->click();
  ASSERT_EQ(rig.ctx->db.count, count + 1);
  const int slot = rig.ctx->db.FindDevice(newcomer);
  ASSERT_GE(slot, 0);
  ASSERT_TRUE(rig.TickUntil([&] { return rig.ctx->db[rig.ctx->db.FindDevice(newcomer)].category == 0x01; }, 20000))
      << "the engine asks the new device who it is";
  EXPECT_EQ(rig.ctx->db[rig.ctx->db.FindDevice(newcomer)].subcategory, 0x19);
  rig.clock.Advance(3);
  rig.Tree().Rebuild();
  EXPECT_NE(rig.Tree().ItemForKey(MakeDeviceKey(rig.ctx->db[rig.ctx->db.FindDevice(newcomer)].group, newcomer)),
            nullptr);

  // A typed id that is not one changes nothing, and says why.
  setup.IdEdit(1)->setText(QStringLiteral("zz"));
  rig.notifier.messages.clear();
  const uint32_t now = rig.ctx->db.count;
  setup.Button(kCmdAddJoin)->click();
  EXPECT_EQ(rig.ctx->db.count, now);
  ASSERT_EQ(rig.notifier.messages.size(), 1u);
  EXPECT_EQ(rig.notifier.messages[0].rfind("Device ID: ", 0), 0u) << rig.notifier.messages[0];
}

TEST(DeviceViews, TheFactoryResetsCancelChangesNothingAndOkEmptiesTheModem) {
  testing::ClearSettings();
  HouseWindowRig rig;
  ASSERT_TRUE(rig.ReadTheHouse());
  rig.Tree().SelectRoot();
  WndDeviceControls& setup = rig.Setup();
  QPushButton* reset = setup.Button(kCmdPlmReset);
  ASSERT_FALSE(reset->isHidden());
  const uint32_t count = rig.ctx->db.count;
  const size_t modemLinks = rig.net->Modem().links.size();

  testing::AnswerNextBox(QMessageBox::Cancel);
  reset->click();
  for (int i = 0; i < 20; ++i) rig.Tick();
  EXPECT_EQ(rig.ctx->db.count, count);
  EXPECT_EQ(rig.ctx->db.plm.plmFound, 1);
  EXPECT_EQ(rig.net->Modem().links.size(), modemLinks);

  testing::AnswerNextBox(QMessageBox::Ok);
  reset->click();
  EXPECT_EQ(rig.ctx->db.count, 0u);
  rig.Tick();
  EXPECT_TRUE(rig.net->Modem().links.empty()) << "the modem heard the reset";
}

TEST(DeviceViews, TheTreesUnlinkAsksFirstAndCancelLeavesTheDevice) {
  testing::ClearSettings();
  HouseWindowRig rig;
  ASSERT_TRUE(rig.ReadTheHouse());
  const uint32_t lamp = MakeDeviceKey(1, kLivingRoomLamp);
  const int lampSlot = rig.ctx->db.FindDeviceInGroup(1, kLivingRoomLamp);
  ASSERT_TRUE(rig.TickUntil([&] { return !LinkOperationRunning(*rig.ctx) && !rig.ctx->linkReader.Busy() &&
                                         rig.ctx->db[lampSlot].linkCount > 0; }, 6000))
      << "the lamp's own table is read by the polling";
  rig.Setup().State().groupSetupOpen = true;
  rig.Tree().SelectKey(lamp);
  QPushButton* unlink = rig.Setup().Button(kCmdUnlinkGroup);
  ASSERT_FALSE(unlink->isHidden());
  const int slot = rig.ctx->db.FindDeviceInGroup(1, kLivingRoomLamp);
  testing::AnswerNextBox(QMessageBox::Cancel);
  unlink->click();
  EXPECT_EQ(rig.ctx->db[slot].linkFlags & kRecordInUse, kRecordInUse);
  EXPECT_TRUE(rig.ctx->queues.modem.Empty());
  testing::AnswerNextBox(QMessageBox::Ok);
  unlink->click();
  EXPECT_EQ(rig.ctx->db[slot].linkFlags, kLinkRemovedBySystem);
  EXPECT_FALSE(rig.ctx->queues.modem.Empty()) << "the modem's record is being deleted";
  EXPECT_TRUE(LinkOperationRunning(*rig.ctx)) << "the lamp's own records are being written removed";
}

}  // namespace
}  // namespace quorvel
