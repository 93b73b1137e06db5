#include "views/event_editors/event_widgets.h"

#include <QButtonGroup>
#include <QContextMenuEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QRadioButton>
#include <QTextOption>
#include <QTreeWidgetItemIterator>
#include <algorithm>

namespace quorvel {

namespace {
constexpr int kLargeHeight = 100000;
}

QFont EventWindowFont(int pixels, bool bold) {
  QFont f(QStringLiteral("Ariel"));
  f.setStyleHint(QFont::SansSerif);
  f.setPixelSize(std::max(pixels, 7));
  f.setBold(bold);
  return f;
}

void StyleToggle(QPushButton* button) {
  button->setCheckable(true);
  button->setStyleSheet(QStringLiteral(
      "QPushButton:checked { background-color: #2f6fd0; color: white; border: 1px solid #1d4f9c;"
      " border-radius: 3px; padding: 3px 8px; }"));
}

QWidget* MakeFormPanel(QWidget* parent) {
  auto* panel = new QFrame(parent);
  panel->setObjectName(QStringLiteral("EventForm"));
  panel->setStyleSheet(
      QStringLiteral("QFrame#EventForm { background-color: rgba(255, 255, 255, 200); border-radius: 8px; }"));
  return panel;
}

QString RecordText(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// --- StepsText ---------------------------------------------------------------------

namespace {
constexpr int kSmallestSteps = 8;
}

StepsText::StepsText(const char* text, QWidget* parent) : QWidget(parent) {
  text_ = QString::fromLatin1(text);
  text_.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  setObjectName(QStringLiteral("Instructions"));
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
  setFont(EventWindowFont(requested_));
}

int StepsText::TabStop(const QFontMetrics& metrics) { return metrics.horizontalAdvance(QStringLiteral("STEP 99")); }

int StepsText::TextHeight(const QFont& font, int width) const {
  const QFontMetrics m(font);
  return m.boundingRect(QRect(0, 0, std::max(width, 1), kLargeHeight), Qt::TextWordWrap, text_, TabStop(m)).height() +
         2;
}

void StepsText::SetPixelSize(int pixels) {
  requested_ = std::max(pixels, kSmallestSteps);
  updateGeometry();
  Fit();
}

void StepsText::Fit() {
  int pixels = requested_;
  // Only a laid-out text is fitted; before that it takes the size asked for.
  if (height() > 0 && width() > 0)
    while (pixels > kSmallestSteps && TextHeight(EventWindowFont(pixels), width()) > height()) --pixels;
  if (font().pixelSize() != pixels) setFont(EventWindowFont(pixels));
  update();
}

void StepsText::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // The height the text needs follows the width the layout gave it.
  if (event->oldSize().width() != width()) updateGeometry();
  Fit();
}

// The width the hints are measured at: the laid-out width once the steps are
// shown, before that the width their longest line takes at the smallest size.
int StepsText::HintWidth() const {
  if (isVisible()) return std::max(width(), 1);
  const QFontMetrics m(EventWindowFont(kSmallestSteps));
  int widest = 1;
  for (const QString& line : text_.split(QLatin1Char('\n')))
    widest = std::max(widest, m.boundingRect(QRect(0, 0, kLargeHeight, kLargeHeight), 0, line, TabStop(m)).width());
  return widest + 2;
}

QSize StepsText::sizeHint() const {
  const int w = HintWidth();
  return {w, TextHeight(EventWindowFont(requested_), w)};
}

QSize StepsText::minimumSizeHint() const {
  const QFont f = EventWindowFont(kSmallestSteps);
  return {QFontMetrics(f).horizontalAdvance(QStringLiteral("STEP 9 - Click the SAVE")), TextHeight(f, HintWidth())};
}

void StepsText::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  updateGeometry();  // measured from now on at the width it has
}

void StepsText::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setFont(font());
  p.setPen(palette().color(QPalette::WindowText));
  QTextOption option;
  option.setWrapMode(QTextOption::WordWrap);
  option.setTabStopDistance(TabStop(fontMetrics()));
  p.drawText(QRectF(rect()), text_, option);
}

// --- WeekdayControls ---------------------------------------------------------------

WeekdayControls::WeekdayControls(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Weekdays"));
  auto* box = new QGridLayout(this);
  box->setContentsMargins(0, 0, 0, 0);
  box->setHorizontalSpacing(3);
  for (int d = 0; d < 7; ++d) {
    auto* b = new QPushButton(QString::fromLatin1(kWeekdayLetters[d]), this);
    b->setObjectName(QStringLiteral("Weekday%1").arg(d));
    StyleToggle(b);
    b->setFixedWidth(b->fontMetrics().horizontalAdvance(QStringLiteral("WW")) + 12);
    // Each day flips on its own; no button clears another.
    connect(b, &QPushButton::clicked, this, [this, d] {
      days_ = ToggleWeekday(days_, d);
      Show();
      if (changed) changed(days_);
    });
    dayButtons_[d] = b;
    box->addWidget(b, 0, d);
  }
  auto* presets = new QButtonGroup(this);
  auto* row = new QHBoxLayout;
  for (int i = 0; i < 3; ++i) {
    auto* r = new QRadioButton(QString::fromLatin1(kWeekdayPresetTexts[i]), this);
    r->setObjectName(QStringLiteral("WeekdayPreset%1").arg(i));
    presets->addButton(r, i);
    presets_[i] = r;
    row->addWidget(r);
    connect(r, &QRadioButton::clicked, this, [this, i] {
      days_ = PresetDays(static_cast<WeekdayPreset>(i));
      Show();
      if (changed) changed(days_);
    });
  }
  row->addStretch();
  box->addLayout(row, 1, 0, 1, 8);
  box->setColumnStretch(7, 1);
  Show();
}

void WeekdayControls::SetDays(uint8_t days) {
  days_ = static_cast<uint8_t>(days & kAllWeekDays);
  Show();
}

void WeekdayControls::Show() {
  for (int d = 0; d < 7; ++d) dayButtons_[d]->setChecked(((days_ >> d) & 1) != 0);
}

// --- EventListTree -------------------------------------------------------------------

EventListTree::EventListTree(QWidget* parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  setUniformRowHeights(true);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  header()->setStretchLastSection(false);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setContextMenuPolicy(Qt::DefaultContextMenu);
}

uint32_t EventListTree::Value(const QTreeWidgetItem* item) {
  return item != nullptr ? item->data(0, Qt::UserRole).toUInt() : 0;
}

EventLine LineOf(const QTreeWidgetItem* item) {
  EventLine line;
  if (item == nullptr) return line;
  line.value = EventListTree::Value(item);
  line.parent = EventListTree::Value(item->parent());
  line.text = item->text(0).toLatin1().toStdString();
  return line;
}

QTreeWidgetItem* EventListTree::ItemForValue(uint32_t value) const {
  for (QTreeWidgetItemIterator it(const_cast<EventListTree*>(this)); *it != nullptr; ++it)
    if (Value(*it) == value) return *it;
  return nullptr;
}

void EventListTree::Fill(const EventTreeItem& root) {
  const uint32_t current = Value(currentItem());
  const QSignalBlocker block(this);
  clear();
  std::function<QTreeWidgetItem*(const EventTreeItem&)> make = [&](const EventTreeItem& item) {
    auto* q = new QTreeWidgetItem(QStringList{RecordText(item.text)});
    q->setData(0, Qt::UserRole, item.value);
    for (const EventTreeItem& child : item.children) q->addChild(make(child));
    return q;
  };
  addTopLevelItem(make(root));
  expandAll();
  if (QTreeWidgetItem* again = current != 0 ? ItemForValue(current) : nullptr) setCurrentItem(again);
}

void EventListTree::mousePressEvent(QMouseEvent* event) {
  // The item under the pointer is the one the menu acts on: it is selected and shown first.
  if (event->button() == Qt::RightButton) {
    if (QTreeWidgetItem* item = itemAt(event->position().toPoint())) setCurrentItem(item);
  }
  QTreeWidget::mousePressEvent(event);
}

void EventListTree::contextMenuEvent(QContextMenuEvent* event) {
  QTreeWidgetItem* item = event->reason() == QContextMenuEvent::Mouse ? itemAt(event->pos()) : currentItem();
  if (item == nullptr) return;
  setCurrentItem(item);
  if (menuRequested) menuRequested(item, event->globalPos());
}

}  // namespace quorvel
