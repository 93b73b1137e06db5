#include "views/link_views/device_list_pane.h"

#include <QDrag>
#include <QDragMoveEvent>
#include <QCoreApplication>
#include <QHash>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTreeWidgetItemIterator>
#include <algorithm>
#include <functional>
#include <vector>

#include "engine/context.h"
#include "engine/group_links.h"
#include "engine/link_operations.h"
#include "views/common/confirm_box.h"
#include "views/common/device_pictures.h"
#include "views/common/qt_menu.h"
#include "views/device_setup/device_setup_model.h"

namespace quorvel {

namespace {

constexpr int kIconSize = 20;

QPixmap Scaled(const QPixmap& picture) {
  if (picture.isNull()) return picture;
  return picture.scaled(kIconSize, kIconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

// A computer group: three small devices joined to one link.
QPixmap GroupIcon() {
  QPixmap pixmap(kIconSize, kIconSize);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(60, 90, 140), 1.5));
  p.drawLine(QPointF(10, 10), QPointF(4, 16));
  p.drawLine(QPointF(10, 10), QPointF(16, 16));
  p.drawLine(QPointF(10, 10), QPointF(10, 3));
  p.setBrush(QColor(120, 170, 230));
  for (const QPointF c : {QPointF(10, 4), QPointF(4, 16), QPointF(16, 16)}) p.drawEllipse(c, 3.2, 3.2);
  p.setBrush(QColor(250, 200, 60));
  p.drawEllipse(QPointF(10, 10), 2.5, 2.5);
  return pixmap;
}

// Not linked to the modem: a broken link.
QPixmap UnlinkedIcon() {
  QPixmap pixmap(kIconSize, kIconSize);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(140, 140, 140), 2.2));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRectF(2, 7, 8, 6), 3, 3);
  p.drawRoundedRect(QRectF(11, 7, 8, 6), 3, 3);
  p.setPen(QPen(QColor(200, 60, 50), 1.6));
  p.drawLine(QPointF(10.5, 3), QPointF(9.5, 17));
  return pixmap;
}

// The picture standing for each image index of the tree.
const char* ImagePicture(int image) {
  switch (image) {
    case 0: return "2486dwh8.bmp";
    case 1: return "controllinc.bmp";
    case 2: return "remotelinc.bmp";
    case 3: return "2466sw.bmp";
    case 4: return "motion-sensor.bmp";
    case 6: return "2421.bmp";
    case 7: return "2473swh.bmp";
    case 9: return "2475d.bmp";
    default: return "2476d.bmp";
  }
}

QHash<int, QIcon>& IconCache() {
  static QHash<int, QIcon>* cache = [] {
    auto* c = new QHash<int, QIcon>;
    qAddPostRoutine([] { IconCache().clear(); });  // icons go before the application does
    return c;
  }();
  return *cache;
}

QIcon ItemIcon(const TreeItem& item, QStyle* style) {
  QHash<int, QIcon>& cache = IconCache();
  // The modem's items show the modem, greyed while it has not answered.
  int slot = item.image;
  switch (item.kind) {
    case TreeItemKind::kPlmRoot: slot = item.image == kImageNotFound ? 100 : 101; break;
    case TreeItemKind::kPlmSetup: slot = 101; break;
    case TreeItemKind::kHelpLine: slot = 102; break;
    case TreeItemKind::kGroup: slot = kImageGroup; break;
    case TreeItemKind::kUnlinkedNode:
    case TreeItemKind::kDiscoveredNode:
    case TreeItemKind::kUnlinkedDevice:
    case TreeItemKind::kDiscoveredDevice: slot = kImageUnlinked; break;
    case TreeItemKind::kDevice: break;
  }
  const auto it = cache.constFind(slot);
  if (it != cache.constEnd()) return *it;
  QIcon icon;
  if (slot == 100) {
    icon = QIcon(QIcon(Scaled(DevicePicture("2413u.bmp"))).pixmap(kIconSize, QIcon::Disabled));
  } else if (slot == 101) {
    icon = QIcon(Scaled(DevicePicture("2413u.bmp")));
  } else if (slot == 102) {
    icon = style->standardIcon(QStyle::SP_MessageBoxInformation);
  } else if (slot == kImageGroup) {
    icon = QIcon(GroupIcon());
  } else if (slot == kImageUnlinked) {
    icon = QIcon(UnlinkedIcon());
  } else {
    icon = QIcon(Scaled(DevicePicture(ImagePicture(slot))));
  }
  cache.insert(slot, icon);
  return icon;
}

uint32_t ItemKey(const QTreeWidgetItem* item) { return item != nullptr ? item->data(0, kKeyRole).toUInt() : 0; }
TreeItemKind ItemKind(const QTreeWidgetItem* item) {
  return static_cast<TreeItemKind>(item != nullptr ? item->data(0, kKindRole).toInt() : 0);
}

}  // namespace

std::string ToRecordText(const QString& text) {
  std::string out;
  out.reserve(static_cast<size_t>(text.size()));
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar ch = text.at(i);
    if (ch.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) ++i;  // one character
    out.push_back(ch.unicode() < 0x100 ? static_cast<char>(ch.unicode()) : '?');
  }
  return out;
}

// In-place edits of group labels and device names, in an editor that takes no
// more than the record holds.
class TreeLabelDelegate : public QStyledItemDelegate {
 public:
  explicit TreeLabelDelegate(CTreeCtrl_PLM_ALDB* tree) : QStyledItemDelegate(tree), tree_(tree) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QStringLiteral("LabelEdit"));
    const auto kind = static_cast<TreeItemKind>(index.data(kKindRole).toInt());
    edit->setMaxLength(static_cast<int>(kind == TreeItemKind::kGroup ? kGroupLabelEditMax : kDeviceNameEditMax));
    tree_->model_.labelEditing = true;
    return edit;
  }
  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    auto* edit = static_cast<QLineEdit*>(editor);
    const std::string label = EditableLabel(tree_->ctx_, index.data(kKeyRole).toUInt());
    edit->setText(QString::fromLatin1(label.data(), static_cast<qsizetype>(label.size())));
    edit->selectAll();
  }
  void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
    const uint32_t key = index.data(kKeyRole).toUInt();
    std::string itemText;
    const LabelEdit result = CommitLabel(tree_->ctx_, key, ToRecordText(static_cast<QLineEdit*>(editor)->text()), itemText);
    if (result == LabelEdit::kStored) {
      model->setData(index, QString::fromLatin1(itemText.data(), static_cast<qsizetype>(itemText.size())));
    } else if (result == LabelEdit::kTooLong) {
      tree_->Notify("Label too long", std::string(LabelLimitText(key)));
    }
  }
  void destroyEditor(QWidget* editor, const QModelIndex& index) const override {
    QStyledItemDelegate::destroyEditor(editor, index);
    tree_->model_.labelEditing = false;
  }

 private:
  CTreeCtrl_PLM_ALDB* tree_;
};

CTreeCtrl_PLM_ALDB::CTreeCtrl_PLM_ALDB(Context& ctx, QWidget* parent) : QTreeWidget(parent), ctx_(ctx) {
  setObjectName(QStringLiteral("DeviceTree"));
  setHeaderHidden(true);
  // Long names scroll sideways instead of being cut; the column is sized once
  // per fill, not for every item put in.
  header()->setSectionResizeMode(QHeaderView::Interactive);
  header()->setStretchLastSection(false);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setIconSize(QSize(kIconSize, kIconSize));
  setUniformRowHeights(true);
  setItemDelegate(new TreeLabelDelegate(this));
  setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
  setContextMenuPolicy(Qt::CustomContextMenu);
  setDragEnabled(true);
  setAcceptDrops(true);
  setDropIndicatorShown(true);
  setDragDropMode(QAbstractItemView::DragDrop);
  setAutoScroll(true);
  setAutoExpandDelay(700);
  connect(this, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current, QTreeWidgetItem*) { OnCurrentChanged(current); });
  connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
    if (!filling_) SetTreeItemExpanded(ctx_, ItemKey(item), true);
  });
  connect(this, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* item) {
    if (!filling_) SetTreeItemExpanded(ctx_, ItemKey(item), false);
  });
  connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) { ShowMenu(pos); });
}

bool CTreeCtrl_PLM_ALDB::Rebuild() {
  // Nothing chosen yet once the modem first answered: the window opens on the modem.
  if (!modemOffered_ && ctx_.db.plm.plmFound != 0) {
    modemOffered_ = true;
    if (ctx_.tick.treeSelection == 0) {
      SelectTreeItem(ctx_, ModemKey(ctx_));
      if (selectionChanged) selectionChanged();
    }
  }
  if (!RebuildTree(ctx_, model_)) return false;
  Fill();
  // What the tree was rebuilt for (a read, a merge, a move) shows in the setup window too.
  if (rebuilt) rebuilt();
  return true;
}

QTreeWidgetItem* CTreeCtrl_PLM_ALDB::MakeItem(const TreeItem& item) {
  auto* q = new QTreeWidgetItem(QStringList{QString::fromLatin1(item.text.data(), static_cast<qsizetype>(item.text.size()))});
  q->setData(0, kKeyRole, item.key);
  q->setData(0, kKindRole, static_cast<int>(item.kind));
  q->setData(0, kGroupRole, item.group);
  q->setIcon(0, ItemIcon(item, style()));
  // Black stays the palette's text colour, so the dark looks keep it readable.
  if (item.color != kColorBlack) q->setForeground(0, QColor(static_cast<QRgb>(item.color)));
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (LabelEditable(item.kind, item.group)) flags |= Qt::ItemIsEditable;
  if (item.kind == TreeItemKind::kDevice) flags |= Qt::ItemIsDragEnabled;
  if (item.kind == TreeItemKind::kDevice || item.kind == TreeItemKind::kGroup) flags |= Qt::ItemIsDropEnabled;
  q->setFlags(flags);
  for (const TreeItem& child : item.children) q->addChild(MakeItem(child));
  return q;
}

void CTreeCtrl_PLM_ALDB::Fill() {
  filling_ = true;
  const QSignalBlocker block(this);
  setUpdatesEnabled(false);
  const int scroll = verticalScrollBar()->value();
  clear();
  QTreeWidgetItem* selected = nullptr;
  // Expanding needs the items in the tree: a second walk over both. It also
  // measures the widest line, which asking the view would take much longer.
  const QFontMetrics metrics(font());
  int widest = 0;
  std::function<void(const TreeItem&, QTreeWidgetItem*, int)> settle = [&](const TreeItem& item, QTreeWidgetItem* q,
                                                                           int depth) {
    q->setExpanded(item.expanded);
    if (item.selected && selected == nullptr) selected = q;
    widest = std::max(widest, (depth + 1) * indentation() + kIconSize + metrics.horizontalAdvance(q->text(0)));
    for (int i = 0; i < q->childCount() && i < static_cast<int>(item.children.size()); ++i)
      settle(item.children[static_cast<size_t>(i)], q->child(i), depth + 1);
  };
  QList<QTreeWidgetItem*> tops;
  for (const TreeItem& top : model_.items) tops.append(MakeItem(top));
  addTopLevelItems(tops);
  for (int i = 0; i < topLevelItemCount(); ++i) settle(model_.items[static_cast<size_t>(i)], topLevelItem(i), 0);
  if (selected != nullptr) setCurrentItem(selected);
  setColumnWidth(0, widest + 16);
  verticalScrollBar()->setValue(scroll);
  setUpdatesEnabled(true);
  filling_ = false;
}

void CTreeCtrl_PLM_ALDB::RefreshDeviceItem(uint32_t key) {
  if (quorvel::RefreshDeviceItem(ctx_, model_, key) == 0) return;
  const TreeItem* item = FindTreeItem(model_, key);
  if (item == nullptr) return;
  const QString text = QString::fromLatin1(item->text.data(), static_cast<qsizetype>(item->text.size()));
  for (QTreeWidgetItemIterator it(this); *it != nullptr; ++it) {
    QTreeWidgetItem* q = *it;
    const TreeItemKind kind = ItemKind(q);
    const bool device = kind == TreeItemKind::kDevice || kind == TreeItemKind::kUnlinkedDevice ||
                        kind == TreeItemKind::kDiscoveredDevice;
    if (!device || ItemKey(q) != key) continue;
    q->setText(0, text);
    if (item->color != kColorBlack)
      q->setForeground(0, QColor(static_cast<QRgb>(item->color)));
    else
      q->setData(0, Qt::ForegroundRole, QVariant());
  }
}

QTreeWidgetItem* CTreeCtrl_PLM_ALDB::ItemForKey(uint32_t key) const {
  for (QTreeWidgetItemIterator it(const_cast<CTreeCtrl_PLM_ALDB*>(this)); *it != nullptr; ++it) {
    const TreeItemKind kind = ItemKind(*it);
    if (ItemKey(*it) == key && kind != TreeItemKind::kUnlinkedNode && kind != TreeItemKind::kDiscoveredNode)
      return *it;
  }
  return nullptr;
}

void CTreeCtrl_PLM_ALDB::OnCurrentChanged(QTreeWidgetItem* current) {
  if (filling_ || current == nullptr) return;
  SelectTreeItem(ctx_, ItemKey(current));
  if (selectionChanged) selectionChanged();
}

void CTreeCtrl_PLM_ALDB::SelectKey(uint32_t key) {
  QTreeWidgetItem* item = ItemForKey(key);
  if (item == nullptr) {
    SelectTreeItem(ctx_, key);
    if (selectionChanged) selectionChanged();
    return;
  }
  scrollToItem(item);
  if (item == currentItem())
    OnCurrentChanged(item);
  else
    setCurrentItem(item);
}

void CTreeCtrl_PLM_ALDB::SelectRoot() { SelectKey(ModemKey(ctx_)); }

void CTreeCtrl_PLM_ALDB::ReselectCurrent() {
  if (QTreeWidgetItem* item = currentItem()) {
    OnCurrentChanged(item);
  } else if (selectionChanged) {
    selectionChanged();
  }
}

void CTreeCtrl_PLM_ALDB::WriteLinkReport() { quorvel::WriteLinkReport(ctx_, model_); }

void CTreeCtrl_PLM_ALDB::Notify(const char* title, const std::string& text) { ctx_.notifier.ShowMessage(title, text); }

void CTreeCtrl_PLM_ALDB::mousePressEvent(QMouseEvent* event) {
  // The engine's quiet rules wait for the user to stop working in the tree.
  ctx_.engine.lastTreeClick = ctx_.clock.Now();
  QTreeWidget::mousePressEvent(event);
}

void CTreeCtrl_PLM_ALDB::ShowMenu(const QPoint& pos) {
  QTreeWidgetItem* item = itemAt(pos);
  if (item == nullptr) return;
  if (item != currentItem()) setCurrentItem(item);
  // The key is taken before the menu opens; the tick runs on inside it.
  const uint32_t key = ItemKey(item);
  const int command = ExecMenu(TreeContextMenu(ctx_, key), this, viewport()->mapToGlobal(pos), "DeviceTreeMenu");
  if (command != 0) RunMenuCommand(key, command);
}

void CTreeCtrl_PLM_ALDB::RunMenuCommand(uint32_t key, int command) {
  switch (command) {
    case kCmdTreeUnlink: {
      const std::string question = UnlinkQuestion(ctx_, key);
      if (question.empty()) return;
      if (LinkOperationRunning(ctx_)) {
        Notify(kWaitForOperationText, "");
        return;
      }
      if (!ConfirmOkCancel(this, kUnlinkTitle, question)) return;
      const CommandOutcome out = UnlinkFromComputerGroup(ctx_, key);
      if (out.HasBox()) Notify(out.title.c_str(), out.text);
      if (out.changed) ctx_.tick.treeRefreshPending = true;
      break;
    }
    case kCmdControllerToPlm:
      switch (ToggleControllerToPlm(ctx_, key)) {
        case GroupLinkResult::kNoLink: Notify(kAldbUpdateTitle, kAldbUpdateText); break;
        case GroupLinkResult::kBusy: Notify(kWaitForOperationText, ""); break;
        default: break;
      }
      break;
    default:
      RunTreeCommand(ctx_, key, command, onLevel ? onLevel() : 255);
      break;
  }
  if (selectionChanged) selectionChanged();
}

// --- Drag and drop ---------------------------------------------------------------

QStringList CTreeCtrl_PLM_ALDB::mimeTypes() const { return {QString::fromLatin1(kDeviceKeyMime)}; }

QMimeData* CTreeCtrl_PLM_ALDB::mimeData(const QList<QTreeWidgetItem*>& items) const {
  auto* data = new QMimeData;
  if (!items.isEmpty()) data->setData(QString::fromLatin1(kDeviceKeyMime), QByteArray::number(ItemKey(items.first())));
  return data;
}

void CTreeCtrl_PLM_ALDB::startDrag(Qt::DropActions) {
  QTreeWidgetItem* item = currentItem();
  if (item == nullptr || ItemKind(item) != TreeItemKind::kDevice) return;
  // The items stay as they are until the drop: the tick's rebuilds wait.
  model_.dragging = true;
  auto* drag = new QDrag(this);
  drag->setMimeData(mimeData({item}));
  drag->setPixmap(item->icon(0).pixmap(kIconSize));
  // Copy: the tree moves the item itself once the drop was taken.
  drag->exec(Qt::CopyAction, Qt::CopyAction);
  model_.dragging = false;
}

int CTreeCtrl_PLM_ALDB::DropGroupAt(const QPoint& pos, uint32_t dragged) const {
  const QTreeWidgetItem* target = itemAt(pos);
  if (target == nullptr) return -1;
  return DropTargetGroup(ItemKind(target), ItemKey(target), static_cast<uint8_t>(target->data(0, kGroupRole).toUInt()),
                         dragged);
}

void CTreeCtrl_PLM_ALDB::dragEnterEvent(QDragEnterEvent* event) {
  // The key is looked up again at the drop, whoever sent it.
  if (event->mimeData()->hasFormat(QString::fromLatin1(kDeviceKeyMime))) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
  } else {
    event->ignore();
  }
}

void CTreeCtrl_PLM_ALDB::dragMoveEvent(QDragMoveEvent* event) {
  // The view scrolls near its edges and opens a group the cursor rests on.
  QTreeWidget::dragMoveEvent(event);
  const uint32_t dragged = event->mimeData()->data(QString::fromLatin1(kDeviceKeyMime)).toUInt();
  if (DropGroupAt(event->position().toPoint(), dragged) >= 0) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
  } else {
    event->ignore();
  }
}

void CTreeCtrl_PLM_ALDB::dropEvent(QDropEvent* event) {
  const uint32_t dragged = event->mimeData()->data(QString::fromLatin1(kDeviceKeyMime)).toUInt();
  const int group = DropGroupAt(event->position().toPoint(), dragged);
  event->setDropAction(Qt::CopyAction);
  event->accept();
  if (group < 0) return;
  if (LinkOperationRunning(ctx_)) {
    Notify(kWaitForOperationText, "");
    return;
  }
  // The device is found again by its key: the items may be older than the table.
  if (MoveDeviceToGroup(ctx_, dragged, static_cast<uint8_t>(group)) != GroupLinkResult::kDone) return;
  QTreeWidgetItem* item = ItemForKey(dragged);
  QTreeWidgetItem* node = ItemForKey(MakeGroupKey(static_cast<uint8_t>(group)));
  if (item != nullptr && node != nullptr && item->parent() != nullptr) {
    filling_ = true;
    item->parent()->takeChild(item->parent()->indexOfChild(item));
    node->addChild(item);
    item->setData(0, kKeyRole, ctx_.tick.treeSelection);
    item->setData(0, kGroupRole, group);
    node->setExpanded(true);
    setCurrentItem(item);
    filling_ = false;
  }
  // The model's items follow at the next quiet tick.
  ctx_.tick.treeRefreshPending = true;
  if (selectionChanged) selectionChanged();
}

CDPane_PLM_Groups::CDPane_PLM_Groups(Context& ctx, QWidget* parent)
    : QDockWidget(QString::fromLatin1(kDeviceListCaption), parent) {
  setObjectName(QStringLiteral("DeviceListPane"));
  setProperty("controlId", kDeviceListId);
  tree_ = new CTreeCtrl_PLM_ALDB(ctx, this);
  setWidget(tree_);
  tree_->Rebuild();
}

}  // namespace quorvel
