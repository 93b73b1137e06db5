#include "views/log_views/output_pane.h"

#include <QAbstractItemView>
#include <QListWidget>
#include <QMouseEvent>
#include <QTabBar>
#include <QTabWidget>

#include "views/log_views/trace_list_view.h"

namespace quorvel {

namespace {
constexpr LogChannel kTabOrder[kLogChannelCount] = {LogChannel::GeneralActivity, LogChannel::InsteonTraffic,
                                                    LogChannel::QuedForActivity, LogChannel::OnLog,
                                                    LogChannel::LinkReport};
// Control identifiers of the five lists, in tab order.
constexpr int kListIds[kLogChannelCount] = {2, 3, 4, 5, 6};
}  // namespace

QFont OutputPaneFont() {
  QFont font(QStringLiteral("Times New Roman"));
  font.setPixelSize(14);
  font.setWeight(QFont::Normal);
  font.setFixedPitch(true);
  // Where the face is missing, a fixed-pitch face of the same family stands in.
  font.setStyleHint(QFont::TypeWriter);
  return font;
}

CDPaneOutputWnd::CDPaneOutputWnd(ActivityLog& log, QWidget* parent)
    : QDockWidget(QString::fromLatin1(kOutputPaneCaption), parent), log_(log) {
  setObjectName(QStringLiteral("OutputPane"));
  setProperty("controlId", kOutputPaneId);
  const QFont font = OutputPaneFont();

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("OutputTabs"));
  tabs_->setProperty("controlId", 1);
  tabs_->setTabPosition(QTabWidget::South);
  tabs_->setDocumentMode(true);

  for (int i = 0; i < kLogChannelCount; ++i) {
    const LogChannel channel = kTabOrder[i];
    QWidget* list = nullptr;
    if (channel == LogChannel::QuedForActivity) {
      queued_ = new QListWidget(tabs_);
      // Each click toggles a row, as in the trace lists; this list has no context menu.
      queued_->setSelectionMode(QAbstractItemView::MultiSelection);
      queued_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
      queued_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
      queued_->setContextMenuPolicy(Qt::NoContextMenu);
      for (const LogLine& line : log_.Lines(channel)) {
        auto* item = new QListWidgetItem(QString::fromStdString(line.Text()), queued_);
        item->setData(Qt::UserRole, line.rowData);
      }
      list = queued_;
    } else {
      auto* view = new CTraceList(log_.List(channel), tabs_);
      traceViews_[static_cast<size_t>(channel)] = view;
      // The channel keeps its own limit of 1000; setting it again trims nothing.
      view->Model().SetMaxEntries(kChannelEntryLimit);
      list = view;
    }
    list->setFont(font);
    list->setProperty("controlId", kListIds[i]);
    list->setObjectName(QString::fromLatin1(ChannelName(channel).data(),
                                            static_cast<int>(ChannelName(channel).size())));
    tabs_->addTab(list, list->objectName());
  }
  tabs_->tabBar()->installEventFilter(this);
  setWidget(tabs_);
  log_.AddSink(this);
}

CDPaneOutputWnd::~CDPaneOutputWnd() { log_.RemoveSink(this); }

void CDPaneOutputWnd::OnTrimmed(LogChannel channel) { trimmed_[static_cast<size_t>(channel)] = true; }

void CDPaneOutputWnd::OnLine(const LogLine& line) {
  const auto index = static_cast<size_t>(line.channel);
  if (line.channel == LogChannel::QuedForActivity) {
    auto* item = new QListWidgetItem(QString::fromStdString(line.Text()), queued_);
    item->setData(Qt::UserRole, line.rowData);
    queued_->scrollToBottom();
    return;
  }
  if (CTraceList* view = traceViews_[index]) view->OnAdded(trimmed_[index]);
  trimmed_[index] = false;
}

void CDPaneOutputWnd::OnClear(LogChannel channel) {
  if (channel == LogChannel::QuedForActivity) {
    queued_->clear();
    return;
  }
  if (CTraceList* view = traceViews_[static_cast<size_t>(channel)]) view->OnCleared();
}

bool CDPaneOutputWnd::eventFilter(QObject* watched, QEvent* event) {
  if (watched == tabs_->tabBar() && event->type() == QEvent::MouseButtonRelease) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton) {
      const int tab = tabs_->tabBar()->tabAt(mouse->position().toPoint());
      if (tab >= 0 && kTabOrder[tab] == LogChannel::LinkReport && linkReportRequested) linkReportRequested();
    }
  }
  return QDockWidget::eventFilter(watched, event);
}

}  // namespace quorvel
