#pragma once
// Access to the plug-in's INI files. folder ends in a backslash; empty means the plug-in folder
// base. The extension ".ini" is added to fileName (UTF-8). Sections, keys and values are the bytes
// the ANSI profile calls would give: the game receives values exactly as the file holds them. The
// composed path is limited; the folder it names may lie at any depth.
#include <filesystem>
#include <string>
#include <string_view>

namespace Ini {

inline constexpr std::wstring_view kPluginFolder = L".\\Data\\SFSE\\Plugins\\";
inline constexpr std::wstring_view kDataFolder = L".\\Data\\SFSE\\Plugins\\Quillmere\\";
inline constexpr std::size_t kMaxPathLength = 255;

bool IniFileExists(std::string_view fileName, const std::filesystem::path& folder);
// The file exists and can be opened for reading.
bool IniFileReadable(std::string_view fileName, const std::filesystem::path& folder);
// The file's full path in UTF-8, for log lines.
std::string IniFilePath(std::string_view fileName, const std::filesystem::path& folder);
std::string ReadIniValue(std::string_view fileName, std::string_view section, std::string_view key,
                         const std::filesystem::path& folder);
bool WriteIniValue(std::string_view fileName, std::string_view section, std::string_view key, std::string_view value,
                   const std::filesystem::path& folder);

}  // namespace Ini
