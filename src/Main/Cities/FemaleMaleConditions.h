#pragma once
// The prepared female/male conditions of the plug-in's master file, found on its condition holders.
#include "Main/Game/Cities.h"
#include "RE/T/TESLeveledList.h"

inline constexpr const char* kPluginMasterFile = "QuillmereLight.esm";

enum class ConditionKind { Ratio, Outfit };

// The condition on the holder's entry for the city's female or male dummy NPC; null when none.
RE::TESCondition* GetFemaleMaleCondition(City city, ConditionKind kind, bool female);
