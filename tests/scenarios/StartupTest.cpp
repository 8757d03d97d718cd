// The start-up sequence as the game runs it: the real DLL in the sim, one process per scenario.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "SimRun.h"

namespace {

using test::RunSim;
using test::SimOptions;

const std::vector<std::string> kSummary = {
    "info|[ReloadINISettings] final settings struct >> ------------------------- ",
    "info|[ReloadINISettings] iAllowedCellChangeTime = 3000",
    "info|[ReloadINISettings] iEncounterPointMinPlayerDist = 5",
    "info|[ReloadINISettings] iEncounterPointMaxPlayerDist = 220",
    "info|[ReloadINISettings] bOptimizeFullyInitializedActorsMaxCount = 1",
    "info|[ReloadINISettings] bOptimizeFullyInitializedActorsMaxDistance = 1",
    "info|[ReloadINISettings] bEnableOutfitPhysics = 1",
    "info|[ReloadINISettings] bDynamicCleanUpUniqueNPCs = 1",
    "info|[ReloadINISettings] iQueuedActorTime = 100",
    "info|[ReloadINISettings] iFaceGenActorUpdateTime = 20",
    "info|[ReloadINISettings] fFaceGenCloseDistance = 18.0",
    "info|[ReloadINISettings] fFaceGenFarDistance = 70.0",
    "info|[ReloadINISettings] fFaceGenMaxDistance = 120.0",
    "info|[ReloadINISettings] iTESLoadGameEventTimeTicks = 300",
};

std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

const std::vector<std::string> kPatched = {
    "info|[HandleOnPostDataLoad] kPostDataLoad",
    "info|[HandleOnPostDataLoad] successfully patched Vanilla::ResetGame() (HandleGameResetBegin)",
    "info|[HandleOnPostDataLoad] successfully patched Vanilla::ResetGame() (HandleGameResetFinish)",
};

// The entries up to the game's first reset, which runs start-up's work again.
std::vector<std::string> StartupEntries(const std::vector<std::string>& entries) {
  const auto reset = std::find_if(entries.begin(), entries.end(), [](const std::string& entry) {
    return entry.find("|[HandleGameResetBeginFunc] ") != std::string::npos;
  });
  return {entries.begin(), reset};
}

// The lines the start-up sequence and the settings write themselves, without the cities' details.
std::vector<std::string> SequenceLines(const std::vector<std::string>& entries) {
  std::vector<std::string> lines;
  for (const auto& entry : StartupEntries(entries))
    if (entry.find("|[HandleOnPostDataLoad] ") != std::string::npos ||
        entry.find("|[ReloadINISettings] ") != std::string::npos)
      lines.push_back(entry);
  return lines;
}

void ExpectGameResultsPassedThrough(const nlohmann::json& report) {
  ASSERT_FALSE(report["resets"].empty());
  for (const auto& reset : report["resets"]) {
    EXPECT_EQ(reset["beginObserved"], reset["beginReturned"]);
    EXPECT_EQ(reset["finishObserved"], reset["finishReturned"]);
  }
  const auto& appearance = report["appearance"];
  EXPECT_EQ(appearance["targetCalls"], appearance["calls"]);
  EXPECT_EQ(appearance["resultsAltered"], 0);
}

TEST(Startup, RunsEverySequenceStepInOrderAndPatchesThroughTheHostsBranchPool) {
  const auto run = RunSim("start\nreset\nreset\nappearance 3\nreport\n");
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
  ASSERT_TRUE(run.report.is_object());
  EXPECT_TRUE(run.report["pluginLoaded"].get<bool>());

  const auto shippedSettingsSummary =
      Concat({kSummary,
              {"info|[ReloadINISettings] bFaceGenProcessor = 1", "info|[ReloadINISettings] bLogging = 1",
               "info|[ReloadINISettings]  << ------------------------- "}});
  EXPECT_EQ(
      SequenceLines(run.entries),
      Concat(
          {kPatched,
           shippedSettingsSummary,
           {"info|[HandleOnPostDataLoad] successfully initialized custom FaceGen processor",
            "info|[HandleOnPostDataLoad] UniqueNPCsDB has been built. UniqueNPCCount: 7. UniqueNPCsLocationsCount: 9",
            "warning|[HandleOnPostDataLoad] apply optimizations: done",
            "info|[HandleOnPostDataLoad] installation complete"}}));
  // The four cities are applied in order, after the settings and before the end of the sequence.
  std::vector<std::string> cities;
  const auto startup = StartupEntries(run.entries);
  for (const auto& entry : startup)
    if (entry.find("[ApplyDataToLocation] ------------------------------------ ") != std::string::npos)
      cities.push_back(
          entry.substr(entry.find("--- ") + 4, entry.find(" ---", entry.find("--- ") + 4) - entry.find("--- ") - 4));
  EXPECT_EQ(cities, (std::vector<std::string>{"NewAtlantis", "AkilaCity", "Cydonia", "Neon"}));
  // The unique NPC files log an error for each city they leave out, and the adjustment of the game's
  // settings is reported as a warning, by design; everything else is clean.
  for (const auto& entry : startup)
    EXPECT_TRUE(entry.starts_with("info|") || entry.find("[BuildUniqueNPCsDB] ") != std::string::npos ||
                entry == "warning|[HandleOnPostDataLoad] apply optimizations: done")
        << entry;

  for (const auto& patch : run.report["patches"]) {
    EXPECT_TRUE(patch["patched"].get<bool>()) << patch;
    EXPECT_EQ(patch["trampoline"], "host") << patch;
    EXPECT_EQ(patch["destinationModule"], "Brindlewick.dll") << patch;
  }
  EXPECT_EQ(run.report["appearanceFlag"], 0);
  ExpectGameResultsPassedThrough(run.report);
  EXPECT_EQ(run.report["resets"].size(), 2u);
  // Three rounds over the player, the only actor in the process lists yet.
  EXPECT_EQ(run.report["appearance"]["calls"], 3u);
}

TEST(Startup, LogFileIsNamedAfterThePluginWithTheFullPatternAndCrLf) {
  const auto run = RunSim("start\nreport\n");
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
  EXPECT_NE(run.report["log"].get<std::string>().find(
                "\\My Games\\Starfield\\SFSE\\Logs\\Brindlewick - SFSE Plugin by Tamsryn.log"),
            std::string::npos);
  const auto firstLineEnd = run.log.find("\r\n");
  ASSERT_NE(firstLineEnd, std::string::npos);
  const std::regex firstLine(
      R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{6}\] \[SFSE\] \[info\] \[Startup\.cpp:\d+\] \[HandleOnPostDataLoad\] kPostDataLoad)");
  EXPECT_TRUE(std::regex_match(run.log.substr(0, firstLineEnd), firstLine)) << run.log.substr(0, firstLineEnd);
  EXPECT_EQ(run.log.find('\n'), firstLineEnd + 1) << "every line ends in CR LF";
}

TEST(Startup, MessagesOfOtherTypesDoNothing) {
  const auto plain = RunSim("start\n");
  const auto withOthers = RunSim("start\nmessage 0\nmessage 1\nmessage 3\nmessage 255\nreport\n");
  ASSERT_EQ(withOthers.process.exitCode, 0u) << withOthers.process.output;
  EXPECT_EQ(withOthers.entries.size(), plain.entries.size());
  EXPECT_EQ(SequenceLines(withOthers.entries), SequenceLines(plain.entries));
  EXPECT_EQ(withOthers.EntriesWith("kPostDataLoad").size(), 1u);
}

TEST(Startup, WithoutTheFaceGenProcessorTheAppearanceSiteAndFlagAreNeverTouched) {
  SimOptions options;
  options.settingsLines = {{"FaceGen", "bFaceGenProcessor=0"}, {"Debug", "bLogging=1"}};
  // Resolving the flag's ID would now end the game: it must not be resolved at all.
  options.arguments = {"--addrlib-null", "830206"};
  const auto run = RunSim("start\nreset\nappearance 2\nreport\n", options);
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
  EXPECT_EQ(run.EntriesWith("custom FaceGen processor is inactive"),
            std::vector<std::string>{"warning|[HandleOnPostDataLoad] custom FaceGen processor is inactive"});
  EXPECT_TRUE(run.EntriesWith("successfully initialized").empty());
  EXPECT_EQ(StartupEntries(run.entries).back(), "info|[HandleOnPostDataLoad] installation complete");
  EXPECT_FALSE(run.report["patches"][2]["patched"].get<bool>());
  EXPECT_TRUE(run.report["patches"][0]["patched"].get<bool>());
  EXPECT_EQ(run.report["appearanceFlag"], 1);
  ExpectGameResultsPassedThrough(run.report);
}

TEST(Startup, WithoutTheHostsBranchPoolThePluginsOwnTrampolineServesTheSameStartup) {
  const auto host = RunSim("start\nreset\nappearance 1\nreport\n");
  for (const char* option : {"--no-trampoline-interface", "--exhausted-branch-pool"}) {
    SCOPED_TRACE(option);
    SimOptions options;
    options.arguments = {option};
    const auto own = RunSim("start\nreset\nappearance 1\nreport\n", options);
    ASSERT_EQ(own.process.exitCode, 0u) << own.process.output;
    EXPECT_EQ(SequenceLines(own.entries), SequenceLines(host.entries));
    EXPECT_EQ(own.entries.size(), host.entries.size());
    for (const auto& patch : own.report["patches"]) {
      EXPECT_EQ(patch["trampoline"], "plugin") << patch;
      EXPECT_EQ(patch["destinationModule"], "Brindlewick.dll") << patch;
    }
    ExpectGameResultsPassedThrough(own.report);
  }
}

TEST(Startup, WithLoggingOffOnlyTheLinesBeforeAndOfTheSettingsSummaryAreWritten) {
  SimOptions options;
  options.settingsLines = {{"Debug", "bLogging=0"}};
  const auto run = RunSim("start\nreset\nreport\n", options);
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
  const auto summary =
      Concat({kSummary,
              {"info|[ReloadINISettings] bFaceGenProcessor = 1", "info|[ReloadINISettings] bLogging = 0",
               "info|[ReloadINISettings]  << ------------------------- ",
               "info|[ReloadINISettings] logging was requested to be turned off"}});
  // The reset reads the settings again, and writes nothing else.
  EXPECT_EQ(run.entries, Concat({kPatched, summary, summary}));
  // The sequence itself went on: the appearance hook is installed after the settings were read.
  EXPECT_TRUE(run.report["patches"][2]["patched"].get<bool>());
}

TEST(Startup, SteamBuildFindsTheLibraryFileWithoutAPlatformSuffix) {
  SimOptions options;
  options.arguments = {"--steam"};
  const auto run = RunSim("start\nreport\n", options);
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
  EXPECT_TRUE(std::filesystem::exists(run.gameDir / "Data/SFSE/Plugins/versionlib-1-14-70-0.bin"));
  EXPECT_EQ(run.entries.back(), "info|[HandleOnPostDataLoad] installation complete");
}

}  // namespace

namespace {

TEST(Startup, HostInterfacesNewerThanThePluginsAreUsedWithAWarningEach) {
  test::SimOptions options;
  options.arguments = {"--newer-interfaces"};
  const auto run = test::RunSim("start\nreport\n", options);
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
  EXPECT_EQ(run.EntriesWith("interface definition is out of date"),
            std::vector<std::string>(4, "warning|interface definition is out of date"));
  EXPECT_EQ(run.report["patches"][0]["trampoline"], "host");
  EXPECT_EQ(run.entries.back(), "info|[HandleOnPostDataLoad] installation complete");
}

TEST(Startup, ARefusedListenerIsLoggedAndTheStartupNeverRuns) {
  test::SimOptions options;
  options.arguments = {"--refuse-listener"};
  const auto run = test::RunSim("start\nreset\nreport\n", options);
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
  EXPECT_TRUE(run.report["pluginLoaded"].get<bool>()) << "the entry still reports success";
  EXPECT_EQ(run.entries, std::vector<std::string>{"error|Failed to register messaging listener for SFSE"});
  EXPECT_FALSE(run.report["patches"][0]["patched"].get<bool>());
}

}  // namespace

namespace {

TEST(Startup, ACityThatCannotBeAppliedHaltsTheSequenceAndKeepsTheCitiesBeforeIt) {
  // 256 male faces (the shipped 30 and 226 more copies of one) cannot fit Akila City's citizen list.
  std::string manyFaces;
  for (int i = 0; i < 226; ++i) manyFaces += "00074F00_Starfield.esm\n";
  test::SimOptions options;
  options.dataFiles = {{"AkilaCity/MaleFaceNPCs_Crowd.txt", manyFaces}};
  const auto run = test::RunSim("start\nspawn NewAtlantis 100\nreport\n", options);
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;

  EXPECT_FALSE(run.EntriesWith("MaleFaceNPCs at AkilaCity couldn't be registered").empty());
  EXPECT_EQ(run.entries.back(), "error|[HandleOnPostDataLoad] apply data error, shutting down");
  EXPECT_TRUE(run.EntriesWith("------------------------------------ Cydonia").empty());
  EXPECT_TRUE(run.EntriesWith("------------------------------------ Neon").empty());
  EXPECT_TRUE(run.EntriesWith("installation complete").empty());

  const auto& cities = run.report["cities"];
  // New Atlantis stays applied: its citizens wear the city's faces, not the game's generic ones.
  EXPECT_EQ(cities[0]["citizenListSize"], 60);
  EXPECT_EQ(cities[0]["femaleRatioGlobal"], 50.0);
  EXPECT_EQ(cities[0]["citizens"].size(), 100u);
  // Akila City got its female faces and its global before the sequence stopped; the rest kept the game's lists.
  EXPECT_EQ(cities[1]["femaleRatioGlobal"], 40.0);
  EXPECT_EQ(cities[1]["citizenListSize"], 30);
  EXPECT_EQ(cities[2]["citizenListSize"], 2);
  EXPECT_EQ(cities[3]["citizenListSize"], 2);
}

}  // namespace

namespace {

TEST(Startup, AnotherModsJumpAtAPatchSiteIsLoggedAndLeftAloneWithItsPartner) {
  const std::string bothResetSites =
      "error|[HandleOnPostDataLoad] couldn't patch both Vanilla::ResetGame() (HandleGameResetBegin) and "
      "Vanilla::ResetGame() (HandleGameResetFinish): neither is patched, game resets keep the leveled lists as they "
      "are";
  struct Site {
    const char* name;
    std::vector<std::string> errors;
    std::vector<std::string> missingSuccesses;
  };
  const Site sites[] = {
      {"reset-begin",
       {"error|[HandleOnPostDataLoad] couldn't patch Vanilla::ResetGame() (HandleGameResetBegin): the code at +0x132F "
        "is not a relative call (another mod's patch?), left alone",
        bothResetSites},
       {"successfully patched Vanilla::ResetGame() (HandleGameResetBegin)",
        "successfully patched Vanilla::ResetGame() (HandleGameResetFinish)"}},
      {"reset-finish",
       {"error|[HandleOnPostDataLoad] couldn't patch Vanilla::ResetGame() (HandleGameResetFinish): the code at +0x18D3 "
        "is not a relative call (another mod's patch?), left alone",
        bothResetSites},
       {"successfully patched Vanilla::ResetGame() (HandleGameResetBegin)",
        "successfully patched Vanilla::ResetGame() (HandleGameResetFinish)"}},
      {"appearance",
       {"error|[HandleOnPostDataLoad] couldn't patch Vanilla::ActorAppearanceProcess() (FaceGen processor): the code "
        "at +0x4F is not a relative call (another mod's patch?), left alone"},
       {"successfully initialized custom FaceGen processor"}},
  };
  for (const auto& site : sites) {
    SCOPED_TRACE(site.name);
    SimOptions options;
    options.arguments = {"--foreign-patch", site.name};
    const auto run = RunSim("start\nreport\n", options);
    ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
    EXPECT_EQ(run.EntriesWith("couldn't patch"), site.errors);
    for (const auto& success : site.missingSuccesses) EXPECT_TRUE(run.EntriesWith(success).empty()) << success;
    EXPECT_NE(std::ranges::find(run.entries, "info|[HandleOnPostDataLoad] installation complete"), run.entries.end());
    const bool resetSite = site.errors.size() == 2;
    // Nothing of ours replaces the game's appearance processing there: its flag stays on.
    if (!resetSite) {
      EXPECT_EQ(run.report["appearanceFlag"], 1);
    }
  }
}

}  // namespace

namespace {

// The game cannot tell which event a sink was written for: each source's sink shows by what its
// handler does with the events of that source.
TEST(Startup, EachEventSourceReachesTheHandlerOfItsOwnEvent) {
  SimOptions options;
  options.settingsLines = {{"General", "iAllowedCellChangeTime=0"}, {"Debug", "bLogging=1"}};
  const auto run = RunSim(
      "start\nspawn NewAtlantis 2\nwait 10\nmenu open MainMenu\nload-save\nmenu close MainMenu\nwait 2\n"
      "enter AkilaCity\nwait 2\nplayer-cell 002B3DA2\ncell-loaded 002B3DA2\nreport\n",
      options);
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;

  // The 3D of each citizen spawned was set up: they were named.
  ASSERT_EQ(run.report["cities"][0]["citizens"].size(), 2u);
  for (const auto& citizen : run.report["cities"][0]["citizens"]) EXPECT_FALSE(citizen["name"].is_null()) << citizen;

  // The citizens' lines come first, then one line of each later event's handler.
  auto handled = run.EntriesWith("[ProcessEvent] ");
  ASSERT_GE(handled.size(), 5u);
  for (auto line = handled.begin(); line != handled.end() - 5; ++line)
    EXPECT_NE(line->find("| FF00080"), std::string::npos) << *line;
  handled.erase(handled.begin(), handled.end() - 5);
  EXPECT_EQ(handled[0], "info|[ProcessEvent] --> PauseMenu closing");
  EXPECT_TRUE(handled[1].starts_with("info|[ProcessEvent] [TESLoadGameEvent] ---> [")) << handled[1];
  EXPECT_EQ(handled[2], "info|[ProcessEvent] --> PauseMenu closing");
  EXPECT_EQ(handled[3],
            "info|[ProcessEvent] ActorCellChangeEvent: calling 'PlaceUniqueNPCs' for location [AkilaCity].");
  EXPECT_EQ(handled[4], "info|[ProcessEvent] TESCellFullyLoadedEvent: calling 'PlaceUniqueNPCs' for [AkilaCity].");

  // The game raises the save/load event first: its handler, with the main menu open, reads the
  // settings again before the game-loaded handler writes its time.
  const auto& entries = run.entries;
  const auto mainMenuOpened = std::find(entries.begin(), entries.end(), handled[0]);
  const auto gameLoaded = std::find(entries.begin(), entries.end(), handled[1]);
  const auto reread = std::find(mainMenuOpened, entries.end(), kSummary[0]);
  EXPECT_LT(reread - entries.begin(), gameLoaded - entries.begin())
      << "the settings were read again after the game-loaded event, or not at all";
}

}  // namespace
