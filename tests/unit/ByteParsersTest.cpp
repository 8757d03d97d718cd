// The byte parsers shared with the native fuzz build, where they must read exactly as the plug-in's
// platform reads: here, on Windows, against the C library conversions they stand in for.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "Parse/ConsoleData.h"
#include "Parse/UniqueNPCValues.h"

namespace {

std::optional<std::uint32_t> WithStoul(const std::string& word) {
  try {
    return static_cast<std::uint32_t>(std::stoul(word, nullptr, 16));
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<float> WithStof(const std::string& text) {
  try {
    return std::stof(text);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<int> WithStoi(const std::string& digits) {
  try {
    return std::stoi(digits);
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

TEST(ByteParsers, HeightsAndEncounterChancesReadAsStofAndStoiReadThem) {
  const char* const heights[] = {
      "1.05",      " 2",  "+.5",  "-0",   "1e38", "1e39", "-1e39", "1e-39", "1e-46", "0x1p3",        "inf",
      "-INFINITY", "nan", "1.5x", "x1.5", ".",    "e5",   "",      " ",     "\t\n7", "3.4028235e38", "3.4028236e38",
  };
  for (const std::string text : heights) {
    const auto expected = WithStof(text), read = Parse::UniqueNPCHeight(text);
    ASSERT_EQ(read.has_value(), expected.has_value()) << '"' << text << '"';
    if (expected && !std::isnan(*expected)) {
      EXPECT_EQ(*read, *expected) << '"' << text << '"';
    }
  }
  const char* const chances[] = {"1",          "100",        "007",        "0",           "101",
                                 "2147483647", "2147483648", "4294967296", "99999999999", "0000000000000000000050",
                                 "21474836470"};
  using Status = Parse::EncounterChance::Status;
  for (const std::string digits : chances) {
    const auto expected = WithStoi(digits);
    const auto chance = Parse::EncounterChanceOf(digits);
    EXPECT_EQ(chance.status == Status::Unreadable, !expected) << digits;
    if (expected) {
      EXPECT_EQ(chance.value, *expected) << digits;
    }
  }
}
