#pragma once
// The device setup window: the selected device's information, commands and control panel.
// The main view makes it as the window of its tab; its controls come with
// the window's own step.
#include "views/common/tab_window.h"

namespace quorvel {

inline constexpr char kWndDeviceControlsName[] = "Device";
inline constexpr int kWndDeviceControlsId = 5365;

class WndDeviceControls : public CTabWindow {
 public:
  explicit WndDeviceControls(Context& ctx, QWidget* parent = nullptr)
      : CTabWindow(ctx, kWndDeviceControlsName, kWndDeviceControlsId, parent) {}
};

}  // namespace quorvel
