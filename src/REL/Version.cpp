#include "REL/Version.h"

#include <charconv>

namespace REL {

std::string Version::string(char separator) const {
  std::string text;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i) text += separator;
    text += std::to_string(parts[i]);
  }
  return text;
}

std::optional<Version> ParseVersion(std::string_view text) {
  Version version;
  std::size_t index = 0;
  while (index < version.parts.size()) {
    const auto dot = text.find('.');
    const auto piece = text.substr(0, dot);
    std::uint16_t value = 0;
    const auto [end, error] = std::from_chars(piece.data(), piece.data() + piece.size(), value);
    if (piece.empty() || error != std::errc{} || end != piece.data() + piece.size()) return std::nullopt;
    version.parts[index++] = value;
    if (dot == std::string_view::npos) break;
    text.remove_prefix(dot + 1);
  }
  return version;
}

}  // namespace REL
