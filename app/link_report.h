#pragma once
// The Link Watch report as the headless program prints it: the quickest way for
// a user to see which links lack their return link, with or without the modem.
#include <string>

namespace quorvel {

struct Context;

// The report of `category` (0..9) as indented text. It reads the live table
// once the modem's link table was read and the stored details merged in this
// run; before that, the data file as it was loaded.
std::string RunLinkReport(Context& ctx, int category);

// Without a modem: reads only the data file kept in `dataDir` (empty: the
// user's data folder) and gives its report. False, with the reason in `error`,
// when there is no readable data file; nothing is written.
bool StoredLinkReport(const std::string& dataDir, int category, std::string& text, std::string& error);

}  // namespace quorvel
