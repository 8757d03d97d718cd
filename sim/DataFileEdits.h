#pragma once
// A player or a data author editing the plug-in's INI files while the game runs.
#include <filesystem>
#include <string>

namespace sim {

// Writes key=value into [section] of the file at relativePath inside dataFolder (extension
// included), creating the file and its folders when missing, through the system's profile writer
// as an editor saving the file would leave it. A path that leaves the folder throws.
void WriteDataIniValue(const std::filesystem::path& dataFolder, const std::string& relativePath,
                       const std::string& section, const std::string& key, const std::string& value);

}  // namespace sim
