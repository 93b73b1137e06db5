#pragma once
// The controller setup window: a controller's buttons and the devices they switch.
// The main view makes it as the window of its tab; its controls come with
// the window's own step.
#include "views/common/tab_window.h"

namespace quorvel {

inline constexpr char kCWndControlersName[] = "Link To Controller";
inline constexpr int kCWndControlersId = 5368;

class CWndControlers : public CTabWindow {
 public:
  explicit CWndControlers(Context& ctx, QWidget* parent = nullptr)
      : CTabWindow(ctx, kCWndControlersName, kCWndControlersId, parent) {}
};

}  // namespace quorvel
