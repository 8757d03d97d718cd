#pragma once
// The game's state as far as the plug-in reaches it: forms, singletons, and what the game's own
// calls inside its patched functions returned.
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "RE/B/BGSLocation.h"
#include "RE/G/GameVM.h"
#include "RE/P/PlayerCharacter.h"
#include "RE/P/ProcessLists.h"
#include "ReadWriteLock.h"

namespace sim {

struct CityInfo {
  int index;
  const char* name;
  std::uint32_t locationFormID;
};
inline constexpr CityInfo kCities[] = {
    {1, "NewAtlantis", 0x0001295A},
    {2, "AkilaCity", 0x00010DFB},
    {3, "Cydonia", 0x00015FF7},
    {4, "Neon", 0x00015FFE},
};

// A city's lists as the game sees them: entry counts of its citizen list and its two outfit lists.
struct CityListSizes {
  int citizenList = 0, femaleOutfitList = 0, maleOutfitList = 0;
};
// The counts of a city's lists now; zeros before the plug-in's master file is loaded.
CityListSizes ListSizesOf(int city);

// One pass through a patched game function: what the game's own call returned and what the
// patched function saw come back; for a reset also what the reset proper, between the two patched
// calls, found in the cities' lists (city 1 to 4 at 0 to 3), and the game's appearance flag once the
// reset function returned.
struct ResetRecord {
  std::uint64_t argument;
  std::uint64_t beginReturned, beginObserved;
  std::uint64_t finishReturned, finishObserved;
  std::array<CityListSizes, 4> listsDuringReset;
  std::uint8_t appearanceFlagAfter;
};

struct World {
  // The game's form table is read from any thread while actors come and go: guarded as the game's is.
  ReadWriteLock formsLock;
  std::map<std::uint32_t, RE::TESForm*> forms;
  std::map<std::string, RE::NiPoint3> citySpots;  // where "enter CITY" puts the player
  std::vector<ResetRecord> resets;
};

World& GetWorld();

// Creates the game's objects; called once when the game starts.
void CreateWorld();

// Runs the game's reset function through its machine code.
ResetRecord RunResetGame(std::uint64_t argument);

// What the address library must answer for the IDs the sim models.
struct ModelledAddress {
  std::uint64_t id;
  std::uintptr_t address;
};
std::vector<ModelledAddress> ModelledAddresses();

std::uint8_t AppearanceFlagValue();
RE::ProcessLists* GameProcessLists();
std::uintptr_t ResetGameAddress();
std::uintptr_t AppearanceProcessAddress();

}  // namespace sim
