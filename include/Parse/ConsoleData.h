#pragma once
// What the console compiled for the command: the raw parameter text behind its length byte, its words,
// and the two numbers its first two words give.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Parse {

inline constexpr std::size_t kRawTextLengthOffset = 6;
inline constexpr std::size_t kRawTextOffset = 8;
// Raw parameter text beyond this is cut off: the command never needs more.
inline constexpr std::size_t kMaxRawParameterText = 150;

// The raw text: as many bytes as the length byte says, cut at kMaxRawParameterText, never past the data.
std::string_view RawParameterText(std::span<const std::uint8_t> compiledData) noexcept;

// The white-space separated words of text, in order.
std::vector<std::string> Words(std::string_view text);

// Signed decimal, leading blanks and a sign allowed, trailing characters ignored; as std::stoi.
std::optional<int> DecimalInt(const std::string& word);
// Hexadecimal, "0x" allowed, trailing characters ignored, more than 32 bits out of range: as std::stoul
// with Windows' 32-bit unsigned long, whatever the build's own width.
std::optional<std::uint32_t> HexUInt32(std::string_view word);

struct ConsoleParameters {
  enum class Status { Ok, EmptyText, TooFewWords, BadFuncIndex, BadFuncParam1 };
  Status status = Status::EmptyText;
  std::string raw;                 // the words joined by single blanks
  std::vector<std::string> words;  // the words of raw
  int funcIndex = 0;
  std::uint32_t funcParam1 = 0;
};

// Reads the parameters from the raw text, stopping at the first step that fails.
ConsoleParameters ReadConsoleParameters(std::string_view rawText);

}  // namespace Parse
