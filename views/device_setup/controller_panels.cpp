#include "views/device_setup/controller_panels.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

#include "engine/context.h"
#include "log/text_contrast.h"
#include "views/common/device_pictures.h"
#include "views/link_views/controller_setup_model.h"
#include "views/link_views/device_list_pane.h"

namespace quorvel {

namespace {

const QColor kOutline(0xFC, 0xCE, 0x4A);
const QColor kCaptionColor(0xDD, 0xDD, 0xEE);
const QColor kMarkedLine(0x33, 0xAA, 0x33);
const QColor kPlainLine(0x99, 0x99, 0x55);
// Behind the captions and group boxes, so their colours read on any sky.
const QColor kBoxFill(24, 32, 52, 200);
const QColor kBoxFillOpaque(24, 32, 52);
const QColor kTitleColor(0xF0, 0xF0, 0xF4);

QString Latin1(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

QFont ArialPixels(int pixels, bool bold = false) {
  QFont f(QStringLiteral("Arial"));
  f.setStyleHint(QFont::SansSerif);
  f.setPixelSize(pixels);
  f.setBold(bold);
  return f;
}

QRect ToQRect(const PanelRect& r) { return QRect(QPoint(r.left, r.top), QPoint(r.right, r.bottom)); }

// The given colour, or its nearest variant that reads on the box.
QColor Readable(const QColor& text) {
  const TraceColor t{static_cast<uint8_t>(text.red()), static_cast<uint8_t>(text.green()),
                     static_cast<uint8_t>(text.blue())};
  const TraceColor b{static_cast<uint8_t>(kBoxFillOpaque.red()), static_cast<uint8_t>(kBoxFillOpaque.green()),
                     static_cast<uint8_t>(kBoxFillOpaque.blue())};
  const TraceColor r = ReadableOn(t, b);
  return QColor(r.red, r.green, r.blue);
}

DeviceKey DraggedKey(const QMimeData* mime) {
  if (mime == nullptr || !mime->hasFormat(QString::fromLatin1(kDeviceKeyMime))) return 0;
  bool ok = false;
  const DeviceKey key = mime->data(QString::fromLatin1(kDeviceKeyMime)).toUInt(&ok);
  return ok ? key : 0;
}

}  // namespace

CWndCtrlPanel::CWndCtrlPanel(Context& ctx, ControllerSetupModel& model, PanelKind kind, QWidget* parent)
    : QWidget(parent), ctx_(ctx), model_(model), kind_(kind) {
  const PanelInfo& info = PanelInfoOf(kind);
  setObjectName(QString::fromLatin1(info.windowText));
  setWindowTitle(QString::fromLatin1(info.windowText));
  setProperty("controlId", info.controlId);
  setProperty("panelClass", QString::fromLatin1(info.className));
  setAcceptDrops(true);
  setMinimumHeight(200);
}

int CWndCtrlPanel::GroupCount() const { return static_cast<int>(model_.groups.lists.size()); }

PanelLayout CWndCtrlPanel::Layout() const { return LayoutPanel(GroupCount(), width(), height()); }

void CWndCtrlPanel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const PanelLayout layout = Layout();
  const int slot = model_.ShownSlot(ctx_);
  const DeviceRecord* controller = slot >= 0 ? &ctx_.db[slot] : nullptr;
  const QRect pictureRect = ToQRect(layout.picture);
  const std::string picture =
      controller != nullptr ? PanelPicture(kind_, *controller) : std::string(PanelPicture(kind_, DeviceRecord{}));
  const QPixmap pixmap = DevicePicture(picture);
  if (!pixmap.isNull() && pictureRect.isValid()) {
    const QPixmap scaled = pixmap.scaled(pictureRect.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    p.drawPixmap(pictureRect.left() + (pictureRect.width() - scaled.width()) / 2, pictureRect.top(), scaled);
  }
  // A controller no longer in the table shows only its picture.
  if (controller == nullptr || !model_.groups.found) return;

  for (size_t i = 0; i < layout.groups.size(); ++i) {
    const QRect r = ToQRect(layout.groups[i]);
    p.setPen(Qt::NoPen);
    p.setBrush(kBoxFill);
    p.drawRect(r);
    p.setPen(QPen(kOutline, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r);
    PaintGroupBox(p, *controller, layout.groups[i], static_cast<int>(i) + 1);
  }
  PaintPanel(p, *controller, layout);

  const QFont captionFont = ArialPixels(24);
  p.setFont(captionFont);
  const QString caption = Latin1(PanelCaption(*controller));
  const QFontMetrics m(captionFont);
  const QRect band(4, 2, std::min(width() - 8, m.horizontalAdvance(caption) + 20), kCaptionHeight - 4);
  p.setPen(Qt::NoPen);
  p.setBrush(kBoxFill);
  p.drawRoundedRect(band, 6, 6);
  p.setPen(kCaptionColor);
  p.drawText(band.adjusted(10, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft, caption);
}

void CWndCtrlPanel::PaintPanel(QPainter&, const DeviceRecord&, const PanelLayout&) {}

void CWndCtrlPanel::PaintGroupBox(QPainter& p, const DeviceRecord& controller, const PanelRect& rect, int group) {
  if (group < 1 || group > GroupCount()) return;
  const PanelGroupList& list = model_.groups.lists[static_cast<size_t>(group - 1)];
  const QFont titleFont = ArialPixels(13, true);
  const QFont lineFont = ArialPixels(12);
  const QRect inner = ToQRect(rect).adjusted(6, 4, -6, -4);
  p.save();
  p.setClipRect(inner);
  p.setFont(titleFont);
  p.setPen(kTitleColor);
  const QFontMetrics tm(titleFont);
  int y = inner.top() + tm.ascent();
  p.drawText(inner.left(), y, Latin1(GroupTitle(controller, group)));
  y += tm.lineSpacing();
  p.setFont(lineFont);
  p.setPen(Readable(list.mark != 0 ? kMarkedLine : kPlainLine));
  const QFontMetrics lm(lineFont);
  int lines = 0;
  for (const PanelEntry& e : list.entries) {
    if (++lines > kMaxGroupEntries || y > inner.bottom() + lm.ascent()) break;
    p.drawText(inner.left() + 4, y + lm.ascent() - tm.ascent() + 2, Latin1(EntryText(e)));
    y += lm.lineSpacing();
  }
  p.restore();
}

void CWndCtrlPanel::dragEnterEvent(QDragEnterEvent* event) {
  if (DraggedKey(event->mimeData()) != 0) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
  } else {
    event->ignore();
  }
}

void CWndCtrlPanel::dragMoveEvent(QDragMoveEvent* event) {
  const QPoint p = event->position().toPoint();
  if (DraggedKey(event->mimeData()) != 0 && !GroupsAt(Layout(), p.x(), p.y()).empty()) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
  } else {
    event->ignore();
  }
}

void CWndCtrlPanel::dropEvent(QDropEvent* event) {
  const DeviceKey key = DraggedKey(event->mimeData());
  if (key == 0) {
    event->ignore();
    return;
  }
  event->setDropAction(Qt::CopyAction);
  event->accept();
  const QPoint p = event->position().toPoint();
  for (int g : GroupsAt(Layout(), p.x(), p.y()))
    if (dropped) dropped(g, key);
  update();
}

void CWndCtrlPanel::mouseReleaseEvent(QMouseEvent* event) {
  QWidget::mouseReleaseEvent(event);
  if (event->button() != Qt::LeftButton) return;
  const QPoint p = event->position().toPoint();
  if (clicked) clicked(GroupsAt(Layout(), p.x(), p.y()));
  update();
}

CWndCtrlPanel* MakeControllerPanel(PanelKind kind, Context& ctx, ControllerSetupModel& model, QWidget* parent) {
  switch (kind) {
    case PanelKind::kDefault: return new CWndCtrlDefault(ctx, model, parent);
    case PanelKind::kNetworkBridge: return new CWndCtrlNetworkBridge(ctx, model, parent);
    case PanelKind::kControlLinc: return new CWndCtrlControlLinc(ctx, model, parent);
    case PanelKind::kTriggerLinc: return new CWndCtrlTriggerLinc(ctx, model, parent);
    case PanelKind::kSwitchLinc: return new WndCtrlSwitchLinc(ctx, model, parent);
    case PanelKind::kToggleLinc: return new CWndCtrlToggleLinc(ctx, model, parent);
    // The kinds with settings of their own show their button groups on the common frame.
    case PanelKind::kKeypadLinc:
    case PanelKind::kRemoteLinc:
    case PanelKind::kMotionSensor:
    case PanelKind::kIOLinc: return new CWndCtrlPanel(ctx, model, kind, parent);
  }
  return new CWndCtrlDefault(ctx, model, parent);
}

}  // namespace quorvel
