#pragma once
// Helpers the fuzz targets share: the input as text fields, and a failed property as a crash that
// libFuzzer reports with the input.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

inline std::string_view Text(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The input cut at each '\n' (the last field may be empty).
inline std::vector<std::string> Fields(std::string_view text) {
  std::vector<std::string> fields;
  while (true) {
    const auto end = text.find('\n');
    fields.emplace_back(text.substr(0, end));
    if (end == std::string_view::npos) return fields;
    text.remove_prefix(end + 1);
  }
}

[[noreturn]] inline void Fail(const char* what, int line) {
  std::fprintf(stderr, "property failed at line %d: %s\n", line, what);
  std::abort();
}

}  // namespace fuzz

#define FUZZ_CHECK(condition)                             \
  do {                                                    \
    if (!(condition)) ::fuzz::Fail(#condition, __LINE__); \
  } while (false)
