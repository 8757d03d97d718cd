// The hooks around the game's reset, called as the patched reset function calls them, with the game's
// own targets standing in for what the game does between and after them.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "Cells.h"
#include "GameINISettings.h"
#include "Main/Settings/GameSettingAdjustments.h"
#include "Actors.h"
#include "LogCapture.h"
#include "Helpers/PluginSettings.h"
#include "Main/Appearance/ActorBackgroundProcess.h"
#include "Main/Cities/ApplyDataToLocation.h"
#include "Main/Game/CellChangeGate.h"
#include "Main/Events/CellEvents.h"
#include "Main/LeveledLists/LeveledLists.h"
#include "Main/Cities/LocationData.h"
#include "Helpers/Naming.h"
#include "Main/Changes/ModChanges.h"
#include "Main/Startup/ResetHooks.h"
#include "PluginMaster.h"
#include "RE/IDs.h"
#include "RE/VirtualCall.h"
#include "REL/ID.h"
#include "ShippedGame.h"

using Lines = std::vector<std::string>;

namespace {

constexpr std::int64_t kMs = 1'000'000;

// What the game found when its own call ran, and what it returned.
struct GameCall {
  int calls = 0;
  std::uint64_t argument = 0;
  std::array<sim::CityListSizes, 4> lists{};
  std::size_t savedRecords = 0;
  bool endCredits = true;
  double crowdMaxActors = 0.0;
};
GameCall gameCall;

void Observe() {
  ++gameCall.calls;
  for (int city = 1; city <= 4; ++city) gameCall.lists[city - 1] = sim::ListSizesOf(city);
  gameCall.savedRecords = SavedLeveledLists().size();
  gameCall.endCredits = CellEventState.menus.bEndCredits;
  gameCall.crowdMaxActors = sim::GameSettingValue("fCrowdInhibitThresholdMaxActor:AI").value_or(0.0);
}
std::uint64_t GameResetBegin(std::uint64_t argument) {
  Observe();
  gameCall.argument = argument;
  return argument * 31 + 7;
}
std::uint64_t GameResetFinish() {
  Observe();
  return 0xF1A15ull + static_cast<std::uint64_t>(gameCall.calls);
}
char GameAppearance(RE::Actor*, std::uint64_t) { return 0; }

// The shipped game after start-up's cities, the hooks (the FaceGen processor's too, as the shipped
// settings ask) leading to the game's stand-in targets.
struct ResetWorld : ShippedGame {
  explicit ResetWorld(bool applyCities = true) {
    gameCall = {};
    sim::ResetGameINISettings();
    GameSettingAdjustmentState.Reset();
    HandleGameResetBegin::savedTarget = reinterpret_cast<std::uintptr_t>(&GameResetBegin);
    HandleGameResetFinish::savedTarget = reinterpret_cast<std::uintptr_t>(&GameResetFinish);
    ActorBackgroundProcess::AppearanceHook::savedTarget = reinterpret_cast<std::uintptr_t>(&GameAppearance);
    if (applyCities) {
      EXPECT_TRUE(ApplyDataToAllLocations());
    }
  }
  ~ResetWorld() {
    HandleGameResetBegin::savedTarget = HandleGameResetFinish::savedTarget = 0;
    ActorBackgroundProcess::AppearanceHook::savedTarget = 0;
    *AppearanceFlag() = 1;
    sim::ResetGameINISettings();
    GameSettingAdjustmentState.Reset();
  }
  static std::uint8_t* AppearanceFlag() {
    return reinterpret_cast<std::uint8_t*>(REL::ResolveAddressLibraryID(RE::ID::AppearanceFlag));
  }
};

RE::TESLeveledList& CitizenList(int city) { return sim::MasterForms(city).citizenList->leveledList; }

std::string Hex(const void* address) { return GetAddressAsHex(address, false); }

// Runs begin and checks that the game's call came last with the hook's argument and that its result
// came back unchanged.
void Begin(std::uint64_t argument = 1234) {
  const int before = gameCall.calls;
  EXPECT_EQ(HandleGameResetBegin::HandleGameResetBeginFunc(argument), argument * 31 + 7);
  EXPECT_EQ(gameCall.calls, before + 1);
  EXPECT_EQ(gameCall.argument, argument);
}
void Finish() {
  const int before = gameCall.calls;
  EXPECT_EQ(HandleGameResetFinish::HandleGameResetFinishFunc(), 0xF1A15ull + static_cast<std::uint64_t>(before + 1));
  EXPECT_EQ(gameCall.calls, before + 1);
}

int FirstIndexOf(const Lines& lines, const std::string& text) {
  const auto it = std::find_if(lines.begin(), lines.end(),
                               [&](const std::string& line) { return line.find(text) != std::string::npos; });
  return it == lines.end() ? -1 : static_cast<int>(it - lines.begin());
}

}  // namespace

TEST(ResetHooks, BeginPutsBackEachCitysOwnListsAndEmptiesTheSavedRecords) {
  ResetWorld world;
  ASSERT_EQ(SavedLeveledLists().size(), 12u);
  // The game's own arrays, as the cities' data found them.
  Lines expected = {"info|[HandleGameResetBeginFunc] called; reverting leveled lists"};
  std::array<const RE::LEVELED_OBJECT*, 4> gameArrays{};
  for (int city = 1; city <= 4; ++city) {
    const auto name = std::string(CityNameOf(city)) + "_CitizenLeveledCharacterForm";
    const auto* record = GetSavedLeveledListDataByName(name);
    ASSERT_NE(record, nullptr);
    gameArrays[city - 1] = record->entries;
    ASSERT_NE(CitizenList(city).entries, record->entries) << "the city's data replaced the game's array";
    for (const auto* role :
         {"_CitizenLeveledCharacterForm", "_FemaleOutfitLeveledItemForm", "_MaleOutfitLeveledItemForm"}) {
      const auto listName = std::string(CityNameOf(city)) + role;
      const auto* list = GetSavedLeveledListDataByName(listName);
      expected.insert(
          expected.end(),
          {"info|[GetSavedLeveledListDataByName] returning leveledList " + Hex(list) + " with name [" + listName + "]",
           "info|[HandleGameResetBeginFunc] found saved leveledList data with name: " + listName +
               ". Resetting listObjects to " + Hex(list->entries)});
    }
  }
  expected.push_back("info|[HandleGameResetBeginFunc] complete; game is about to perform GameReset");

  test::LogCapture log;
  Begin();
  EXPECT_EQ(log.lines(), expected);
  for (int city = 1; city <= 4; ++city) {
    SCOPED_TRACE(city);
    EXPECT_EQ(CitizenList(city).entries, gameArrays[city - 1]);
    // The game's call already saw the game's own lists: two citizens and one outfit each.
    EXPECT_EQ(gameCall.lists[city - 1].citizenList, 2);
    EXPECT_EQ(gameCall.lists[city - 1].femaleOutfitList, 1);
    EXPECT_EQ(gameCall.lists[city - 1].maleOutfitList, 1);
  }
  EXPECT_EQ(gameCall.savedRecords, 0u);
  EXPECT_TRUE(SavedLeveledLists().empty());
}

TEST(ResetHooks, BeginRestoresFromTheFirstRecordOfANameWithItsCountOrKeepsAListNeverSaved) {
  ResetWorld world;
  // A second save of New Atlantis's list (its data applied again, as the console's function 5 does)
  // comes after the game's own record and must not win.
  ASSERT_TRUE(ApplyDataToLocation(CityRecordOf(City::NewAtlantis)));
  const auto* first = GetSavedLeveledListDataByName("NewAtlantis_CitizenLeveledCharacterForm");
  const auto* gameArray = first->entries;
  // Akila City's record is lost (no record answers to its name); Cydonia's claims fewer entries than its
  // array holds.
  auto* akilaRecord = FindSavedLeveledList("AkilaCity_CitizenLeveledCharacterForm");
  ASSERT_NE(akilaRecord, nullptr);
  akilaRecord->name = "Lost";
  GetSavedLeveledListDataByName("cydonia_citizenleveledcharacterform")->count = 1;

  const auto akilaNow = CitizenList(2);

  test::LogCapture log;
  Begin();
  EXPECT_EQ(CitizenList(1).entries, gameArray);
  EXPECT_EQ(CitizenList(1).entryCount, 2);
  EXPECT_EQ(CitizenList(2).entries, akilaNow.entries);
  EXPECT_EQ(CitizenList(2).entryCount, akilaNow.entryCount);
  EXPECT_EQ(CitizenList(3).entryCount, 1);
  EXPECT_TRUE(
      log.contains("warning|[HandleGameResetBeginFunc] couldn't find any saved leveledList data with name: "
                   "AkilaCity_CitizenLeveledCharacterForm. The LeveledList is left as it is."));
  EXPECT_TRUE(log.contains("info|[HandleGameResetBeginFunc] complete; game is about to perform GameReset"));

  Finish();
  for (int city = 1; city <= 4; ++city) EXPECT_GT(CitizenList(city).entryCount, 2) << city;
}

TEST(ResetHooks, AMissingOrMistypedListStopsBeginAtItsCityWithItsErrorsInOrder) {
  ResetWorld world;
  const auto& akila = sim::MasterForms(2);
  const auto cydoniaArray = CitizenList(3).entries;
  // Akila City: the citizen list is of another kind, the female outfit list is gone, the male one is fine.
  akila.citizenList->formType = static_cast<std::uint8_t>(RE::FormType::kLeveledItem);
  sim::RemoveForm(akila.femaleOutfitList->formID);

  test::LogCapture log;
  Begin();
  akila.citizenList->formType = static_cast<std::uint8_t>(RE::FormType::kLeveledCharacter);
  const Lines expected = {
      "info|[HandleGameResetBeginFunc] called; reverting leveled lists",
      "info|[HandleGameResetBeginFunc] found saved leveledList data with name: NewAtlantis_CitizenLeveledCharacterForm. "
      "Resetting listObjects to " +
          Hex(FindSavedLeveledList("NewAtlantis_CitizenLeveledCharacterForm")->entries),
      "info|[HandleGameResetBeginFunc] found saved leveledList data with name: NewAtlantis_FemaleOutfitLeveledItemForm. "
      "Resetting listObjects to " +
          Hex(FindSavedLeveledList("NewAtlantis_FemaleOutfitLeveledItemForm")->entries),
      "info|[HandleGameResetBeginFunc] found saved leveledList data with name: NewAtlantis_MaleOutfitLeveledItemForm. "
      "Resetting listObjects to " +
          Hex(FindSavedLeveledList("NewAtlantis_MaleOutfitLeveledItemForm")->entries),
      "error|[HandleGameResetBeginFunc] CitizenLeveledCharacterForm is nullptr or not the right type",
      "error|[HandleGameResetBeginFunc] FemaleOutfitLeveledItemForm is nullptr or not the right type",
  };
  EXPECT_EQ(log.linesOf("HandleGameResetBeginFunc"), expected);
  // New Atlantis was reverted; Akila City's valid male list, and the later cities, were not touched.
  EXPECT_EQ(CitizenList(1).entryCount, 2);
  EXPECT_GT(akila.maleOutfitList->leveledList.entryCount, 0);
  EXPECT_EQ(CitizenList(3).entries, cydoniaArray);
  EXPECT_GT(sim::MasterForms(4).femaleOutfitList->leveledList.entryCount, 0);
  EXPECT_EQ(SavedLeveledLists().size(), 12u) << "the saved records stay for the next reset";
}

TEST(ResetHooks, FinishMakesEveryChangeAgainInOrderBeforeTheGamesCall) {
  ResetWorld world;
  Begin();
  CellEventState.menus.bEndCredits = true;
  AppearanceProcessState.FaceGenProcessorInitialized = true;
  AppearanceProcessState.Ticks = 500;
  test::LogCapture log;
  Finish();
  // The background appearance process waits again.
  EXPECT_FALSE(AppearanceProcessState.FaceGenProcessorInitialized);
  EXPECT_EQ(AppearanceProcessState.Ticks, 0);

  EXPECT_EQ(log.linesOf("HandleGameResetFinishFunc"),
            (Lines{"info|[HandleGameResetFinishFunc] called; reapplying mod changes",
                   "info|[HandleGameResetFinishFunc] UniqueNPCsDB has been built. UniqueNPCCount: 7. "
                   "UniqueNPCsLocationsCount: 9",
                   "warning|[HandleGameResetFinishFunc] apply optimizations: done",
                   "info|[HandleGameResetFinishFunc] complete; game is about to be ready"}));
  const auto lines = log.lines();
  const std::vector<int> order = {
      FirstIndexOf(lines, "[HandleGameResetFinishFunc] called"),
      FirstIndexOf(lines, "[ReloadINISettings] final settings struct"),
      FirstIndexOf(lines, "[SaveAllowedCellChangeTime] saved time"),
      FirstIndexOf(lines, "[HandleGameResetFinishFunc] UniqueNPCsDB has been built"),
      FirstIndexOf(lines, "[ApplyDataToLocation] ------------------------------------ NewAtlantis"),
      FirstIndexOf(lines, "[ApplyDataToLocation] ------------------------------------ AkilaCity"),
      FirstIndexOf(lines, "[ApplyDataToLocation] ------------------------------------ Cydonia"),
      FirstIndexOf(lines, "[ApplyDataToLocation] ------------------------------------ Neon"),
      FirstIndexOf(lines, "[ApplyOptimizations] called"),
      FirstIndexOf(lines, "[HandleGameResetFinishFunc] complete"),
  };
  EXPECT_TRUE(std::ranges::is_sorted(order) && order.front() == 0) << ::testing::PrintToString(order);

  // The game's call came after all of it: the cities full again, fresh records saved, the credits flag down.
  for (int city = 1; city <= 4; ++city) {
    EXPECT_GT(gameCall.lists[city - 1].citizenList, 2) << city;
    EXPECT_GT(gameCall.lists[city - 1].femaleOutfitList, 0) << city;
  }
  EXPECT_EQ(gameCall.savedRecords, 12u);
  EXPECT_FALSE(gameCall.endCredits);
  EXPECT_EQ(gameCall.crowdMaxActors, 175.0) << "the game's crowd settings adjusted again";
  // The fresh records hold what begin put back: the game's own arrays.
  EXPECT_EQ(GetSavedLeveledListDataByName("Neon_CitizenLeveledCharacterForm")->count, 2);
}

TEST(ResetHooks, FinishJumpsToTheGamesCallAtTheFirstCityThatFails) {
  ResetWorld world;
  Begin();
  auto* global = sim::MasterForms(2).ratioGlobal;
  global->formType = static_cast<std::uint8_t>(RE::FormType::kKeyword);
  CellEventState.menus.bEndCredits = true;
  *ResetWorld::AppearanceFlag() = 1;
  AppearanceProcessState.Ticks = 500;

  test::LogCapture log;
  Finish();
  EXPECT_EQ(AppearanceProcessState.Ticks, 500) << "a failed reset leaves the process as it was";
  global->formType = static_cast<std::uint8_t>(RE::FormType::kGlobal);
  EXPECT_EQ(log.linesOf("HandleGameResetFinishFunc").back(),
            "error|[HandleGameResetFinishFunc] apply data error, shutting down");
  EXPECT_EQ(FirstIndexOf(log.lines(), "------------------------------------ Cydonia"), -1);
  EXPECT_GT(CitizenList(1).entryCount, 2);
  EXPECT_EQ(CitizenList(3).entryCount, 2) << "Cydonia keeps the game's list until the next reset";
  EXPECT_TRUE(gameCall.endCredits && CellEventState.menus.bEndCredits);
  EXPECT_EQ(*ResetWorld::AppearanceFlag(), 1);
  EXPECT_EQ(FirstIndexOf(log.lines(), "[ApplyOptimizations]"), -1);
  EXPECT_EQ(gameCall.crowdMaxActors, 200.0);

  // The next reset applies every city and takes the later steps.
  Begin();
  Finish();
  EXPECT_FALSE(CellEventState.menus.bEndCredits);
  EXPECT_EQ(*ResetWorld::AppearanceFlag(), 0);
  EXPECT_GT(CitizenList(3).entryCount, 2);
  EXPECT_EQ(gameCall.crowdMaxActors, 175.0);
}

TEST(ResetHooks, FinishSwitchesTheGamesAppearanceFlagOffOnlyForAnInstalledFaceGenProcessor) {
  ResetWorld world;
  struct Case {
    const char* setting;
    bool installed;
    std::uint8_t flagAfter;
    bool warned;
  };
  for (const auto& c : {Case{"1", true, 0, false}, Case{"1", false, 1, true}, Case{"0", true, 1, false}}) {
    SCOPED_TRACE(std::string("bFaceGenProcessor=") + c.setting + (c.installed ? ", installed" : ""));
    world.SetSetting("FaceGen", "bFaceGenProcessor", c.setting);
    ActorBackgroundProcess::AppearanceHook::savedTarget =
        c.installed ? reinterpret_cast<std::uintptr_t>(&GameAppearance) : 0;
    *ResetWorld::AppearanceFlag() = 1;
    test::LogCapture log;
    Begin();
    Finish();
    EXPECT_EQ(*ResetWorld::AppearanceFlag(), c.flagAfter);
    EXPECT_EQ(log.contains("warning|[HandleGameResetFinishFunc] custom FaceGen processor is not installed; the "
                           "game's appearance flag is left as it is"),
              c.warned);
  }
}

TEST(ResetHooks, WithLoggingOffTheHooksDoTheSameWorkAndOnlyTheSettingsSummaryIsWritten) {
  struct Outcome {
    std::array<sim::CityListSizes, 4> between, after;
    std::size_t savedRecords;
  };
  const auto run = [](bool logging) {
    ResetWorld world;
    world.SetSetting("Debug", "bLogging", logging ? "1" : "0");
    PluginSettings.bLogging = logging;
    test::LogCapture log;
    Begin(77);
    const auto between = gameCall.lists;
    Finish();
    Outcome out{between, {}, SavedLeveledLists().size()};
    for (int city = 1; city <= 4; ++city) out.after[city - 1] = sim::ListSizesOf(city);
    if (!logging) {
      for (const auto& line : log.lines()) EXPECT_NE(line.find("|[ReloadINISettings] "), std::string::npos) << line;
      EXPECT_FALSE(log.lines().empty()) << "the settings summary is written whatever the switch";
    }
    return out;
  };
  const auto on = run(true), off = run(false);
  for (int city = 0; city < 4; ++city) {
    EXPECT_EQ(off.between[city].citizenList, on.between[city].citizenList);
    EXPECT_EQ(off.between[city].femaleOutfitList, on.between[city].femaleOutfitList);
    EXPECT_EQ(off.after[city].citizenList, on.after[city].citizenList);
    EXPECT_EQ(off.after[city].maleOutfitList, on.after[city].maleOutfitList);
  }
  EXPECT_EQ(off.savedRecords, on.savedRecords);
}

TEST(ResetHooks, AfterAResetTheCellHandlersPlaceUniqueNPCsAgain) {
  ResetWorld world;
  // No encounter point: a placement shows as its warning and places nobody.
  test::RemoveFile(world.game.dataFolder() / "NewAtlantis" / "EncounterPoints.txt");
  auto* before = sim::Player()->parentCell;
  sim::SetPlayerCell(sim::CellWithID(0x7A101));
  sim::CityLocation(1)->loadedCount = 1;
  RefreshGameObjectCache();
  const auto cellChange = [] {
    test::LogCapture log;
    CellEventState.cellChangeTime = SteadyClockNanoseconds() - 10'000 * kMs;  // the gate open
    const RE::Events::ActorCellChangeEvent::Event event{sim::Player(), sim::CellWithID(0x7A102)};
    RE::VirtualCall<RE::BSEventNotifyControl>(Events::QuillmereActorCellChangeEventClass::GetSingleton(), 1, &event,
                                              static_cast<RE::BSTEventSource*>(nullptr));
    return log.linesOf("ProcessEvent");
  };
  const Lines placing{
      "info|[ProcessEvent] ActorCellChangeEvent: calling 'PlaceUniqueNPCs' for location [NewAtlantis]."};
  CellEventState.menus.bEndCredits = true;
  EXPECT_TRUE(cellChange().empty()) << "the end credits hold the handler back";
  Begin();
  Finish();
  EXPECT_EQ(cellChange(), placing);
  sim::CityLocation(1)->loadedCount = 0;
  sim::SetPlayerCell(before);
}

namespace {

// A city's three lists as they stand: the array each points at and its count.
struct ListState {
  std::array<const RE::LEVELED_OBJECT*, 3> entries{};
  std::array<int, 3> counts{};
  bool operator==(const ListState&) const = default;
};
ListState ListsOf(int city) {
  const auto& forms = sim::MasterForms(city);
  const RE::TESLeveledList* lists[] = {&forms.citizenList->leveledList, &forms.femaleOutfitList->leveledList,
                                       &forms.maleOutfitList->leveledList};
  ListState state;
  for (int i = 0; i < 3; ++i) state.entries[i] = lists[i]->entries, state.counts[i] = lists[i]->entryCount;
  return state;
}
std::array<ListState, 4> AllLists() { return {ListsOf(1), ListsOf(2), ListsOf(3), ListsOf(4)}; }
std::array<std::array<int, 3>, 4> Counts(const std::array<ListState, 4>& lists) {
  return {lists[0].counts, lists[1].counts, lists[2].counts, lists[3].counts};
}
// What the game's reset proper saw, in the same shape.
std::array<std::array<int, 3>, 4> CountsTheGameSaw() {
  std::array<std::array<int, 3>, 4> counts{};
  for (int city = 0; city < 4; ++city)
    counts[city] = {gameCall.lists[city].citizenList, gameCall.lists[city].femaleOutfitList,
                    gameCall.lists[city].maleOutfitList};
  return counts;
}

}  // namespace

// Start-up halted by a city over the list limit, failed finishes and begins that stop early: the game's
// reset always sees the game's own lists, and each list ends with the game's entries or with one
// application of the data, never empty and never stacked.
TEST(ResetHooks, ListsHoldTheGamesOwnEntriesOrOneApplicationThroughHaltsAndFailures) {
  ResetWorld world(false);
  const auto gameOwn = AllLists();
  // Cydonia's faces exceed what a list holds: start-up stops at Cydonia, Neon never gets its data.
  const auto faces = world.game.dataFolder() / "Cydonia" / "FemaleFaceNPCs.txt";
  const auto shippedFaces = test::ReadFile(faces);
  std::string tooMany;
  for (int i = 0; i < 256; ++i) tooMany += "000B5BA4_Starfield.esm\r\n";
  test::WriteFile(faces, tooMany);
  EXPECT_FALSE(ApplyDataToAllLocations());
  const auto applied = AllLists();
  EXPECT_NE(applied[0], gameOwn[0]);
  EXPECT_EQ(applied[3], gameOwn[3]);

  Begin();
  EXPECT_EQ(CountsTheGameSaw(), Counts(gameOwn));
  EXPECT_EQ(AllLists(), gameOwn);
  Finish();  // fails at Cydonia again
  EXPECT_EQ(AllLists()[3], gameOwn[3]);
  Begin();
  EXPECT_EQ(CountsTheGameSaw(), Counts(gameOwn)) << "a second reset after a failed finish";
  EXPECT_EQ(AllLists(), gameOwn);

  test::WriteFile(faces, shippedFaces);
  Finish();
  const auto once = AllLists();
  for (int city = 0; city < 4; ++city) EXPECT_NE(once[city], gameOwn[city]) << city + 1;
  EXPECT_EQ(Counts(once)[0], Counts(applied)[0]);

  // Begins that stop at Akila City, each followed by a finish: the later cities are applied again over
  // their lists, and the records stay one for each list.
  auto* akilaOutfits = sim::MasterForms(2).femaleOutfitList;
  for (int halted = 0; halted < 3; ++halted) {
    akilaOutfits->formType = static_cast<std::uint8_t>(RE::FormType::kKeyword);
    Begin();
    akilaOutfits->formType = static_cast<std::uint8_t>(RE::FormType::kLeveledItem);
    EXPECT_EQ(ListsOf(1), gameOwn[0]);
    Finish();
    EXPECT_EQ(Counts(AllLists()), Counts(once)) << "applied once, not stacked, after halted begin " << halted;
  }
  EXPECT_EQ(SavedLeveledLists().size(), 12u);
  Begin();
  EXPECT_EQ(CountsTheGameSaw(), Counts(gameOwn));
  EXPECT_EQ(AllLists(), gameOwn);
  EXPECT_TRUE(SavedLeveledLists().empty());
}
