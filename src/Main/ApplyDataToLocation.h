#pragma once
#include "RE/B/BGSKeyword.h"

// Makes a city use the plug-in's data: rebuilds its databases, saves and refills its citizen and
// outfit lists, writes its female percentage into its global and publishes its citizen keyword.
// True when every refill succeeded.
bool ApplyDataToLocation(int location);

// The citizen keyword published for a city (1 to 4), or null before its data was applied.
RE::BGSKeyword* GetCitizenKeyword(int location) noexcept;
