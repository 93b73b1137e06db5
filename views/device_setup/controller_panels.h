#pragma once
// The control panels of the Controller Setup tab: the frame every controller
// kind shares (its picture, its caption, one yellow rectangle per button group
// listing the responders linked to it), drops of devices from the device tree
// onto a group, and clicks on a group. One class per kind; the Controller
// Setup window makes one of each (MakeControllerPanel) and shows one at a time.
//
// A kind with settings of its own (keypad, remote, motion sensor, I/O module)
// derives from CWndCtrlPanel, draws its extras in PaintPanel and is made by
// MakeControllerPanel; until it does, the plain frame serves it.
#include <QWidget>
#include <functional>
#include <vector>

#include "device/device_record.h"
#include "views/device_setup/controller_panel_model.h"

namespace quorvel {

struct Context;
class ControllerSetupModel;

class CWndCtrlPanel : public QWidget {
 public:
  CWndCtrlPanel(Context& ctx, ControllerSetupModel& model, PanelKind kind, QWidget* parent = nullptr);

  PanelKind Kind() const { return kind_; }
  // The rectangles at the panel's present size.
  PanelLayout Layout() const;

  // A device dropped on group g (the key it was dragged with).
  std::function<void(int group, DeviceKey device)> dropped;
  // A click that hit these groups, ascending.
  std::function<void(const std::vector<int>& groups)> clicked;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  // What a kind draws beyond the common frame; the frame is drawn first.
  virtual void PaintPanel(QPainter& painter, const DeviceRecord& controller, const PanelLayout& layout);
  int GroupCount() const;

  Context& ctx_;
  ControllerSetupModel& model_;

 private:
  void PaintGroupBox(QPainter& painter, const DeviceRecord& controller, const PanelRect& rect, int group);
  PanelKind kind_;
};

// The simple kinds.
class CWndCtrlDefault : public CWndCtrlPanel {
 public:
  CWndCtrlDefault(Context& ctx, ControllerSetupModel& model, QWidget* parent = nullptr)
      : CWndCtrlPanel(ctx, model, PanelKind::kDefault, parent) {}
};
class CWndCtrlNetworkBridge : public CWndCtrlPanel {
 public:
  CWndCtrlNetworkBridge(Context& ctx, ControllerSetupModel& model, QWidget* parent = nullptr)
      : CWndCtrlPanel(ctx, model, PanelKind::kNetworkBridge, parent) {}
};
class CWndCtrlControlLinc : public CWndCtrlPanel {
 public:
  CWndCtrlControlLinc(Context& ctx, ControllerSetupModel& model, QWidget* parent = nullptr)
      : CWndCtrlPanel(ctx, model, PanelKind::kControlLinc, parent) {}
};
class CWndCtrlTriggerLinc : public CWndCtrlPanel {
 public:
  CWndCtrlTriggerLinc(Context& ctx, ControllerSetupModel& model, QWidget* parent = nullptr)
      : CWndCtrlPanel(ctx, model, PanelKind::kTriggerLinc, parent) {}
};
// The switch and the toggle share the one group's list and drop.
class WndCtrlSwitchLinc : public CWndCtrlPanel {
 public:
  WndCtrlSwitchLinc(Context& ctx, ControllerSetupModel& model, QWidget* parent = nullptr)
      : CWndCtrlPanel(ctx, model, PanelKind::kSwitchLinc, parent) {}
};
class CWndCtrlToggleLinc : public CWndCtrlPanel {
 public:
  CWndCtrlToggleLinc(Context& ctx, ControllerSetupModel& model, QWidget* parent = nullptr)
      : CWndCtrlPanel(ctx, model, PanelKind::kToggleLinc, parent) {}
};

// The panel of a kind, with its window text and control identifier.
CWndCtrlPanel* MakeControllerPanel(PanelKind kind, Context& ctx, ControllerSetupModel& model, QWidget* parent);

}  // namespace quorvel
