#include "Main/UniqueNPCs/UniqueNPCPlacement.h"

#include <algorithm>
#include <set>
#include <mutex>
#include <string>

#include "Classes/ReferenceHandle.h"
#include "Helpers/Geometry.h"
#include "Helpers/Log.h"
#include "Helpers/Naming.h"
#include "Helpers/ScriptCalls.h"
#include "Main/Cities/DataBase.h"
#include "Main/Game/GameObjectCache.h"
#include "Main/Cities/CityRecord.h"
#include "Main/Cities/RandomDraws.h"
#include "Main/UniqueNPCs/UniqueNPCDefinitions.h"

namespace {

constexpr const char* kOp = "PlaceUniqueNPCs";
constexpr float kNearDistance = 500.0f;
constexpr float kLowestHeight = 0.5f, kHighestHeight = 5.0f;
constexpr float kHeightLeftAlone = -1.0f;

// Placements asked of the game script that it has not made yet, by city and appearance (what the
// count recognises a unique NPC by; records are made anew when the files are read again). The script
// runs a call later: a second placement before then (the cell events and the console a moment apart)
// would make a second copy, and two copies with the unique NPC's own voice are never cleaned up. The
// call's packer, released by the machine once the call has run, ends the wait.
std::mutex pendingLock;
std::set<std::pair<City, std::uint32_t>> pendingPlacements;

std::uint32_t AppearanceID(const UniqueNPCData& record) {
  return record.appearanceNPC ? record.appearanceNPC->formID : 0;
}

bool IsPlacementPending(City city, const UniqueNPCData& record) {
  std::scoped_lock guard(pendingLock);
  return pendingPlacements.contains({city, AppearanceID(record)});
}
void NotePlacement(City city, std::uint32_t appearance, bool pending) {
  std::scoped_lock guard(pendingLock);
  if (pending)
    pendingPlacements.insert({city, appearance});
  else
    pendingPlacements.erase({city, appearance});
}

bool IsRuntimeFormID(std::uint32_t formID) noexcept { return formID >= 0xFF000000u && formID <= 0xFFFFFFFEu; }

RE::PlayerCharacter* Player() {
  RE::PlayerCharacter* cached = CachedPlayer();
  return cached ? cached : RE::PlayerCharacter::GetSingleton();
}
RE::ProcessLists* ProcessLists() {
  RE::ProcessLists* cached = CachedProcessLists();
  return cached ? cached : RE::ProcessLists::GetSingleton();
}

// The reference wears the appearance as its base, as the template it was made from, or as its face.
bool WearsAppearance(RE::TESObjectREFR* reference, std::uint32_t appearanceID) {
  auto* base = reference->baseObject;
  if (base->formID == appearanceID) return true;
  if (auto* list = reference->extraList) {
    RE::BSReadLockGuard guard(list->lock);
    auto* made = static_cast<RE::ExtraLeveledCreature*>(list->GetByType(guard, RE::ExtraDataType::kLeveledCreature));
    if (made && made->templateForm && made->templateForm->formID == appearanceID) return true;
  }
  if (!base->Is(RE::FormType::kNPC)) return false;
  const auto* face = static_cast<RE::TESNPC*>(base)->faceNPC;
  return face && face->formID == appearanceID;
}

bool IsRefInAlias(RE::TESObjectREFR* reference) {
  auto* list = reference->extraList;
  if (!list) return false;
  RE::BSReadLockGuard guard(list->lock);
  const auto* held =
      static_cast<RE::ExtraAliasInstanceArray*>(list->GetByType(guard, RE::ExtraDataType::kAliasInstanceArray));
  return held && held->aliases != 0;
}

// An encounter point drawn for a record; null after the line that ends the call.
RE::TESObjectREFR* DrawEncounterPoint(const CityRecord& city) {
  const int index = GetRandomIntInRange(0, static_cast<int>(city.EncounterPoints.size()) - 1);
  if (index < 0 || static_cast<std::size_t>(index) >= city.EncounterPoints.size()) {
    Log::Error(kOp, "EncounterPoints RandomInt is out of range [{}].", index);
    return nullptr;
  }
  auto* point = city.EncounterPoints[static_cast<std::size_t>(index)];
  if (!point) {
    Log::Error(kOp, "encounterPointRef in EncounterPoints.at({}) is nullptr", index);
    return nullptr;
  }
  if (!point->Is3DLoaded()) {
    Log::Warn(kOp, "encounterPointRef in EncounterPoints.at({}) has no loaded 3D", index);
    return nullptr;
  }
  if (!RE::LookupFormByID(point->formID)) {
    Log::Error(kOp,
               "Found Form with FormID in EncounterPointsDB [{}] is nullptr for [{}]. Possibly it Is3DLoaded == false.",
               HexFormID{point->formID}, city.name());
    return nullptr;
  }
  return point;
}

// Removes the copies that are neither editor placed, nor voiced as the record, nor held by a quest.
void CleanUp(const UniqueNPCData& record, const std::vector<RE::Actor*>& found, const std::string& description,
             const std::string& cityName) {
  std::vector<RE::Actor*> removals;
  for (std::size_t j = 0; j < found.size(); ++j) {
    auto* actor = found[j];
    if (!actor) continue;
    const auto line = [&](const char* what, auto&&... args) {
      if (!Log::Enabled()) return;
      Log::Warn(kOp, "looping at ({}) --> UniqueNPC {} {} at: {}{}", j, description, DescribeReference(actor), cityName,
                fmt::format(fmt::runtime(what), args...));
    };
    if (!IsRuntimeFormID(actor->formID)) {
      line(" is editor placed, skipping...");
      continue;
    }
    auto* voice = actor->GetVoiceType();
    if (!voice) {
      line(" has no VoiceType, skipping...");
      continue;
    }
    if (voice == record.VoiceType) {
      line(" has VoiceType which is the target voice ({}), skipping...", GetFormIDAsHex(voice));
      continue;
    }
    if (IsRefInAlias(actor)) {
      line(" is held in an Alias, skipping...");
      continue;
    }
    if (std::find(removals.begin(), removals.end(), actor) == removals.end()) {
      line(" | should be removed, queuing to remove...");
      removals.push_back(actor);
    } else {
      line(" | should be removed but cannot queue to remove because they are already queued.");
    }
  }
  for (std::size_t k = 0; k < removals.size(); ++k) {
    if (Log::Enabled())
      Log::Warn(kOp, "looping at ({}) --> UniqueNPC {} {} at: {} | removing...", k, description,
                DescribeReference(removals[k]), cityName);
    CallStaticScriptFunction(kHandlerScript, "DeleteUniqueNPC", removals[k]);
  }
}

// Asks the game script to place the record's unique NPC at the point; true when the call was queued.
bool Place(City city, const UniqueNPCData& record, RE::TESObjectREFR* point, const std::string& description) {
  const std::uint32_t clothingID = record.ArmorFormID ? record.ArmorFormID : record.OutfitFormID;
  RE::TESForm* clothing = clothingID ? RE::LookupFormByID(clothingID) : nullptr;
  float height = record.Height;
  if (!(height >= kLowestHeight && height <= kHighestHeight)) {
    Log::Error(kOp, "height data cannot be applied for {} because fUniqueNPCHeight [{:f}] was invalid.", description,
               height);
    height = kHeightLeftAlone;
  }
  using ScriptCalls::Pack;
  const auto appearance = AppearanceID(record);
  NotePlacement(city, appearance, true);
  return ScriptCalls::Dispatch(kHandlerScript, "PlaceUniqueNPC",
                               {Pack(point), Pack(record.appearanceNPC), Pack(record.VoiceType),
                                Pack(record.FacialAnim), Pack(clothing), Pack(record.sName), Pack(height)},
                               CachedVirtualMachine(), [city, appearance] { NotePlacement(city, appearance, false); });
}

}  // namespace

int GetSpawnedUniqueNPCCount(RE::TESNPC* appearance, std::vector<RE::Actor*>* found) {
  constexpr const char* kCountOp = "GetSpawnedUniqueNPCCount";
  if (!appearance || !found) return 0;
  if (Log::Enabled()) Log::Info(kCountOp, "UniqueNPC: {}", DescribeForm(appearance, false));

  int count = 0;
  auto* player = Player();
  const auto* lists = ProcessLists();
  if (player && lists) {
    auto* playerLocation = player->GetCurrentLocation();
    for (std::uint32_t i = 0; i < lists->highActorHandleCount; ++i) {
      std::uint32_t handle = lists->highActorHandles[i];
      if (handle == 0) continue;
      ReferencePointer pointer;
      LookupREFRByHandle(handle, pointer);
      auto* reference = pointer.get();
      ReleaseReference(pointer);
      if (!reference || !reference->baseObject || !IsRuntimeFormID(reference->formID)) continue;
      if (DistanceBetween(reference->position, player->position) >= kNearDistance &&
          reference->GetCurrentLocation() != playerLocation)
        continue;
      if (!WearsAppearance(reference, appearance->formID)) continue;
      ++count;
      auto* actor = static_cast<RE::Actor*>(reference);
      if (PluginSettings.bDynamicCleanUpUniqueNPCs && std::find(found->begin(), found->end(), actor) == found->end())
        found->push_back(actor);
    }
  }
  Log::Info(kCountOp, "Count: {}", count);
  return count;
}

int PlaceUniqueNPCs(CityRecord& city) {
  if (city.UniqueNPCs.empty()) return -1;
  const std::string cityName = city.name();
  const int points = BuildDataBase(DataBaseKind::EncounterPoints, false, city);
  if (points <= 0) {
    Log::Warn(kOp, "Couldn't build EncounterPointDB for [{}]. UniqueNPCs at this location will not be placed.",
              cityName);
    return -1;
  }
  Log::Info(kOp, "EncounterPointDB has been built for location [{}]. EncounterPointCount: {}", cityName, points);

  int placed = 0;
  for (std::size_t i = 0; i < city.UniqueNPCs.size(); ++i) {
    Log::Info(kOp, "looping location->UniqueNPCs.at({})...", i);
    auto* point = DrawEncounterPoint(city);
    if (!point) return -1;
    const auto* record = city.UniqueNPCs[i];
    if (!record) continue;

    std::vector<RE::Actor*> found;
    const int present = GetSpawnedUniqueNPCCount(record->appearanceNPC, &found);
    const std::string description = Log::Enabled() ? DescribeForm(record->appearanceNPC, true) : std::string();
    if (present >= 1) {
      const bool cleanUp = PluginSettings.bDynamicCleanUpUniqueNPCs;
      Log::Warn(kOp, "UniqueNPC {} at: {} has already been placed with count: {} | {}", description, cityName, present,
                cleanUp ? "attempting to clean up..." : "cleanup is disabled");
      if (cleanUp) CleanUp(*record, found, description, cityName);
      continue;
    }
    if (IsPlacementPending(city.city, *record)) {
      Log::Warn(kOp, "UniqueNPC {} at: {} is still being placed by the game script, skipping...", description,
                cityName);
      continue;
    }
    Log::Info(kOp, "UniqueNPC {} at: {} hasn't been placed yet", description, cityName);
    if (Place(city.city, *record, point, description)) ++placed;
  }
  return placed;
}
