#pragma once
// The four cities' records: databases, unique NPCs and per-city settings, and their data files.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Main/DrawPool.h"
#include "RE/B/BGSKeyword.h"
#include "RE/B/BGSVoiceType.h"
#include "RE/T/TESForm.h"
#include "RE/T/TESNPC.h"
#include "RE/T/TESObjectREFR.h"

struct UniqueNPCData;  // defined with the unique NPC definitions

struct LocationData {
  std::vector<RE::TESObjectREFR*> EncounterPoints;
  std::vector<RE::TESNPC*> FemaleFaceNPCs;
  std::vector<RE::TESNPC*> MaleFaceNPCs;
  std::vector<UniqueNPCData*> UniqueNPCs;
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
  float fFemaleMaxHeight = 0.0f;
  float fFemaleMinHeight = 0.0f;
  float fMaleMaxHeight = 0.0f;
  float fMaleMinHeight = 0.0f;
  int iFemalePercent = 0;
  bool bDisableNames = false;
};

// The city's record in the plug-in's state; null for an index that names no city.
LocationData* GetLocationStructByIndex(int iLocationIndex);
// "NewAtlantis", "AkilaCity", "Cydonia", "Neon", or "unkown".
std::string GetLocationNameByIndex(int iLocationIndex);
// The city folder: the data folder, the location name and a backslash.
std::filesystem::path GetLocationFolder(int iLocationIndex);

// Reads the city's LocationData.ini into its record; false (and one log line) when it cannot.
bool BuildLocationDataDB(int iLocationIndex);

// Names (UTF-8) of the .txt files in directory whose names start with sDBName, case ignored.
std::vector<std::string> GetFileNamesInDirectory(const std::filesystem::path& directory, const std::string& sDBName);
// The names (UTF-8, listing order) of the .txt files directly in directory; nullopt when it cannot
// be reached.
std::optional<std::vector<std::string>> ListTextFiles(const std::filesystem::path& directory);
// GetFileNamesInDirectory over a listing taken earlier by ListTextFiles, with the same log lines.
std::vector<std::string> FileNamesFromListing(const std::optional<std::vector<std::string>>& listing,
                                              const std::filesystem::path& directory, const std::string& sDBName);
