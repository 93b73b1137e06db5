#include "views/common/tab_window.h"

#include <QPainter>

#include "app/day_night_gradient.h"

namespace quorvel {

CTabWindow::CTabWindow(Context& ctx, const char* name, int id, QWidget* parent) : QWidget(parent), ctx_(ctx) {
  setObjectName(QString::fromLatin1(name));
  setWindowTitle(QString::fromLatin1(name));
  setProperty("controlId", id);
}

void CTabWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  FillDayNightGradient(rect(), painter, ctx_);
}

}  // namespace quorvel
