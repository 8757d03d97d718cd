#pragma once
// Plays a scenario in brindlewick-sim.exe with the real DLL, in a game folder of the test's own.
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ChildProcess.h"
#include "TempFolder.h"

namespace test {

struct SimRun {
  std::shared_ptr<TempFolder> work;  // the run's own folder, the game folder in it; gone with the last copy
  ChildResult process;
  nlohmann::json report;             // null when the run wrote none
  std::string log;                   // the plug-in's log file
  std::vector<std::string> entries;  // the log as "<level>|<message>"
  std::filesystem::path gameDir;

  // The log entries that contain text.
  std::vector<std::string> EntriesWith(const std::string& text) const;
};

struct SimOptions {
  std::vector<std::string> arguments;                // extra command-line options
  std::map<std::string, std::string> settingsLines;  // Settings.ini content replacing the shipped one, by section
  std::map<std::string, std::string> dataFiles;      // files added to (or replacing) the shipped data, by relative path
  std::vector<std::string> removedData;              // files or folders taken out of the shipped data
  bool logging = true;         // the shipped Settings.ini's bLogging=0 turned to 1, as an author previewing data does
  bool worldFromData = false;  // no --world: the sim makes the world from the data; else the sample world
  std::string program = "brindlewick-sim.exe";
  std::string gameDirName = "game";  // the game folder inside the run's own work folder
};

// Runs the scenario text; the shipped data folder is used unless settingsLines replaces Settings.ini.
SimRun RunSim(const std::string& scenario, const SimOptions& options = {});

}  // namespace test
