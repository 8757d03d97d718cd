#include "SimRun.h"

#include <algorithm>
#include <stdexcept>

#include "GameFolder.h"
#include "PluginLog.h"

namespace test {

std::vector<std::string> SimRun::EntriesWith(const std::string& text) const {
  std::vector<std::string> found;
  for (const auto& entry : entries)
    if (entry.find(text) != std::string::npos) found.push_back(entry);
  return found;
}

SimRun RunSim(const std::string& scenario, const SimOptions& options) {
  SimRun run;
  run.work = std::make_shared<TempFolder>(L"bw-sim-");
  const auto& work = run.work->path();
  const auto scenarioFile = work / "scenario.txt";
  const auto reportFile = work / "report.json";
  WriteFile(scenarioFile, scenario);

  run.gameDir = work / options.gameDirName;
  std::vector<std::string> arguments{"run",    scenarioFile.string(), "--game-dir", run.gameDir.string(),
                                     "--json", reportFile.string()};
  const bool ownData = std::ranges::find(options.arguments, "--data") != options.arguments.end();
  const bool switchLoggingOn = options.logging && options.settingsLines.empty() && !ownData;
  if (switchLoggingOn || !options.settingsLines.empty() || !options.dataFiles.empty() || !options.removedData.empty()) {
    const auto data = work / "data";
    std::filesystem::copy(BinaryDirectory() / "data" / "Quillmere", data, std::filesystem::copy_options::recursive);
    if (!options.settingsLines.empty()) {
      std::string ini;
      for (const auto& [section, lines] : options.settingsLines) ini += "[" + section + "]\r\n" + lines + "\r\n";
      WriteFile(data / "Settings.ini", ini);
    } else if (switchLoggingOn) {
      auto ini = ReadFile(data / "Settings.ini");
      const auto at = ini.find("\nbLogging=0");
      if (at == std::string::npos) throw std::runtime_error("the shipped Settings.ini has no bLogging=0 line");
      ini[at + 10] = '1';
      WriteFile(data / "Settings.ini", ini);
    }
    for (const auto& path : options.removedData) std::filesystem::remove_all(data / path);
    for (const auto& [path, text] : options.dataFiles) WriteFile(data / path, text);
    arguments.insert(arguments.end(), {"--data", data.string()});
  }
  arguments.insert(arguments.end(), options.arguments.begin(), options.arguments.end());
  if (!options.worldFromData && std::ranges::find(options.arguments, "--world") == options.arguments.end())
    arguments.insert(arguments.end(),
                     {"--world", (BinaryDirectory() / "data" / "world" / "SampleWorld.json").string()});

  RemovePluginLog();
  run.process = RunProcess(BinaryDirectory() / options.program, arguments);
  run.log = ReadPluginLog();
  run.entries = LogEntries(run.log);
  const auto reportText = ReadFile(reportFile);
  if (!reportText.empty()) run.report = nlohmann::json::parse(reportText, nullptr, false);
  return run;
}

}  // namespace test
