#pragma once
// What a scenario shows: the game's state as the game holds it, and where the plug-in's log is.
#include <string>

#include <nlohmann/json.hpp>

namespace sim {

struct CityInfo;

// The city's LocationData.ini in the game folder's data, read by the rule its authors are given
// (digits and "." only, else 1.0 for a height and 50 for the percent); null when there is none.
nlohmann::json LocationDataOf(const CityInfo& info);

struct ReportContext {
  std::string pluginName;
  bool pluginLoaded = false;
};

nlohmann::json BuildReport(const ReportContext& context);
std::string FormatReport(const nlohmann::json& report);

// Documents\My Games\Starfield\SFSE\Logs\<plug-in name>.log, as the game's user sees it.
std::string PluginLogPath(const std::string& pluginName);

}  // namespace sim
