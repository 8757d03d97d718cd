#pragma once
// The kinds of database a city has, numbered as the plug-in's interfaces number them, and what
// each one is made of: one table that building, drawing and applying a city all loop over.
#include <array>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "Main/LocationData.h"
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
using DataBaseField = DataBaseStore<T> LocationData::*;
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
     {"FemaleFaceNPCs", "FemaleFaceNPCsCount", &LocationData::FemaleFaceNPCs},
     {"MaleFaceNPCs", "MaleFaceNPCsCount", &LocationData::MaleFaceNPCs}},
    {DataBaseKind::Clothing,
     false,
     "ClothingForm",
     {FormType::kArmor, FormType::kOutfit},
     {"FemaleClothing", "FemaleClothingCount", &LocationData::FemaleClothing},
     {"MaleClothing", "MaleClothingCount", &LocationData::MaleClothing}},
    {DataBaseKind::Anims,
     false,
     "AnimKeyword",
     {FormType::kKeyword, FormType::kKeyword},
     {"FemaleAnims", "FemaleAnimsCount", &LocationData::FemaleAnims},
     {"MaleAnims", "MaleAnimsCount", &LocationData::MaleAnims}},
    {DataBaseKind::Voices,
     false,
     "VoiceType",
     {FormType::kVoiceType, FormType::kVoiceType},
     {"FemaleVoices", "FemaleVoicesCount", &LocationData::FemaleVoices},
     {"MaleVoices", "MaleVoicesCount", &LocationData::MaleVoices}},
    {DataBaseKind::Names,
     true,
     "Name",
     {},
     {"FemaleNames", "FemaleNamesCount", &LocationData::FemaleNames},
     {"MaleNames", "MaleNamesCount", &LocationData::MaleNames}},
    {DataBaseKind::LastNames,
     true,
     "LastName",
     {},
     {"FemaleLastNames", "FemaleLastnamesCount", &LocationData::FemaleLastNames},
     {"MaleLastNames", "MaleLastnamesCount", &LocationData::MaleLastNames}},
    {DataBaseKind::EncounterPoints,
     false,
     "Reference",
     {FormType::kReference, FormType::kReference},
     {"EncounterPoints", "EncounterPointsCount", &LocationData::EncounterPoints},
     {"EncounterPoints", "EncounterPointsCount", &LocationData::EncounterPoints}},
}};

// The descriptor of the database numbered iDBIndex, or null for a number that names none.
inline const DataBaseDescriptor* FindDataBase(int iDBIndex) noexcept {
  for (const auto& descriptor : kDataBases)
    if (static_cast<int>(descriptor.kind) == iDBIndex) return &descriptor;
  return nullptr;
}
inline const DataBaseDescriptor& DescriptorOf(DataBaseKind kind) noexcept {
  return *FindDataBase(static_cast<int>(kind));
}

// The database itself in a city's record, typed.
template <class T>
DataBaseStore<T>& DataBaseIn(LocationData& record, const DataBaseSide& side) {
  return record.*std::get<DataBaseField<T>>(side.field);
}
