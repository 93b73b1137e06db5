#pragma once
// Requests from the receive side and the engine that the main tick turns into
// view refreshes.
namespace quorvel {

struct RefreshFlags {
  bool plmAnswered = false;            // the modem's identity reply arrived
  bool tablesMerged = false;           // stored details merged into the live table
  bool controllerListRefresh = false;  // incoming messages changed a controller
  bool linkStored = false;             // a device link record was stored
  bool eventsViewRefresh = false;      // the modem reported the end of its link table, or the sun times changed
  bool dataReady = false;              // the tree's selection may go to the event editors
  bool deviceTreeRefresh = false;      // a known device pressed its SET button: rebuild the tree
  bool deviceListShownReset = false;   // the modem's identity or a link changed: the tick's shown count goes to 0
};

}  // namespace quorvel
