#pragma once
// Random draws from a city's databases: each drawn entry is removed, and an emptied database is
// rebuilt from its data files, so every entry comes out once per cycle.
#include <string>

#include "RE/B/BGSKeyword.h"
#include "RE/B/BGSVoiceType.h"

// Uniform over [min, max], from a fresh engine seeded by the platform's random device.
int GetRandomIntInRange(int min, int max);

RE::BGSKeyword* GetRandomAnimFromDB(bool bFemale, int iLocIndex);
RE::BGSVoiceType* GetRandomVoiceFromDB(bool bFemale, int iLocIndex);
std::string GetRandomNameFromDB(bool bFemale, int iLocIndex);
std::string GetRandomLastNameFromDB(bool bFemale, int iLocIndex);
