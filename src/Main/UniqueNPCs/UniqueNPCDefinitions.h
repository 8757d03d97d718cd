#pragma once
// Hand-authored unique NPCs: one INI file each in the UniqueNPCs folder, read into the list of
// records (CityRecord::UniqueNPCs) of every city the file gives an encounter chance in.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Main/Cities/CityRecord.h"

// Appends a record to the city's list.
void AddUniqueNPCRecord(CityRecord& city, UniqueNPCData record);
// Empties the city's list and its records; without a city, every city's.
void ClearUniqueNPCRecords(CityRecord& city);
void ClearUniqueNPCRecords();

// Empty name: rebuilds every city's list from all files. A name (without extension): adds what that
// one file yields to the lists, unless a record of that name is already in one. Returns (files that
// gave a record, records made); (0, 0) when nothing was built.
std::pair<std::int32_t, std::int32_t> BuildUniqueNPCsDB(const std::string& sHotLoadUniqueNPCFileNameNoExt);

// False for an empty name or one that a record of cities 1 to 4 already has, case ignored.
bool CanAddUniqueNPCToDB(const std::string& sFileNameNoExt);

// The folder's regular files with the extension ".ini", as bare names, in file-system order.
std::vector<std::string> GetUniqueNPCFileNames();
