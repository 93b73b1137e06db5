#pragma once
// What the program finds on this machine, for the user who installs it or
// looks for the modem's name: --paths (the shipped files) and --ports (the
// serial devices present).
#include <string>

namespace quorvel {

// One line each for the device pictures, the example house and quorvel-sim,
// with the path found or "not found". False when any is missing.
bool ShippedPathsText(const char* argv0, std::string& text);

// The serial devices present, one a line, with the name to give --serial;
// a line saying so when there are none.
std::string SerialPortsText();

}  // namespace quorvel
