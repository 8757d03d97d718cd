#include "Parse/LocationValues.h"

#include <exception>

namespace Parse {
namespace {

bool OnlyCharacters(const std::string& text, const char* allowed) {
  return !text.empty() && text.find_first_not_of(allowed) == std::string::npos;
}

}  // namespace

// The standard conversions, caught on the spot: an out-of-range value falls back like an empty one.
float LocationHeight(const std::string& text) {
  if (!OnlyCharacters(text, ".0123456789")) return kDefaultHeight;
  try {
    return std::stof(text);
  } catch (const std::exception&) {
    return kDefaultHeight;
  }
}

int LocationPercent(const std::string& text) {
  if (!OnlyCharacters(text, "0123456789")) return kDefaultFemalePercent;
  try {
    return std::stoi(text);
  } catch (const std::exception&) {
    return kDefaultFemalePercent;
  }
}

bool LocationFlag(const std::string& text) { return text == "1"; }

}  // namespace Parse
