#include <gtest/gtest.h>

#include "FormsBack.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "Actors.h"
#include "DataBaseTestSupport.h"
#include "GameFolder.h"
#include "GameForms.h"
#include "Helpers/PluginSettings.h"
#include "LogCapture.h"
#include "Main/Cities/LocationData.h"
#include "Main/Game/GameObjectCache.h"
#include "Main/Startup/PluginState.h"
#include "Main/UniqueNPCs/UniqueNPCDefinitions.h"
#include "Main/UniqueNPCs/UniqueNPCPlacement.h"
#include "ProcessLists.h"
#include "ScriptMachine.h"
#include "UniqueNPCScript.h"

using Lines = std::vector<std::string>;
using RE::FormType;

namespace {

const std::string kPlace = "[PlaceUniqueNPCs] ";
constexpr RE::NiPoint3 kPlayerAt{1000.0f, 1000.0f, 0.0f};

std::string Address(const void* p) { return fmt::format("{:X}", reinterpret_cast<std::uintptr_t>(p)); }
std::string Described(const RE::TESForm* form, const std::string& name) {
  return fmt::format("[{} | {:08X} | {}]", Address(form), form->formID, name);
}

// New Atlantis with one unique NPC, Rook (NPC 7B001, voice 7B002, anim 7B004), and one encounter
// point 7B010 a hundred units from the player, who stands in New Atlantis's location.
struct Encounters {
  test::GameFolder game;
  FormsBack restore;
  std::size_t placedBefore = sim::PlacedUniqueNPCs().size();
  std::size_t deletedBefore = sim::ActorsDeletedByScript().size();
  std::size_t callsBefore;
  std::vector<RE::Actor*> made;
  RE::TESNPC* look;
  RE::TESForm *voice, *otherVoice, *anim, *outfit, *armor;
  RE::TESObjectREFR* point;
  RE::BGSLocation* here = sim::CityLocation(1);
  RE::BGSLocation* elsewhere = sim::CityLocation(2);

  Encounters() {
    ResetPluginState();
    ResetPlugins();
    sim::RunQueuedScriptCalls();
    callsBefore = sim::ScriptCallsRun().size();
    sim::PlacePlayer(kPlayerAt);
    sim::SetCurrentLocation(sim::Player(), here);
    RefreshGameObjectCache();
    look = sim::AddNPC(0x7B001, false, "Rook");
    voice = sim::AddForm(0x7B002, FormType::kVoiceType);
    otherVoice = sim::AddForm(0x7B003, FormType::kVoiceType);
    anim = sim::AddForm(0x7B004, FormType::kKeyword);
    outfit = sim::AddForm(0x7B005, FormType::kOutfit);
    armor = sim::AddForm(0x7B006, FormType::kArmor);
    point = sim::AddReference(0x7B010, sim::AddForm(0x7B011, static_cast<FormType>(32)), {1100.0f, 1000.0f, 0.0f});
    sim::SetCurrentLocation(point, here);
    test::WriteFile(game.dataFolder() / "NewAtlantis" / "EncounterPoints.txt", "7B010_Starfield.esm\n");
    AddUniqueNPCRecord(CityRecordOf(City::NewAtlantis),
                       {"Rook Valdez", static_cast<RE::BGSVoiceType*>(voice), static_cast<RE::BGSKeyword*>(anim), look,
                        50, 0, 0, "Rook", 1.03f});
  }
  ~Encounters() {
    sim::RunQueuedScriptCalls();
    for (auto* actor : made) sim::DeleteActor(actor);
    for (std::size_t i = placedBefore; i < sim::PlacedUniqueNPCs().size(); ++i)
      sim::DeleteActor(sim::PlacedUniqueNPCs()[i].actor);
    ClearUniqueNPCRecords();
    sim::SetCurrentLocation(sim::Player(), nullptr);
    sim::PlacePlayer({});
  }

  // A run-time copy of Rook's look, distance units east of the player.
  RE::Actor* Copy(float distance, RE::BGSLocation* location, RE::TESForm* speaks = nullptr, RE::TESNPC* base = nullptr,
                  std::uint32_t formID = 0) {
    auto* actor = sim::CreateActor(formID ? formID : sim::NextRuntimeFormID(), base ? base : look,
                                   {kPlayerAt.x + distance, kPlayerAt.y, kPlayerAt.z}, location);
    if (speaks) sim::SetActorVoice(actor, speaks);
    made.push_back(actor);
    return actor;
  }

  std::vector<sim::ScriptCallRecord> Calls() const {
    return {sim::ScriptCallsRun().begin() + static_cast<std::ptrdiff_t>(callsBefore), sim::ScriptCallsRun().end()};
  }
  std::size_t Placed() const { return sim::PlacedUniqueNPCs().size() - placedBefore; }

  // One call as a cell event makes it, then game time passes.
  int Place(test::LogCapture& log, City city = City::NewAtlantis) {
    log.clear();
    const int result = PlaceUniqueNPCs(CityRecordOf(city));
    sim::RunQueuedScriptCalls();
    return result;
  }
};

Lines Functions(const std::vector<sim::ScriptCallRecord>& calls) {
  Lines names;
  for (const auto& call : calls) names.push_back(call.function);
  return names;
}

}  // namespace

TEST(UniqueNPCPlacement, NobodyIsPlacedWithoutAUsableEncounterPoint) {
  Encounters world;
  test::LogCapture log;
  EXPECT_EQ(world.Place(log, City::AkilaCity), -1) << "AkilaCity has no unique NPC";
  EXPECT_TRUE(log.lines().empty());

  // The point is out of the distance window: the database comes out empty.
  sim::PlacePlayer({kPlayerAt.x - 300.0f, kPlayerAt.y, kPlayerAt.z});
  EXPECT_EQ(world.Place(log), -1);
  EXPECT_TRUE(log.contains(
      "warning|" + kPlace +
      "Couldn't build EncounterPointDB for [NewAtlantis]. UniqueNPCs at this location will not be placed."));
  sim::PlacePlayer(kPlayerAt);

  // A drawn point without 3D ends the call before the record's count, and before the next record.
  auto& newAtlantis = CityRecordOf(City::NewAtlantis);
  auto brother = *newAtlantis.UniqueNPCs[0];
  brother.appearanceNPC = sim::AddNPC(0x7B030, false, "Rook's brother");
  AddUniqueNPCRecord(newAtlantis, brother);
  sim::SetLoaded3D(world.point, false);
  EXPECT_EQ(world.Place(log), -1);
  EXPECT_EQ(
      log.linesOf("PlaceUniqueNPCs"),
      (Lines{"info|" + kPlace + "EncounterPointDB has been built for location [NewAtlantis]. EncounterPointCount: 1",
             "info|" + kPlace + "looping location->UniqueNPCs.at(0)...",
             "warning|" + kPlace + "encounterPointRef in EncounterPoints.at(0) has no loaded 3D"}));
  EXPECT_TRUE(log.linesOf("GetSpawnedUniqueNPCCount").empty());
  EXPECT_TRUE(world.Calls().empty() && world.Placed() == 0u);
  EXPECT_EQ(sim::HeldLocks(), 0);

  sim::SetLoaded3D(world.point, true);
  EXPECT_EQ(world.Place(log), 2) << "every record is placed, each drawing its own point";
  EXPECT_EQ(world.Placed(), 2u);
}

TEST(UniqueNPCPlacement, ACopyCountsWithinFiveHundredUnitsOrInThePlayersLocation) {
  Encounters world;
  PluginSettings.bDynamicCleanUpUniqueNPCs = false;
  test::LogCapture log;
  auto* distant = world.Copy(600.0f, world.elsewhere);
  EXPECT_EQ(world.Place(log), 1);
  ASSERT_EQ(world.Placed(), 1u);
  const auto& placed = sim::PlacedUniqueNPCs().back();
  EXPECT_TRUE(placed.point == world.point && placed.actor->position.x == world.point->position.x);
  EXPECT_TRUE(placed.actor->baseObject == world.look && sim::CurrentLocation(placed.actor) == world.here);
  EXPECT_TRUE(log.contains("info|" + kPlace + "UniqueNPC " + Described(world.look, "Rook") +
                           " at: NewAtlantis hasn't been placed yet"));
  EXPECT_TRUE(log.contains("info|[GetSpawnedUniqueNPCCount] Count: 0"));

  // The one just placed stands by the point: it counts, and nobody more is placed.
  EXPECT_EQ(world.Place(log), 0);
  EXPECT_EQ(world.Placed(), 1u);
  EXPECT_TRUE(log.contains("warning|" + kPlace + "UniqueNPC " + Described(world.look, "Rook") +
                           " at: NewAtlantis has already been placed with count: 1 | cleanup is disabled"));
  sim::DeleteActor(placed.actor);

  // Near enough counts wherever it is; far away counts in the player's location only.
  auto* nearby = world.Copy(400.0f, world.elsewhere);
  EXPECT_EQ(world.Place(log), 0);
  sim::DeleteActor(nearby);
  sim::SetCurrentLocation(distant, world.here);
  EXPECT_EQ(world.Place(log), 0);
  EXPECT_TRUE(log.contains("info|[GetSpawnedUniqueNPCCount] Count: 1"));
  sim::SetCurrentLocation(distant, world.elsewhere);
  EXPECT_EQ(world.Place(log), 1);
  EXPECT_EQ(world.Placed(), 2u);
  EXPECT_EQ(Functions(world.Calls()), Lines(2, "PlaceUniqueNPC"));
}

TEST(UniqueNPCPlacement, CleanUpDeletesOnlyStrayCopies) {
  Encounters world;
  test::LogCapture log;
  auto* keeper = world.Copy(100.0f, world.here, world.voice);
  auto* stray = world.Copy(150.0f, world.here, world.otherVoice);
  auto* held = world.Copy(200.0f, world.here, world.otherVoice);
  sim::HoldInAlias(held);
  auto* mute = world.Copy(250.0f, world.here);
  auto* editor = world.Copy(50.0f, world.here, world.otherVoice, nullptr, 0x7B0E0);

  EXPECT_EQ(world.Place(log), 0);
  const auto described = Described(world.look, "Rook");
  const auto at = [&](int j, RE::Actor* actor, const std::string& what) {
    return "warning|" + kPlace + "looping at (" + std::to_string(j) + ") --> UniqueNPC " + described + " " +
           Described(actor, "Rook") + " at: NewAtlantis" + what;
  };
  EXPECT_EQ(
      log.linesOf("PlaceUniqueNPCs"),
      (Lines{"info|" + kPlace + "EncounterPointDB has been built for location [NewAtlantis]. EncounterPointCount: 1",
             "info|" + kPlace + "looping location->UniqueNPCs.at(0)...",
             "warning|" + kPlace + "UniqueNPC " + described +
                 " at: NewAtlantis has already been placed with count: 4 | attempting to clean up...",
             at(0, keeper, " has VoiceType which is the target voice (0007B002), skipping..."),
             at(1, stray, " | should be removed, queuing to remove..."),
             at(2, held, " is held in an Alias, skipping..."), at(3, mute, " has no VoiceType, skipping..."),
             at(0, stray, " | removing...")}));
  const auto calls = world.Calls();
  ASSERT_EQ(Functions(calls), Lines{"DeleteUniqueNPC"});
  EXPECT_EQ(calls[0].arguments, Lines{fmt::format("form:{:08X}", stray->formID)});
  EXPECT_EQ(world.Placed(), 0u);
  EXPECT_TRUE(stray->formFlags & RE::TESForm::kDeleted);
  for (auto* kept : {keeper, held, mute, editor}) EXPECT_FALSE(kept->formFlags & RE::TESForm::kDeleted);
  const auto inLists = sim::ActorsInProcessLists();
  EXPECT_EQ(std::count(inLists.begin(), inLists.end(), stray), 0);
  EXPECT_EQ(std::count(inLists.begin(), inLists.end(), keeper), 1);

  // The stray is gone: the others still count, so nobody is placed and nobody more removed.
  EXPECT_EQ(world.Place(log), 0);
  EXPECT_TRUE(log.contains("info|[GetSpawnedUniqueNPCCount] Count: 3"));
  EXPECT_EQ(Functions(world.Calls()), Lines{"DeleteUniqueNPC"});
}

TEST(UniqueNPCPlacement, AnEditorPlacedActorIsNeitherCountedNorDeleted) {
  Encounters world;
  test::LogCapture log;
  auto* editor = world.Copy(50.0f, world.here, world.otherVoice, nullptr, 0x7B0E1);
  EXPECT_EQ(world.Place(log), 1);
  EXPECT_EQ(Functions(world.Calls()), Lines{"PlaceUniqueNPC"});
  EXPECT_FALSE(editor->formFlags & RE::TESForm::kDeleted);
}

TEST(UniqueNPCPlacement, CopiesWearTheLookAsBaseTemplateOrFace) {
  Encounters world;
  auto* otherNPC = sim::AddNPC(0x7B020, false);
  auto* faceOnly = sim::AddNPC(0x7B021, false);
  faceOnly->faceNPC = world.look;
  auto* byBase = world.Copy(10.0f, world.here);
  auto* byTemplate = world.Copy(20.0f, world.here, nullptr, otherNPC);
  sim::SetTemplateForm(byTemplate, world.look);
  auto* byFace = world.Copy(30.0f, world.here, nullptr, faceOnly);
  world.Copy(40.0f, world.here, nullptr, otherNPC);  // another look
  auto* noBase = world.Copy(50.0f, world.here);
  noBase->baseObject = nullptr;
  sim::DropHandle(world.Copy(60.0f, world.here));  // its handle finds nothing

  test::LogCapture log;
  std::vector<RE::Actor*> found;
  EXPECT_EQ(GetSpawnedUniqueNPCCount(world.look, &found), 3);
  EXPECT_EQ(found, (std::vector<RE::Actor*>{byBase, byTemplate, byFace}));
  EXPECT_EQ(GetSpawnedUniqueNPCCount(world.look, &found), 3);
  EXPECT_EQ(found.size(), 3u) << "each actor once";
  EXPECT_EQ(log.lines(),
            (Lines{"info|[GetSpawnedUniqueNPCCount] UniqueNPC: " + fmt::format("[{} | 0007B001]", Address(world.look)),
                   "info|[GetSpawnedUniqueNPCCount] Count: 3",
                   "info|[GetSpawnedUniqueNPCCount] UniqueNPC: " + fmt::format("[{} | 0007B001]", Address(world.look)),
                   "info|[GetSpawnedUniqueNPCCount] Count: 3"}));
  for (auto* actor : sim::ActorsInProcessLists())
    EXPECT_EQ(sim::ReferenceHolders(actor), 0) << "every count given back";
  EXPECT_EQ(sim::HeldLocks(), 0);

  PluginSettings.bDynamicCleanUpUniqueNPCs = false;
  std::vector<RE::Actor*> none;
  EXPECT_EQ(GetSpawnedUniqueNPCCount(world.look, &none), 3);
  EXPECT_TRUE(none.empty()) << "only the clean-up collects";
  log.clear();
  EXPECT_EQ(GetSpawnedUniqueNPCCount(nullptr, &found), 0);
  EXPECT_EQ(GetSpawnedUniqueNPCCount(world.look, nullptr), 0);
  EXPECT_TRUE(log.lines().empty());
}

TEST(UniqueNPCPlacement, TheScriptGetsPointLookVoiceAnimClothingNameAndHeight) {
  Encounters world;
  auto& record = CityRecordOf(City::NewAtlantis).uniqueNPCRecords.front();
  test::LogCapture log;
  const auto argumentsFor = [&](float height, std::uint32_t outfit, std::uint32_t armor) {
    record.Height = height;
    record.OutfitFormID = outfit;
    record.ArmorFormID = armor;
    const auto before = world.Calls().size();
    EXPECT_EQ(world.Place(log), 1);
    sim::DeleteActor(sim::PlacedUniqueNPCs().back().actor);  // gone before the next call counts
    return world.Calls().at(before).arguments;
  };
  const Lines head{"form:0007B010", "form:0007B001", "form:0007B002", "form:0007B004"};
  const auto with = [&](std::vector<std::string> tail) {
    Lines all = head;
    all.insert(all.end(), tail.begin(), tail.end());
    return all;
  };
  EXPECT_EQ(argumentsFor(1.03f, 0, 0), with({"none", "string:Rook Valdez", "float:1.03"}));
  EXPECT_FLOAT_EQ(sim::ActorScale(sim::PlacedUniqueNPCs().back().actor), 1.03f);
  EXPECT_EQ(argumentsFor(5.0f, 0x7B005, 0), with({"form:0007B005", "string:Rook Valdez", "float:5"}));
  const auto* look = sim::LookOf(sim::PlacedUniqueNPCs().back().actor);
  ASSERT_NE(look, nullptr);
  EXPECT_TRUE(look->facialAnim == world.anim && look->clothing == world.outfit) << "the actor wears what was sent";
  EXPECT_EQ(argumentsFor(0.5f, 0x7B005, 0x7B006), with({"form:0007B006", "string:Rook Valdez", "float:0.5"}))
      << "the armor comes first";
  EXPECT_EQ(log.linesOf("PlaceUniqueNPCs").size(), 3u) << "valid heights say nothing";
  EXPECT_EQ(argumentsFor(0.4f, 0x7BFFF, 0), with({"none", "string:Rook Valdez", "float:-1"}));
  EXPECT_TRUE(log.contains("error|" + kPlace + "height data cannot be applied for " + Described(world.look, "Rook") +
                           " because fUniqueNPCHeight [0.400000] was invalid."));
  EXPECT_FLOAT_EQ(sim::ActorScale(sim::PlacedUniqueNPCs().back().actor), 1.0f)
      << "the script leaves the look's own size";
  EXPECT_EQ(argumentsFor(5.5f, 0, 0).back(), "float:-1");
  EXPECT_EQ(sim::RefusedUniqueNPCCalls(), 0u);
}

TEST(UniqueNPCPlacement, EachRecordDrawsItsOwnPointAmongTheCitysSeveral) {
  Encounters world;
  PluginSettings.bDynamicCleanUpUniqueNPCs = false;
  // Two more points a hundred units north and west of the player, and nine more unique NPCs of looks
  // of their own: ten records over three points.
  const std::set<const RE::TESObjectREFR*> points{
      world.point,
      sim::AddReference(0x7B012, world.point->baseObject, {kPlayerAt.x, kPlayerAt.y + 100.0f, kPlayerAt.z}),
      sim::AddReference(0x7B013, world.point->baseObject, {kPlayerAt.x - 100.0f, kPlayerAt.y, kPlayerAt.z})};
  for (const auto* point : points) sim::SetCurrentLocation(const_cast<RE::TESObjectREFR*>(point), world.here);
  test::WriteFile(world.game.dataFolder() / "NewAtlantis" / "EncounterPoints.txt",
                  "7B010_Starfield.esm\n7B012_Starfield.esm\n7B013_Starfield.esm\n");
  for (std::uint32_t i = 0; i < 9; ++i)
    AddUniqueNPCRecord(
        CityRecordOf(City::NewAtlantis),
        {"Twin " + std::to_string(i), static_cast<RE::BGSVoiceType*>(world.voice),
         static_cast<RE::BGSKeyword*>(world.anim), sim::AddNPC(0x7B030 + i, false, "Twin"), 50, 0, 0, "Twin", 1.0f});

  // A draw per call would put every record of a call on one point; a draw per record spreads them, and
  // over the calls every point, the last one too, is drawn (each call's chance of one point only is 3 in
  // 3^10, of missing a point over twenty calls (2/3)^200).
  test::LogCapture log;
  std::set<const RE::TESObjectREFR*> drawn;
  bool spreadWithinACall = false;
  for (int call = 0; call < 20 && !(spreadWithinACall && drawn == points); ++call) {
    const auto first = sim::PlacedUniqueNPCs().size();
    ASSERT_EQ(world.Place(log), 10) << log.lines().back();
    std::set<const RE::TESObjectREFR*> thisCall;
    for (std::size_t i = first; i < sim::PlacedUniqueNPCs().size(); ++i) {
      const auto& placed = sim::PlacedUniqueNPCs()[i];
      EXPECT_TRUE(points.contains(placed.point));
      EXPECT_EQ(placed.actor->position.x, placed.point->position.x);
      EXPECT_EQ(placed.actor->position.y, placed.point->position.y);
      thisCall.insert(placed.point);
      sim::DeleteActor(placed.actor);  // gone before the next call counts
    }
    spreadWithinACall |= thisCall.size() > 1;
    drawn.insert(thisCall.begin(), thisCall.end());
  }
  EXPECT_TRUE(spreadWithinACall) << "the records of a call all stood on one point, every time";
  EXPECT_EQ(drawn, points);
}
