#include "Parse/UniqueNPCValues.h"

#include <algorithm>
#include <cctype>
#include <exception>

namespace Parse {

FormReference FormReferenceOf(const std::string& text) {
  const auto underscore = text.find('_');
  if (underscore == std::string::npos) return {text, {}};
  return {text.substr(0, underscore), text.substr(underscore + 1)};
}

std::string DefinitionName(const std::string& fileName) { return fileName.substr(0, fileName.find_last_of("/.")); }

std::optional<float> UniqueNPCHeight(const std::string& text) {
  try {
    return std::stof(text);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

EncounterChance EncounterChanceOf(const std::string& text) {
  using Status = EncounterChance::Status;
  if (text.empty()) return {Status::Empty, 0};
  if (!std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; }))
    return {Status::NotDigits, 0};
  int chance = 0;
  try {
    chance = std::stoi(text);
  } catch (const std::exception&) {
    return {Status::Unreadable, 0};
  }
  return {chance < 1 || chance > 100 ? Status::OutOfRange : Status::Ok, chance};
}

}  // namespace Parse
