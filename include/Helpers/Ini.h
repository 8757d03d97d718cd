#pragma once
// Access to the plug-in's INI files. folder ends in a backslash; empty means the plug-in folder
// base. The extension ".ini" is added to fileName.
#include <string>
#include <string_view>

namespace Ini {

inline constexpr std::string_view kPluginFolder = ".\\Data\\SFSE\\Plugins\\";
inline constexpr std::string_view kDataFolder = ".\\Data\\SFSE\\Plugins\\Quillmere\\";
inline constexpr std::size_t kMaxPathLength = 255;

bool IniFileExists(std::string_view fileName, std::string_view folder);
std::string ReadIniValue(std::string_view fileName, std::string_view section, std::string_view key,
                         std::string_view folder);
bool WriteIniValue(std::string_view fileName, std::string_view section, std::string_view key,
                   std::string_view value, std::string_view folder);

}  // namespace Ini
