#include "Parse/UniqueNPCValues.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <limits>

namespace Parse {

FormReference FormReferenceOf(const std::string& text) {
  const auto underscore = text.find('_');
  if (underscore == std::string::npos) return {text, {}};
  return {text.substr(0, underscore), text.substr(underscore + 1)};
}

std::string DefinitionName(const std::string& fileName) { return fileName.substr(0, fileName.find_last_of("/.")); }

// std::stof's own test without its exceptions, which cost far more than the conversion: nothing read is
// invalid_argument, ERANGE is out_of_range.
std::optional<float> UniqueNPCHeight(const std::string& text) {
  const char* const begin = text.c_str();
  char* end = nullptr;
  const int savedErrno = errno;
  errno = 0;
  const float value = std::strtof(begin, &end);
  const bool outOfRange = errno == ERANGE;
  if (errno == 0) errno = savedErrno;
  if (end == begin || outOfRange) return std::nullopt;
  return value;
}

EncounterChance EncounterChanceOf(const std::string& text) {
  using Status = EncounterChance::Status;
  if (text.empty()) return {Status::Empty, 0};
  if (!std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; }))
    return {Status::NotDigits, 0};
  // Digits only, so std::stoi could fail only past INT_MAX: read here without its exception.
  int chance = 0;
  for (const char c : text) {
    const int digit = c - '0';
    if (chance > (std::numeric_limits<int>::max() - digit) / 10) return {Status::Unreadable, 0};
    chance = chance * 10 + digit;
  }
  return {chance < 1 || chance > 100 ? Status::OutOfRange : Status::Ok, chance};
}

}  // namespace Parse
