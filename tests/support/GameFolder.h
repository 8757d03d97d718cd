#pragma once
// A fresh game folder as the current directory, for as long as the object lives.
#include <filesystem>
#include <functional>
#include <string>

namespace test {

class GameFolder {
 public:
  GameFolder();
  ~GameFolder();
  GameFolder(const GameFolder&) = delete;
  GameFolder& operator=(const GameFolder&) = delete;

  const std::filesystem::path& path() const noexcept { return path_; }
  // Data\SFSE\Plugins\Quillmere, created with the folder.
  std::filesystem::path dataFolder() const { return path_ / "Data" / "SFSE" / "Plugins" / "Quillmere"; }

 private:
  std::filesystem::path previous_;
  std::filesystem::path path_;
};

// A city's folder as the plug-in's log lines print it.
std::string LocationFolderText(int city);

// Makes a change in a folder and, when the plug-in watches it, returns once the plug-in has
// noticed a change there (or after five seconds).
void ChangeWatchedFolder(const std::filesystem::path& folder, const std::function<void()>& change);
// Writes text to a file, creating its folder; removes a file. Both through ChangeWatchedFolder.
void WriteFile(const std::filesystem::path& path, const std::string& text);
bool RemoveFile(const std::filesystem::path& path);
std::string ReadFile(const std::filesystem::path& path);

}  // namespace test
