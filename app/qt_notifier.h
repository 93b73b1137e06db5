#pragma once
// The core's notifier in the window: refresh requests repaint the windows they
// name, messages become message boxes, and the connection reaches the toolbar's indicator. Long work moves the status
// bar's progress bar. Made before the core's
// context, it reaches the windows once the frame exists.
#include <functional>
#include <string>
#include <vector>

#include "platform/notifier.h"

namespace quorvel {

struct WindowRefs;

class QtNotifier final : public Notifier {
 public:
  void Attach(WindowRefs* refs) { refs_ = refs; }

  void Refresh(ViewRefresh what) override;
  void DeviceChanged(uint32_t deviceKey) override;
  void ShowMessage(std::string_view title, std::string_view text) override;
  void ProgressBegin(std::string_view title, int total) override;
  void ProgressStep(int done, std::string_view text) override;
  void ProgressEnd() override;
  void ConnectionChanged(bool connected, int portNumber) override;

  // Messages are shown as modal boxes unless this is off; a run without a
  // user (tests, the screenshot) only keeps them.
  bool modalMessages = true;
  std::vector<std::string> messages;
  // Told of every refresh, after the windows were asked to repaint.
  std::function<void(ViewRefresh)> onRefresh;

 private:
  WindowRefs* refs_ = nullptr;
};

}  // namespace quorvel
