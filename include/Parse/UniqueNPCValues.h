#pragma once
// The values of a unique NPC's definition file, as the profile calls return them.
#include <optional>
#include <string>
#include <string_view>

namespace Parse {

// A form reference: "<hexadecimal form ID>_<plug-in file>", or the bare ID (plug-in empty: the game's master).
struct FormReference {
  std::string formID;
  std::string plugin;
};
FormReference FormReferenceOf(const std::string& text);

// The definition's name: the file name up to its last "." or "/".
std::string DefinitionName(const std::string& fileName);

// fHeight as std::stof reads it; nothing when it is no number or out of range.
std::optional<float> UniqueNPCHeight(const std::string& text);

// iEncounterChance: digits only, then read as a decimal integer, then 1 to 100.
struct EncounterChance {
  enum class Status { Ok, Empty, NotDigits, Unreadable, OutOfRange };
  Status status;
  int value;  // read for Ok and OutOfRange
};
EncounterChance EncounterChanceOf(const std::string& text);

}  // namespace Parse
