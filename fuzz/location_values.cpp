// Proves: a LocationData.ini value never crashes the conversions or escapes them as an exception; a
// value that is not plain digits (and dots, for heights) gives the default, and a short digit string
// gives exactly its number.
#include <cmath>

#include "FuzzInput.h"
#include "Parse/LocationValues.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(fuzz::Text(data, size));
  const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
  const bool decimal = !text.empty() && text.find_first_not_of(".0123456789") == std::string::npos;

  const float height = Parse::LocationHeight(text);
  if (!decimal) FUZZ_CHECK(height == Parse::kDefaultHeight);
  FUZZ_CHECK(!std::isnan(height) && height >= 0.0f);

  const int percent = Parse::LocationPercent(text);
  if (!digits) FUZZ_CHECK(percent == Parse::kDefaultFemalePercent);
  FUZZ_CHECK(percent >= 0);
  if (digits && text.size() <= 9) {
    int expected = 0;
    for (const char c : text) expected = expected * 10 + (c - '0');
    FUZZ_CHECK(percent == expected);
  }

  FUZZ_CHECK(Parse::LocationFlag(text) == (text == "1"));
  return 0;
}
