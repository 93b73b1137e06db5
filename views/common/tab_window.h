#pragma once
// A big working window of the main view's tabs. It paints the day/night sky
// behind its controls; the windows of the device setup, the controller setup
// and the two event editors grow from it.
#include <QWidget>

namespace quorvel {

struct Context;

class CTabWindow : public QWidget {
 public:
  // `name` is the window's name ("Device", "Link To Controller", ...), `id` its
  // control identifier.
  CTabWindow(Context& ctx, const char* name, int id, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
  Context& ctx_;
};

}  // namespace quorvel
