#include "Win/Text.h"

#include <windows.h>

namespace Win {
namespace {

std::string Narrow(UINT codePage, std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
  if (length > 0) WideCharToMultiByte(codePage, 0, text.data(), size, result.data(), length, nullptr, nullptr);
  return result;
}

std::wstring Widen(UINT codePage, std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
  std::wstring result(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
  if (length > 0) MultiByteToWideChar(codePage, 0, text.data(), size, result.data(), length);
  return result;
}

}  // namespace

std::string ToUtf8(std::wstring_view text) { return Narrow(CP_UTF8, text); }
std::wstring FromUtf8(std::string_view text) { return Widen(CP_UTF8, text); }
std::string ToAnsi(std::wstring_view text) { return Narrow(CP_ACP, text); }
std::wstring FromAnsi(std::string_view text) { return Widen(CP_ACP, text); }

}  // namespace Win
