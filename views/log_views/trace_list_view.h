#pragma once
// The owner-drawn list of one log channel. The rows, their selection and the
// limit live in the core's TraceList; this widget measures, draws and scrolls
// them, and offers the context menu. Every row is one text line high.
#include <QAbstractScrollArea>
#include <QColor>
#include <QString>

#include "log/trace_list.h"

class QMenu;
class QAction;

namespace quorvel {

// Pixels between a row's left edge and its text.
inline constexpr int kTraceTextLeft = 10;
// The text whose width is the indent counted into every row's width.
inline constexpr char kTraceIndentText[] = "0000000 ";
inline constexpr char kSelectAllText[] = "Select All";
inline constexpr char kCopySelectedText[] = "Copy Selected";
inline constexpr char kUnSelectAllText[] = "UnSelect All";

QColor ToQColor(TraceColor color);
TraceColor ToTraceColor(const QColor& color);

class CTraceList : public QAbstractScrollArea {
 public:
  explicit CTraceList(TraceList& list, QWidget* parent = nullptr);

  TraceList& Model() { return list_; }
  const TraceList& Model() const { return list_; }

  // The core added a row (after trimming, when `trimmed`): grow the scroll
  // extent, follow the end as the list decided, redraw.
  void OnAdded(bool trimmed);
  // The core emptied the list.
  void OnCleared();
  // Brings the scroll bars in line with the list's top row and row count.
  void SyncScrollBars();

  // Text height plus internal leading of the list's font, measured once.
  int LineHeight() const;
  // Width of "0000000 " in the list's font, measured once.
  int TextIndent() const;
  // The widest row seen so far, as the horizontal scroll extent.
  int HorizontalExtent() const { return horizontalExtent_; }
  // The row under a point of the viewport, or -1.
  int RowAt(int y) const;
  int FocusRow() const { return focusRow_; }

  // The context menu's three commands.
  void SelectAll();
  void UnSelectAll();
  void CopySelected();
  QMenu* ContextMenu() const { return menu_; }

  // The colour an unselected row of this kind is drawn in: the kind's own
  // colour where it reads on the list's background, a readable variant where not.
  QColor ShownColor(TraceKind kind) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void changeEvent(QEvent* event) override;
  // Ctrl+C copies the selected rows and Ctrl+A selects them all, here rather
  // than through the window's Edit commands, so it works wherever the pane is.
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  int RowWidth(int row) const;
  void RecomputeExtent();
  void UpdateViewport();

  TraceList& list_;
  mutable int lineHeight_ = 0;
  mutable int textIndent_ = 0;
  int horizontalExtent_ = 0;
  int focusRow_ = -1;
  bool syncing_ = false;
  bool syncPending_ = false;
  QMenu* menu_ = nullptr;
};

}  // namespace quorvel
