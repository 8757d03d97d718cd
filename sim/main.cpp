// brindlewick-sim: a stand-in for the game and its script extender that loads the real plug-in.
#include <chrono>
#include <iostream>
#include <optional>

#include <CLI/CLI.hpp>

#include "CommandLine.h"
#include "CrashReport.h"
#include "ExitCodes.h"
#include "GameIDs.h"
#include "Scenario.h"
#include "Soak.h"
#include "TemporaryGameFolder.h"
#include "Text.h"

int main() {
  sim::InstallCrashReport();
  CLI::App app{"Brindlewick sim: plays scenarios against the real plug-in DLL"};
  app.require_subcommand(1);
  app.allow_windows_style_options(false);  // "/path/to/file" is a file, not an option
  sim::ScenarioOptions options;
  auto* run = app.add_subcommand("run", "play a scenario file, one step a line");
  std::string scenario, gameDir, data, world, json, html, addressLibraryVersion;
  run->add_option("FILE", scenario, "scenario file")->required();
  run->add_option("--game-dir", gameDir, "game folder to lay out and run in (default: a fresh temporary one)");
  bool keepGameDir = false;
  run->add_flag("--keep-game-dir", keepGameDir,
                "keep the temporary game folder when the run ends and print its path (without --game-dir)");
  run->add_option("--data", data, "data folder copied to Data\\SFSE\\Plugins\\Quillmere (default: the shipped one)");
  run->add_option("--world", world,
                  "world file (JSON) with the game's plug-in files and forms (default: a world made from the data "
                  "folder, where every form its files name exists with the kind the file expects)");
  run->add_option("--json", json, "write the report as JSON to this file");
  run->add_option("--html", html, "write the report as a self-contained page to this file");
  run->add_option("--seed", options.seed, "seed of the sim's own random choices");
  run->add_flag("--steam", options.steam, "play the Steam build (steam_api64 loaded)");
  run->add_flag("--check-promises", options.checkPromises,
                "check the plug-in's promises after every step, as the soak does (exit code 5 when one breaks)");
  run->add_flag("!--no-trampoline-interface", options.host.trampolineInterface,
                "the host offers no trampoline interface");
  run->add_flag("--exhausted-branch-pool", options.host.branchPoolExhausted, "the host's branch pool is empty");
  run->add_flag("--newer-interfaces", options.host.newerInterfaces,
                "the host's interfaces are newer than the plug-in's");
  run->add_flag("--refuse-listener", options.host.refuseListeners, "the host refuses message listeners");
  run->add_option("--foreign-patch", options.foreignPatches,
                  "another mod put a jump at this patched call: reset-begin, reset-finish or appearance");
  run->add_option("--game-setting", options.gameSettings,
                  "the game's INI setting NAME starts at VALUE (NAME=VALUE), or the game has none (NAME=)");
  run->add_flag("--refuse-dispatch", options.scripts.refuseDispatch,
                "the script machine refuses every dispatched call");
  run->add_flag("--refuse-binding", options.scripts.refuseBinding, "no form can be bound as a script object");
  run->add_option("--addrlib-version", addressLibraryVersion, "game version written in the address library header");
  run->add_option("--addrlib-format", options.addressLibrary.format, "format written in the address library header");
  run->add_option("--addrlib-drop", options.addressLibrary.dropIDs, "leave this ID out of the address library");
  run->add_option("--addrlib-null", options.addressLibrary.nullIDs, "make this ID resolve to address 0");
  run->add_option("--addrlib-wild", options.addressLibrary.wildIDs,
                  "make this singleton's pointer lead into unmapped memory (a crash to come)");
  run->add_option("--addrlib-extra-count", options.addressLibrary.extraDeclaredCount,
                  "declare this many entries more than the file holds");
  run->add_flag("--console-without-setmemcheckpoint", options.console.withoutSetMemCheckPoint,
                "the game's console has no \"SetMemCheckPoint\" command");
  bool consoleTableNull = false;
  run->add_flag("--console-table-null", consoleTableNull,
                "the address library answers 0 for the console command table (ID 841465)");
  int platform = -1;
  run->add_option("--addrlib-platform", platform, "name the file for this platform (0 Steam, 1 Microsoft Store)");

  auto* soak = app.add_subcommand("soak", "play a seeded random stream of game events and check the promises");
  sim::SoakOptions soakOptions;
  std::string writeScenario;
  std::optional<std::uint32_t> soakSeed;
  soak->add_option("--seconds", soakOptions.seconds, "play for this long");
  soak->add_option("--events", soakOptions.events, "play this many events");
  soak->add_option("--seed", soakSeed, "seed of the stream (default: taken from the clock, printed)");
  soak->add_option("--threads", soakOptions.threads, "game threads calling the appearance function (default 4)")
      ->check(CLI::Range(0, 64));
  soak->add_option("--game-dir", gameDir, "game folder to lay out and run in (default: a fresh temporary one)");
  soak->add_flag("--keep-game-dir", keepGameDir, "keep the temporary game folder and print its path");
  soak->add_option("--data", data, "data folder copied to Data\\SFSE\\Plugins\\Quillmere (default: the shipped one)");
  soak->add_option("--world", world,
                   "world file (JSON) with the game's plug-in files and forms (default: a world made from the data "
                   "folder)");
  soak->add_option("--json", json, "write the run's figures as JSON to this file");
  soak->add_option("--write-scenario", writeScenario, "write the events played as a scenario file");
  soak->add_flag("--check-at-end", soakOptions.checkAtEnd, "check the promises only once the stream has ended");
  soak->add_option("--fault", soakOptions.faults,
                   "play a fault on purpose: leak-object, duplicate-unique, overfill-list or free-unannounced");
  try {
    sim::ParseUtf8Arguments(app);
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error);
    return code == 0 ? sim::exit_code::kPlayed : sim::exit_code::kBadInput;
  }
  if (gameDir.empty()) return sim::RunInTemporaryGameFolder(keepGameDir);
  if (platform >= 0) options.addressLibrary.platform = platform;
  if (consoleTableNull) options.addressLibrary.nullIDs.push_back(sim::game_id::ConsoleCommandTable);

  const auto path = [](const std::string& text) { return std::filesystem::absolute(sim::PathFromUtf8(text)); };
  if (!scenario.empty()) options.scenario = path(scenario);
  options.gameDir = path(gameDir);
  if (!data.empty()) options.data = path(data);
  if (!world.empty()) options.world = path(world);
  if (!json.empty()) options.json = path(json);
  if (!html.empty()) options.html = path(html);
  if (!addressLibraryVersion.empty()) options.addressLibrary.headerVersion = addressLibraryVersion;
  try {
    if (soak->parsed()) {
      if (!soakOptions.seconds && !soakOptions.events) soakOptions.seconds = 60;
      options.seed = soakSeed.value_or(static_cast<std::uint32_t>(std::chrono::system_clock::now().time_since_epoch() /
                                                                  std::chrono::microseconds(1)));
      if (!writeScenario.empty()) soakOptions.writeScenario = path(writeScenario);
      soakOptions.game = options;
      return sim::RunSoak(soakOptions);
    }
    return sim::RunScenario(options);
  } catch (const std::exception& error) {
    std::cerr << "brindlewick-sim: " << error.what() << "\n";
    return sim::exit_code::kBadInput;
  }
}
