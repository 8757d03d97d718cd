#include "Main/ApplyDataToLocation.h"

#include <array>
#include <string>

#include "Helpers/FormResolution.h"
#include "Helpers/Log.h"
#include "Helpers/Naming.h"
#include "Main/DataBase.h"
#include "Main/FemaleMaleConditions.h"
#include "Main/LeveledLists.h"
#include "Main/LocationData.h"
#include "RE/T/TESGlobal.h"

namespace {

constexpr const char* kOp = "ApplyDataToLocation";

struct CityForms {
  const char* femaleOutfitList;
  const char* maleOutfitList;
  const char* citizenList;
  const char* ratioGlobal;
  const char* citizenKeyword;
};
constexpr std::array<CityForms, 4> kCityForms = {{
    {"837", "844", "82F", "82B", "84B"},
    {"85F", "860", "861", "851", "862"},
    {"863", "864", "865", "853", "866"},
    {"867", "868", "869", "85D", "86A"},
}};

std::array<RE::BGSKeyword*, 5> citizenKeywords{};

bool HasType(const RE::TESForm* form, RE::FormType type) { return form && form->Is(type); }

RE::TESLeveledList* ListOf(RE::TESForm* form) { return &static_cast<RE::TESLeveledForm*>(form)->leveledList; }

}  // namespace

RE::BGSKeyword* GetCitizenKeyword(int location) noexcept {
  return location >= 1 && location <= 4 ? citizenKeywords[static_cast<std::size_t>(location)] : nullptr;
}

bool ApplyDataToLocation(int location) {
  const auto name = GetLocationNameByIndex(location);
  if (name.empty()) {
    Log::Error(kOp, "sFolderName is empty for iLocationIndex: {}", location);
    return false;
  }
  Log::Info(kOp, "------------------------------------ {} ------------------------------------", name);
  auto* record = GetLocationStructByIndex(location);
  if (!record) {
    Log::Error(kOp, "location data struct couldn't be acquired with location name: {}", name);
    return false;
  }

  const auto& ids = kCityForms[static_cast<std::size_t>(location - 1)];
  auto* femaleOutfitList = GetFormFromFile(ids.femaleOutfitList, kPluginMasterFile);
  auto* maleOutfitList = GetFormFromFile(ids.maleOutfitList, kPluginMasterFile);
  auto* citizenList = GetFormFromFile(ids.citizenList, kPluginMasterFile);
  auto* ratioGlobal = GetFormFromFile(ids.ratioGlobal, kPluginMasterFile);
  auto* citizenKeyword = GetFormFromFile(ids.citizenKeyword, kPluginMasterFile);
  auto* femaleRatioCondition = GetFemaleMaleCondition(location, kRatioCondition, true);
  auto* maleRatioCondition = GetFemaleMaleCondition(location, kRatioCondition, false);
  auto* femaleOutfitCondition = GetFemaleMaleCondition(location, kOutfitCondition, true);
  auto* maleOutfitCondition = GetFemaleMaleCondition(location, kOutfitCondition, false);

  bool formsValid = true;
  auto check = [&](bool valid, const char* message) {
    if (!valid) {
      Log::Error(kOp, "{}", message);
      formsValid = false;
    }
  };
  using RE::FormType;
  check(HasType(femaleOutfitList, FormType::kLeveledItem), "FemaleOutfitLeveledItemForm is nullptr or not the right type");
  check(HasType(maleOutfitList, FormType::kLeveledItem), "MaleOutfitLeveledItemForm is nullptr or not the right type");
  check(HasType(citizenList, FormType::kLeveledCharacter), "CitizenLeveledCharacterForm is nullptr or not the right type");
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

  const int femaleFaces = BuildDataBase(2, true, location);
  const int maleFaces = BuildDataBase(2, false, location);
  const int femaleClothing = BuildDataBase(3, true, location);
  const int maleClothing = BuildDataBase(3, false, location);
  const int femaleAnims = BuildDataBase(4, true, location);
  const int maleAnims = BuildDataBase(4, false, location);
  const int femaleVoices = BuildDataBase(5, true, location);
  const int maleVoices = BuildDataBase(5, false, location);
  const int femaleNames = BuildDataBase(6, true, location);
  const int maleNames = BuildDataBase(6, false, location);
  const int femaleLastNames = BuildDataBase(7, true, location);
  const int maleLastNames = BuildDataBase(7, false, location);
  const bool locationDataLoaded = BuildLocationDataDB(location);

  Log::Info(kOp, "FemaleFaceNPCsCount for {} is: {}", name, femaleFaces);
  Log::Info(kOp, "MaleFaceNPCsCount for {} is: {}", name, maleFaces);
  Log::Info(kOp, "FemaleClothingCount for {} is: {}", name, femaleClothing);
  Log::Info(kOp, "MaleClothingCount for {} is: {}", name, maleClothing);
  Log::Info(kOp, "FemaleAnimsCount for {} is: {}", name, femaleAnims);
  Log::Info(kOp, "MaleAnimsCount for {} is: {}", name, maleAnims);
  Log::Info(kOp, "FemaleVoicesCount for {} is: {}", name, femaleVoices);
  Log::Info(kOp, "MaleVoicesCount for {} is: {}", name, maleVoices);
  Log::Info(kOp, "FemaleNamesCount for {} is: {}", name, femaleNames);
  Log::Info(kOp, "MaleNamesCount for {} is: {}", name, maleNames);
  Log::Info(kOp, "FemaleLastnamesCount for {} is: {}", name, femaleLastNames);
  Log::Info(kOp, "MaleLastnamesCount for {} is: {}", name, maleLastNames);
  Log::Info(kOp, "LocationDataLoaded for {} is: {}", name, locationDataLoaded ? 1 : 0);

  bool saveFailed = false;
  if (!SaveLeveledList(ListOf(citizenList), name + "_CitizenLeveledCharacterForm")) {
    Log::Error(kOp, "leveledList (TESLevCharacter CitizenLeveledCharacterForm) {} couldn't be saved", HexAddress{citizenList});
    saveFailed = true;
  }
  if (!SaveLeveledList(ListOf(femaleOutfitList), name + "_FemaleOutfitLeveledItemForm")) {
    Log::Error(kOp, "leveledList (TESLevItem FemaleOutfitLeveledItemForm) {} couldn't be saved", HexAddress{femaleOutfitList});
    saveFailed = true;
  }
  if (!SaveLeveledList(ListOf(maleOutfitList), name + "_MaleOutfitLeveledItemForm")) {
    Log::Error(kOp, "leveledList (TESLevItem MaleOutfitLeveledItemForm) {} couldn't be saved", HexAddress{maleOutfitList});
    return false;
  }
  if (saveFailed) return false;

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
    report(AddFormsToLeveledList(ListOf(citizenList), &record->FemaleFaceNPCs, true, femaleRatioCondition), "FemaleFaceNPCs");
  if (maleFaces > 0)
    report(AddFormsToLeveledList(ListOf(citizenList), &record->MaleFaceNPCs, false, maleRatioCondition), "MaleFaceNPCs");
  if (femaleClothing > 0)
    report(AddFormsToLeveledList(ListOf(femaleOutfitList), &record->FemaleClothing, true, nullptr), "FemaleOutfits");
  if (maleClothing > 0)
    report(AddFormsToLeveledList(ListOf(maleOutfitList), &record->MaleClothing, true, nullptr), "MaleOutfits");

  auto* global = static_cast<RE::TESGlobal*>(ratioGlobal);
  global->value = static_cast<float>(record->iFemalePercent);
  Log::Info(kOp, "set FemalePercent for {} to: {:f}", name, global->value);
  citizenKeywords[static_cast<std::size_t>(location)] = static_cast<RE::BGSKeyword*>(citizenKeyword);
  return !refillFailed;
}
