#pragma once
#include <filesystem>
#include <optional>

namespace SFSE::log {

// Documents\My Games\Starfield\SFSE\Logs, or nothing when the known folder is unavailable.
std::optional<std::filesystem::path> log_directory();

// Creates the process's default logger "SFSE": a truncating file sink named after the
// plug-in's exported version record and a sink for an attached debugger.
void init();

}  // namespace SFSE::log
