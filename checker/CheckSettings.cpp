// Settings.ini as ReloadINISettings reads it: what it fills in, and what a value it reads becomes.
#include <functional>
#include <map>

#include <fmt/format.h>

#include "Checks.h"
#include "Helpers/Ini.h"
#include "Helpers/Naming.h"
#include "Helpers/PluginSettings.h"
#include "IniText.h"
#include "Main/Settings/Settings.h"
#include "Win/Text.h"

namespace check {
namespace {

// A setting's value in the record, as a finding shows it.
std::string SettingValue(const std::string& key) {
  const auto& s = PluginSettings;
  const auto flag = [](bool value) { return std::string(value ? "on" : "off"); };
  const std::map<std::string, std::function<std::string()>> values = {
      {"bextraoptimized", [&] { return flag(s.bExtraOptimized); }},
      {"iallowedcellchangetime", [&] { return std::to_string(s.iAllowedCellChangeTime); }},
      {"iencounterpointminplayerdist", [&] { return std::to_string(s.iEncounterPointMinPlayerDist); }},
      {"iencounterpointmaxplayerdist", [&] { return std::to_string(s.iEncounterPointMaxPlayerDist); }},
      {"boptimizefullyinitializedactorsmaxcount", [&] { return flag(s.bOptimizeFullyInitializedActorsMaxCount); }},
      {"boptimizefullyinitializedactorsmaxdistance",
       [&] { return flag(s.bOptimizeFullyInitializedActorsMaxDistance); }},
      {"benableoutfitphysics", [&] { return flag(s.bEnableOutfitPhysics); }},
      {"bdynamiccleanupuniquenpcs", [&] { return flag(s.bDynamicCleanUpUniqueNPCs); }},
      {"iqueuedactortime", [&] { return std::to_string(s.iQueuedActorTime); }},
      {"ifacegenactorupdatetime", [&] { return std::to_string(s.iFaceGenActorUpdateTime); }},
      {"ffacegenclosedistance", [&] { return fmt::format("{}", s.fFaceGenCloseDistance); }},
      {"ffacegenfardistance", [&] { return fmt::format("{}", s.fFaceGenFarDistance); }},
      {"ffacegenmaxdistance", [&] { return fmt::format("{}", s.fFaceGenMaxDistance); }},
      {"itesloadgameeventtimeticks", [&] { return std::to_string(s.iTESLoadGameEventTimeTicks); }},
      {"bfacegenprocessor", [&] { return flag(s.bFaceGenProcessor); }},
  };
  const auto found = values.find(ToLowerAscii(key));
  return found == values.end() ? std::string() : found->second();
}

}  // namespace

void CheckSettings(CheckContext& context) {
  const std::string shown = "Settings.ini";
  const auto path = context.copy / L"Settings.ini";
  const auto before = ReadIniText(path);
  if (!before.opened)
    context.report.Add(shown, 0, Level::Warning, "no Settings.ini: the plug-in writes one with its defaults");

  ReloadINISettings(true);
  context.messages.Take();
  const bool loggingOn = PluginSettings.bLogging;
  // The plug-in's messages are how the rest of the check sees what it does.
  PluginSettings.bLogging = true;

  const auto after = ReadIniText(path);
  if (before.opened) {
    const bool debugMissing = before.Section("Debug") == nullptr;
    if (debugMissing)
      context.report.Add(shown, 0, Level::Warning,
                         "no [Debug] section: the plug-in adds bLogging=0 there, so its log ends up off");
    for (const auto& key : after.keys) {
      if (key.section >= after.sections.size()) continue;
      const auto& section = after.sections[key.section].name;
      if (before.Key(section, key.key) && !before.Key(section, key.key)->value.empty()) continue;
      if (debugMissing && EqualIgnoringCase(section, "Debug")) continue;
      context.report.Add(shown, before.LineOf(section, key.key), Level::Warning,
                         fmt::format("{} is missing or empty in [{}]: the plug-in writes {}={}", key.key, section,
                                     key.key, key.value));
    }
  }

  const auto* logging = before.Key("Debug", "bLogging");
  LintIni(before,
          {shown, "Settings", std::filesystem::path(Ini::kDataFolder),
           [&](const IniKey& key) -> std::string {
             if (EqualIgnoringCase(key.key, "bLogging")) return loggingOn ? "" : ", so its log ends up off";
             const auto value = SettingValue(key.key);
             return value.empty() ? "" : fmt::format(", so {} is {}", key.key, value);
           }},
          context.report);
  if (logging && !loggingOn && logging->value != "0" && logging->value.find(';') == std::string::npos)
    context.report.Add(
        shown, logging->line, Level::Warning,
        fmt::format("bLogging is \"{}\": only 1 switches the log on, so it ends up off", logging->value));
}

}  // namespace check
