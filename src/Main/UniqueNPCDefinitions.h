#pragma once
// Hand-authored unique NPCs: one INI file each in the UniqueNPCs folder, read into the list of
// records (LocationData::UniqueNPCs) of every city the file gives an encounter chance in.
#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "RE/B/BGSKeyword.h"
#include "RE/B/BGSVoiceType.h"
#include "RE/T/TESNPC.h"

struct UniqueNPCData {
  std::string sName;
  RE::BGSVoiceType* VoiceType = nullptr;
  RE::BGSKeyword* FacialAnim = nullptr;
  RE::TESNPC* iAppearance = nullptr;
  std::int32_t iEncounterChance = 0;
  std::uint32_t OutfitFormID = 0;  // at most one of the two is non-zero
  std::uint32_t ArmorFormID = 0;
  std::string sDefineFileName;  // the defining file's name without extension
  float Height = 1.0f;
};

// Where the records live. A city's list holds pointers into the city's deque, which keeps every
// record in place while more are appended.
struct UniqueNPCStateRecord {
  std::array<std::deque<UniqueNPCData>, 4> records;  // city 1 to 4 at 0 to 3

  void Reset();  // empties every city's records and list
};

extern UniqueNPCStateRecord UniqueNPCState;

// Appends a record to the list of city 1 to 4; false for any other index.
bool AddUniqueNPCRecord(int iLocationIndex, UniqueNPCData record);
void ClearUniqueNPCRecords(int iLocationIndex);

// Empty name: rebuilds every city's list from all files. A name (without extension): adds what that
// one file yields to the lists, unless a record of that name is already in one. Returns (files that
// gave a record, records made); (0, 0) when nothing was built.
std::pair<std::int32_t, std::int32_t> BuildUniqueNPCsDB(const std::string& sHotLoadUniqueNPCFileNameNoExt);

// False for an empty name or one that a record of cities 1 to 4 already has, case ignored.
bool CanAddUniqueNPCToDB(const std::string& sFileNameNoExt);

// The folder's regular files with the extension ".ini", as bare names, in file-system order.
std::vector<std::string> GetUniqueNPCFileNames();
