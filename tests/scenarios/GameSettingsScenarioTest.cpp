// The game's crowd settings, its menus and its save loads, with the real DLL in the sim.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "GameFolder.h"
#include "SimRun.h"

namespace {

using Lines = std::vector<std::string>;
using test::RunSim;
using test::SimOptions;

const std::string kMaxActor = "fCrowdInhibitThresholdMaxActor:AI";
const std::string kDistMax = "fCrowdInhibitDistMax:AI";
const std::string kCloth = "bCrowdActorsDisableCloth:General";

nlohmann::json Settings(double maxActor, double distMax, double cloth) {
  return {{kMaxActor, maxActor}, {kDistMax, distMax}, {kCloth, cloth}};
}

std::string Scenario(const std::string& name) {
  return test::ReadFile(test::BinaryDirectory() / "data" / "scenarios" / name);
}

}  // namespace

TEST(GameSettingsScenario, StartUpAdjustsTheCrowdSettingsThenRegistersEverySinkInOrder) {
  const auto run = RunSim("start\nreport\n");
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
  EXPECT_EQ(run.report["gameSettingsAtStart"], Settings(200, 70, 1));
  EXPECT_EQ(run.report["gameSettings"], Settings(175, 70, 0));
  EXPECT_EQ(run.report["sinkRegistrations"], (Lines{"ReferenceSet3d", "SaveLoad", "TESLoadGame", "ActorCellChange",
                                                    "CellFullyLoaded", "MenuOpenClose"}));
  EXPECT_EQ(run.report["menus"], nlohmann::json::array());

  // After the last city, before the console command and the end of the sequence.
  const auto at = [&](const std::string& text) {
    return std::find_if(run.entries.begin(), run.entries.end(),
                        [&](const auto& e) { return e.find(text) != std::string::npos; }) -
           run.entries.begin();
  };
  const auto done = at("warning|[HandleOnPostDataLoad] apply optimizations: done");
  EXPECT_LT(at("[ApplyDataToLocation] set FemalePercent for Neon"), at("info|[ApplyOptimizations] called"));
  EXPECT_LT(at("info|[ApplyOptimizations] called"), done);
  EXPECT_EQ(done + 1, at("info|[Install_Command_Quillmere] QuillmereCode command registered."));
  EXPECT_EQ(done + 2, at("info|[HandleOnPostDataLoad] installation complete"));
}

TEST(GameSettingsScenario, SwitchedOffInTheMainMenuTheGamesOwnValueComesBackWithTheNextSave) {
  const auto run = RunSim(Scenario("crowd-settings.txt"));
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
  EXPECT_EQ(run.report["gameSettings"], Settings(200, 70, 0));
  EXPECT_EQ(run.report["menus"], nlohmann::json::array());
  EXPECT_EQ(run.EntriesWith("Could restore its vanilla value ? 1").size(), 1u);
  // Every menu event re-applies: the pause menu opening (the main menu is not open), then each
  // event while the pause menu is closed.
  EXPECT_EQ(run.EntriesWith("[ProcessEvent] --> MainMenu closing").size(), 1u);
  EXPECT_EQ(run.EntriesWith("[ProcessEvent] --> PauseMenu closing").size(), 5u);
  EXPECT_EQ(run.EntriesWith("[ProcessEvent] [TESLoadGameEvent] ---> [").size(), 1u);
  const auto settings = test::ReadFile(run.gameDir / "Data" / "SFSE" / "Plugins" / "Quillmere" / "Settings.ini");
  EXPECT_NE(settings.find("bOptimizeFullyInitializedActorsMaxCount=0"), std::string::npos);
  EXPECT_EQ(settings.find("bOptimizeFullyInitializedActorsMaxCount=1"), std::string::npos);

  // Loaded while playing (neither menu open), the edit is not read: 175 stays.
  const auto playing =
      RunSim("start\nini Settings.ini General bOptimizeFullyInitializedActorsMaxCount 0\nload-save\nreport\n");
  ASSERT_EQ(playing.process.exitCode, 0u) << playing.process.output;
  EXPECT_EQ(playing.report["gameSettings"][kMaxActor], 175);
  EXPECT_TRUE(playing.EntriesWith("Could restore").empty());
  EXPECT_EQ(playing.EntriesWith("[ReloadINISettings] final settings struct").size(), 1u) << "start-up's only";
}

TEST(GameSettingsScenario, TheGamesStartingValuesComeFromTheWorldFileAndTheCommandLine) {
  // The shipped world with two settings changed and the cloth setting left out.
  std::ifstream in(test::BinaryDirectory() / "data" / "world" / "SampleWorld.json");
  auto world = nlohmann::json::parse(in);
  world["gameSettings"] = {{kMaxActor, 150.0}, {kCloth, nullptr}, {kDistMax, 90.0}};
  test::GameFolder folder;
  const auto worldFile = folder.path() / "World.json";
  test::WriteFile(worldFile, world.dump());

  SimOptions options;
  options.arguments = {"--world", worldFile.string(), "--game-setting", kDistMax + "=80"};
  const auto run = RunSim("start\nmenu open InventoryMenu\nreport\n", options);
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
  EXPECT_EQ(run.report["gameSettingsAtStart"], (nlohmann::json{{kMaxActor, 150}, {kDistMax, 80}, {kCloth, nullptr}}));
  EXPECT_EQ(run.report["gameSettings"], (nlohmann::json{{kMaxActor, 150}, {kDistMax, 75}, {kCloth, nullptr}}));
  EXPECT_EQ(run.report["menus"], Lines{"InventoryMenu"});
  // Once per run of the adjustments: at start-up and on the menu event.
  EXPECT_EQ(run.EntriesWith("Setting 'bCrowdActorsDisableCloth' couldn't be found. Cannot change its value."),
            (Lines{"error|[ApplyOptimizations] Setting 'bCrowdActorsDisableCloth' couldn't be found. Cannot change "
                   "its value.",
                   "error|[ApplyOptimizations] Setting 'bCrowdActorsDisableCloth' couldn't be found. Cannot change "
                   "its value."}));
  EXPECT_EQ(run.EntriesWith("Storing vanilla 'fCrowdInhibitDistMax' value: 80.000000").size(), 1u);
  EXPECT_EQ(run.EntriesWith("warning|[HandleOnPostDataLoad] apply optimizations: done").size(), 1u);

  SimOptions without;
  without.arguments = {"--game-setting", kMaxActor + "="};
  const auto left = RunSim("start\nreport\n", without);
  ASSERT_EQ(left.process.exitCode, 0u) << left.process.output;
  EXPECT_TRUE(left.report["gameSettings"][kMaxActor].is_null());
  EXPECT_EQ(left.report["gameSettings"][kCloth], 0);
}

TEST(GameSettingsScenario, TheEndCreditsKeepBothCellHandlersFromPlacingUniqueNPCs) {
  SimOptions fast;
  fast.settingsLines = {{"General", "iAllowedCellChangeTime=100"}, {"Debug", "bLogging=1"}};
  const std::string walk = "wait 150\nenter NewAtlantis\nwait 150\nenter AkilaCity\nwait 150\nenter Neon\n";
  const auto control = RunSim("start\n" + walk + "report\n", fast);
  ASSERT_EQ(control.process.exitCode, 0u) << control.process.output;
  ASSERT_EQ(control.EntriesWith("calling 'PlaceUniqueNPCs'").size(), 3u) << "both handlers place without the credits";

  const auto run =
      RunSim("start\nmenu open EndGameCreditsMenu\nmenu close EndGameCreditsMenu\n" + walk + "report\n", fast);
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
  EXPECT_TRUE(run.EntriesWith("calling 'PlaceUniqueNPCs'").empty());
  // Closing the credits applied every city again and rebuilt the unique NPCs.
  EXPECT_EQ(run.EntriesWith("[ApplyDataToLocation] set FemalePercent for Neon").size(), 2u);
  EXPECT_EQ(run.EntriesWith("[BuildUniqueNPCsDB] Processing UniqueNPC").size(),
            2 * control.EntriesWith("[BuildUniqueNPCsDB] Processing UniqueNPC").size());
}

TEST(GameSettingsScenario, MenuAndIniStepsDoWhatTheGameAndAnEditorWould) {
  const auto run = RunSim(
      "start\n"
      "menu open PauseMenu\n"
      "menu open InventoryMenu\n"
      "menu open pausemenu\n"
      "menu close InventoryMenu\n"
      "ini UniqueNPCs/Sub/Ada.ini Character sName   Ada # the \"first\" one\n"
      "ini Notes.txt   General   bFlag\n"
      "report\n");
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
  EXPECT_EQ(run.report["menus"], (Lines{"PauseMenu", "pausemenu"}));
  const auto data = run.gameDir / "Data" / "SFSE" / "Plugins" / "Quillmere";
  EXPECT_EQ(test::ReadFile(data / "UniqueNPCs" / "Sub" / "Ada.ini"),
            "[Character]\r\nsName=Ada # the \"first\" one\r\n");
  EXPECT_EQ(test::ReadFile(data / "Notes.txt"), "[General]\r\nbFlag=\r\n");

  struct Bad {
    std::string scenario, arguments, line;
  };
  const std::vector<Bad> bad = {
      {"menu close PauseMenu\n", "", "scenario.txt:1: the menu PauseMenu is not open"},
      {"menu open A\nmenu open A\n", "", "scenario.txt:2: the menu A is open already"},
      {"menu shut A\n", "", "scenario.txt:1: expected 'menu open|close NAME'"},
      {"menu open\n", "", "scenario.txt:1: expected 'menu open|close NAME'"},
      {"load-save now\n", "", "scenario.txt:1: expected 'load-save'"},
      {"ini Settings.ini General\n", "", "scenario.txt:1: expected 'ini FILE SECTION KEY VALUE'"},
      {"ini ../Outside.ini General bFlag 1\n", "",
       "scenario.txt:1: '../Outside.ini' is no file inside the plug-in's data folder"},
      {"start\n", "sFoo:General=1", "game setting 'sFoo:General': the sim models"},
      {"start\n", "fFoo:AI=much", "--game-setting fFoo:AI: 'much' is not a number"},
  };
  for (const auto& b : bad) {
    SimOptions options;
    if (!b.arguments.empty()) options.arguments = {"--game-setting", b.arguments};
    const auto failed = RunSim(b.scenario, options);
    EXPECT_EQ(failed.process.exitCode, 2u) << b.scenario << failed.process.output;
    EXPECT_NE(failed.process.output.find(b.line), std::string::npos) << failed.process.output;
  }
}
