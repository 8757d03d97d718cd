#pragma once
// Random draws from a city's databases: each drawn entry is removed, and an emptied database is
// rebuilt from its data files, so every entry comes out once per cycle.
#include <string>

#include "Main/Cities/CityRecord.h"
#include "RE/B/BGSKeyword.h"
#include "RE/B/BGSVoiceType.h"

// Uniform over [min, max], from a fresh engine seeded by the platform's random device.
int GetRandomIntInRange(int min, int max);

RE::BGSKeyword* GetRandomAnimFromDB(bool bFemale, CityRecord& city);
RE::BGSVoiceType* GetRandomVoiceFromDB(bool bFemale, CityRecord& city);
std::string GetRandomNameFromDB(bool bFemale, CityRecord& city);
std::string GetRandomLastNameFromDB(bool bFemale, CityRecord& city);
