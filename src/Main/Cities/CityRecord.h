#pragma once
// What the plug-in knows of one city: its name and folder, its location data, its databases, its
// unique NPCs and its citizen keyword. One owner holds the four records; every function about a city
// is handed its record, and the city's number is used only where the console or a log line shows it.
#include <cstdint>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "Helpers/Relaxed.h"
#include "Main/Game/Cities.h"
#include "Main/Cities/DrawPool.h"
#include "RE/B/BGSKeyword.h"
#include "RE/B/BGSVoiceType.h"
#include "RE/T/TESForm.h"
#include "RE/T/TESNPC.h"
#include "RE/T/TESObjectREFR.h"

// A hand-authored unique NPC, as one file defines it for one city.
struct UniqueNPCData {
  std::string sName;
  RE::BGSVoiceType* VoiceType = nullptr;
  RE::BGSKeyword* FacialAnim = nullptr;
  RE::TESNPC* appearanceNPC = nullptr;  // whose face and body the placed actor takes
  std::int32_t iEncounterChance = 0;
  std::uint32_t OutfitFormID = 0;  // at most one of the two is non-zero
  std::uint32_t ArmorFormID = 0;
  std::string sDefineFileName;  // the defining file's name without extension
  float Height = 1.0f;
};

struct CityRecord {
  explicit CityRecord(City city);
  CityRecord(CityRecord&&) = default;
  CityRecord& operator=(CityRecord&&) = default;
  CityRecord(const CityRecord&) = delete;  // UniqueNPCs points into this record's own uniqueNPCRecords
  CityRecord& operator=(const CityRecord&) = delete;

  City city;
  std::filesystem::path folder;  // the data folder, the city's name and a backslash

  const char* name() const noexcept { return InfoOf(city).name; }
  int index() const noexcept { return IndexOf(city); }

  // The databases: faces, clothing and encounter points are read whole, the rest drawn one by one.
  std::vector<RE::TESObjectREFR*> EncounterPoints;
  std::vector<RE::TESNPC*> FemaleFaceNPCs;
  std::vector<RE::TESNPC*> MaleFaceNPCs;
  DrawPool<RE::BGSVoiceType*> FemaleVoices;
  DrawPool<RE::BGSVoiceType*> MaleVoices;
  DrawPool<RE::BGSKeyword*> FemaleAnims;
  DrawPool<RE::BGSKeyword*> MaleAnims;
  DrawPool<std::string> FemaleNames;
  DrawPool<std::string> MaleNames;
  DrawPool<std::string> FemaleLastNames;
  DrawPool<std::string> MaleLastNames;
  std::vector<RE::TESForm*> FemaleClothing;
  std::vector<RE::TESForm*> MaleClothing;

  // Its LocationData.ini.
  float fFemaleMaxHeight = 0.0f;
  float fFemaleMinHeight = 0.0f;
  float fMaleMaxHeight = 0.0f;
  float fMaleMinHeight = 0.0f;
  int iFemalePercent = 0;
  bool bDisableNames = false;

  // The unique NPCs that may meet the player here, and the list placement draws from (pointers into
  // the records, which a deque keeps in place while more are appended).
  std::deque<UniqueNPCData> uniqueNPCRecords;
  std::vector<UniqueNPCData*> UniqueNPCs;

  // Published when the city's data is applied; null before, so the city matches no citizen. The
  // game's threads read it while a load or reset applies the data again.
  Relaxed<RE::BGSKeyword*> citizenKeyword = nullptr;
};

CityRecord& CityRecordOf(City city) noexcept;
// For the numbers the console and the log lines use: null for a number that names no city.
CityRecord* FindCityRecord(int index) noexcept;
// Every city as a freshly loaded plug-in has it.
void ResetCityRecords();
