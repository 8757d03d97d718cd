#include "Scenario.h"

#include <windows.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <stdexcept>
#include <chrono>
#include <thread>

#include "Actors.h"
#include "Appearance.h"
#include "AppearanceThreads.h"
#include "Cells.h"
#include "Citizens.h"
#include "Console.h"
#include "DataFileEdits.h"
#include "DataWorld.h"
#include "ForeignPatch.h"
#include "EventSources.h"
#include "GameForms.h"
#include "GameINISettings.h"
#include "GameWorld.h"
#include "HtmlReport.h"
#include "ExitCodes.h"
#include "Menus.h"
#include "Promises.h"
#include "Report.h"
#include "ScriptMachine.h"
#include "Text.h"
#include "WorldFile.h"

namespace sim {
namespace {

namespace fs = std::filesystem;

struct StepRule {
  std::size_t minArguments, maxArguments;
  const char* usage;
};
const std::map<std::string, StepRule> kSteps = {
    {"start", {0, 0, "start"}},
    {"message", {1, 1, "message TYPE"}},
    {"reset", {0, 0, "reset"}},
    {"appearance", {1, 3, "appearance N [threads T]"}},
    {"move", {4, 4, "move FORMID X Y Z"}},
    {"free", {1, 2, "free FORMID [reuse]"}},
    {"wait", {1, 1, "wait MS"}},
    {"enter", {1, 1, "enter CITY"}},
    {"leave", {0, 0, "leave"}},
    {"spawn", {2, 2, "spawn CITY N"}},
    {"report", {0, 0, "report"}},
    {"cell-change", {1, 1, "cell-change HEXID"}},
    {"cell-loaded", {1, 1, "cell-loaded HEXID"}},
    {"player-cell", {1, 1, "player-cell HEXID"}},
    {"console", {1, 1, "console TEXT"}},
    {"menu", {2, 2, "menu open|close NAME"}},
    {"load-save", {0, 0, "load-save"}},
    {"ini", {3, 4, "ini FILE SECTION KEY VALUE"}},
    {"write-file", {1, 2, "write-file FILE TEXT"}},
    {"remove-file", {1, 1, "remove-file FILE"}},
    {"rename-file", {2, 2, "rename-file FROM TO"}},
    {"hold-file", {1, 1, "hold-file FILE"}},
    {"release-files", {0, 0, "release-files"}},
    {"appearance-threads", {1, 1, "appearance-threads T"}},
};

// "console TEXT": the text is the rest of the line as it stands, blanks and "#" included, as the
// player typed it.
bool ParseConsoleStep(const std::string& line, Step& step) {
  const auto start = line.find_first_not_of(" \t");
  if (start == std::string::npos || line.compare(start, 7, "console") != 0) return false;
  const auto end = start + 7;
  if (end < line.size() && line[end] != ' ' && line[end] != '\t') return false;
  step.name = "console";
  auto text = line.substr(std::min(line.size(), end));
  text.erase(0, text.find_first_not_of(" \t"));
  if (!text.empty() && text.back() == '\r') text.pop_back();
  if (!text.empty()) step.arguments.push_back(text);
  return true;
}

// "ini FILE SECTION KEY VALUE": the value is the rest of the line as it stands, blanks and "#"
// included (a comment mark inside a value is the file's business).
bool ParseIniStep(const std::string& line, Step& step) {
  std::istringstream words(line);
  std::string name;
  if (!(words >> name) || name != "ini") return false;
  step.name = name;
  for (int i = 0; i < 3; ++i)
    if (std::string word; words >> word) step.arguments.push_back(word);
  if (step.arguments.size() < 3) return true;  // the usage check reports it
  std::string value;
  std::getline(words, value);
  value.erase(0, value.find_first_not_of(" \t"));
  if (!value.empty() && value.back() == '\r') value.pop_back();
  step.arguments.push_back(value);
  return true;
}

// "write-file FILE TEXT": the text is the rest of the line as it stands, with escapes for the bytes
// a line cannot hold (\\r, \\n, \\xHH, ...).
bool ParseWriteFileStep(const std::string& line, Step& step) {
  std::istringstream words(line);
  std::string name, file;
  if (!(words >> name) || name != "write-file") return false;
  step.name = name;
  if (!(words >> file)) return true;  // the usage check reports it
  step.arguments.push_back(file);
  std::string text;
  std::getline(words, text);
  if (!text.empty() && text.front() == ' ') text.erase(0, 1);
  if (!text.empty() && text.back() == '\r') text.pop_back();
  step.arguments.push_back(text);
  return true;
}

std::optional<std::uint64_t> ParseNumber(const std::string& text) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

fs::path ExecutableDirectory() {
  wchar_t path[MAX_PATH]{};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return fs::path(path).parent_path();
}

// Data\SFSE\Plugins with the DLL and the data folder, as a mod manager installs them. A folder
// laid out before is laid out again: what an earlier run left there does not carry over.
void LayOutGameFolder(const fs::path& game, const ScenarioOptions& options) {
  const auto plugins = game / "Data" / "SFSE" / "Plugins";
  fs::create_directories(plugins);
  fs::remove(plugins / "Brindlewick.dll");
  fs::remove_all(plugins / "Quillmere");
  fs::copy_file(ExecutableDirectory() / "Brindlewick.dll", plugins / "Brindlewick.dll");
  if (options.data && !fs::exists(*options.data)) {
    // A data author may play the plug-in's own handling of a missing data folder.
    std::cerr << "brindlewick-sim: the data folder " << PathText(*options.data)
              << " does not exist: the game folder has no Quillmere folder\n";
    return;
  }
  const auto data = options.data.value_or(ExecutableDirectory() / "data" / "Quillmere");
  if (!fs::is_directory(data)) throw std::runtime_error("data folder not found: " + PathText(data));
  fs::copy(data, plugins / "Quillmere", fs::copy_options::recursive);
}

}  // namespace

class ScenarioRunner::Impl {
 public:
  explicit Impl(const ScenarioOptions& options) : options_(options) {}

  void Run(const Step& step) {
    const auto number = [&](std::size_t i) {
      const auto value = ParseNumber(step.arguments[i]);
      if (!value) Fail(step, "'" + step.arguments[i] + "' is not a whole number");
      return *value;
    };
    if (step.name == "start") {
      if (context_.pluginLoaded || started_) Fail(step, "the game has already started");
      started_ = true;
      const auto plugin = LoadPlugin(fs::current_path() / "Data" / "SFSE" / "Plugins" / "Brindlewick.dll");
      context_.pluginName = plugin.name;
      context_.pluginLoaded = plugin.loaded;
      DispatchHostMessage(host::kPostDataLoadMessage);
    } else if (step.name == "message") {
      DispatchHostMessage(static_cast<std::uint32_t>(number(0)));
    } else if (step.name == "reset") {
      RunResetGame(random_());
    } else if (step.name == "appearance") {
      const auto& a = step.arguments;
      if (a.size() == 2 || (a.size() == 3 && a[1] != "threads")) Fail(step, "expected 'appearance N [threads T]'");
      const auto threads = a.size() == 3 ? number(2) : 1;
      if (threads < 1 || threads > 64) Fail(step, "threads must be 1 to 64");
      RunAppearanceFunction(number(0), static_cast<int>(threads), random_());
    } else if (step.name == "move") {
      auto* actor = RuntimeActor(step);
      const auto coordinate = [&](std::size_t i) {
        try {
          return std::stof(step.arguments[i]);
        } catch (const std::exception&) {
          Fail(step, "'" + step.arguments[i] + "' is not a number");
        }
        return 0.0f;
      };
      actor->position = {coordinate(1), coordinate(2), coordinate(3)};
    } else if (step.name == "free") {
      if (step.arguments.size() == 2 && step.arguments[1] != "reuse") Fail(step, "expected 'free FORMID [reuse]'");
      FreeActor(RuntimeActor(step), step.arguments.size() == 2);
    } else if (step.name == "enter") {
      Enter(step);
    } else if (step.name == "spawn") {
      SpawnCitizens(CityIndex(step, step.arguments[0]), static_cast<int>(number(1)), citizenRandom_);
    } else if (step.name == "leave") {
      Leave();
    } else if (step.name == "wait") {
      // Game time passes for real (the plug-in reads the steady clock), then the script engine
      // runs what was queued.
      std::this_thread::sleep_for(std::chrono::milliseconds(number(0)));
      RunQueuedScriptCalls();
    } else if (step.name == "cell-change") {
      RaiseActorCellChange(Player(), Cell(step));
    } else if (step.name == "cell-loaded") {
      RaiseCellFullyLoaded(Cell(step));
    } else if (step.name == "player-cell") {
      SetPlayerCell(Cell(step));
    } else if (step.name == "console") {
      try {
        RunConsoleLine(step.arguments[0]);
      } catch (const std::length_error& error) {
        Fail(step, error.what());
      }
    } else if (step.name == "menu") {
      const auto& action = step.arguments[0];
      if (action != "open" && action != "close") Fail(step, "expected 'menu open|close NAME'");
      Attempt(step, [&] { action == "open" ? OpenMenu(step.arguments[1]) : CloseMenu(step.arguments[1]); });
    } else if (step.name == "load-save") {
      RaiseSaveLoaded();
      RaiseGameLoaded();
    } else if (step.name == "ini") {
      const auto& a = step.arguments;
      Attempt(step, [&] { WriteDataIniValue(DataFolder(), a[0], a[1], a[2], a[3]); });
    } else if (step.name == "write-file") {
      const auto& a = step.arguments;
      Attempt(step, [&] { WriteDataFile(DataFolder(), a[0], a.size() > 1 ? DecodeEscapes(a[1]) : std::string()); });
    } else if (step.name == "remove-file") {
      Attempt(step, [&] { RemoveDataFile(DataFolder(), step.arguments[0]); });
    } else if (step.name == "rename-file") {
      Attempt(step, [&] { RenameDataFile(DataFolder(), step.arguments[0], step.arguments[1]); });
    } else if (step.name == "hold-file") {
      Attempt(step, [&] { HoldDataFile(DataFolder(), step.arguments[0]); });
    } else if (step.name == "release-files") {
      ReleaseDataFiles();
    } else if (step.name == "appearance-threads") {
      const auto threads = number(0);
      if (threads > 64) Fail(step, "threads must be 0 to 64");
      threads ? StartAppearanceThreads(static_cast<int>(threads), random_()) : StopAppearanceThreads();
    } else if (step.name == "report") {
      const auto report = BuildReport(context_);
      std::cout << FormatReport(report) << std::flush;
      if (options_.json) {
        std::ofstream out(*options_.json, std::ios::trunc);
        out << report.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
        if (!out) throw std::runtime_error("cannot write " + PathText(*options_.json));
      }
      if (options_.html) {
        std::ofstream out(*options_.html, std::ios::binary | std::ios::trunc);
        out << FormatHtmlReport(report);
        if (!out) throw std::runtime_error("cannot write " + PathText(*options_.html));
      }
    }
  }

  const ReportContext& Context() const { return context_; }

 private:
  static fs::path DataFolder() { return fs::current_path() / "Data" / "SFSE" / "Plugins" / "Quillmere"; }

  // A live actor the game created while it runs, named by its form ID in hexadecimal.
  RE::Actor* RuntimeActor(const Step& step) {
    std::uint32_t formID = 0;
    try {
      std::size_t used = 0;
      formID = static_cast<std::uint32_t>(std::stoul(step.arguments[0], &used, 16));
      if (used != step.arguments[0].size()) throw std::invalid_argument("trailing text");
    } catch (const std::exception&) {
      Fail(step, "'" + step.arguments[0] + "' is not a form ID");
    }
    auto* form = FindForm(formID);
    if (!form || form->formType != static_cast<std::uint8_t>(RE::FormType::kActor) || formID < 0xFF000000)
      Fail(step, "no run-time actor " + step.arguments[0]);
    return static_cast<RE::Actor*>(form);
  }

  // The player walks into a city: its location counts as loaded and the player stands on its spot.
  int CityIndex(const Step& step, const std::string& name) {
    const auto city =
        std::find_if(std::begin(kCities), std::end(kCities), [&](const CityInfo& c) { return name == c.name; });
    if (city == std::end(kCities)) Fail(step, "unknown city '" + name + "' (NewAtlantis, AkilaCity, Cydonia or Neon)");
    return city->index;
  }

  // On arrival the game raises the cell change while the player is still in the old cell, then
  // moves the player into the city's cell and reports the cell fully loaded.
  void Enter(const Step& step) {
    const auto& name = step.arguments[0];
    const int city = CityIndex(step, name);
    const auto spot = GetWorld().citySpots.find(name);
    if (spot == GetWorld().citySpots.end()) Fail(step, "the world file gives no spot for " + name);
    Leave();
    PlacePlayer(spot->second);
    currentCity_ = CityLocation(city);
    ++currentCity_->loadedCount;
    SetCurrentLocation(Player(), currentCity_);
    RaiseActorCellChange(Player(), CityCell(city));
    SetPlayerCell(CityCell(city));
    RaiseCellFullyLoaded(CityCell(city));
  }
  void Leave() {
    if (currentCity_) --currentCity_->loadedCount;
    currentCity_ = nullptr;
    PlacePlayer({0.0f, 0.0f, 0.0f});
    SetCurrentLocation(Player(), nullptr);
    SetPlayerCell(OutsideCell());
  }

  // The cell a step names by its runtime form ID in hexadecimal.
  RE::TESObjectCELL* Cell(const Step& step) {
    const auto& text = step.arguments[0];
    std::uint32_t formID = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), formID, 16);
    if (text.empty() || text.size() > 8 || error != std::errc{} || end != text.data() + text.size())
      Fail(step, "'" + text + "' is not a form ID in hexadecimal");
    auto* cell = CellWithID(formID);
    if (!cell) Fail(step, "form " + text + " is no cell");
    return cell;
  }

  // Runs what the step asks of the game; a request the game cannot follow stops the run at its line.
  template <class Action>
  void Attempt(const Step& step, Action&& action) {
    try {
      action();
    } catch (const std::exception& error) {
      Fail(step, error.what());
    }
  }

  [[noreturn]] void Fail(const Step& step, const std::string& reason) {
    throw std::runtime_error(PathText(options_.scenario) + ":" + std::to_string(step.line) + ": " + reason);
  }

  const ScenarioOptions& options_;
  ReportContext context_;
  bool started_ = false;
  RE::BGSLocation* currentCity_ = nullptr;
  std::mt19937_64 random_{options_.seed};
  std::mt19937 citizenRandom_{options_.seed};
};

ScenarioRunner::ScenarioRunner(const ScenarioOptions& options) : impl_(std::make_unique<Impl>(options)) {}
ScenarioRunner::~ScenarioRunner() {
  StopAppearanceThreads();
  ReleaseDataFiles();
}
void ScenarioRunner::Run(const Step& step) { impl_->Run(step); }
const ReportContext& ScenarioRunner::Context() const { return impl_->Context(); }

std::vector<Step> ParseScenario(const std::string& text, const std::string& fileName) {
  std::vector<Step> steps;
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    Step step{number, {}, {}};
    if (!ParseConsoleStep(line, step) && !ParseIniStep(line, step) && !ParseWriteFileStep(line, step)) {
      if (const auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
      std::istringstream words(line);
      if (!(words >> step.name)) continue;
      for (std::string word; words >> word;) step.arguments.push_back(word);
    }
    const auto rule = kSteps.find(step.name);
    const auto where = fileName + ":" + std::to_string(number) + ": ";
    if (rule == kSteps.end()) throw std::runtime_error(where + "unknown step '" + step.name + "'");
    if (step.arguments.size() < rule->second.minArguments || step.arguments.size() > rule->second.maxArguments)
      throw std::runtime_error(where + "expected '" + rule->second.usage + "'");
    steps.push_back(std::move(step));
  }
  return steps;
}

void PrepareGame(const ScenarioOptions& options) {
  const auto& game = options.gameDir;
  fs::create_directories(game);
  LayOutGameFolder(game, options);
  // The game's working directory: the plug-in's relative paths start here.
  fs::current_path(game);
  if (options.steam && !LoadLibraryW((ExecutableDirectory() / "steam_api64.dll").wstring().c_str()))
    throw std::runtime_error("cannot load steam_api64.dll next to the sim");
  ConfigureConsole(options.console);
  StartGame(options.addressLibrary);
  if (options.world)
    LoadWorld(*options.world);
  else
    LoadWorldFromData(game / "Data" / "SFSE" / "Plugins" / "Quillmere");
  for (const auto& setting : options.gameSettings) ApplyGameSettingOption(setting);
  RememberStartingGameSettings();
  ConfigureHost(options.host);
  ConfigureScriptMachine(options.scripts);
  for (const auto& site : options.foreignPatches)
    if (!ApplyForeignPatch(site)) throw std::runtime_error("--foreign-patch: no call site named " + site);
}

int RunScenario(const ScenarioOptions& options) {
  std::ifstream file(options.scenario);
  if (!file) throw std::runtime_error("cannot read scenario " + PathText(options.scenario));
  std::stringstream text;
  text << file.rdbuf();
  const auto steps = ParseScenario(text.str(), PathText(options.scenario));
  PrepareGame(options);
  ScenarioRunner runner(options);
  std::optional<PromiseChecks> checks;
  if (options.checkPromises) checks.emplace(PromiseLimits{});
  for (const auto& step : steps) {
    runner.Run(step);
    if (!checks) continue;
    checks->Played(step, runner.Context().pluginName);
    if (auto broken = checks->AfterEvent(step)) {
      std::cerr << "brindlewick-sim: promise broken: " << broken->name << ": " << broken->detail << "\n"
                << PathText(options.scenario) << ":" << step.line << "\n";
      return exit_code::kPromiseBroken;
    }
  }
  return 0;
}

}  // namespace sim
