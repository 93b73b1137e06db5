#pragma once
// How the core asks the views to refresh or to tell the user something. The
// program's window implements it; headless runs and tests record or print it.
#include <cstdint>
#include <string_view>

namespace quorvel {

// What a view must redraw. The main tick turns its refresh flags into these.
enum class ViewRefresh : uint32_t {
  DeviceTree = 1u << 0,
  DeviceSetup = 1u << 1,
  ControllerList = 1u << 2,
  TimeEvents = 1u << 3,
  LogicEvents = 1u << 4,
  GroupView = 1u << 5,
  Connection = 1u << 6,
  TablesMerged = 1u << 7,
  All = 0xFFFFFFFFu,
};

class Notifier {
 public:
  virtual ~Notifier() = default;

  virtual void Refresh(ViewRefresh /*what*/) {}
  // The records of one device changed: its tree item and tile (by DeviceKey) redraw.
  virtual void DeviceChanged(uint32_t /*deviceKey*/) {}
  // A message box in the program; a log line when headless.
  virtual void ShowMessage(std::string_view /*title*/, std::string_view /*text*/) {}
  // Progress of long work, such as reading the modem's link table.
  virtual void ProgressBegin(std::string_view /*title*/, int /*total*/) {}
  virtual void ProgressStep(int /*done*/, std::string_view /*text*/) {}
  virtual void ProgressEnd() {}
  // The connection indicator of the toolbar.
  virtual void ConnectionChanged(bool /*connected*/, int /*portNumber*/) {}
};

// A notifier that does nothing, for runs that need none.
class NullNotifier final : public Notifier {};

}  // namespace quorvel
