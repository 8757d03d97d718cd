#pragma once
#include <filesystem>
#include <optional>

namespace SFSE::log {

// Documents\My Games\Starfield\SFSE\Logs, or nothing when the known folder is unavailable.
std::optional<std::filesystem::path> log_directory();

// Creates the process's default logger "SFSE": a truncating file sink named after the
// plug-in's exported version record and a sink for an attached debugger.
void init();
// The same with the log file in directory (nothing: no file). A file that cannot be opened leaves
// the debugger sink alone and an error line in it; the plug-in goes on without a file.
void init(const std::optional<std::filesystem::path>& directory);

}  // namespace SFSE::log
