#pragma once
// The dock pane "Output": five log channels as tabs along its bottom. The
// channels themselves live in the core's ActivityLog; the pane shows them and
// follows each new line as the log reports it.
#include <QDockWidget>
#include <QFont>
#include <array>
#include <functional>

#include "log/activity_log.h"

class QListWidget;
class QTabWidget;

namespace quorvel {

class CTraceList;

inline constexpr char kOutputPaneCaption[] = "Output";
inline constexpr int kOutputPaneId = 149;

// The font of every list in the pane: 14 pixels, normal weight, fixed pitch,
// face "Times New Roman".
QFont OutputPaneFont();

class CDPaneOutputWnd : public QDockWidget, public LogSink {
 public:
  explicit CDPaneOutputWnd(ActivityLog& log, QWidget* parent = nullptr);
  ~CDPaneOutputWnd() override;

  QTabWidget* Tabs() const { return tabs_; }
  // The trace list of a channel; null for Qued for Activity.
  CTraceList* TraceView(LogChannel channel) const { return traceViews_[static_cast<size_t>(channel)]; }
  QListWidget* QueuedView() const { return queued_; }

  // Asked when the user releases the mouse over the "Link Report" tab: the
  // device list writes a fresh report for its selected device.
  std::function<void()> linkReportRequested;

  void OnLine(const LogLine& line) override;
  void OnClear(LogChannel channel) override;
  void OnTrimmed(LogChannel channel) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  ActivityLog& log_;
  QTabWidget* tabs_ = nullptr;
  std::array<CTraceList*, kLogChannelCount> traceViews_{};
  std::array<bool, kLogChannelCount> trimmed_{};
  QListWidget* queued_ = nullptr;
};

}  // namespace quorvel
