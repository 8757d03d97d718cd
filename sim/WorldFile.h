#pragma once
// Reads a world file (see README.md): the game's plug-in files, its forms and the cities' spots.
#include <filesystem>

namespace sim {

// Adds the world's files and forms to the running game; the plug-in's master file
// QuillmereLight.esm follows the world's full files. A malformed file throws with its reason.
void LoadWorld(const std::filesystem::path& path);

// Declares QuillmereLight.esm alone, for a game started without a world file.
void LoadPluginMasterOnly();

}  // namespace sim
