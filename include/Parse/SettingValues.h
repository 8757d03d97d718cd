#pragma once
// The values of Settings.ini, as the profile calls return them: flags, integers and decimals. A text the
// standard conversions cannot take (no number, out of range) gives the key's fallback.
#include <cstdint>
#include <optional>
#include <string>

namespace Parse {

// "1" is on, any other text off; nothing (empty) keeps the previous value.
std::optional<bool> SettingFlag(const std::string& text);
// Digits only, else the fallback.
std::int32_t SettingDigits(const std::string& text, std::int32_t fallback);
// A signed decimal integer (leading blanks, trailing characters allowed); empty gives the fallback.
std::int32_t SettingInteger(const std::string& text, std::int32_t fallback);
// A decimal number as std::stof reads it; empty gives the fallback.
float SettingDecimal(const std::string& text, float fallback);

}  // namespace Parse
