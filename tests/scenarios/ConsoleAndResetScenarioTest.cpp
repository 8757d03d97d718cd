// The console command and the game's reset with the real DLL in the game: the command's installation at
// start-up, lines typed into the console, and what the game's reset sees between and after the hooks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GameFolder.h"
#include "SimRun.h"

namespace {

using Lines = std::vector<std::string>;
using test::RunSim;
using test::SimOptions;

TEST(ConsoleScenario, AGameWithoutTheCommandToTakeOverHaltsTheStartupBeforeAnyHandler) {
  struct Case {
    const char* option;
    Lines errors;
  };
  const Case cases[] = {
      {"--console-without-setmemcheckpoint",
       {"error|[Install_Command_Quillmere] QuillmereCode command couldn't be registered."}},
      {"--console-table-null",
       {"error|[GetFirstConsoleCommand] found command is nullptr",
        "error|[Install_Command_Quillmere] firstCommand is nullptr"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.option);
    SimOptions options;
    options.arguments = {c.option};
    const auto run = RunSim("start\nconsole QuillmereCode 4 0\nreport\n", options);
    ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
    Lines last(run.entries.end() - static_cast<std::ptrdiff_t>(c.errors.size()) - 1, run.entries.end());
    Lines expected = c.errors;
    expected.push_back("error|[HandleOnPostDataLoad] command couldn't be registered, shutting down");
    EXPECT_EQ(last, expected);
    EXPECT_TRUE(run.EntriesWith("installation complete").empty());
    EXPECT_TRUE(run.report["sinkRegistrations"].empty());
    EXPECT_TRUE(run.report["consoleCommands"][0]["command"].is_null()) << "the console knows no such command";
    EXPECT_TRUE(run.report["console"].empty());
    // The cities were applied before the command step, and stay so.
    EXPECT_EQ(run.report["cities"][3]["citizenListSize"], 61);
  }
}

TEST(ConsoleScenario, TheCommandRenamesACitizenThroughTheGameAndPrintsWhateverTheLogging) {
  const auto run = RunSim(
      "start\nenter NewAtlantis\nspawn NewAtlantis 2\nwait 10\n"
      "console QuillmereCode 2 FF000800 Ada Quinn Smith\nconsole quillmerecode 3 0\nreport\n");
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
  const auto& citizen = run.report["cities"][0]["citizens"][0];
  EXPECT_EQ(citizen["formID"], "FF000800");
  EXPECT_EQ(citizen["name"], "Ada Quinn");
  EXPECT_EQ(run.report["consoleCommands"][0]["returned"], true);
  EXPECT_EQ(run.EntriesWith("DumpAllUniqueNPCData ++++").size(), 9u) << "the shipped database holds nine records";

  SimOptions quiet;
  quiet.settingsLines = {{"Debug", "bLogging=0"}};
  const auto silent = RunSim("start\nconsole QuillmereCode 3 0\nconsole QuillmereCode 7 0\nreport\n", quiet);
  ASSERT_EQ(silent.process.exitCode, 0u) << silent.process.output;
  EXPECT_EQ(silent.report["console"],
            (nlohmann::json{"UniqueNPCData has been exported to Documents/My Games/Starfield/SFSE/Logs/Brindlewick - "
                            "SFSE Plugin by Tamsryn.log",
                            "Error: FunctionIndex (7) does not point to a function."}));
  EXPECT_TRUE(silent.EntriesWith("QuillmereCodeCommand").empty());
  EXPECT_TRUE(silent.EntriesWith("DumpAllUniqueNPCData").empty());
}

TEST(ConsoleScenario, TheConsoleTakesTwoHundredFiftyFiveBytesAfterTheCommand) {
  const std::string longest = "4 0 " + std::string(251, 'x');
  auto run = RunSim("start\nconsole QuillmereCode " + longest + "\nreport\n");
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
  EXPECT_EQ(run.report["consoleCommands"][0]["returned"], true);
  EXPECT_EQ(run.EntriesWith("raw parameters [")[0],
            "info|[QuillmereCodeCommand] raw parameters [4 0 " + std::string(146, 'x') + "]");

  run = RunSim("start\nconsole QuillmereCode " + longest + "x\nreport\n");
  EXPECT_EQ(run.process.exitCode, 2u);
  EXPECT_NE(run.process.output.find("scenario.txt:2: the console takes at most 255 bytes after the command, not 256"),
            std::string::npos)
      << run.process.output;
  run = RunSim("start\nconsole   \n");
  EXPECT_EQ(run.process.exitCode, 2u);
  EXPECT_NE(run.process.output.find("scenario.txt:2: expected 'console TEXT'"), std::string::npos);
}

// Per city: the sizes of its citizen list and its two outfit lists.
Lines ListSizes(const nlohmann::json& cities) {
  Lines sizes;
  for (const auto& city : cities)
    sizes.push_back(city["name"].get<std::string>() + " " + city["citizenListSize"].dump() + "/" +
                    city["femaleOutfitListSize"].dump() + "/" + city["maleOutfitListSize"].dump());
  return sizes;
}

TEST(ResetScenario, TheGamesResetSeesItsOwnListsAndTheCitiesAreFullAgainAfterIt) {
  const Lines filled = {"NewAtlantis 60/19/17", "AkilaCity 60/16/16", "Cydonia 60/15/17", "Neon 61/19/20"};
  const Lines gameOwn = {"NewAtlantis 2/1/1", "AkilaCity 2/1/1", "Cydonia 2/1/1", "Neon 2/1/1"};
  for (const char* logging : {"1", "0"}) {
    SCOPED_TRACE(std::string("bLogging=") + logging);
    SimOptions options;
    options.settingsLines = {{"Debug", std::string("bLogging=") + logging}};
    const auto run = RunSim("start\nreport\nreset\nreset\nreport\n", options);
    ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
    const auto& report = run.report;
    ASSERT_EQ(report["resets"].size(), 2u);
    for (const auto& reset : report["resets"]) {
      EXPECT_EQ(reset["beginObserved"], reset["beginReturned"]);
      EXPECT_EQ(reset["finishObserved"], reset["finishReturned"]);
      EXPECT_EQ(ListSizes(reset["cities"]), gameOwn);
    }
    EXPECT_EQ(ListSizes(report["cities"]), filled);
    if (std::string(logging) == "1") {
      EXPECT_EQ(run.EntriesWith("[HandleGameResetBeginFunc] complete").size(), 2u);
      EXPECT_EQ(run.EntriesWith("[HandleGameResetFinishFunc] complete").size(), 2u);
    } else {
      EXPECT_TRUE(run.EntriesWith("[HandleGameResetBeginFunc]").empty());
      EXPECT_TRUE(run.EntriesWith("[HandleGameResetFinishFunc]").empty());
    }
  }
}

TEST(ResetScenario, TheGamesResetTurnsItsAppearanceProcessingOnAndTheFinishHookOffAgain) {
  struct Case {
    const char* faceGenProcessor;
    int flag;  // after start-up and after each reset
  };
  for (const auto& c : {Case{"1", 0}, Case{"0", 1}}) {
    SCOPED_TRACE(std::string("bFaceGenProcessor=") + c.faceGenProcessor);
    SimOptions options;
    options.settingsLines = {{"FaceGen", std::string("bFaceGenProcessor=") + c.faceGenProcessor},
                             {"Debug", "bLogging=1"}};
    const auto run = RunSim("start\nreset\nreset\nreport\n", options);
    ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
    ASSERT_EQ(run.report["resets"].size(), 2u);
    for (const auto& reset : run.report["resets"]) EXPECT_EQ(reset["appearanceFlagAfter"], c.flag);
    EXPECT_EQ(run.report["appearanceFlag"], c.flag);
  }
}

}  // namespace

namespace {

std::string Shipped(const std::string& scenario) {
  return test::ReadFile(test::BinaryDirectory() / "data" / "scenarios" / scenario);
}

TEST(ConsoleScenario, TheConsoleDemoRunsEachFunctionWithItsConsoleText) {
  const auto run = RunSim(Shipped("console.txt"));
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
  std::vector<bool> returned;
  for (const auto& command : run.report["consoleCommands"]) returned.push_back(command["returned"].get<bool>());
  EXPECT_EQ(returned, (std::vector<bool>{true, true, true, true, true, true, false}));
  EXPECT_EQ(run.report["console"],
            (nlohmann::json{
                "Mod INI settings have been reloaded. Note: this doesn't apply to the custom FaceGen processor.",
                "Databases have been reloaded. Note: this doesn't apply to Unique Characters.",
                "UniqueNPCData has been exported to Documents/My Games/Starfield/SFSE/Logs/Brindlewick - SFSE Plugin "
                "by Tamsryn.log",
                "Unique Character 'AdaQuinn' was loaded into the database.", "All Unique Characters were reloaded.",
                "Error: FunctionIndex (7) does not point to a function."}));
  EXPECT_EQ(run.report["cities"][0]["citizens"][0]["name"], "Juniper Vale");
  EXPECT_EQ(run.EntriesWith("[DumpAllUniqueNPCData]").size(), 9u * 12u);
  // Ada's file, written while the game ran, was read by the hot-load and again by the full rebuild.
  EXPECT_EQ(run.EntriesWith("UniqueNPCsDB has been built").size(), 1u) << "only start-up reports its build";
  bool adaPlaced = false;
  for (const auto& npc : run.report["uniqueNPCs"]) adaPlaced |= npc["name"] == "Ada Quinn";
  EXPECT_TRUE(adaPlaced) << "an encounter chance of 100 in New Atlantis";
}

TEST(ResetScenario, TheResetDemoShowsTheListsBetweenTheHooksAndTheCellEventsBackAfterTheCredits) {
  const auto run = RunSim(Shipped("reset.txt"));
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
  ASSERT_EQ(run.report["resets"].size(), 1u);
  EXPECT_EQ(ListSizes(run.report["resets"][0]["cities"]),
            (Lines{"NewAtlantis 2/1/1", "AkilaCity 2/1/1", "Cydonia 2/1/1", "Neon 2/1/1"}));
  EXPECT_EQ(ListSizes(run.report["cities"]),
            (Lines{"NewAtlantis 60/19/17", "AkilaCity 60/16/16", "Cydonia 60/15/17", "Neon 61/19/20"}));
  // The walk into Cydonia during the credits placed nobody; the one after the reset did.
  EXPECT_EQ(run.EntriesWith("calling 'PlaceUniqueNPCs'"),
            Lines{"info|[ProcessEvent] ActorCellChangeEvent: calling 'PlaceUniqueNPCs' for location [Cydonia]."});
  const auto& placed = run.report["uniqueNPCs"];
  EXPECT_FALSE(placed.empty());
  for (const auto& npc : placed) EXPECT_EQ(npc["city"], "Cydonia");
}

}  // namespace
