// The Controller Setup tab and the Device Setup tab's link list against the
// simulated house, in virtual time: the controller list, a panel with its
// button groups, a device dropped on a keypad button, a level edited in a
// list's cell editor, and the Confirm box's Cancel.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QStackedWidget>
#include <set>

#include "app/controller_select_pane.h"
#include "device/device_catalogue.h"
#include "gui_rig.h"
#include "house_window_rig.h"
#include "views/device_setup/controller_panels.h"
#include "views/device_setup/device_setup_model.h"
#include "views/device_setup/link_list_ctrls.h"
#include "views/link_views/wnd_controlers.h"

namespace quorvel {
namespace {

using testing::HouseWindowRig;

const InsteonId kDining = InsteonId::From(0x2a, 0x10, 0x03);
const InsteonId kHallKeypad = InsteonId::From(0x2a, 0x10, 0x04);
const InsteonId kPorchLight = InsteonId::From(0x2a, 0x10, 0x05);
constexpr int kDiningFromKeypad = 2;  // dining: responder 3 keypad 80 1c 01
constexpr int kKeypadToDining = 4;    // keypad: controller 3 dining

CWndControlers& Controllers(HouseWindowRig& rig) { return *rig.app->Refs().controllers; }
CCListCtrlControlers& SelectList(HouseWindowRig& rig) { return *rig.app->Frame()->ControllerSelectPane()->List(); }

int RowOfKey(CCListCtrlControlers& list, const InsteonId& id) {
  for (int r = 0; r < list.rowCount(); ++r)
    if (KeyId(list.RowKey(r)) == id) return r;
  return -1;
}

int RowOfSlot(const LinkListCtrl& list, int slot) {
  for (int r = 0; r < list.Rows().Rows(); ++r)
    if (list.Rows().Row(r).link.slot == slot) return r;
  return -1;
}

// The tables of these devices read, and nothing under way.
bool ReadTables(HouseWindowRig& rig, std::initializer_list<InsteonId> ids) {
  for (const InsteonId& id : ids) RefreshLinkList(*rig.ctx, MakeDeviceKey(1, id));
  return rig.TickUntil(
      [&] {
        if (LinkOperationRunning(*rig.ctx) || rig.ctx->linkReader.Busy()) return false;
        for (const InsteonId& id : ids) {
          const int slot = rig.ctx->db.FindDevice(id);
          if (slot < 0 || rig.ctx->db[slot].linkCount == 0) return false;
        }
        return true;
      },
      8000);
}

TEST(ControllerSetupTab, ListsTheControllersAndShowsTheChosenOnesPanel) {
  testing::ClearSettings();
  HouseWindowRig rig;
  ASSERT_TRUE(rig.ReadTheHouse());
  rig.app->View()->ActivateTab(1);
  CCListCtrlControlers& list = SelectList(rig);
  // By category, then by slot in the table, each device once.
  std::vector<InsteonId> want;
  std::set<uint32_t> seen;
  for (int c = 0; c <= 16; ++c) {
    for (uint32_t i = 0; i < rig.ctx->db.count; ++i) {
      DeviceRecord copy = rig.ctx->db.records[i];
      if (copy.InUse() && copy.category == c && ControllerGroupCount(copy) != 0 && seen.insert(copy.id.Value()).second)
        want.push_back(copy.id);
    }
  }
  ASSERT_GE(want.size(), 10u);
  ASSERT_EQ(list.rowCount(), static_cast<int>(want.size()));
  for (int r = 0; r < list.rowCount(); ++r) {
    EXPECT_EQ(KeyId(list.RowKey(r)), want[static_cast<size_t>(r)]) << r;
    const DeviceRecord& d = rig.ctx->db[rig.ctx->db.FindDevice(want[static_cast<size_t>(r)])];
    EXPECT_EQ(list.item(r, 0)->text().toStdString(), "[ " + IdText(d.id) + " ]");
    EXPECT_EQ(list.item(r, 1)->text().toStdString(), std::string(ProductName(d.category, d.subcategory)));
  }
  EXPECT_EQ(list.currentRow(), 0) << "the shown controller's row";

  const int keypad = RowOfKey(list, kHallKeypad);
  ASSERT_GE(keypad, 0);
  list.setCurrentCell(keypad, 0);
  CWndControlers& window = Controllers(rig);
  ASSERT_NE(window.ShownPanel(), nullptr);
  EXPECT_EQ(window.ShownPanel()->objectName(), QStringLiteral("KeypadLinc"));
  EXPECT_EQ(window.findChild<QStackedWidget*>()->currentWidget(), window.ShownPanel());
  EXPECT_EQ(window.Heading()->text(), QStringLiteral("Button group 1        "));
  EXPECT_EQ(window.Model().state.listedGroup, 1);
  EXPECT_EQ(window.ShownPanel()->Layout().groups.size(), 8u);

  // A SwitchLinc dimmer gets its panel with its one group.
  list.setCurrentCell(RowOfKey(list, InsteonId::From(0x2a, 0x10, 0x01)), 0);
  EXPECT_EQ(window.ShownPanel()->objectName(), QStringLiteral("SwitchLinc"));
  EXPECT_EQ(window.ShownPanel()->Layout().groups.size(), 1u);
}

TEST(ControllerSetupTab, TheConfirmBoxsCancelChangesNothing) {
  testing::ClearSettings();
  HouseWindowRig rig;
  ASSERT_TRUE(rig.ReadTheHouse());
  ASSERT_TRUE(ReadTables(rig, {kHallKeypad, kDining}));
  rig.app->View()->ActivateTab(1);
  CWndControlers& window = Controllers(rig);
  window.SelectController(MakeDeviceKey(1, kHallKeypad));
  window.ShowButtonGroup(3);
  CListCtrlDevALDB& links = *window.LinkList();
  const int row = RowOfSlot(links, kKeypadToDining);
  ASSERT_GE(row, 0);
  links.item(row, 0)->setCheckState(Qt::Checked);
  EXPECT_EQ(links.item(row, kSaveColumn)->text(), QStringLiteral("Del"));

  testing::AnswerNextBox(QMessageBox::Cancel);
  Q_EMIT links.cellClicked(row, kSaveColumn);
  EXPECT_FALSE(LinkOperationRunning(*rig.ctx));
  EXPECT_EQ(links.item(row, 0)->checkState(), Qt::Unchecked);
  EXPECT_EQ(links.item(row, kSaveColumn)->text(), QString());
  for (int i = 0; i < 50; ++i) rig.Tick();
  EXPECT_TRUE(rig.Sim(kHallKeypad).LinkAt(kKeypadToDining).InUse());
  EXPECT_TRUE(rig.Sim(kDining).LinkAt(kDiningFromKeypad).InUse());
}

TEST(ControllerSetupTab, APorchLightDroppedOnKeypadButtonThreeIsLinkedAndListedSaved) {
  testing::ClearSettings();
  HouseWindowRig rig;
  ASSERT_TRUE(rig.ReadTheHouse());
  ASSERT_TRUE(ReadTables(rig, {kHallKeypad, kPorchLight}));
  rig.app->View()->ActivateTab(1);
  CWndControlers& window = Controllers(rig);
  window.SelectController(MakeDeviceKey(1, kHallKeypad));
  CWndCtrlPanel* panel = window.ShownPanel();
  ASSERT_NE(panel, nullptr);
  panel->resize(900, 320);
  const PanelLayout layout = panel->Layout();
  ASSERT_EQ(layout.groups.size(), 8u);
  const PanelRect& three = layout.groups[2];
  QMimeData mime;
  mime.setData(QString::fromLatin1(kDeviceKeyMime), QByteArray::number(MakeDeviceKey(1, kPorchLight)));
  // The drag as Qt delivers it: enter, move, drop. On the outline nothing is taken.
  auto dropAt = [&](QPoint at) {
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(panel, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(panel, &move);
    const bool over = move.isAccepted();
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(panel, &drop);
    return over;
  };
  EXPECT_FALSE(dropAt(QPoint(three.left, three.top + 20)));
  EXPECT_FALSE(LinkOperationRunning(*rig.ctx));
  EXPECT_TRUE(dropAt(QPoint((three.left + three.right) / 2, (three.top + three.bottom) / 2)));
  EXPECT_TRUE(LinkOperationRunning(*rig.ctx));
  EXPECT_EQ(window.Heading()->text(), QStringLiteral("Button group 3        "));

  ASSERT_TRUE(rig.TickUntil(
      [&] {
        return !LinkOperationRunning(*rig.ctx) && rig.Sim(kHallKeypad).FindLink(true, 3, kPorchLight) >= 0 &&
               rig.Sim(kPorchLight).FindLink(false, 3, kHallKeypad) >= 0;
      },
      3000));
  rig.Tick();
  CListCtrlDevALDB& links = *window.LinkList();
  int row = -1;
  for (int r = 0; r < links.rowCount(); ++r)
    if (links.item(r, 0)->text() == QStringLiteral("2a.10.05")) row = r;
  ASSERT_GE(row, 0);
  EXPECT_EQ(links.item(row, kSaveColumn)->text(), QStringLiteral("Saved"));
  const std::vector<PanelEntry>& listed = window.Model().groups.lists[2].entries;
  EXPECT_TRUE(std::any_of(listed.begin(), listed.end(), [](const PanelEntry& e) { return e.id == kPorchLight; }));
}

TEST(DeviceSetupLinks, ALevelChosenInTheCellsDropDownIsSavedIntoTheDevice) {
  testing::ClearSettings();
  HouseWindowRig rig;
  ASSERT_TRUE(rig.ReadTheHouse());
  ASSERT_TRUE(ReadTables(rig, {kDining}));
  rig.Tree().SelectKey(MakeDeviceKey(1, kDining));
  CListCtrlALDB& links = *rig.Setup().LinkList();
  const int row = RowOfSlot(links, kDiningFromKeypad);
  ASSERT_GE(row, 0);
  EXPECT_EQ(links.item(row, kLevelColumn)->text(), QStringLiteral("50%"));
  Q_EMIT links.cellClicked(row, kLevelColumn);
  auto* combo = qobject_cast<QComboBox*>(links.indexWidget(links.model()->index(row, kLevelColumn)));
  ASSERT_NE(combo, nullptr) << "the drop-down over the cell";
  EXPECT_EQ(combo->objectName(), QString::fromLatin1(kComboALDBName));
  EXPECT_EQ(combo->count(), 101);
  EXPECT_EQ(combo->currentText(), QStringLiteral("50%"));
  const int pick = combo->findText(QStringLiteral("75%"));
  combo->setCurrentIndex(pick);
  Q_EMIT combo->activated(pick);
  QApplication::processEvents();
  EXPECT_EQ(links.item(row, kLevelColumn)->text(), QStringLiteral("75%"));
  EXPECT_EQ(links.item(row, kSaveColumn)->text(), QStringLiteral("Save"));

  Q_EMIT links.cellClicked(row, kSaveColumn);
  EXPECT_EQ(links.item(row, kSaveColumn)->text(), QStringLiteral("Saving..."));
  ASSERT_TRUE(rig.TickUntil([&] { return rig.Sim(kDining).LinkAt(kDiningFromKeypad).data[0] == 191; }, 2000));
  ASSERT_TRUE(rig.TickUntil([&] { return links.item(RowOfSlot(links, kDiningFromKeypad), kSaveColumn)->text() == "Saved"; },
                            200));
  EXPECT_EQ(links.item(RowOfSlot(links, kDiningFromKeypad), kLevelColumn)->text(), QStringLiteral("75%"));
}

}  // namespace
}  // namespace quorvel
