#pragma once
// The dock pane "Device List / Computer Groups": the tree of the modem, its
// devices and the computer groups. The main frame docks it on the left; the
// tree's contents come with the pane's own step.
#include <QDockWidget>

class QTreeWidget;

namespace quorvel {

struct Context;

inline constexpr char kDeviceListCaption[] = "Device List / Computer Groups";
inline constexpr int kDeviceListId = 133;

class CDPane_PLM_Groups : public QDockWidget {
 public:
  explicit CDPane_PLM_Groups(Context& ctx, QWidget* parent = nullptr);
  QTreeWidget* Tree() const { return tree_; }

 private:
  Context& ctx_;
  QTreeWidget* tree_ = nullptr;
};

}  // namespace quorvel
