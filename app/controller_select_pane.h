#pragma once
// The dock pane "Controller Select" beside the controller setup tab: a list of
// the controllers to pick from, over the day/night sky.
#include <QDockWidget>
#include <QTableWidget>
#include <functional>
#include <vector>

#include "views/link_views/controller_setup_model.h"

namespace quorvel {

struct Context;

inline constexpr char kControllerSelectCaption[] = "Controller Select";
inline constexpr int kControllerSelectId = 351;
inline constexpr int kControllerListId = 645;

// Two columns, "Inteon ID" and "Controller Type", with grid lines and whole-row
// selection. The controller setup fills it.
class CCListCtrlControlers : public QTableWidget {
 public:
  explicit CCListCtrlControlers(QWidget* parent = nullptr);
  // The rows FillControllerList made, with the shown controller's row selected.
  void ShowRows(const std::vector<ControllerRow>& rows, DeviceKey shown);
  // The key of row `row`, or 0.
  DeviceKey RowKey(int row) const;

  // A row the user selected, by its key.
  std::function<void(DeviceKey)> selected;
  // The list took the keyboard focus.
  std::function<void()> focused;

 protected:
  void focusInEvent(QFocusEvent* event) override;

 private:
  bool filling_ = false;
};

class CDPaneControlerSelect : public QDockWidget {
 public:
  explicit CDPaneControlerSelect(Context& ctx, QWidget* parent = nullptr);
  CCListCtrlControlers* List() const { return list_; }
  // Where the list goes in a client area of this size: all of it less a
  // twenty-fourth of its height at the bottom, 3 pixels in on every side.
  static QRect ListRect(const QSize& client);

 private:
  CCListCtrlControlers* list_ = nullptr;
};

}  // namespace quorvel
