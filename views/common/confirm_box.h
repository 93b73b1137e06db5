#pragma once
// The OK/Cancel warning box of the commands that change the network for good
// (an unlink, the modem's factory reset). The 160 ms tick keeps running while
// it is open, so callers capture what they act on before asking and look it
// up again after.
#include <string>

class QWidget;

namespace quorvel {

// True when the user chose OK.
bool ConfirmOkCancel(QWidget* parent, const std::string& title, const std::string& text);

}  // namespace quorvel
