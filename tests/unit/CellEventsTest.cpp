#include <gtest/gtest.h>

#include "FormsBack.h"

#include <climits>
#include <cstdint>
#include <functional>
#include <regex>
#include <tuple>
#include <string>
#include <utility>
#include <vector>

#include "Actors.h"
#include "Cells.h"
#include "GameFolder.h"
#include "GameForms.h"
#include "Helpers/PluginSettings.h"
#include "LogCapture.h"
#include "Main/Cities/ActiveCity.h"
#include "Main/Game/CellChangeGate.h"
#include "Main/Events/CellEvents.h"
#include "Main/Game/GameObjectCache.h"
#include "Main/UniqueNPCs/UniqueNPCDefinitions.h"
#include "RE/VirtualCall.h"

using Lines = std::vector<std::string>;

namespace {

constexpr std::int64_t kMs = 1'000'000;
constexpr std::uint32_t kSpecialCell = 0x002B3DA2;

// Cities 1 to 4 as the game holds them, none loaded; each has a unique NPC but no encounter point,
// so a placement shows as the city's "Couldn't build EncounterPointDB" warning.
struct CellWorld {
  test::GameFolder game;
  FormsBack restore;
  RE::TESObjectCELL* playerCell = sim::CellWithID(0x7A001);
  RE::TESObjectCELL* otherCell = sim::CellWithID(0x7A002);
  RE::TESObjectCELL* special = sim::CellWithID(kSpecialCell);
  RE::TESObjectCELL* before = sim::Player()->parentCell;

  CellWorld() {
    PluginSettings = PluginSettingsRecord{};
    CellEventState.Reset();
    ClearUniqueNPCRecords();
    for (const City city : kCities) {
      sim::CityLocation(IndexOf(city))->loadedCount = 0;
      AddUniqueNPCRecord(CityRecordOf(city),
                         {"Ada", nullptr, nullptr, sim::AddNPC(0x7A010u + IndexOf(city), true), 50, 0, 0, "Ada", 1.0f});
    }
    sim::SetPlayerCell(playerCell);
    RefreshGameObjectCache();
    Open();
  }
  ~CellWorld() {
    for (int city = 1; city <= 4; ++city) sim::CityLocation(city)->loadedCount = 0;
    sim::SetPlayerCell(before);
    CellEventState.Reset();
    ClearUniqueNPCRecords();
  }
  void Open() { CellEventState.cellChangeTime = SteadyClockNanoseconds() - 10'000 * kMs; }
  void Close() { CellEventState.cellChangeTime = SteadyClockNanoseconds(); }
};

struct Handled {
  Lines handlerLines;  // the handler's own lines
  Lines placedFor;     // the cities PlaceUniqueNPCs ran for
  bool rearmed;
};

Handled Outcome(test::LogCapture& log, std::int64_t timerBefore) {
  Handled out{log.linesOf("ProcessEvent"), {}, CellEventState.cellChangeTime != timerBefore};
  static const std::regex city(R"(Couldn't build EncounterPointDB for \[(\w+)\])");
  for (const auto& line : log.linesOf("PlaceUniqueNPCs"))
    if (std::smatch m; std::regex_search(line, m, city)) out.placedFor.push_back(m[1]);
  return out;
}

// The game reports that actor (the player unless given) moved into cell.
Handled CellChange(RE::TESObjectCELL* cell, bool withEvent = true, RE::TESObjectREFR* actor = sim::Player()) {
  test::LogCapture log;
  const auto timer = CellEventState.cellChangeTime;
  const RE::Events::ActorCellChangeEvent::Event event{actor, cell};
  EXPECT_EQ(RE::VirtualCall<RE::BSEventNotifyControl>(Events::QuillmereActorCellChangeEventClass::GetSingleton(), 1,
                                                      withEvent ? &event : nullptr,
                                                      static_cast<RE::BSTEventSource*>(nullptr)),
            RE::BSEventNotifyControl::kContinue);
  return Outcome(log, timer);
}

Handled CellLoaded(RE::TESObjectCELL* cell, bool withEvent = true) {
  test::LogCapture log;
  const auto timer = CellEventState.cellChangeTime;
  const RE::Events::TESCellFullyLoadedEvent event{cell};
  EXPECT_EQ(RE::VirtualCall<RE::BSEventNotifyControl>(Events::QuillmereTESCellFullyLoadedEventClass::GetSingleton(), 1,
                                                      withEvent ? &event : nullptr,
                                                      static_cast<RE::BSTEventSource*>(nullptr)),
            RE::BSEventNotifyControl::kContinue);
  return Outcome(log, timer);
}

void ExpectNothing(const Handled& out, const std::string& why) {
  EXPECT_TRUE(out.handlerLines.empty() && out.placedFor.empty() && !out.rearmed) << why;
}

}  // namespace

TEST(CellChangeGate, OpensOnlyWhenTheWholeMillisecondsExceedTheSetting) {
  const std::int64_t saved = 5'000 * kMs;
  const std::vector<std::tuple<std::int64_t, std::int32_t, bool>> cases = {
      {3000 * kMs, 3000, false},            // equal stays closed
      {3000 * kMs + kMs - 1, 3000, false},  // 3000.999999 ms is 3000 whole
      {3001 * kMs, 3000, true},
      {0, 0, false},
      {kMs, 0, true},
      {-5 * kMs, -5, false},                                     // a timer ahead of the clock compares as a number
      {-1'500'000, -2, true},                                    // -1.5 ms is truncated towards zero, to -1
      {(std::int64_t{1} << 32) * kMs + 5000 * kMs, 3000, true},  // the milliseconds are kept to 32 bits
      {(std::int64_t{1} << 31) * kMs, 3000, false},              // and wrap negative past 2^31
      {std::int64_t{INT32_MAX} * kMs, INT32_MAX, false},
  };
  for (const auto& [elapsed, allowed, open] : cases)
    EXPECT_EQ(IsCellChangeGateOpen(saved + elapsed, saved, allowed), open) << elapsed << " ns, " << allowed << " ms";
}

TEST(CellChangeGate, SavingArmsTheTimerAndLogsTheWallClockTime) {
  CellEventState.Reset();
  PluginSettings = PluginSettingsRecord{};
  test::LogCapture log;
  const auto before = SteadyClockNanoseconds();
  SaveAllowedCellChangeTime();
  EXPECT_GE(CellEventState.cellChangeTime, before);
  EXPECT_LE(CellEventState.cellChangeTime, SteadyClockNanoseconds());
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_TRUE(std::regex_match(
      log.lines()[0],
      std::regex(R"(info\|\[SaveAllowedCellChangeTime\] saved time \[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{7}\]\.)")))
      << log.lines()[0];
  EXPECT_FALSE(IsCellChangeGateOpen()) << "3000 ms have not passed";
  PluginSettings.iAllowedCellChangeTime = -1;
  EXPECT_TRUE(IsCellChangeGateOpen());
  CellEventState.Reset();
}

TEST(CellEvents, TheActiveCityIsTheLowestLoadedOne) {
  CellWorld world;
  EXPECT_EQ(ActiveCity(), std::nullopt);
  sim::CityLocation(3)->loadedCount = 1;
  EXPECT_EQ(ActiveCity(), City::Cydonia);
  sim::CityLocation(1)->loadedCount = 2;
  EXPECT_EQ(ActiveCity(), City::NewAtlantis);
  EXPECT_EQ(CellChange(world.otherCell).placedFor, Lines{"NewAtlantis"});
  sim::CityLocation(1)->loadedCount = -1;  // only a count above zero is loaded
  EXPECT_EQ(ActiveCity(), City::Cydonia);
  sim::CityLocation(1)->loadedCount = 1;
  // A city the cache has no form for is never active.
  auto* newAtlantis = sim::CityLocation(1);
  sim::RemoveForm(newAtlantis->formID);
  RefreshGameObjectCache();
  EXPECT_EQ(ActiveCity(), City::Cydonia);
  sim::SetFormEntry(newAtlantis->formID, newAtlantis);
  RefreshGameObjectCache();
}

TEST(CellEvents, CellChangeReturnsEarlyInItsOrder) {
  CellWorld world;
  sim::CityLocation(2)->loadedCount = 1;
  const std::string placing =
      "info|[ProcessEvent] ActorCellChangeEvent: calling 'PlaceUniqueNPCs' for location [AkilaCity].";

  ExpectNothing(CellChange(world.otherCell, false), "no event");
  ExpectNothing(CellChange(nullptr), "no cell");
  for (Relaxed<bool> MenuFlags::*flag : {&MenuFlags::bEndCredits, &MenuFlags::bLoadingMenu, &MenuFlags::bFaderMenu,
                                         &MenuFlags::bMainMenu, &MenuFlags::bPauseMenu}) {
    CellEventState.menus.*flag = true;
    ExpectNothing(CellChange(world.otherCell), "a menu is open");
    CellEventState.menus.*flag = false;
  }
  ExpectNothing(CellChange(sim::CellWithID(0)), "cell form ID 0");
  ExpectNothing(CellChange(world.special), "the special cell is the other handler's");
  ExpectNothing(CellChange(world.playerCell), "the player's own cell");
  sim::SetPlayerCell(nullptr);
  ExpectNothing(CellChange(world.otherCell), "the player has no cell");
  sim::SetPlayerCell(world.playerCell);
  sim::CityLocation(2)->loadedCount = 0;
  ExpectNothing(CellChange(world.otherCell), "no active city");
  sim::CityLocation(2)->loadedCount = 1;
  world.Close();
  ExpectNothing(CellChange(world.otherCell), "the gate is closed");

  world.Open();
  const auto out = CellChange(world.otherCell);
  EXPECT_EQ(out.handlerLines, Lines{placing});
  EXPECT_EQ(out.placedFor, Lines{"AkilaCity"});
  EXPECT_TRUE(out.rearmed);
  ExpectNothing(CellChange(sim::CellWithID(0x7A003)), "re-armed: the gate is closed again");
}

TEST(CellEvents, TheSpecialCellIsPlacedForOnlyWhenFullyLoadedWithThePlayerInIt) {
  CellWorld world;
  sim::CityLocation(4)->loadedCount = 1;
  const Lines placing{"info|[ProcessEvent] TESCellFullyLoadedEvent: calling 'PlaceUniqueNPCs' for [Neon]."};

  ExpectNothing(CellLoaded(world.otherCell), "any other cell");
  ExpectNothing(CellLoaded(world.special), "the player is not in it");
  sim::SetPlayerCell(world.special);
  ExpectNothing(CellLoaded(world.otherCell), "the player is in it, but another cell loaded");
  ExpectNothing(CellLoaded(nullptr), "no cell");
  ExpectNothing(CellLoaded(world.special, false), "no event");
  for (Relaxed<bool> MenuFlags::*flag : {&MenuFlags::bEndCredits, &MenuFlags::bMainMenu, &MenuFlags::bPauseMenu}) {
    CellEventState.menus.*flag = true;
    ExpectNothing(CellLoaded(world.special), "a blocking menu is open");
    CellEventState.menus.*flag = false;
  }
  sim::CityLocation(4)->loadedCount = 0;
  ExpectNothing(CellLoaded(world.special), "no active city");
  sim::CityLocation(4)->loadedCount = 1;
  world.Close();
  ExpectNothing(CellLoaded(world.special), "the gate is closed");
  ExpectNothing(CellChange(world.special), "the cell-change handler leaves it alone, gate or not");

  // Loading screens and faders do not hold this handler back.
  world.Open();
  CellEventState.menus.bLoadingMenu = CellEventState.menus.bFaderMenu = true;
  auto out = CellLoaded(world.special);
  EXPECT_EQ(out.handlerLines, placing);
  EXPECT_TRUE(out.placedFor == Lines{"Neon"} && out.rearmed);
  ExpectNothing(CellLoaded(world.special), "re-armed");

  CellEventState.menus = {};
  world.Open();
  ExpectNothing(CellChange(world.special), "the cell-change handler never handles it");
  out = CellLoaded(world.special);
  EXPECT_EQ(out.placedFor, Lines{"Neon"});
}

TEST(CellEvents, AnyActorsCellChangeIsJudgedByItsCellAndThePlayersCell) {
  CellWorld world;
  sim::CityLocation(2)->loadedCount = 1;
  auto* stranger = sim::CreateActor(sim::NextRuntimeFormID(), sim::AddNPC(0x7A020, false), {50.0f, 0.0f, 0.0f},
                                    sim::CityLocation(2));
  const Lines placing{"info|[ProcessEvent] ActorCellChangeEvent: calling 'PlaceUniqueNPCs' for location [AkilaCity]."};

  ExpectNothing(CellChange(world.playerCell, true, stranger), "another actor entering the player's cell");
  ExpectNothing(CellChange(world.special, true, stranger), "the special cell, whoever enters it");
  CellEventState.menus.bLoadingMenu = true;
  ExpectNothing(CellChange(world.otherCell, true, stranger), "a menu is open");
  CellEventState.menus = {};

  // Another actor, or none named, moving between cells the player is not in places as the player's move does.
  for (RE::TESObjectREFR* actor :
       {static_cast<RE::TESObjectREFR*>(stranger), static_cast<RE::TESObjectREFR*>(nullptr)}) {
    SCOPED_TRACE(actor ? "another actor" : "no actor");
    world.Open();
    const auto out = CellChange(world.otherCell, true, actor);
    EXPECT_EQ(out.handlerLines, placing);
    EXPECT_TRUE(out.placedFor == Lines{"AkilaCity"} && out.rearmed);
    ExpectNothing(CellChange(sim::CellWithID(0x7A003), true, actor), "re-armed");
  }
  sim::DeleteActor(stranger);
}
