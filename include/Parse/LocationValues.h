#pragma once
// The values of a city's LocationData.ini, as the profile calls return them. A value that is not the
// plain number its key takes (or does not fit) gives the key's default.
#include <string>

namespace Parse {

inline constexpr float kDefaultHeight = 1.0f;
inline constexpr int kDefaultFemalePercent = 50;

// Digits and dots only, read as a decimal number.
float LocationHeight(const std::string& text);
// Digits only, read as a decimal integer.
int LocationPercent(const std::string& text);
// On only for exactly "1".
bool LocationFlag(const std::string& text);

}  // namespace Parse
