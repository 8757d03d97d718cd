#pragma once
// A fresh game folder as the current directory, for as long as the object lives.
#include <filesystem>
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

// Writes text to a file, creating its folder.
void WriteFile(const std::filesystem::path& path, const std::string& text);
std::string ReadFile(const std::filesystem::path& path);

}  // namespace test
