// brindlewick-sim as a data author and a test meet it: how a run ends (exit codes and the lines
// that say why), the plug-in's message boxes, text in the report, game folders and paths with any
// letters, and the switches that make the game's script machine fail the plug-in.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "BrindlewickVersion.h"
#include "GameFolder.h"
#include "SimRun.h"
#include "TempFolder.h"

namespace {

namespace fs = std::filesystem;
using test::RunSim;
using test::SimOptions;

const std::string kCitizens = "start\nenter NewAtlantis\nspawn NewAtlantis 6\nwait 100\nreport\n";

fs::path Sim() { return test::BinaryDirectory() / "brindlewick-sim.exe"; }

std::string Utf8(const fs::path& path) {
  const auto text = path.u8string();
  return std::string(text.begin(), text.end());
}

TEST(SimCommandLine, EachWayARunEndsHasItsExitCodeAndItsLine) {
  struct Ending {
    const char* name;
    std::string scenario;
    std::vector<std::string> arguments;
    std::uint32_t exitCode;
    std::string line;  // the output holds it
  };
  const std::vector<Ending> endings = {
      {"played", "start\nreport\n", {}, 0, "=== Brindlewick sim report ==="},
      {"the plug-in's fatal report", "start\n", {"--addrlib-format", "3"}, 1, "Unsupported address library format: 3"},
      {"an unknown option", "start\n", {"--no-such-option"}, 2, "--no-such-option"},
      {"an unknown step", "start\nfly away\n", {}, 2, "scenario.txt:2: unknown step 'fly'"},
      {"a bad city",
       "start\nenter Atlantis\n",
       {},
       2,
       "scenario.txt:2: unknown city 'Atlantis' (NewAtlantis, AkilaCity, Cydonia or Neon)"},
      {"not a number", "start\nwait soon\n", {}, 2, "scenario.txt:2: 'soon' is not a whole number"},
      {"started twice", "start\nstart\n", {}, 2, "scenario.txt:2: the game has already started"},
      {"a bad world file", "start\n", {"--world", "no-such-world.json"}, 2, "cannot read world file "},
      // The plug-in follows a singleton that points nowhere: the game crashes in the plug-in's code.
      {"a crash in the plug-in",
       "start\nreport\n",
       {"--addrlib-wild", "825890"},
       4,
       "brindlewick-sim: crash: access violation (0xC0000005) reading address 0x"},
  };
  for (const auto& ending : endings) {
    SCOPED_TRACE(ending.name);
    SimOptions options;
    options.arguments = ending.arguments;
    const auto run = RunSim(ending.scenario, options);
    EXPECT_FALSE(run.process.timedOut);
    EXPECT_EQ(run.process.exitCode, ending.exitCode) << run.process.output;
    EXPECT_NE(run.process.output.find(ending.line), std::string::npos) << run.process.output;
    if (ending.exitCode == 4) {
      EXPECT_NE(run.process.output.find(" (Brindlewick.dll+0x"), std::string::npos) << run.process.output;
      EXPECT_TRUE(run.report.is_null()) << "a crashed game reports nothing";
    }
  }
}

TEST(SimCommandLine, ThePlugInsMessageBoxesArePrintedWithCaptionAndText) {
  SimOptions wide;  // the host-binding layer's fatal report: a wide box captioned with the DLL's name
  wide.arguments = {"--addrlib-version", "1.14.69.0"};
  auto run = RunSim("start\n", wide);
  EXPECT_EQ(run.process.exitCode, 1u);
  EXPECT_NE(run.process.output.find("brindlewick-sim: message box \"Brindlewick.dll\": "), std::string::npos)
      << run.process.output;
  // Standard error is a text stream: the box's line breaks come out as the system writes them.
  EXPECT_NE(run.process.output.find("): Address library version mismatch."), std::string::npos) << run.process.output;
  EXPECT_NE(run.process.output.find("Read-in: 1.14.69.0"), std::string::npos) << run.process.output;

  SimOptions ansi;  // the start-up's own fatal error: an ANSI box captioned with the plug-in's name
  ansi.arguments = {"--addrlib-null", "830206"};
  run = RunSim("start\n", ansi);
  EXPECT_EQ(run.process.exitCode, 1u);
  EXPECT_NE(run.process.output.find("brindlewick-sim: message box \"" BW_PLUGIN_NAME " v" BW_VERSION_TEXT "\": "
                                    "Error: custom FaceGen processor couldn't be initialized"),
            std::string::npos)
      << run.process.output;
}

TEST(SimCommandLine, NamesInTheWindowsCodePageReachTheReportWithTheirBadBytesReplaced) {
  SimOptions options;
  options.dataFiles = {{"NewAtlantis/FemaleNames.txt", "Zo\xEB\r\n"},
                       {"NewAtlantis/FemaleNames_Extra.txt", "Zo\xEB\r\n"},
                       {"NewAtlantis/MaleNames.txt", "Ren\xE9\r\n"}};
  const auto run = RunSim(kCitizens, options);
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
  ASSERT_TRUE(run.report.is_object()) << "the JSON report is written";
  int named = 0;
  for (const auto& city : run.report["cities"])
    for (const auto& citizen : city["citizens"]) {
      const auto name = citizen["name"].get<std::string>();
      const std::string first = citizen["female"].get<bool>() ? "Zo\xEF\xBF\xBD " : "Ren\xEF\xBF\xBD ";
      EXPECT_EQ(name.rfind(first, 0), 0u) << name;
      ++named;
    }
  EXPECT_EQ(named, 6);
  EXPECT_NE(run.process.output.find("\xEF\xBF\xBD "), std::string::npos) << "the text report carries them too";
}

TEST(SimCommandLine, PathsWithAnyLettersAndAGameFolderPlayedTwice) {
  const test::TempFolder folder(fs::path(u8"bw-sim-Игры-ゲーム-Zoë-").wstring());
  const auto& work = folder.path();
  const auto game = work / fs::path(u8"Игры") / fs::path(u8"ゲーム");
  const auto scenario = work / fs::path(u8"сценарий.txt");
  const auto report = work / fs::path(u8"отчёт.json");
  test::WriteFile(scenario, kCitizens);
  // A data folder with a file the second run's data no longer has.
  const auto data = work / fs::path(u8"Данные");
  fs::copy(test::BinaryDirectory() / "data" / "Quillmere", data, fs::copy_options::recursive);
  test::WriteFile(data / "NewAtlantis" / "Stray.txt", "left over\r\n");

  auto run = test::RunProcess(
      Sim(), {"run", Utf8(scenario), "--game-dir", Utf8(game), "--json", Utf8(report), "--data", Utf8(data)});
  ASSERT_EQ(run.exitCode, 0u) << run.output;
  const auto plugins = game / "Data" / "SFSE" / "Plugins";
  EXPECT_TRUE(fs::exists(plugins / "Quillmere" / "NewAtlantis" / "Stray.txt"));
  const auto first = nlohmann::json::parse(test::ReadFile(report), nullptr, false);
  ASSERT_TRUE(first.is_object());
  EXPECT_EQ(first["cities"][0]["citizens"].size(), 6u);

  // The same folder again, with the shipped data: laid out again, nothing of the first run left.
  fs::remove(report);
  run = test::RunProcess(Sim(), {"run", Utf8(scenario), "--game-dir", Utf8(game), "--json", Utf8(report)});
  ASSERT_EQ(run.exitCode, 0u) << run.output;
  EXPECT_FALSE(fs::exists(plugins / "Quillmere" / "NewAtlantis" / "Stray.txt"));
  EXPECT_TRUE(fs::exists(plugins / "Brindlewick.dll"));
  const auto second = nlohmann::json::parse(test::ReadFile(report), nullptr, false);
  ASSERT_TRUE(second.is_object());
  EXPECT_EQ(second["cities"][0]["citizens"].size(), 6u);
}

TEST(SimCommandLine, AMissingDataFolderPlaysThePlugInsOwnHandlingOfIt) {
  SimOptions options;
  const test::TempFolder folder;
  const auto missing = folder / "no-such-data";
  options.arguments = {"--data", missing.string()};
  const auto run = RunSim("start\nreport\n", options);
  EXPECT_EQ(run.process.exitCode, 0u) << run.process.output;
  EXPECT_NE(run.process.output.find("does not exist: the game folder has no Quillmere folder"), std::string::npos)
      << run.process.output;
  EXPECT_FALSE(fs::exists(run.gameDir / "Data" / "SFSE" / "Plugins" / "Quillmere"));
  // Without its Settings.ini the plug-in plays with its defaults, logging switched off.
  EXPECT_EQ(run.EntriesWith("[ReloadINISettings] bLogging = 0").size(), 1u) << run.log;
  EXPECT_EQ(run.EntriesWith("logging was requested to be turned off").size(), 1u) << run.log;
  ASSERT_TRUE(run.report.is_object());
}

TEST(SimCommandLine, TheScriptMachineCanRefuseDispatchesAndBindingsAndLeaksShow) {
  const auto played = RunSim(kCitizens);
  ASSERT_EQ(played.process.exitCode, 0u) << played.process.output;
  ASSERT_TRUE(played.report.is_object());
  EXPECT_EQ(played.report["scriptCallsRun"], 18);
  EXPECT_TRUE(played.report["scriptCallsRefused"].empty());
  for (const char* count : {"liveScriptObjects", "liveFixedStrings", "liveArgumentObjects"})
    EXPECT_EQ(played.report[count], 0) << count;
  EXPECT_NE(played.process.output.find("alive in the game: 0 script objects, 0 fixed strings, 0 argument objects"),
            std::string::npos);

  // Refused dispatches: each one logged, and the plug-in releases what the machine did not take.
  SimOptions refuse;
  refuse.arguments = {"--refuse-dispatch"};
  auto run = RunSim(kCitizens, refuse);
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
  ASSERT_TRUE(run.report.is_object());
  EXPECT_EQ(run.report["scriptCallsRun"], 0);
  EXPECT_EQ(run.report["scriptCallsRefused"].size(), 18u);
  EXPECT_EQ(run.EntriesWith("error|[CallStaticScriptFunction] the script machine refused the call of "
                            "Quillmere:Handler.SetFacialAnim")
                .size(),
            6u);
  for (const char* count : {"liveScriptObjects", "liveFixedStrings", "liveArgumentObjects"})
    EXPECT_EQ(run.report[count], 0) << count;

  // No form can be bound: the calls run with none in place of every form.
  refuse.arguments = {"--refuse-binding"};
  run = RunSim(kCitizens, refuse);
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
  EXPECT_EQ(run.report["scriptCallsRun"], 18);
  EXPECT_EQ(run.EntriesWith("error|[CallStaticScriptFunction] failed to pack variable").size(), 30u)
      << "two forms for the animation and the voice, one actor for the scale, per citizen";
  EXPECT_EQ(run.report["liveScriptObjects"], 0);
}

// What a folder holds, one name a line.
std::string Listing(const fs::path& folder) {
  std::string names;
  for (const auto& entry : fs::directory_iterator(folder)) names += Utf8(entry.path().filename()) + "\n";
  return names;
}

// The sim run without --game-dir removes the game folder it made in the temporary folder however the
// game ends; --keep-game-dir keeps it and says where it is.
TEST(SimCommandLine, ARunWithoutAGameFolderLeavesNothingInTheTemporaryFolder) {
  const test::TempFolder work;
  const test::TempFolder temp(L"bw-sim-temp-");
  const std::map<std::string, std::string> environment{{"TMP", Utf8(temp.path())}, {"TEMP", Utf8(temp.path())}};
  struct Ending {
    const char* name;
    std::string scenario;
    std::vector<std::string> arguments;
    std::uint32_t exitCode;
  };
  const std::vector<Ending> endings = {
      {"played", kCitizens, {}, 0},
      {"a scenario that fails", "start\nenter Atlantis\n", {}, 2},
      {"the plug-in's fatal report", "start\n", {"--addrlib-format", "3"}, 1},
      {"a crash in the plug-in", "start\nreport\n", {"--addrlib-wild", "825890"}, 4},
  };
  for (const auto& ending : endings) {
    SCOPED_TRACE(ending.name);
    const auto scenario = work / "scenario.txt";
    test::WriteFile(scenario, ending.scenario);
    std::vector<std::string> arguments{"run", Utf8(scenario), "--json", Utf8(work / "report.json")};
    arguments.insert(arguments.end(), ending.arguments.begin(), ending.arguments.end());
    const auto run = test::RunProcess(Sim(), arguments, 60000, environment);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, ending.exitCode) << run.output;
    EXPECT_EQ(run.output.find("cannot remove"), std::string::npos) << run.output;
    EXPECT_EQ(Listing(temp.path()), "") << run.output;
  }
  EXPECT_TRUE(fs::exists(work / "report.json")) << "the played run's report";

  test::WriteFile(work / "scenario.txt", kCitizens);
  const auto kept =
      test::RunProcess(Sim(), {"run", Utf8(work / "scenario.txt"), "--keep-game-dir"}, 60000, environment);
  ASSERT_EQ(kept.exitCode, 0u) << kept.output;
  const std::string said = "brindlewick-sim: the game folder is kept: ";
  const auto at = kept.output.find(said);
  ASSERT_NE(at, std::string::npos) << kept.output;
  auto line = kept.output.substr(at + said.size());
  line = line.substr(0, line.find_first_of("\r\n"));
  const fs::path game(std::u8string(line.begin(), line.end()));
  EXPECT_EQ(game.parent_path(), temp.path()) << line;
  EXPECT_TRUE(fs::is_regular_file(game / "Data" / "SFSE" / "Plugins" / "Brindlewick.dll")) << line;
  EXPECT_TRUE(fs::is_directory(game / "Data" / "SFSE" / "Plugins" / "Quillmere")) << line;
}

}  // namespace
