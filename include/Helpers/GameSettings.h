#pragma once
// The game's own INI settings, read and written in its in-memory collection by full name
// ("name:Section", matched exactly).
#include <string>

#include "RE/I/INISettingCollection.h"

namespace GameSettings {

inline constexpr int kFloat = 1;
inline constexpr int kBool = 3;

}  // namespace GameSettings

// The setting of that exact name in the game's collection, or null.
RE::Setting* FindGameINISetting(const std::string& name) noexcept;

// The value as text: a float setting (type 1) with six decimals, a flag (type 3) as "0" or "1".
// Empty for an empty or unknown name and for any other type.
std::string GetGameINISettingValue(const std::string& name, int type);

// Writes the value text into the setting: type 1 as a float (false when it is NaN), type 3 as a
// flag, non-zero whole number 1. False for an empty or unknown name, another type, or a text that
// does not convert (logged).
bool SetGameINISetting(const std::string& sSetting, const std::string& sValue, int iSettingType);
