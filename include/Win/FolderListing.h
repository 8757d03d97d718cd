#pragma once
// The one way the plug-in and its checker list a folder.
#include <filesystem>
#include <optional>
#include <vector>

namespace Win {

// The names of the regular files directly in folder, in the order Windows lists them; nullopt when
// the folder cannot be listed. An entry that cannot be read is passed over, not the rest.
std::optional<std::vector<std::filesystem::path>> ListFiles(const std::filesystem::path& folder);

}  // namespace Win
