#pragma once
// Reading, emptying, refilling and saving the game's leveled lists in place.
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "RE/T/TESLeveledList.h"
#include "RE/T/TESNPC.h"

inline constexpr std::size_t kMaxLeveledListEntries = 255;

// A list's entry array as it was when saved, under the name it was saved as.
struct SavedLeveledListData {
  std::string name;
  std::uint16_t count = 0;
  RE::LEVELED_OBJECT* entries = nullptr;
};

// Walks the list's entries in order, one log line each under operation; an entry at an implausible
// address is logged and passed over. visit gets the entry and its position, and returns false to stop.
void WalkLeveledList(const RE::TESLeveledList& list, const char* operation,
                     const std::function<bool(const RE::LEVELED_OBJECT&, std::uint8_t)>& visit);

// Copies of the entries whose addresses are plausible.
std::vector<RE::LEVELED_OBJECT> GetLeveledListEntries(RE::TESLeveledList* list);
bool ClearAllFormsFromLeveledList(RE::TESLeveledList* list);

// Puts formsToAdd first (each with condition), then, unless replace, the list's current entries.
bool AddFormsToLeveledList(RE::TESLeveledList* list, const std::vector<RE::TESNPC*>* formsToAdd, bool replace,
                           RE::TESCondition* condition);
bool AddFormsToLeveledList(RE::TESLeveledList* list, const std::vector<RE::TESForm*>* formsToAdd, bool replace,
                           RE::TESCondition* condition);

// Saved records live in the plug-in's state; lookups by name return the earliest record.
bool SaveLeveledList(RE::TESLeveledList* list, const std::string& name);
SavedLeveledListData* GetSavedLeveledListDataByName(const std::string& name);
// The same lookup, without a log line.
SavedLeveledListData* FindSavedLeveledList(std::string_view name);
void ClearSavedLeveledLists();
// Every record, in the order of saving; they stay in place while more are saved.
const std::deque<SavedLeveledListData>& SavedLeveledLists() noexcept;
// The list holds again exactly the array it held when saved.
void RestoreLeveledList(RE::TESLeveledList* list, const SavedLeveledListData& saved);

// A city's lists are saved under the city's name, "_" and the list's role.
inline constexpr std::string_view kCitizenListRole = "CitizenLeveledCharacterForm";
inline constexpr std::string_view kFemaleOutfitListRole = "FemaleOutfitLeveledItemForm";
inline constexpr std::string_view kMaleOutfitListRole = "MaleOutfitLeveledItemForm";
std::string SavedListName(std::string_view cityName, std::string_view role);
