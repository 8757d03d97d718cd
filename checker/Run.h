#pragma once
// One check of a data folder, from laying out the game to the report.
#include <filesystem>
#include <optional>

#include "Findings.h"

namespace check {

inline constexpr int kExitClean = 0;
inline constexpr int kExitErrors = 1;
inline constexpr int kExitUnreadable = 2;

struct RunOptions {
  std::filesystem::path data;
  std::optional<std::filesystem::path> world;
};

// Throws when the folder cannot be read or the world file is malformed.
Report Run(const RunOptions& options);

}  // namespace check
