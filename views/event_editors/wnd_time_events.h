#pragma once
// The time events window: events at a clock time or relative to sunrise and sunset.
// The main view makes it as the window of its tab; its controls come with
// the window's own step.
#include "views/common/tab_window.h"

namespace quorvel {

inline constexpr char kCWndTimeEventsName[] = "Time Events";
inline constexpr int kCWndTimeEventsId = 5369;

class CWndTimeEvents : public CTabWindow {
 public:
  explicit CWndTimeEvents(Context& ctx, QWidget* parent = nullptr)
      : CTabWindow(ctx, kCWndTimeEventsName, kCWndTimeEventsId, parent) {}
};

}  // namespace quorvel
