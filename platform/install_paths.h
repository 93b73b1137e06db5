#pragma once
// Where the program finds what it ships (the device pictures, the example
// house, the simulator): beside itself once installed, whatever the working
// folder, or in the build and source trees while it is developed.
#include <string>
#include <vector>

namespace quorvel {

// The installed layout puts the shared files here, relative to the folder of
// the programs (bin/ and share/quorvel/ under one prefix).
inline constexpr const char* kInstalledDataFolder = "../share/quorvel";

// The folder of the running program, from the kernel's link to it (so a
// program started through PATH or a symbolic link still finds its own);
// argv0's folder when that link cannot be read. Never empty.
std::string ProgramFolder(const char* argv0 = nullptr);

// The first of `candidates` that exists (a file readable, a folder
// searchable), made plain (no "..", no "."); empty when none does. Relative
// candidates are skipped: they would name the working folder's files.
std::string FirstExisting(const std::vector<std::string>& candidates);

// A shipped file or folder `relative` to the shared folder of a program in
// `programDir`: the installed layout first, then `fallbacks` (the trees a
// build runs from). Empty when none exists.
std::string FindShipped(const std::string& programDir, const std::string& relative,
                        const std::vector<std::string>& fallbacks = {});

}  // namespace quorvel
