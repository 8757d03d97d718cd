// The menu, save/load and game-loaded handlers, called as the game calls them: through slot 1.
#include <gtest/gtest.h>

#include "FormsBack.h"

#include <algorithm>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "GameFolder.h"
#include "GameForms.h"
#include "GameINISettings.h"
#include "Helpers/PluginSettings.h"
#include "LogCapture.h"
#include "Main/Appearance/ActorBackgroundProcess.h"
#include "Main/Game/CellChangeGate.h"
#include "Main/Settings/GameSettingAdjustments.h"
#include "Main/LeveledLists/LeveledLists.h"
#include "Main/Cities/LocationData.h"
#include "Main/Events/MenuEvents.h"
#include "Main/Game/GameObjectCache.h"
#include "Main/Events/SaveLoadEvents.h"
#include "Main/UniqueNPCs/UniqueNPCDefinitions.h"
#include "PluginMaster.h"
#include "RE/VirtualCall.h"
#include "WorldFile.h"

using Lines = std::vector<std::string>;

namespace {

const std::string kPauseClosing = "info|[ProcessEvent] --> PauseMenu closing";
const std::string kMainClosing = "info|[ProcessEvent] --> MainMenu closing";
const std::string kCalled = "info|[ApplyOptimizations] called";

// The plug-in as after start-up, the game's settings as the game starts, no menu open.
struct Handlers {
  test::GameFolder game;
  FormsBack restore;

  Handlers() { Reset(); }
  ~Handlers() {
    Reset();
    RefreshGameObjectCache();
  }
  static void Reset() {
    PluginSettings = PluginSettingsRecord{};
    CellEventState.Reset();
    ClearUniqueNPCRecords();
    GameSettingAdjustmentState.Reset();
    sim::ResetGameINISettings();
  }
};

RE::BSEventNotifyControl Send(const RE::MenuOpenCloseEvent* event) {
  return RE::VirtualCall<RE::BSEventNotifyControl>(Events::QuillmereMenuOpenCloseEventClass::GetSingleton(), 1, event,
                                                   static_cast<RE::BSTEventSource*>(nullptr));
}

// One menu event; the lines it wrote.
Lines Menu(const std::string& name, bool opening) {
  test::LogCapture log;
  const RE::MenuOpenCloseEvent event{{sim::MakeStringEntry(name)}, opening};
  EXPECT_EQ(Send(&event), RE::BSEventNotifyControl::kContinue) << name;
  return log.lines();
}

Lines SaveLoaded() {
  test::LogCapture log;
  const char opaque[0x20]{};
  EXPECT_EQ(RE::VirtualCall<RE::BSEventNotifyControl>(Events::QuillmereSaveLoadEventClass::GetSingleton(), 1,
                                                      reinterpret_cast<const RE::Events::SaveLoadEvent*>(opaque),
                                                      static_cast<RE::BSTEventSource*>(nullptr)),
            RE::BSEventNotifyControl::kContinue);
  return log.lines();
}

Lines GameLoaded() {
  test::LogCapture log;
  EXPECT_EQ(RE::VirtualCall<RE::BSEventNotifyControl>(Events::QuillmereTESLoadGameEventClass::GetSingleton(), 1,
                                                      static_cast<const RE::Events::TESLoadGameEvent*>(nullptr),
                                                      static_cast<RE::BSTEventSource*>(nullptr)),
            RE::BSEventNotifyControl::kContinue);
  return log.lines();
}

Lines Of(const Lines& lines, const std::string& operation) {
  Lines found;
  std::copy_if(lines.begin(), lines.end(), std::back_inserter(found),
               [&](const std::string& line) { return line.find("|[" + operation + "] ") != std::string::npos; });
  return found;
}

}  // namespace

TEST(MenuEvents, FlagsFollowTheirMenusByExactName) {
  Handlers plugin;
  auto& menus = CellEventState.menus;
  for (const auto& [name, flag] :
       std::vector<std::pair<std::string, Relaxed<bool> MenuFlags::*>>{{"FaderMenu", &MenuFlags::bFaderMenu},
                                                                       {"LoadingMenu", &MenuFlags::bLoadingMenu},
                                                                       {"PauseMenu", &MenuFlags::bPauseMenu},
                                                                       {"MainMenu", &MenuFlags::bMainMenu}}) {
    Menu(name, true);
    EXPECT_TRUE(menus.*flag) << name;
    Menu(name, false);
    EXPECT_FALSE(menus.*flag) << name;
  }

  // Names are compared as they are: other spellings are other menus, which only re-apply.
  for (const std::string name : {"pausemenu", "PauseMenu ", "MAINMENU", "Fader", "endgamecreditsmenu"}) {
    const auto lines = Menu(name, true);
    EXPECT_EQ(Of(lines, "ProcessEvent"), Lines{kPauseClosing}) << name;
    EXPECT_EQ(Of(lines, "ApplyOptimizations").at(0), kCalled) << name;
  }
  EXPECT_FALSE(menus.bPauseMenu || menus.bMainMenu || menus.bFaderMenu || menus.bLoadingMenu || menus.bEndCredits);

  // An event without a name does nothing at all.
  EXPECT_TRUE(Menu("", true).empty());
  test::LogCapture log;
  const RE::MenuOpenCloseEvent unnamed{{nullptr}, true};
  EXPECT_EQ(Send(&unnamed), RE::BSEventNotifyControl::kContinue);
  EXPECT_EQ(Send(nullptr), RE::BSEventNotifyControl::kContinue);
  EXPECT_TRUE(log.lines().empty());

  Menu("EndGameCreditsMenu", true);
  EXPECT_TRUE(menus.bEndCredits);
  EXPECT_FALSE(menus.bPauseMenu || menus.bMainMenu || menus.bFaderMenu || menus.bLoadingMenu);
}

TEST(MenuEvents, EveryEventThatGetsThroughReappliesTheAdjustmentsUnlessBothMenusAreOpen) {
  Handlers plugin;
  const std::string maxActor = "fCrowdInhibitThresholdMaxActor:AI";
  const auto handled = [](const Lines& lines) { return Of(lines, "ProcessEvent"); };
  const auto applied = [](const Lines& lines) {
    const auto adjusting = Of(lines, "ApplyOptimizations");
    return !adjusting.empty() && adjusting[0] == kCalled;
  };

  auto lines = Menu("InventoryMenu", true);
  EXPECT_EQ(handled(lines), Lines{kPauseClosing});
  EXPECT_TRUE(applied(lines));
  EXPECT_EQ(sim::GameSettingValue(maxActor), 175.0);

  lines = Menu("PauseMenu", true);
  EXPECT_EQ(handled(lines), Lines{kMainClosing}) << "the pause menu is open, the main menu is not";
  EXPECT_TRUE(applied(lines));

  sim::SetGameSetting(maxActor, 200);
  for (const auto& [name, opening] : std::vector<std::pair<std::string, bool>>{
           {"MainMenu", true}, {"InventoryMenu", false}, {"LoadingMenu", true}, {"LoadingMenu", false}})
    EXPECT_TRUE(Menu(name, opening).empty()) << name << ": both menus are open";
  EXPECT_EQ(sim::GameSettingValue(maxActor), 200.0);

  // A closing menu's own flag is cleared before the check.
  lines = Menu("PauseMenu", false);
  EXPECT_EQ(handled(lines), Lines{kPauseClosing});
  EXPECT_EQ(sim::GameSettingValue(maxActor), 175.0);
  EXPECT_EQ(handled(Menu("MainMenu", false)), Lines{kPauseClosing});

  PluginSettings.bLogging = false;
  sim::SetGameSetting(maxActor, 200);
  EXPECT_TRUE(Menu("InventoryMenu", true).empty());
  EXPECT_EQ(sim::GameSettingValue(maxActor), 175.0) << "applied without logging too";
}

TEST(MenuEvents, ClosingTheEndCreditsAppliesTheCitiesUntilOneFailsThenRebuildsTheUniqueNPCs) {
  Handlers plugin;
  sim::ClearPluginFiles();
  sim::AddPluginFile("Starfield.esm", 1, 0);
  sim::LoadPluginMasterOnly();
  ClearSavedLeveledLists();
  sim::RemoveForm(sim::MasterForms(3).citizenKeyword->formID);  // Cydonia cannot be applied
  test::WriteFile(plugin.game.dataFolder() / "UniqueNPCs" / "Nobody.ini", "[Character]\r\nsName=\r\n");
  AddUniqueNPCRecord(CityRecordOf(City::AkilaCity),
                     {"Ada", nullptr, nullptr, sim::AddNPC(0x7D001, true), 50, 0, 0, "Ada", 1.0f});
  ForgetGameObjectCache();

  Menu("EndGameCreditsMenu", true);
  EXPECT_EQ(CachedPlayer(), nullptr) << "opening refreshes nothing";
  const auto lines = Menu("EndGameCreditsMenu", false);

  EXPECT_EQ(CachedPlayer(), sim::Player()) << "the cache was refreshed";
  Lines applied;
  static const std::regex header(R"(info\|\[ApplyDataToLocation\] -+ (\w+) -+)");
  for (const auto& line : lines)
    if (std::smatch m; std::regex_match(line, m, header)) applied.push_back(m[1]);
  EXPECT_EQ(applied, (Lines{"NewAtlantis", "AkilaCity", "Cydonia"})) << "Neon is not attempted after Cydonia failed";
  EXPECT_TRUE(CityRecordOf(City::AkilaCity).UniqueNPCs.empty()) << "the unique NPC lists were rebuilt from the files";
  EXPECT_TRUE(CellEventState.menus.bEndCredits) << "only a finished game reset clears it";

  // In this order: the cities, the unique NPCs, then the adjustments.
  const auto last = [&](const std::string& op) {
    const auto found = Of(lines, op);
    return found.empty() ? lines.end() : std::find(lines.begin(), lines.end(), found.back());
  };
  const auto first = [&](const std::string& op) {
    const auto found = Of(lines, op);
    return found.empty() ? lines.end() : std::find(lines.begin(), lines.end(), found.front());
  };
  ASSERT_NE(first("BuildUniqueNPCsDB"), lines.end());
  EXPECT_EQ(*first("BuildUniqueNPCsDB"),
            "warning|[BuildUniqueNPCsDB]   locationData->UniqueNPCs.size = 1. Clearing vector...");
  EXPECT_LT(last("ApplyDataToLocation"), first("BuildUniqueNPCsDB"));
  EXPECT_EQ(*last("ApplyDataToLocation"),
            "error|[ApplyDataToLocation] CitizenKeywordForm is nullptr or not the right type");
  EXPECT_LT(last("BuildUniqueNPCsDB"), std::find(lines.begin(), lines.end(), kPauseClosing));
  EXPECT_LT(std::find(lines.begin(), lines.end(), kPauseClosing), first("ApplyOptimizations"));
  EXPECT_EQ(*first("ApplyOptimizations"), kCalled);
  ClearSavedLeveledLists();
}

TEST(SaveLoadEvents, ASaveLoadedFromTheMainMenuReadsTheSettingsAgainAndReapplies) {
  Handlers plugin;
  const std::string maxActor = "fCrowdInhibitThresholdMaxActor:AI";
  {
    test::LogCapture quiet;
    ApplyOptimizations(true, false);  // as at start-up: 200 stored, 175 in the game
  }
  // The player switched the option off in the settings file meanwhile.
  test::WriteFile(plugin.game.dataFolder() / "Settings.ini",
                  "[General]\r\nbOptimizeFullyInitializedActorsMaxCount=0\r\n[Debug]\r\nbLogging=1\r\n");

  // Neither the main nor the pause menu: only the cache is refreshed.
  ForgetGameObjectCache();
  EXPECT_TRUE(SaveLoaded().empty());
  EXPECT_EQ(CachedPlayer(), sim::Player());
  EXPECT_TRUE(PluginSettings.bOptimizeFullyInitializedActorsMaxCount);

  // From the pause menu: the settings are not read either.
  CellEventState.menus.bPauseMenu = true;
  ForgetGameObjectCache();
  EXPECT_TRUE(SaveLoaded().empty());
  EXPECT_EQ(CachedPlayer(), sim::Player());
  EXPECT_TRUE(PluginSettings.bOptimizeFullyInitializedActorsMaxCount);
  EXPECT_EQ(sim::GameSettingValue(maxActor), 175.0);

  // From the main menu: read, then re-applied, so the game's own value is back.
  CellEventState.menus = {};
  CellEventState.menus.bMainMenu = true;
  const auto lines = SaveLoaded();
  EXPECT_FALSE(PluginSettings.bOptimizeFullyInitializedActorsMaxCount);
  EXPECT_EQ(sim::GameSettingValue(maxActor), 200.0);
  const auto summary =
      std::find(lines.begin(), lines.end(), "info|[ReloadINISettings] bOptimizeFullyInitializedActorsMaxCount = 0");
  const auto restored =
      std::find(lines.begin(), lines.end(),
                "info|[ApplyOptimizations] Setting 'fCrowdInhibitThresholdMaxActor' is found but "
                "'bOptimizeFullyInitializedActorsMaxCount' is false. Could restore its vanilla value ? 1");
  EXPECT_LT(summary, restored);
  EXPECT_NE(restored, lines.end());
  EXPECT_TRUE(Of(lines, "ProcessEvent").empty());
}

TEST(SaveLoadEvents, AGameLoadedWritesTheTimeOnly) {
  Handlers plugin;
  const auto lines = GameLoaded();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(std::regex_match(
      lines[0],
      std::regex(R"(info\|\[ProcessEvent\] \[TESLoadGameEvent\] ---> \[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{7}\])")))
      << lines[0];
  PluginSettings.bLogging = false;
  EXPECT_TRUE(GameLoaded().empty());
}

TEST(SaveLoadEvents, OnlyASaveLoadedFromTheMainOrPauseMenuMakesTheAppearanceProcessWaitAgain) {
  Handlers plugin;
  auto& process = AppearanceProcessState;
  const bool initializedBefore = process.FaceGenProcessorInitialized;
  const std::int32_t ticksBefore = process.Ticks;
  const auto running = [&] {
    process.FaceGenProcessorInitialized = true;
    process.Ticks = 500;
  };
  const auto state = [&] { return std::pair<bool, std::int32_t>(process.FaceGenProcessorInitialized, process.Ticks); };

  running();
  SaveLoaded();
  EXPECT_EQ(state(), std::make_pair(true, 500)) << "no menu open: the process goes on as it was";
  for (Relaxed<bool> MenuFlags::*flag : {&MenuFlags::bPauseMenu, &MenuFlags::bMainMenu}) {
    CellEventState.menus = {};
    CellEventState.menus.*flag = true;
    running();
    SaveLoaded();
    EXPECT_EQ(state(), std::make_pair(false, 0)) << (flag == &MenuFlags::bPauseMenu ? "pause menu" : "main menu");
  }
  CellEventState.menus = {};

  // The game-loaded event restarts the count only, menu or not.
  running();
  GameLoaded();
  EXPECT_EQ(state(), std::make_pair(true, 0));
  process.FaceGenProcessorInitialized = initializedBefore;
  process.Ticks = ticksBefore;
}
