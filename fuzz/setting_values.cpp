// Proves: each kind of Settings.ini value (flag, integer, decimal) is converted without a crash or an
// escaping exception; empty keeps or falls back as its kind says, a flag is on only for "1", digits-only
// keys refuse anything else, and short plain numbers come out exactly.
#include <cmath>

#include "FuzzInput.h"
#include "Parse/SettingValues.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::int32_t kFallback = -7;
  constexpr float kDecimalFallback = -7.5f;
  const std::string text(fuzz::Text(data, size));
  const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;

  const auto flag = Parse::SettingFlag(text);
  FUZZ_CHECK(flag.has_value() == !text.empty());
  if (flag) FUZZ_CHECK(*flag == (text == "1"));

  const auto onlyDigits = Parse::SettingDigits(text, kFallback);
  if (!digits) FUZZ_CHECK(onlyDigits == kFallback);
  if (digits) FUZZ_CHECK(onlyDigits >= 0 || onlyDigits == kFallback);

  const auto integer = Parse::SettingInteger(text, kFallback);
  if (text.empty()) FUZZ_CHECK(integer == kFallback);
  if (digits && text.size() <= 9) {
    std::int32_t expected = 0;
    for (const char c : text) expected = expected * 10 + (c - '0');
    FUZZ_CHECK(onlyDigits == expected && integer == expected);
  }

  const float decimal = Parse::SettingDecimal(text, kDecimalFallback);
  if (text.empty()) FUZZ_CHECK(decimal == kDecimalFallback);
  if (digits && text.size() <= 6) FUZZ_CHECK(decimal == static_cast<float>(onlyDigits));
  return 0;
}
