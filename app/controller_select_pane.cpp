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
  const int average = QFontMetrics(font()).averageCharWidth();
  setColumnWidth(0, 10 * average);
  setColumnWidth(1, 16 * average);
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
