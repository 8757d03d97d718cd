#pragma once
// A line of a city's form database: "<hexadecimal form ID>_<plug-in file>", read by parts.
#include <string>
#include <string_view>

namespace Parse {

// The plug-in file named after the first "_", up to and including its last ".esl", ".esp" or ".esm"
// (tried in that order, case ignored); empty when none.
std::string PluginNameOfLine(std::string_view line);

// The form ID text: before the first "_", without "x", tabs, blanks and leading zeros, cut at ";".
std::string FormIDOfLine(std::string_view line);

}  // namespace Parse
