#include "Helpers/Ini.h"

#include <windows.h>

#include <optional>
#include <vector>

namespace Ini {
namespace {

constexpr DWORD kValueBufferSize = 10000;

// A path longer than the profile functions accept is refused whole, never truncated.
std::optional<std::string> ComposePath(std::string_view fileName, std::string_view folder) {
  std::string path(folder.empty() ? kPluginFolder : folder);
  path.append(fileName).append(".ini");
  if (path.size() > kMaxPathLength) return std::nullopt;
  return path;
}

}  // namespace

bool IniFileExists(std::string_view fileName, std::string_view folder) {
  if (fileName.empty()) return false;
  const auto path = ComposePath(fileName, folder);
  return path && GetFileAttributesA(path->c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadIniValue(std::string_view fileName, std::string_view section, std::string_view key,
                         std::string_view folder) {
  if (fileName.empty() || section.empty() || key.empty() || !IniFileExists(fileName, folder)) return {};
  const auto path = ComposePath(fileName, folder);
  std::vector<char> value(kValueBufferSize, '\0');
  const DWORD length = GetPrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(), "",
                                                value.data(), kValueBufferSize, path->c_str());
  return std::string(value.data(), length);
}

bool WriteIniValue(std::string_view fileName, std::string_view section, std::string_view key,
                   std::string_view value, std::string_view folder) {
  if (fileName.empty() || section.empty() || key.empty()) return false;
  const auto path = ComposePath(fileName, folder);
  if (!path) return false;
  const std::string sectionText(section), keyText(key), valueText(value);
  WritePrivateProfileStringA(sectionText.c_str(), keyText.c_str(), valueText.c_str(), path->c_str());
  if (GetFileAttributesA(path->c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  std::vector<char> readBack(kValueBufferSize, '\0');
  const DWORD length = GetPrivateProfileStringA(sectionText.c_str(), keyText.c_str(), valueText.c_str(),
                                                readBack.data(), kValueBufferSize, path->c_str());
  return std::string_view(readBack.data(), length) == valueText;
}

}  // namespace Ini
