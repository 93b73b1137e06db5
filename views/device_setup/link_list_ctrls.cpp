#include "views/device_setup/link_list_ctrls.h"

#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QResizeEvent>
#include <QStyledItemDelegate>
#include <QTimer>
#include <algorithm>

#include "engine/context.h"
#include "views/common/confirm_box.h"
#include "views/link_views/controller_setup_model.h"

namespace quorvel {

namespace {

constexpr int kSlotRole = Qt::UserRole;

QString Latin1(std::string_view s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

// The editors over the cells: a drop-down or a text editor, made for one
// edit and gone when it ends. Keys that end an edit go back to the list,
// which knows where the next editor opens.
class LinkCellDelegate : public QStyledItemDelegate {
 public:
  explicit LinkCellDelegate(LinkListCtrl* list) : QStyledItemDelegate(list), list_(list) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override {
    const int row = index.row();
    const int column = index.column();
    QWidget* editor = nullptr;
    switch (list_->EditorOf(row, column)) {
      case EditorKind::kDropDown: {
        auto* combo = new QComboBox(parent);
        combo->setObjectName(QString::fromLatin1(list_->ComboName()));
        choices_ = list_->ChoicesOf(row, column);
        for (const std::string& e : choices_.entries) combo->addItem(Latin1(e));
        combo->setCurrentIndex(choices_.selected);
        combo->setMaxVisibleItems(16);
        // Choosing an entry ends the edit at once.
        connect(combo, &QComboBox::activated, this, [this, combo] {
          Q_EMIT const_cast<LinkCellDelegate*>(this)->commitData(combo);
          Q_EMIT const_cast<LinkCellDelegate*>(this)->closeEditor(combo);
        });
        editor = combo;
        break;
      }
      case EditorKind::kText: {
        auto* edit = new QLineEdit(parent);
        edit->setObjectName(QString::fromLatin1(list_->EditName()));
        const int limit = list_->TextLimit(column);
        if (limit > 0) edit->setMaxLength(limit);
        edit->setFont(list_->font());
        // The editor grows with its text, up to the list's width.
        connect(edit, &QLineEdit::textChanged, edit, [edit, list = list_] {
          const int wanted = edit->fontMetrics().horizontalAdvance(edit->text()) + 12;
          const int room = list->viewport()->width() - edit->x();
          if (wanted > edit->width()) edit->resize(std::min(wanted, std::max(room, edit->width())), edit->height());
        });
        editor = edit;
        break;
      }
      case EditorKind::kNone:
        return nullptr;
    }
    editor->setProperty("controlId", kLinkEditorId);
    editor->setProperty("row", row);
    editor->setProperty("column", column);
    // The link the edit is for: the list may be filled again while it is open.
    const RowLink& link = list_->Rows().Row(row).link;
    editor->setProperty("slot", link.slot);
    editor->setProperty("partner", link.partner.Value());
    editor->installEventFilter(const_cast<LinkCellDelegate*>(this));
    return editor;
  }

  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
      edit->setText(index.data(Qt::DisplayRole).toString());
      edit->selectAll();
    }
  }

  void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
    if (!list_->Rows().ValidRow(index.row())) return;
    const RowLink& link = list_->Rows().Row(index.row()).link;
    if (editor->property("slot").toInt() != link.slot || editor->property("partner").toUInt() != link.partner.Value())
      return;  // the row stands for another link now: the edit was for one no longer there
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
      if (combo->currentIndex() != choices_.selected)
        list_->EditorChose(index.row(), index.column(), choices_, combo->currentIndex());
    } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
      list_->EditorTyped(index.row(), index.column(), edit->text());
    }
  }

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    auto* editor = qobject_cast<QWidget*>(object);
    if (editor == nullptr || event->type() != QEvent::KeyPress) return QStyledItemDelegate::eventFilter(object, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    EditKey edit;
    switch (key->key()) {
      case Qt::Key_Tab: edit = EditKey::kTab; break;
      case Qt::Key_Return:
      case Qt::Key_Enter: edit = EditKey::kEnter; break;
      case Qt::Key_Escape: edit = EditKey::kEscape; break;
      case Qt::Key_Up:
        // In a drop-down the arrows move through its entries.
        if (qobject_cast<QComboBox*>(editor) != nullptr) return QStyledItemDelegate::eventFilter(object, event);
        edit = EditKey::kUp;
        break;
      default: return QStyledItemDelegate::eventFilter(object, event);
    }
    const int row = editor->property("row").toInt();
    const int column = editor->property("column").toInt();
    if (edit != EditKey::kEscape) Q_EMIT commitData(editor);
    Q_EMIT closeEditor(editor, edit == EditKey::kEscape ? RevertModelCache : NoHint);
    // The next editor opens once this one is gone.
    QTimer::singleShot(0, list_, [list = list_, row, column, edit] { list->EditorKey(row, column, edit); });
    return true;
  }

 private:
  LinkListCtrl* list_;
  mutable CellChoices choices_;
};

}  // namespace

// --- LinkListCtrl -----------------------------------------------------------------

LinkListCtrl::LinkListCtrl(Context& ctx, const char* comboName, const char* editName, QWidget* parent)
    : QTableWidget(0, kLinkListColumns, parent), ctx_(ctx), comboName_(comboName), editName_(editName) {
  setShowGrid(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  verticalHeader()->hide();
  horizontalHeader()->setStretchLastSection(true);
  setWordWrap(false);
  // The columns share the width among them; a long partner name is cut, not scrolled to.
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setItemDelegate(new LinkCellDelegate(this));
  connect(this, &QTableWidget::cellClicked, this, [this](int row, int column) { OnCellClicked(row, column); });
  connect(this, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) { OnItemChanged(item); });
}

int LinkListCtrl::TextLimit(int) const { return 0; }

void LinkListCtrl::ShowRows() {
  showing_ = true;
  const int rows = Rows().Rows();
  if (rowCount() != rows) setRowCount(rows);
  showing_ = false;
  for (int r = 0; r < rows; ++r) ShowRow(r);
}

void LinkListCtrl::ShowRow(int row) {
  if (!Rows().ValidRow(row) || row >= rowCount()) return;
  const EditRow& r = Rows().Row(row);
  showing_ = true;
  for (int c = 0; c < kLinkListColumns; ++c) {
    QTableWidgetItem* it = item(row, c);
    if (it == nullptr) {
      it = new QTableWidgetItem;
      setItem(row, c, it);
    }
    it->setText(c == kSaveColumn ? Latin1(RowStateText(r.state)) : Latin1(r.cells[c]));
    it->setData(kSlotRole, r.link.slot);
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (c == 0) {
      if (!r.gone && !r.Busy() && r.link.slot >= 0) flags |= Qt::ItemIsUserCheckable;
      it->setCheckState(r.checked ? Qt::Checked : Qt::Unchecked);
    } else {
      it->setTextAlignment(Qt::AlignCenter);
      if (EditorOf(row, c) != EditorKind::kNone) flags |= Qt::ItemIsEditable;
    }
    it->setFlags(flags);
    // A removed link stays listed, greyed, until the list shows something else.
    if (r.gone)
      it->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
    else
      it->setData(Qt::ForegroundRole, QVariant());
  }
  showing_ = false;
}

bool LinkListCtrl::OpenEditor(int row, int column) {
  if (row < 0 || row >= rowCount() || EditorOf(row, column) == EditorKind::kNone) return false;
  QTableWidgetItem* it = item(row, column);
  if (it == nullptr) return false;
  setCurrentCell(row, column);
  scrollToItem(it);
  editItem(it);
  return true;
}

void LinkListCtrl::OnCellClicked(int row, int column) {
  if (column == kSaveColumn) {
    SaveRow(row);
  } else if (column > 0) {
    OpenEditor(row, column);
  }
}

void LinkListCtrl::OnItemChanged(QTableWidgetItem* it) {
  if (showing_ || it == nullptr || it->column() != 0) return;
  const int row = it->row();
  if (!Rows().ValidRow(row)) return;
  const bool checked = it->checkState() == Qt::Checked;
  if (checked == Rows().Row(row).checked) return;
  MutableRows().SetChecked(row, checked);
  ShowRow(row);
}

void LinkListCtrl::SaveRow(int row) {
  if (!Rows().ValidRow(row)) return;
  Carry(Save(row));
}

void LinkListCtrl::Carry(const SaveOutcome& outcome) {
  switch (outcome.kind) {
    case SaveOutcome::kMessage:
      ctx_.notifier.ShowMessage(outcome.title, outcome.text);
      break;
    case SaveOutcome::kConfirm: {
      // The tick runs on while the box is open; the model checks the link again after.
      const bool ok = ConfirmOkCancel(this, outcome.title, outcome.text);
      Carry(Confirmed(ok));
      return;
    }
    default:
      break;
  }
  if (outcome.refill) Refill();
  ShowRows();
  if (changed) changed();
}

void LinkListCtrl::FollowJobs() {
  if (!Rows().Waiting()) return;
  if (!Follow()) return;
  ShowRows();
  if (changed) changed();
}

void LinkListCtrl::EditorChose(int row, int column, const CellChoices& choices, int entry) {
  Chosen(row, column, choices, entry);
  ShowRow(row);
}

void LinkListCtrl::EditorTyped(int row, int column, const QString& text) {
  const SaveOutcome out = Typed(row, column, text.toLatin1().toStdString());
  if (out.kind == SaveOutcome::kMessage) ctx_.notifier.ShowMessage(out.title, out.text);
  ShowRow(row);
}

void LinkListCtrl::EditorKey(int row, int column, EditKey key) {
  if (key == EditKey::kEscape) {
    setFocus();
    return;
  }
  NextEdit next = NextCell(key, row, column, Rows().Rows(), Rows().LastTabColumn(row));
  if (next.save) SaveRow(row);
  // Cells with no editor (a controller's level) are passed over, once round the list at most.
  for (int tries = 0; next.row >= 0 && tries < kLinkListColumns * (Rows().Rows() + 1); ++tries) {
    if (next.row < Rows().Rows() && OpenEditor(next.row, next.column)) return;
    if (key == EditKey::kUp) break;
    next = NextCell(EditKey::kTab, next.row < Rows().Rows() ? next.row : 0, next.column, Rows().Rows(),
                    Rows().LastTabColumn(next.row));
  }
  setFocus();
}

void LinkListCtrl::resizeEvent(QResizeEvent* event) {
  QTableWidget::resizeEvent(event);
  SizeColumns();
}

// --- CListCtrlALDB ----------------------------------------------------------------

CListCtrlALDB::CListCtrlALDB(Context& ctx, QWidget* parent) : LinkListCtrl(ctx, kComboALDBName, kEditALDBName, parent) {
  QStringList headings;
  for (const char* h : kLinkListHeadings) headings << QString::fromLatin1(h);
  setHorizontalHeaderLabels(headings);
}

DeviceLinks CListCtrlALDB::Fill(DeviceKey device) {
  DeviceLinks links = model_.Fill(ctx_, device);
  ShowRows();
  return links;
}

CellChoices CListCtrlALDB::ChoicesOf(int row, int column) const { return model_.Choices(ctx_, row, column); }

void CListCtrlALDB::Chosen(int row, int column, const CellChoices& choices, int entry) {
  model_.Choose(row, column, choices, entry);
}

SaveOutcome CListCtrlALDB::Save(int row) { return model_.Save(ctx_, row); }

SaveOutcome CListCtrlALDB::Confirmed(bool ok) { return model_.ConfirmDelete(ctx_, ok); }

bool CListCtrlALDB::Follow() {
  if (!model_.FollowJobs(ctx_)) return false;
  model_.Fill(ctx_, model_.Device());
  return true;
}

void CListCtrlALDB::Refill() { model_.Fill(ctx_, model_.Device()); }

void CListCtrlALDB::SizeColumns() {
  const int w = viewport()->width();
  for (int c = 0; c + 1 < kLinkListColumns; ++c) setColumnWidth(c, w / kLinkListWidthShares[c]);
}

// --- CListCtrlDevALDB -------------------------------------------------------------

CListCtrlDevALDB::CListCtrlDevALDB(Context& ctx, ControllerSetupModel& model, QWidget* parent)
    : LinkListCtrl(ctx, kComboDevALDBName, kEditDevALDBName, parent), model_(model) {
  QStringList headings;
  for (const char* h : kButtonGroupHeadings) headings << QString::fromLatin1(h);
  setHorizontalHeaderLabels(headings);
  horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
}

const LinkRowList& CListCtrlDevALDB::Rows() const { return model_.list; }
LinkRowList& CListCtrlDevALDB::MutableRows() { return model_.list; }

EditorKind CListCtrlDevALDB::EditorOf(int row, int column) const { return model_.list.Editor(row, column); }

CellChoices CListCtrlDevALDB::ChoicesOf(int row, int column) const {
  return column == kRateColumn ? model_.list.RateChoices(ctx_, row) : CellChoices{};
}

int CListCtrlDevALDB::TextLimit(int column) const {
  return column == kGroupColumn || column == kLevelColumn ? kButtonGroupEditMax : 0;
}

void CListCtrlDevALDB::Chosen(int row, int, const CellChoices& choices, int entry) {
  model_.list.ChooseRate(row, choices, entry);
}

SaveOutcome CListCtrlDevALDB::Typed(int row, int column, const std::string& text) {
  return model_.list.EndTextEdit(row, column, text);
}

SaveOutcome CListCtrlDevALDB::Save(int row) { return model_.SaveRow(ctx_, row); }

SaveOutcome CListCtrlDevALDB::Confirmed(bool ok) { return model_.ConfirmRemoveLink(ctx_, ok); }

bool CListCtrlDevALDB::Follow() { return model_.FollowJobs(ctx_); }

void CListCtrlDevALDB::Refill() { model_.ShowButtonGroup(ctx_, model_.state.listedGroup); }

void CListCtrlDevALDB::SizeColumns() {
  const int w = viewport()->width();
  for (int c = 0; c + 1 < kLinkListColumns; ++c) setColumnWidth(c, w * kButtonGroupWidths[c] / 22);
}

}  // namespace quorvel
