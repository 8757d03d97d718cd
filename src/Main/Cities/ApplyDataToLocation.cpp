#include "Main/Cities/ApplyDataToLocation.h"

#include <string>
#include <utility>
#include <vector>

#include "Helpers/FormResolution.h"
#include "Helpers/Log.h"
#include "Helpers/Naming.h"
#include "Main/Cities/CityFolderCache.h"
#include "Main/Cities/DataBase.h"
#include "Main/Cities/DataBaseKinds.h"
#include "Main/Cities/FemaleMaleConditions.h"
#include "Main/LeveledLists/LeveledLists.h"
#include "Main/Cities/LocationData.h"
#include "RE/T/TESGlobal.h"

namespace {

constexpr const char* kOp = "ApplyDataToLocation";

bool HasType(const RE::TESForm* form, RE::FormType type) { return form && form->Is(type); }

RE::TESLeveledList* ListOf(RE::TESForm* form) { return &static_cast<RE::TESLeveledForm*>(form)->leveledList; }

}  // namespace

bool ApplyDataToLocation(CityRecord& city) {
  const char* const name = city.name();
  Log::Info(kOp, "------------------------------------ {} ------------------------------------", name);
  const auto& ids = InfoOf(city.city);
  auto* femaleOutfitList = GetFormFromFile(ids.femaleOutfitList, kPluginMasterFile);
  auto* maleOutfitList = GetFormFromFile(ids.maleOutfitList, kPluginMasterFile);
  auto* citizenList = GetFormFromFile(ids.citizenList, kPluginMasterFile);
  auto* ratioGlobal = GetFormFromFile(ids.ratioGlobal, kPluginMasterFile);
  auto* citizenKeyword = GetFormFromFile(ids.citizenKeyword, kPluginMasterFile);
  auto* femaleRatioCondition = GetFemaleMaleCondition(city.city, ConditionKind::Ratio, true);
  auto* maleRatioCondition = GetFemaleMaleCondition(city.city, ConditionKind::Ratio, false);
  auto* femaleOutfitCondition = GetFemaleMaleCondition(city.city, ConditionKind::Outfit, true);
  auto* maleOutfitCondition = GetFemaleMaleCondition(city.city, ConditionKind::Outfit, false);

  bool formsValid = true;
  auto check = [&](bool valid, const char* message) {
    if (!valid) {
      Log::Error(kOp, "{}", message);
      formsValid = false;
    }
  };
  using RE::FormType;
  check(HasType(femaleOutfitList, FormType::kLeveledItem),
        "FemaleOutfitLeveledItemForm is nullptr or not the right type");
  check(HasType(maleOutfitList, FormType::kLeveledItem), "MaleOutfitLeveledItemForm is nullptr or not the right type");
  check(HasType(citizenList, FormType::kLeveledCharacter),
        "CitizenLeveledCharacterForm is nullptr or not the right type");
  check(femaleRatioCondition != nullptr, "FemaleRatioCondition is nullptr");
  check(maleRatioCondition != nullptr, "MaleRatioCondition is nullptr");
  check(femaleOutfitCondition != nullptr, "FemaleOutfitCondition is nullptr");
  check(maleOutfitCondition != nullptr, "MaleOutfitCondition is nullptr");
  check(HasType(ratioGlobal, FormType::kGlobal), "FemaleMaleRatioGlobalForm is nullptr or not the right type");
  if (!HasType(citizenKeyword, FormType::kKeyword)) {
    Log::Error(kOp, "CitizenKeywordForm is nullptr or not the right type");
    return false;
  }
  if (!formsValid) return false;

  // Applying a city's data reads its folder afresh: a change Windows failed to report is not kept.
  ForgetCityFolder(city.folder);
  // Every per-sex database, female before male, in the order of their numbers.
  struct Built {
    const DataBaseSide* side;
    int count;
  };
  std::vector<Built> built;
  for (const auto& descriptor : kDataBases) {
    if (descriptor.kind == DataBaseKind::EncounterPoints) continue;  // built when unique NPCs are placed
    for (const bool female : {true, false})
      built.push_back({&descriptor.side(female), BuildDataBase(descriptor.kind, female, city)});
  }
  const bool locationDataLoaded = BuildLocationDataDB(city);
  for (const auto& database : built) Log::Info(kOp, "{} for {} is: {}", database.side->countName, name, database.count);
  Log::Info(kOp, "LocationDataLoaded for {} is: {}", name, locationDataLoaded ? 1 : 0);
  const auto countOf = [&](DataBaseKind kind, bool female) {
    const auto* side = &DescriptorOf(kind).side(female);
    for (const auto& database : built)
      if (database.side == side) return database.count;
    return 0;
  };
  const int femaleFaces = countOf(DataBaseKind::FaceNPCs, true), maleFaces = countOf(DataBaseKind::FaceNPCs, false);
  const int femaleClothing = countOf(DataBaseKind::Clothing, true),
            maleClothing = countOf(DataBaseKind::Clothing, false);

  // A list saved already this cycle keeps its earliest record, the only one a restore reads: saving
  // it at every application would grow the records with every rebuild until the next reset.
  const auto save = [&](RE::TESForm* form, std::string_view role) {
    const auto savedName = SavedListName(name, role);
    return FindSavedLeveledList(savedName) || SaveLeveledList(ListOf(form), savedName);
  };
  bool saveFailed = false;
  if (!save(citizenList, kCitizenListRole)) {
    Log::Error(kOp, "leveledList (TESLevCharacter CitizenLeveledCharacterForm) {} couldn't be saved",
               HexAddress{citizenList});
    saveFailed = true;
  }
  if (!save(femaleOutfitList, kFemaleOutfitListRole)) {
    Log::Error(kOp, "leveledList (TESLevItem FemaleOutfitLeveledItemForm) {} couldn't be saved",
               HexAddress{femaleOutfitList});
    saveFailed = true;
  }
  if (!save(maleOutfitList, kMaleOutfitListRole)) {
    Log::Error(kOp, "leveledList (TESLevItem MaleOutfitLeveledItemForm) {} couldn't be saved",
               HexAddress{maleOutfitList});
    return false;
  }
  if (saveFailed) return false;
  // Every application starts from the entries the game gave the list (the earliest record of this
  // cycle), so applying a city again before a reset never stacks a copy on top of the last one.
  for (const auto& [form, role] :
       {std::pair{citizenList, kCitizenListRole}, std::pair{femaleOutfitList, kFemaleOutfitListRole},
        std::pair{maleOutfitList, kMaleOutfitListRole}})
    if (const auto* original = FindSavedLeveledList(SavedListName(name, role)))
      RestoreLeveledList(ListOf(form), *original);

  bool refillFailed = false;
  auto report = [&](bool registered, const char* what) {
    if (registered) {
      Log::Info(kOp, "{} at {} have been successfully registered", what, name);
    } else {
      Log::Error(kOp, "{} at {} couldn't be registered", what, name);
      refillFailed = true;
    }
  };
  if (femaleFaces > 0)
    report(AddFormsToLeveledList(ListOf(citizenList), &city.FemaleFaceNPCs, true, femaleRatioCondition),
           "FemaleFaceNPCs");
  if (maleFaces > 0)
    report(AddFormsToLeveledList(ListOf(citizenList), &city.MaleFaceNPCs, false, maleRatioCondition), "MaleFaceNPCs");
  if (femaleClothing > 0)
    report(AddFormsToLeveledList(ListOf(femaleOutfitList), &city.FemaleClothing, true, nullptr), "FemaleOutfits");
  if (maleClothing > 0)
    report(AddFormsToLeveledList(ListOf(maleOutfitList), &city.MaleClothing, true, nullptr), "MaleOutfits");

  auto* global = static_cast<RE::TESGlobal*>(ratioGlobal);
  global->value = static_cast<float>(city.iFemalePercent);
  Log::Info(kOp, "set FemalePercent for {} to: {:f}", name, global->value);
  city.citizenKeyword = static_cast<RE::BGSKeyword*>(citizenKeyword);
  return !refillFailed;
}
