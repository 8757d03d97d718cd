#pragma once
// A line of a city's form database: "<hexadecimal form ID>_<plug-in file>", read by parts.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Parse {

// The plug-in file named after the first "_", up to and including its last ".esl", ".esp" or ".esm"
// (tried in that order, case ignored); empty when none.
std::string PluginNameOfLine(std::string_view line);

// The form ID text: before the first "_", without "x", tabs, blanks and leading zeros, cut at ";".
std::string FormIDOfLine(std::string_view line);

// A form ID text as the form lookup reads it: hexadecimal from its start (std::stoul), up to the first
// character that is no hex digit. None when no digit starts it or the number does not fit.
struct LocalIDReading {
  std::uint32_t value;
  std::size_t charactersRead;  // less than the text's length when the text is not all one number
};
std::optional<LocalIDReading> ReadLocalID(const std::string& formID);

}  // namespace Parse
