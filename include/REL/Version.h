#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace REL {

struct Version {
  std::array<std::uint16_t, 4> parts{};

  // The four numbers in decimal joined by separator: "1-14-70-0", "1.14.70.0".
  std::string string(char separator = '.') const;
  friend bool operator==(const Version&, const Version&) = default;
};

// "1.14.70.0" -> version; up to four pieces, each a decimal number of at most 16 bits.
std::optional<Version> ParseVersion(std::string_view text);

}  // namespace REL
