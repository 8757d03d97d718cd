#include "GameFolder.h"

#include "Main/Cities/CityFolderCache.h"
#include "Main/Cities/CityRecord.h"
#include "Win/Text.h"

#include <windows.h>

#include <fstream>
#include <sstream>

namespace test {

GameFolder::GameFolder() : previous_(std::filesystem::current_path()) {
  std::filesystem::create_directories(dataFolder());
  std::filesystem::current_path(path());
}

GameFolder::~GameFolder() {
  // The plug-in lets go of the city folders it watches and the process of its current directory, or
  // they could not be removed.
  CityFolderCacheState.Reset();
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
}

void ChangeWatchedFolder(const std::filesystem::path& folder, const std::function<void()>& change) {
  const auto before = CityFolderChangesNoticed(folder);
  change();
  if (!before) return;
  // The plug-in's watching thread hears of the change a moment later; a rebuild before that could
  // still serve the kept reading, which no data author could ever see happen.
  for (int waited = 0; waited < 5000 && CityFolderChangesNoticed(folder) == before; ++waited) Sleep(1);
}

void WriteFile(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::create_directories(path.parent_path());
  ChangeWatchedFolder(path.parent_path(), [&] {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
  });
}

bool RemoveFile(const std::filesystem::path& path) {
  bool removed = false;
  ChangeWatchedFolder(path.parent_path(), [&] { removed = std::filesystem::remove(path); });
  return removed;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string LocationFolderText(City city) { return Win::ToUtf8(CityRecordOf(city).folder.native()); }

}  // namespace test
