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

// An author's editor at work on a file at relativePath inside dataFolder: writes the bytes as they
// stand (creating the folders), removes the file, renames it (replacing what has the new name), or
// holds it open for writing without sharing, as an editor does while it saves, until released. A
// path that leaves the folder throws, as does a failure of the system call.
void WriteDataFile(const std::filesystem::path& dataFolder, const std::string& relativePath, const std::string& bytes);
void RemoveDataFile(const std::filesystem::path& dataFolder, const std::string& relativePath);
void RenameDataFile(const std::filesystem::path& dataFolder, const std::string& from, const std::string& to);
void HoldDataFile(const std::filesystem::path& dataFolder, const std::string& relativePath);
void ReleaseDataFiles();

}  // namespace sim
