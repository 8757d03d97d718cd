#pragma once
// Plays a scenario file, one step a line, in a game folder of its own.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Console.h"
#include "GameModule.h"
#include "Host.h"
#include "ScriptMachine.h"

namespace sim {

struct ReportContext;

struct ScenarioOptions {
  std::filesystem::path scenario;
  std::filesystem::path gameDir;  // laid out and played in
  std::optional<std::filesystem::path> data;
  std::optional<std::filesystem::path> world;  // without it, the world is made from the data folder
  std::optional<std::filesystem::path> json;
  std::optional<std::filesystem::path> html;  // the report as a page
  std::uint32_t seed = 1;
  bool checkPromises = false;  // the plug-in's promises checked after every step, as the soak does
  bool steam = false;          // the Steam build: steam_api64 is loaded in the game
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

// Lays out the game folder, makes it the current directory and starts the game's side: the world,
// its settings, the host and the script machine. No step has run yet.
void PrepareGame(const ScenarioOptions& options);

// Plays steps one at a time; a step the game cannot follow throws "<scenario>:<line>: <reason>".
class ScenarioRunner {
 public:
  explicit ScenarioRunner(const ScenarioOptions& options);
  ~ScenarioRunner();
  void Run(const Step& step);
  // The plug-in's name and whether it loaded, once "start" has run.
  const ReportContext& Context() const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

// Returns the process exit code: 0 when every step ran.
int RunScenario(const ScenarioOptions& options);

}  // namespace sim
