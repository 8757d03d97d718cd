#include "Parse/FormLine.h"

#include <cctype>
#include <exception>

namespace Parse {
namespace {

// Where the last case-insensitive occurrence of a four-character extension starts, if any.
std::size_t FindLastIgnoringCase(std::string_view text, std::string_view extension) {
  for (std::size_t at = text.size() >= extension.size() ? text.size() - extension.size() + 1 : 0; at-- > 0;) {
    bool equal = true;
    for (std::size_t i = 0; i < extension.size() && equal; ++i)
      equal = std::tolower(static_cast<unsigned char>(text[at + i])) == extension[i];
    if (equal) return at;
  }
  return std::string_view::npos;
}

}  // namespace

std::string PluginNameOfLine(std::string_view line) {
  const auto underscore = line.find('_');
  if (underscore == std::string_view::npos) return {};
  const auto text = line.substr(underscore + 1);
  for (const std::string_view extension : {".esl", ".esp", ".esm"}) {
    if (const auto at = FindLastIgnoringCase(text, extension); at != std::string_view::npos)
      return std::string(text.substr(0, at + extension.size()));
  }
  return {};
}

std::string FormIDOfLine(std::string_view line) {
  std::string text;
  for (const char c : line.substr(0, line.find('_')))
    if (c != 'x' && c != '\t' && c != ' ' && !(c == '0' && text.empty())) text += c;
  return text.substr(0, text.find(';'));
}

std::optional<LocalIDReading> ReadLocalID(const std::string& formID) {
  try {
    std::size_t read = 0;
    const auto value = std::stoul(formID, &read, 16);
    return LocalIDReading{static_cast<std::uint32_t>(value), read};
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace Parse
