#pragma once
// The plug-in's log file as a player finds it, and the lines of it that tests compare.
#include <filesystem>
#include <string>
#include <vector>

namespace test {

std::filesystem::path PluginLogPath();
std::string ReadPluginLog();  // empty when there is none
void RemovePluginLog();

// "<level>|<message>" for each line of a log file's text: the time, logger and source dropped.
std::vector<std::string> LogEntries(const std::string& logText);

}  // namespace test
