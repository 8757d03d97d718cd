#pragma once
// Plays a scenario file, one step a line, in a game folder of its own.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Console.h"
#include "GameModule.h"
#include "Host.h"
#include "ScriptMachine.h"

namespace sim {

struct ScenarioOptions {
  std::filesystem::path scenario;
  std::filesystem::path gameDir;  // laid out and played in
  std::optional<std::filesystem::path> data;
  std::optional<std::filesystem::path> world;
  std::optional<std::filesystem::path> json;
  std::optional<std::filesystem::path> html;  // the report as a page
  std::uint32_t seed = 1;
  bool steam = false;  // the Steam build: steam_api64 is loaded in the game
  HostOptions host;
  ScriptMachineOptions scripts;
  AddressLibraryOptions addressLibrary;
  ConsoleOptions console;
  std::vector<std::string> foreignPatches;  // calls another mod turned into jumps before the plug-in loads
  std::vector<std::string> gameSettings;    // "NAME=VALUE" or "NAME=" (left out), after the world file's
};

struct Step {
  int line;
  std::string name;
  std::vector<std::string> arguments;
};

// The steps of a scenario text; a malformed line throws "<file>:<line>: <reason>".
std::vector<Step> ParseScenario(const std::string& text, const std::string& fileName);

// Returns the process exit code: 0 when every step ran.
int RunScenario(const ScenarioOptions& options);

}  // namespace sim
