#include "Parse/SettingValues.h"

#include <exception>

namespace Parse {
namespace {

std::int32_t ToInt(const std::string& text, std::int32_t fallback) {
  try {
    return std::stoi(text);
  } catch (const std::exception&) {
    return fallback;
  }
}

}  // namespace

std::optional<bool> SettingFlag(const std::string& text) {
  if (text.empty()) return std::nullopt;
  return text == "1";
}

std::int32_t SettingDigits(const std::string& text, std::int32_t fallback) {
  const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
  return digits ? ToInt(text, fallback) : fallback;
}

std::int32_t SettingInteger(const std::string& text, std::int32_t fallback) {
  return text.empty() ? fallback : ToInt(text, fallback);
}

float SettingDecimal(const std::string& text, float fallback) {
  if (text.empty()) return fallback;
  try {
    return std::stof(text);
  } catch (const std::exception&) {
    return fallback;
  }
}

}  // namespace Parse
