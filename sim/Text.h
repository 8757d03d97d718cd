#pragma once
// Text as the sim prints and reports it: UTF-8 throughout, whatever the game or the plug-in handed it.
#include <filesystem>
#include <string>
#include <string_view>

namespace sim {

std::string Utf8FromWide(std::wstring_view text);
std::wstring WideFromUtf8(std::string_view text);
// Text in the Windows code page (what the ANSI calls take) as UTF-8.
std::string Utf8FromCodePage(std::string_view text);

// A path as UTF-8, whatever letters it holds.
std::string PathText(const std::filesystem::path& path);
// A path from UTF-8 text (a command-line argument).
std::filesystem::path PathFromUtf8(std::string_view text);

// The text with every byte that is not part of a valid UTF-8 sequence replaced by U+FFFD.
std::string ValidUtf8(std::string_view text);

// Any bytes as one line of printable text: "\\", "\r", "\n", "\t" and "\xHH" for the bytes that
// are not printable ASCII; blanks stay. DecodeEscapes gives the bytes back and throws on a bad escape.
std::string EncodeEscapes(std::string_view bytes);
std::string DecodeEscapes(std::string_view text);

}  // namespace sim
