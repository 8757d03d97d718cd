#pragma once
// The kinds of database a city has, numbered as the plug-in's interfaces number them, and what
// each one is made of: one table that building, drawing and applying a city all loop over.
#include <array>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "Main/Cities/CityRecord.h"
#include "RE/T/TESForm.h"

enum class DataBaseKind : int {
  FaceNPCs = 2,
  Clothing = 3,
  Anims = 4,
  Voices = 5,
  Names = 6,
  LastNames = 7,
  EncounterPoints = 8,
};

// Names, voices and facial animations are drawn one by one; faces, clothing and encounter points are
// read whole.
template <class T>
inline constexpr bool kDrawnOneByOne =
    std::is_same_v<T, RE::BGSKeyword*> || std::is_same_v<T, RE::BGSVoiceType*> || std::is_same_v<T, std::string>;
template <class T>
using DataBaseStore = std::conditional_t<kDrawnOneByOne<T>, DrawPool<T>, std::vector<T>>;
template <class T>
using DataBaseField = DataBaseStore<T> CityRecord::*;
using AnyDataBaseField =
    std::variant<DataBaseField<RE::TESNPC*>, DataBaseField<RE::TESForm*>, DataBaseField<RE::BGSKeyword*>,
                 DataBaseField<RE::BGSVoiceType*>, DataBaseField<std::string>, DataBaseField<RE::TESObjectREFR*>>;

// One sex's side of a database (encounter points have the same on both sides).
struct DataBaseSide {
  const char* name;       // the database's name and its files' prefix
  const char* countName;  // how a city's summary names its count
  AnyDataBaseField field;
};

struct DataBaseDescriptor {
  DataBaseKind kind;
  bool textLines;          // names: each line is an entry; otherwise each line names a form
  const char* entryLabel;  // how a log line names one entry
  std::array<RE::FormType, 2> acceptedTypes;
  DataBaseSide female;
  DataBaseSide male;

  const DataBaseSide& side(bool bFemale) const noexcept { return bFemale ? female : male; }
};

using RE::FormType;
inline const std::array<DataBaseDescriptor, 7> kDataBases = {{
    {DataBaseKind::FaceNPCs,
     false,
     "NPCForm",
     {FormType::kNPC, FormType::kNPC},
     {"FemaleFaceNPCs", "FemaleFaceNPCsCount", &CityRecord::FemaleFaceNPCs},
     {"MaleFaceNPCs", "MaleFaceNPCsCount", &CityRecord::MaleFaceNPCs}},
    {DataBaseKind::Clothing,
     false,
     "ClothingForm",
     {FormType::kArmor, FormType::kOutfit},
     {"FemaleClothing", "FemaleClothingCount", &CityRecord::FemaleClothing},
     {"MaleClothing", "MaleClothingCount", &CityRecord::MaleClothing}},
    {DataBaseKind::Anims,
     false,
     "AnimKeyword",
     {FormType::kKeyword, FormType::kKeyword},
     {"FemaleAnims", "FemaleAnimsCount", &CityRecord::FemaleAnims},
     {"MaleAnims", "MaleAnimsCount", &CityRecord::MaleAnims}},
    {DataBaseKind::Voices,
     false,
     "VoiceType",
     {FormType::kVoiceType, FormType::kVoiceType},
     {"FemaleVoices", "FemaleVoicesCount", &CityRecord::FemaleVoices},
     {"MaleVoices", "MaleVoicesCount", &CityRecord::MaleVoices}},
    {DataBaseKind::Names,
     true,
     "Name",
     {},
     {"FemaleNames", "FemaleNamesCount", &CityRecord::FemaleNames},
     {"MaleNames", "MaleNamesCount", &CityRecord::MaleNames}},
    {DataBaseKind::LastNames,
     true,
     "LastName",
     {},
     {"FemaleLastNames", "FemaleLastnamesCount", &CityRecord::FemaleLastNames},
     {"MaleLastNames", "MaleLastnamesCount", &CityRecord::MaleLastNames}},
    {DataBaseKind::EncounterPoints,
     false,
     "Reference",
     {FormType::kReference, FormType::kReference},
     {"EncounterPoints", "EncounterPointsCount", &CityRecord::EncounterPoints},
     {"EncounterPoints", "EncounterPointsCount", &CityRecord::EncounterPoints}},
}};

inline const DataBaseDescriptor& DescriptorOf(DataBaseKind kind) noexcept {
  for (const auto& descriptor : kDataBases)
    if (descriptor.kind == kind) return descriptor;
  return kDataBases.front();  // every kind has its descriptor
}

// The database itself in a city's record, typed.
template <class T>
DataBaseStore<T>& DataBaseIn(CityRecord& record, const DataBaseSide& side) {
  return record.*std::get<DataBaseField<T>>(side.field);
}
