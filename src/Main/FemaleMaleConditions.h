#pragma once
// The prepared female/male conditions of the plug-in's master file, found on its condition holders.
#include "RE/T/TESLeveledList.h"

inline constexpr const char* kPluginMasterFile = "QuillmereLight.esm";

enum ConditionKind : int {
  kRatioCondition = 0,
  kOutfitCondition = 1,
};

// The condition on the holder's entry for the city's female or male dummy NPC; null when none.
RE::TESCondition* GetFemaleMaleCondition(int location, int kind, bool female);
