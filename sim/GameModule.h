#pragma once
// The game executable as the plug-in sees it: its module base and the address library file it
// ships for its own version.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// Ways to hand the plug-in a faulty address library, for the fatal paths.
struct AddressLibraryOptions {
  std::optional<std::string> headerVersion;  // default: the module's own product version
  std::int32_t format = 2;
  std::vector<std::uint64_t> dropIDs;   // left out of the file
  std::vector<std::uint64_t> nullIDs;   // resolve to address 0
  std::vector<std::uint64_t> wildIDs;   // a singleton whose pointer leads nowhere (unmapped memory)
  std::int32_t extraDeclaredCount = 0;  // header claims more entries than the file holds
  std::optional<int> platform;          // file name suffix; default: as the running process decides
};

std::uintptr_t ModuleBase();
std::string ModuleProductVersion();

// Starts the game in the current directory: creates its world, guards the IDs it does not model
// and writes its address library file. Returns the file's path.
std::filesystem::path StartGame(const AddressLibraryOptions& options = {});

// Data\SFSE\Plugins\versionlib-<version>[-<platform>].bin below the current directory.
std::filesystem::path AddressLibraryPath(int platform);

}  // namespace sim
