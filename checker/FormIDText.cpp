#include "FormIDText.h"

#include <fmt/format.h>

#include "Parse/FormLine.h"

namespace check {

std::optional<std::string> WrongInItsText(const std::string& formID, const std::string& lookupDetails) {
  for (const char* own : {"HexFormID's length", "sHexFormIDNoPrefix is empty"})
    if (lookupDetails.find(own) != std::string::npos) return lookupDetails;
  if (const auto reading = Parse::ReadLocalID(formID); reading && reading->charactersRead == formID.size())
    return std::nullopt;
  return fmt::format(" (the form ID \"{}\" is not a hexadecimal number)", formID);
}

}  // namespace check
