#include "Parse/ConsoleData.h"

#include <algorithm>
#include <exception>
#include <sstream>

namespace Parse {
namespace {

// White space as the C locale has it: what std::stoul skips before a number.
bool IsSpace(char c) noexcept { return c == ' ' || (c >= '\t' && c <= '\r'); }

int HexDigit(char c) noexcept {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string_view RawParameterText(std::span<const std::uint8_t> compiledData) noexcept {
  if (compiledData.size() <= kRawTextLengthOffset) return {};
  const std::size_t available = compiledData.size() > kRawTextOffset ? compiledData.size() - kRawTextOffset : 0;
  const std::size_t length =
      std::min({static_cast<std::size_t>(compiledData[kRawTextLengthOffset]), kMaxRawParameterText, available});
  return {reinterpret_cast<const char*>(compiledData.data()) + kRawTextOffset, length};
}

std::vector<std::string> Words(std::string_view text) {
  std::vector<std::string> words;
  std::istringstream stream{std::string(text)};
  for (std::string word; stream >> word;) words.push_back(std::move(word));
  return words;
}

std::optional<int> DecimalInt(const std::string& word) {
  try {
    return std::stoi(word);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

// The Windows C library's rules: white space, a sign (a minus negates modulo 2^32), "0x" taken as a prefix
// even when no digit follows it (then there is no number), at least one digit, and a magnitude within
// 32 bits.
std::optional<std::uint32_t> HexUInt32(std::string_view word) {
  std::size_t at = 0;
  while (at < word.size() && IsSpace(word[at])) ++at;
  bool negative = false;
  if (at < word.size() && (word[at] == '+' || word[at] == '-')) negative = word[at++] == '-';
  if (at + 1 < word.size() && word[at] == '0' && (word[at + 1] == 'x' || word[at + 1] == 'X')) at += 2;
  std::uint64_t value = 0;
  bool digits = false;
  for (; at < word.size(); ++at) {
    const int digit = HexDigit(word[at]);
    if (digit < 0) break;
    digits = true;
    value = value * 16 + static_cast<std::uint64_t>(digit);
    if (value > 0xFFFFFFFFu) return std::nullopt;
  }
  if (!digits) return std::nullopt;
  const auto result = static_cast<std::uint32_t>(value);
  return negative ? static_cast<std::uint32_t>(0u - result) : result;
}

ConsoleParameters ReadConsoleParameters(std::string_view rawText) {
  ConsoleParameters parameters;
  for (const auto& word : Words(rawText)) {
    if (!parameters.raw.empty()) parameters.raw += ' ';
    parameters.raw += word;
  }
  if (parameters.raw.empty()) return parameters;
  parameters.words = Words(parameters.raw);
  if (parameters.words.size() < 2) {
    parameters.status = ConsoleParameters::Status::TooFewWords;
    return parameters;
  }
  const auto index = DecimalInt(parameters.words[0]);
  if (!index) {
    parameters.status = ConsoleParameters::Status::BadFuncIndex;
    return parameters;
  }
  const auto param1 = HexUInt32(parameters.words[1]);
  if (!param1) {
    parameters.status = ConsoleParameters::Status::BadFuncParam1;
    return parameters;
  }
  parameters.funcIndex = *index;
  parameters.funcParam1 = *param1;
  parameters.status = ConsoleParameters::Status::Ok;
  return parameters;
}

}  // namespace Parse
