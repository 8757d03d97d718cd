#pragma once
// Conversions between the texts Windows hands out (wide) and the plug-in's texts: UTF-8 for log
// lines, the ANSI code page where the game expects the bytes an ANSI call would give.
#include <string>
#include <string_view>

namespace Win {

std::string ToUtf8(std::wstring_view text);
// Invalid UTF-8 sequences become U+FFFD.
std::wstring FromUtf8(std::string_view text);
std::string ToAnsi(std::wstring_view text);
std::wstring FromAnsi(std::string_view text);

}  // namespace Win
