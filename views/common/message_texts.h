#pragma once
// Box titles shared by several windows.
namespace quorvel {

inline constexpr const char* kSelectionMissingTitle = "Selection Missing";

}  // namespace quorvel
