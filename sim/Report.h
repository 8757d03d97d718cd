#pragma once
// What a scenario shows: the game's state as the game holds it, and where the plug-in's log is.
#include <string>

#include <nlohmann/json.hpp>

namespace sim {

struct ReportContext {
  std::string pluginName;
  bool pluginLoaded = false;
};

nlohmann::json BuildReport(const ReportContext& context);
std::string FormatReport(const nlohmann::json& report);

// Documents\My Games\Starfield\SFSE\Logs\<plug-in name>.log, as the game's user sees it.
std::string PluginLogPath(const std::string& pluginName);

}  // namespace sim
