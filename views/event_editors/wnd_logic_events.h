#pragma once
// The logic events window: when a device sends ON or OFF, switch another.
// The main view makes it as the window of its tab; its controls come with
// the window's own step.
#include "views/common/tab_window.h"

namespace quorvel {

inline constexpr char kCWndLogicEventsName[] = "Logic Events";
inline constexpr int kCWndLogicEventsId = 5370;

class CWndLogicEvents : public CTabWindow {
 public:
  explicit CWndLogicEvents(Context& ctx, QWidget* parent = nullptr)
      : CTabWindow(ctx, kCWndLogicEventsName, kCWndLogicEventsId, parent) {}
};

}  // namespace quorvel
