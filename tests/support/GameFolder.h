#pragma once
// A fresh game folder as the current directory, for as long as the object lives; a folder that
// cannot be removed afterwards fails the test.
#include <filesystem>
#include <functional>
#include <string>

#include "Main/Game/Cities.h"
#include "TempFolder.h"

namespace test {

class GameFolder {
 public:
  GameFolder();
  ~GameFolder();
  GameFolder(const GameFolder&) = delete;
  GameFolder& operator=(const GameFolder&) = delete;

  const std::filesystem::path& path() const noexcept { return folder_.path(); }
  // Data\SFSE\Plugins\Quillmere, created with the folder.
  std::filesystem::path dataFolder() const { return path() / "Data" / "SFSE" / "Plugins" / "Quillmere"; }

 private:
  std::filesystem::path previous_;
  TempFolder folder_{L"bw-game-"};  // removed after the destructor has let go of it
};

// A city's folder as the plug-in's log lines print it.
std::string LocationFolderText(City city);

// Makes a change in a folder and, when the plug-in watches it, returns once the plug-in has
// noticed a change there (or after five seconds).
void ChangeWatchedFolder(const std::filesystem::path& folder, const std::function<void()>& change);
// Writes text to a file, creating its folder; removes a file. Both through ChangeWatchedFolder.
void WriteFile(const std::filesystem::path& path, const std::string& text);
bool RemoveFile(const std::filesystem::path& path);
std::string ReadFile(const std::filesystem::path& path);

}  // namespace test
