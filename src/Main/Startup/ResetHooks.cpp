#include "Main/Startup/ResetHooks.h"

#include <string>
#include <utility>

#include "Helpers/Boundary.h"
#include "Helpers/FormResolution.h"
#include "Helpers/Log.h"
#include "Helpers/Naming.h"
#include "Main/Appearance/ActorBackgroundProcess.h"
#include "Main/Game/CellChangeGate.h"
#include "Main/Game/Cities.h"
#include "Main/Cities/FemaleMaleConditions.h"
#include "Main/Game/GameObjectCache.h"
#include "Main/LeveledLists/LeveledLists.h"
#include "Main/Changes/ModChanges.h"
#include "Main/Settings/Settings.h"

namespace {

constexpr const char* kBeginOp = "HandleGameResetBeginFunc";
constexpr const char* kFinishOp = "HandleGameResetFinishFunc";

// The list inside the form, when the form exists and is a list of that kind.
RE::TESLeveledList* LeveledListOf(const char* localFormID, RE::FormType type) {
  auto* form = GetFormFromFile(localFormID, kPluginMasterFile);
  return form && form->Is(type) ? &static_cast<RE::TESLeveledForm*>(form)->leveledList : nullptr;
}

// Each list gets back the entries it had when the city's data was first applied in this cycle (the
// plug-in's own arrays stay allocated: nothing the game holds may still point into them). A list the
// plug-in never replaced has no record and keeps what the game gave it. False when one of the city's
// lists is missing.
bool RevertCityLists(const CityInfo& city) {
  auto* femaleOutfits = LeveledListOf(city.femaleOutfitList, RE::FormType::kLeveledItem);
  auto* maleOutfits = LeveledListOf(city.maleOutfitList, RE::FormType::kLeveledItem);
  auto* citizens = LeveledListOf(city.citizenList, RE::FormType::kLeveledCharacter);
  if (!citizens) Log::Error(kBeginOp, "CitizenLeveledCharacterForm is nullptr or not the right type");
  if (!femaleOutfits) Log::Error(kBeginOp, "FemaleOutfitLeveledItemForm is nullptr or not the right type");
  if (!maleOutfits) Log::Error(kBeginOp, "MaleOutfitLeveledItemForm is nullptr or not the right type");
  if (!citizens || !femaleOutfits || !maleOutfits) return false;

  const std::pair<RE::TESLeveledList*, std::string_view> lists[] = {
      {citizens, kCitizenListRole}, {femaleOutfits, kFemaleOutfitListRole}, {maleOutfits, kMaleOutfitListRole}};
  for (const auto& [list, role] : lists) {
    const auto savedName = SavedListName(city.name, role);
    if (const auto* saved = GetSavedLeveledListDataByName(savedName)) {
      Log::Info(kBeginOp, "found saved leveledList data with name: {}. Resetting listObjects to {}", savedName,
                HexAddress{saved->entries});
      RestoreLeveledList(list, *saved);
    } else {
      Log::Warn(kBeginOp, "couldn't find any saved leveledList data with name: {}. The LeveledList is left as it is.",
                savedName);
    }
  }
  return true;
}

// A city with a missing list stops the revert there: the later cities and the saved records stay as
// they are, and the game's reset still runs.
void RevertLeveledLists() {
  Log::Info(kBeginOp, "called; reverting leveled lists");
  for (const auto& city : kCityTable)
    if (!RevertCityLists(city)) return;
  // Applying the cities again saves fresh records.
  ClearSavedLeveledLists();
  Log::Info(kBeginOp, "complete; game is about to perform GameReset");
}

// With the custom FaceGen processor on, the game's own appearance processing stays off. Only while
// the processor's hook is installed: switching the game's processing off with nothing of ours in its
// place would leave every actor's appearance unprocessed.
void KeepGameAppearanceProcessingOff() {
  if (!PluginSettings.bFaceGenProcessor) return;
  if (!ActorBackgroundProcess::AppearanceHook::savedTarget.saved()) {
    Log::Warn(kFinishOp, "custom FaceGen processor is not installed; the game's appearance flag is left as it is");
    return;
  }
  auto* flag = GameAppearanceFlagOrExit();
  if (*flag != 0) *flag = 0;
}

// A city that cannot be applied stops the work there; the game's call still follows.
void ReapplyModChanges() {
  Log::Info(kFinishOp, "called; reapplying mod changes");
  ReloadINISettings(true);
  SaveAllowedCellChangeTime();
  BuildUniqueNPCDatabase(kFinishOp);
  RefreshGameObjectCache();
  if (!ApplyDataToAllLocations()) {
    Log::Error(kFinishOp, "apply data error, shutting down");
    return;
  }
  // The background appearance process waits again, as after a load.
  AppearanceProcessState.FaceGenProcessorInitialized = false;
  AppearanceProcessState.Ticks = 0;
  KeepGameAppearanceProcessingOff();
  CellEventState.menus.bEndCredits = false;
  AdjustGameSettings(kFinishOp);
  Log::Info(kFinishOp, "complete; game is about to be ready");
}

}  // namespace

std::uint64_t HandleGameResetBegin::HandleGameResetBeginFunc(std::uint64_t argument) {
  Boundary::Guarded(kBeginOp, RevertLeveledLists);
  return savedTarget(argument);
}

std::uint64_t HandleGameResetFinish::HandleGameResetFinishFunc() {
  Boundary::Guarded(kFinishOp, ReapplyModChanges);
  return savedTarget();
}
