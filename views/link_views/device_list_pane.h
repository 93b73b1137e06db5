#pragma once
// The dock pane "Device List / Computer Groups" and its tree: the modem at the
// root, the computer groups with their devices, the devices not linked. The
// tree is a thin view over DeviceTreeModel: it fills itself from the model's
// items, and hands selections, label edits, menu commands and drops to it.
#include <QDockWidget>
#include <QTreeWidget>
#include <functional>

#include "views/link_views/device_tree_model.h"

namespace quorvel {

struct Context;

inline constexpr char kDeviceListCaption[] = "Device List / Computer Groups";
inline constexpr int kDeviceListId = 133;
inline constexpr int kDeviceListWidth = 320;  // first width of the pane
// A dragged device travels as its DeviceKey.
inline constexpr char kDeviceKeyMime[] = "application/x-quorvel-device-key";

// Item data roles: the key, the item's kind and its group.
inline constexpr int kKeyRole = Qt::UserRole;
inline constexpr int kKindRole = Qt::UserRole + 1;
inline constexpr int kGroupRole = Qt::UserRole + 2;

class CTreeCtrl_PLM_ALDB : public QTreeWidget {
 public:
  explicit CTreeCtrl_PLM_ALDB(Context& ctx, QWidget* parent = nullptr);

  DeviceTreeModel& Model() { return model_; }
  // RebuildTree, then the items; false when the model put the rebuild off.
  bool Rebuild();
  // Rewrites the items of one device (its text and colour).
  void RefreshDeviceItem(uint32_t key);
  // The first item carrying `key`, or null.
  QTreeWidgetItem* ItemForKey(uint32_t key) const;
  // Makes `key` current as a click would (the setup window follows).
  void SelectKey(uint32_t key);
  // "New device": the modem's item selected.
  void SelectRoot();
  // The tab "Device Setup" activated: its current item is processed again.
  void ReselectCurrent();
  // The Link Report tab was clicked.
  void WriteLinkReport();

  // Told after a selection was processed, and after a command changed what the
  // setup window shows.
  std::function<void()> selectionChanged;
  // The level "On" sends from the menu: the setup window's.
  std::function<uint8_t()> onLevel;
  // Told after each rebuild.
  std::function<void()> rebuilt;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void startDrag(Qt::DropActions actions) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override;

 private:
  friend class TreeLabelDelegate;
  void Fill();
  QTreeWidgetItem* MakeItem(const TreeItem& item);
  void OnCurrentChanged(QTreeWidgetItem* current);
  void ShowMenu(const QPoint& pos);
  void RunMenuCommand(uint32_t key, int command);
  // The group a drop at `pos` goes into for the dragged key, or -1.
  int DropGroupAt(const QPoint& pos, uint32_t dragged) const;
  void Notify(const char* title, const std::string& text);

  Context& ctx_;
  DeviceTreeModel model_;
  bool filling_ = false;
  bool modemOffered_ = false;
};

class CDPane_PLM_Groups : public QDockWidget {
 public:
  explicit CDPane_PLM_Groups(Context& ctx, QWidget* parent = nullptr);
  CTreeCtrl_PLM_ALDB* Tree() const { return tree_; }

 private:
  CTreeCtrl_PLM_ALDB* tree_ = nullptr;
};

// The text of a QString as the records hold it: one byte per character,
// Latin-1, '?' for a character Latin-1 cannot hold.
std::string ToRecordText(const QString& text);

}  // namespace quorvel
