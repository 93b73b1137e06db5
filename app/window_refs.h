#pragma once
// The windows other parts of the program reach: the main frame, its three
// panes, the view's tab control and the four tab windows. The application owns
// one; each window's constructor enters itself, and leaves when destroyed.
class QTabWidget;

namespace quorvel {

class CMainFrame;
class CDPane_PLM_Groups;
class CDPaneOutputWnd;
class CDPaneControlerSelect;
class WndDeviceControls;
class CWndControlers;
class CWndTimeEvents;
class CWndLogicEvents;

struct WindowRefs {
  CMainFrame* frame = nullptr;
  CDPane_PLM_Groups* deviceList = nullptr;
  CDPaneOutputWnd* output = nullptr;
  CDPaneControlerSelect* controllerSelect = nullptr;
  QTabWidget* viewTabs = nullptr;
  WndDeviceControls* deviceSetup = nullptr;
  CWndControlers* controllers = nullptr;
  CWndTimeEvents* timeEvents = nullptr;
  CWndLogicEvents* logicEvents = nullptr;
};

}  // namespace quorvel
