// The byte parsers shared with the native fuzz build, where they must read exactly as the plug-in's
// platform reads: here, on Windows, against the C library conversions they stand in for.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "Parse/ConsoleData.h"

namespace {

std::optional<std::uint32_t> WithStoul(const std::string& word) {
  try {
    return static_cast<std::uint32_t>(std::stoul(word, nullptr, 16));
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace

TEST(ByteParsers, HexadecimalWordsReadAsTheWindowsStoulReadsThem) {
  static_assert(sizeof(unsigned long) == sizeof(std::uint32_t), "the comparison needs Windows' 32-bit stoul");
  const char* const words[] = {
      "0",         "1F",         "0x1F", "0X1f",   "0x",   "0X",   "0xg",      "x1",          "-1",
      "+f",        "-0x10",      "+0x",  "-",      "+",    "",     "ffffffff", "100000000",   "0000000000ffffffff",
      "-ffffffff", "-100000000", "1fz",  "0x0x1",  "\v1f", "\t-2", "g",        "0xffffffff1", "FFFFFFFFF",
      "00x5",      "0x-5",       "- 5",  "1A2B3C",
  };
  for (const std::string word : words) EXPECT_EQ(Parse::HexUInt32(word), WithStoul(word)) << '"' << word << '"';
}
