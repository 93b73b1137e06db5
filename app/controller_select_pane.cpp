#include "app/controller_select_pane.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QPainter>
#include <QResizeEvent>

#include "app/day_night_gradient.h"

namespace quorvel {

namespace {

// The pane's client: the sky, with the list laid over it.
class SkyBackground : public QWidget {
 public:
  SkyBackground(Context& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx) {}
  CCListCtrlControlers* list = nullptr;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    FillDayNightGradient(rect(), painter, ctx_);
  }
  void resizeEvent(QResizeEvent* event) override {
    if (list != nullptr) list->setGeometry(CDPaneControlerSelect::ListRect(event->size()));
  }

 private:
  Context& ctx_;
};

}  // namespace

CCListCtrlControlers::CCListCtrlControlers(QWidget* parent) : QTableWidget(0, 2, parent) {
  setProperty("controlId", kControllerListId);
  setHorizontalHeaderLabels({QStringLiteral("Inteon ID"), QStringLiteral("Controller Type")});
  verticalHeader()->hide();
  setShowGrid(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setWordWrap(false);
  verticalHeader()->setDefaultSectionSize(QFontMetrics(font()).height() + 6);
  const QFontMetrics m(font());
  setColumnWidth(0, m.horizontalAdvance(QStringLiteral("[ 2a.10.04 ]")) + 14);
  setColumnWidth(1, 22 * m.averageCharWidth());
  connect(this, &QTableWidget::currentCellChanged, this, [this](int row, int, int, int) {
    if (filling_ || row < 0) return;
    if (selected) selected(RowKey(row));
  });
}

void CCListCtrlControlers::ShowRows(const std::vector<ControllerRow>& rows, DeviceKey shown) {
  filling_ = true;
  clearContents();
  setRowCount(static_cast<int>(rows.size()));
  int select = -1;
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const ControllerRow& row = rows[static_cast<size_t>(r)];
    auto* id = new QTableWidgetItem(QString::fromLatin1(row.id.c_str()));
    id->setData(Qt::UserRole, row.key);
    setItem(r, 0, id);
    setItem(r, 1, new QTableWidgetItem(QString::fromLatin1(row.kind.c_str())));
    if (KeyId(row.key) == KeyId(shown)) select = r;
  }
  // The shown controller's row is the one selected.
  if (select >= 0)
    setCurrentCell(select, 0);
  else
    clearSelection();
  filling_ = false;
}

DeviceKey CCListCtrlControlers::RowKey(int row) const {
  const QTableWidgetItem* it = item(row, 0);
  return it != nullptr ? it->data(Qt::UserRole).toUInt() : 0;
}

void CCListCtrlControlers::focusInEvent(QFocusEvent* event) {
  QTableWidget::focusInEvent(event);
  if (focused) focused();
}

CDPaneControlerSelect::CDPaneControlerSelect(Context& ctx, QWidget* parent)
    : QDockWidget(QString::fromLatin1(kControllerSelectCaption), parent) {
  setObjectName(QStringLiteral("ControllerSelectPane"));
  setProperty("controlId", kControllerSelectId);
  auto* sky = new SkyBackground(ctx, this);
  list_ = new CCListCtrlControlers(sky);
  sky->list = list_;
  setWidget(sky);
}

QRect CDPaneControlerSelect::ListRect(const QSize& client) {
  const int height = client.height() - client.height() / 24;
  return QRect(3, 3, std::max(0, client.width() - 6), std::max(0, height - 6));
}

}  // namespace quorvel
