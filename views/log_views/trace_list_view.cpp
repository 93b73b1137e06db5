#include "views/log_views/trace_list_view.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <algorithm>

#include "log/text_contrast.h"

namespace quorvel {

QColor ToQColor(TraceColor color) { return QColor(color.red, color.green, color.blue); }

TraceColor ToTraceColor(const QColor& color) {
  return {static_cast<uint8_t>(color.red()), static_cast<uint8_t>(color.green()), static_cast<uint8_t>(color.blue())};
}

QColor CTraceList::ShownColor(TraceKind kind) const {
  return ToQColor(ReadableOn(KindColor(kind), ToTraceColor(palette().color(QPalette::Base))));
}

CTraceList::CTraceList(TraceList& list, QWidget* parent) : QAbstractScrollArea(parent), list_(list) {
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setAutoFillBackground(false);

  menu_ = new QMenu(this);
  QAction* all = menu_->addAction(QString::fromLatin1(kSelectAllText));
  QAction* copy = menu_->addAction(QString::fromLatin1(kCopySelectedText));
  QAction* none = menu_->addAction(QString::fromLatin1(kUnSelectAllText));
  connect(all, &QAction::triggered, this, [this] { SelectAll(); });
  connect(copy, &QAction::triggered, this, [this] { CopySelected(); });
  connect(none, &QAction::triggered, this, [this] { UnSelectAll(); });

  RecomputeExtent();
  UpdateViewport();
}

int CTraceList::LineHeight() const {
  if (lineHeight_ == 0) {
    const QFontMetrics fm(font());
    // The internal leading is the part of the cell height above the em square.
    const int em = font().pixelSize() > 0 ? font().pixelSize() : fm.ascent();
    const int internalLeading = std::max(0, fm.height() - em);
    lineHeight_ = std::max(1, fm.height() + internalLeading);
  }
  return lineHeight_;
}

int CTraceList::TextIndent() const {
  if (textIndent_ == 0) textIndent_ = QFontMetrics(font()).horizontalAdvance(QString::fromLatin1(kTraceIndentText));
  return textIndent_;
}

int CTraceList::RowWidth(int row) const {
  return TextIndent() +
         QFontMetrics(font()).horizontalAdvance(QString::fromStdString(list_.Row(row).Text()));
}

void CTraceList::RecomputeExtent() {
  int widest = 0;
  for (int i = 0; i < list_.Count(); ++i) widest = std::max(widest, RowWidth(i));
  horizontalExtent_ = widest;
}

void CTraceList::UpdateViewport() { list_.SetViewport(LineHeight(), viewport()->height()); }

void CTraceList::OnAdded(bool trimmed) {
  if (list_.Count() > 0) {
    const int width = RowWidth(list_.Count() - 1);
    if (width > horizontalExtent_) {
      horizontalExtent_ = width;
    } else if (trimmed) {
      RecomputeExtent();
    }
  }
  if (focusRow_ >= list_.Count()) focusRow_ = -1;
  SyncScrollBars();
  viewport()->update();
  // A channel may move its top row right after telling (the On Log follows its
  // end): look again once the current call is over.
  if (!syncPending_) {
    syncPending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
          syncPending_ = false;
          SyncScrollBars();
          viewport()->update();
        },
        Qt::QueuedConnection);
  }
}

void CTraceList::OnCleared() {
  horizontalExtent_ = 0;
  focusRow_ = -1;
  SyncScrollBars();
  viewport()->update();
}

void CTraceList::SyncScrollBars() {
  syncing_ = true;
  const int lh = LineHeight();
  const int fullRows = std::max(1, viewport()->height() / lh);
  const int top = list_.TopRow();
  const int maxTop = std::max({0, list_.Count() - fullRows, top});
  verticalScrollBar()->setRange(0, maxTop);
  verticalScrollBar()->setPageStep(fullRows);
  verticalScrollBar()->setSingleStep(1);
  verticalScrollBar()->setValue(top);
  horizontalScrollBar()->setRange(0, std::max(0, horizontalExtent_ - viewport()->width()));
  horizontalScrollBar()->setPageStep(std::max(1, viewport()->width()));
  horizontalScrollBar()->setSingleStep(std::max(1, lh));
  syncing_ = false;
}

int CTraceList::RowAt(int y) const {
  if (y < 0) return -1;
  const int row = list_.TopRow() + y / LineHeight();
  return row < list_.Count() ? row : -1;
}

void CTraceList::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  const QPalette& pal = palette();
  const QRect area = viewport()->rect();
  p.fillRect(area, pal.color(QPalette::Base));
  p.setFont(font());
  if (list_.Count() == 0) {
    if (hasFocus()) {
      QStyleOptionFocusRect opt;
      opt.initFrom(this);
      opt.rect = area;
      style()->drawPrimitive(QStyle::PE_FrameFocusRect, &opt, &p, this);
    }
    return;
  }
  const int lh = LineHeight();
  const int dx = horizontalScrollBar()->value();
  const int ascent = QFontMetrics(font()).ascent();
  const bool focused = hasFocus();
  // Each kind's colour made readable on this look's background, once per paint.
  QColor kindColors[4];
  for (TraceKind kind : {TraceKind::Comment, TraceKind::CommentOn, TraceKind::CommentOff, TraceKind::Data})
    kindColors[static_cast<int>(kind)] = ShownColor(kind);
  for (int row = list_.TopRow(), y = 0; row < list_.Count() && y < area.height(); ++row, y += lh) {
    const QRect rect(0, y, area.width(), lh);
    QColor text;
    if (list_.IsSelected(row)) {
      p.fillRect(rect, pal.color(focused ? QPalette::Highlight : QPalette::Button));
      text = pal.color(focused ? QPalette::HighlightedText : QPalette::ButtonText);
    } else {
      text = kindColors[static_cast<int>(list_.Row(row).kind) & 3];
    }
    p.setPen(text);
    p.drawText(kTraceTextLeft - dx, y + ascent, QString::fromStdString(list_.Row(row).Text()));
    if (focused && row == focusRow_) {
      QStyleOptionFocusRect opt;
      opt.initFrom(this);
      opt.rect = rect;
      style()->drawPrimitive(QStyle::PE_FrameFocusRect, &opt, &p, this);
    }
  }
}

void CTraceList::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateViewport();
  SyncScrollBars();
}

void CTraceList::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QAbstractScrollArea::mousePressEvent(event);
    return;
  }
  setFocus(Qt::MouseFocusReason);
  // Every click toggles the clicked row, so rows are picked one by one.
  const int row = RowAt(event->position().toPoint().y());
  if (row >= 0) {
    list_.ToggleSelected(row);
    focusRow_ = row;
  }
  viewport()->update();
}

void CTraceList::mouseReleaseEvent(QMouseEvent* event) { event->accept(); }

void CTraceList::contextMenuEvent(QContextMenuEvent* event) {
  setFocus(Qt::OtherFocusReason);
  menu_->exec(event->globalPos());
}

void CTraceList::scrollContentsBy(int, int) {
  if (!syncing_) list_.SetTopRow(verticalScrollBar()->value());
  viewport()->update();
}

void CTraceList::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) {
    // The cached measures belong to the old font.
    lineHeight_ = 0;
    textIndent_ = 0;
    RecomputeExtent();
    UpdateViewport();
    SyncScrollBars();
  }
  QAbstractScrollArea::changeEvent(event);
}

bool CTraceList::event(QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll)) {
      event->accept();
      return true;
    }
  }
  return QAbstractScrollArea::event(event);
}

void CTraceList::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    CopySelected();
  } else if (event->matches(QKeySequence::SelectAll)) {
    SelectAll();
  } else {
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  event->accept();
}

void CTraceList::SelectAll() {
  viewport()->setUpdatesEnabled(false);
  list_.SelectAll();
  viewport()->setUpdatesEnabled(true);
  viewport()->update();
}

void CTraceList::UnSelectAll() {
  list_.UnSelectAll();
  viewport()->update();
}

void CTraceList::CopySelected() {
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (clipboard == nullptr) return;
  clipboard->setText(QString::fromStdString(list_.CopySelected()));
}

}  // namespace quorvel
