#include "Helpers/Ini.h"

#include <windows.h>

#include <optional>
#include <vector>

#include "Win/Text.h"

namespace Ini {
namespace {

constexpr DWORD kValueBufferSize = 10000;

// A path longer than the profile functions accept is refused whole, never truncated.
std::optional<std::wstring> ComposePath(std::string_view fileName, const std::filesystem::path& folder) {
  std::wstring path(folder.empty() ? std::wstring(kPluginFolder) : folder.native());
  path.append(Win::FromUtf8(fileName)).append(L".ini");
  if (path.size() > kMaxPathLength) return std::nullopt;
  return path;
}

// The value as the ANSI call would have returned it: the file's bytes read through the code page.
std::string ReadProfileString(const std::wstring& section, const std::wstring& key, const wchar_t* fallback,
                              const std::wstring& path) {
  std::vector<wchar_t> value(kValueBufferSize, L'\0');
  const DWORD length =
      GetPrivateProfileStringW(section.c_str(), key.c_str(), fallback, value.data(), kValueBufferSize, path.c_str());
  return Win::ToAnsi(std::wstring_view(value.data(), length));
}

}  // namespace

bool IniFileExists(std::string_view fileName, const std::filesystem::path& folder) {
  if (fileName.empty()) return false;
  const auto path = ComposePath(fileName, folder);
  return path && GetFileAttributesW(path->c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadIniValue(std::string_view fileName, std::string_view section, std::string_view key,
                         const std::filesystem::path& folder) {
  if (fileName.empty() || section.empty() || key.empty() || !IniFileExists(fileName, folder)) return {};
  return ReadProfileString(Win::FromAnsi(section), Win::FromAnsi(key), L"", *ComposePath(fileName, folder));
}

bool WriteIniValue(std::string_view fileName, std::string_view section, std::string_view key, std::string_view value,
                   const std::filesystem::path& folder) {
  if (fileName.empty() || section.empty() || key.empty()) return false;
  const auto path = ComposePath(fileName, folder);
  if (!path) return false;
  const auto sectionText = Win::FromAnsi(section), keyText = Win::FromAnsi(key), valueText = Win::FromAnsi(value);
  WritePrivateProfileStringW(sectionText.c_str(), keyText.c_str(), valueText.c_str(), path->c_str());
  if (GetFileAttributesW(path->c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  return ReadProfileString(sectionText, keyText, valueText.c_str(), *path) == value;
}

}  // namespace Ini
