#pragma once
// Folders of the sim's (and its tests') own: created under a name no other process holds, now or
// later, and removed however deep they go and whatever letters they hold.
#include <filesystem>
#include <string>
#include <vector>

namespace sim {

// The user's temporary folder (GetTempPathW), however long.
std::filesystem::path TemporaryDirectory();

// Creates a new, empty folder in parent named prefix and a random part; throws std::runtime_error
// when none can be made. A name that exists already is never taken over.
std::filesystem::path CreateUniqueFolder(const std::filesystem::path& parent, const std::wstring& prefix);

// Removes the folder (or file) and everything in it; links are removed, never followed. Returns one
// "PATH: reason" line for each entry that could not be removed, none when all went or nothing was there.
std::vector<std::string> RemoveFolderTree(const std::filesystem::path& path);

}  // namespace sim
