#include "Win/FolderListing.h"

#include <system_error>

namespace Win {

std::optional<std::vector<std::filesystem::path>> ListFiles(const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::directory_iterator it(folder, error);
  if (error) return std::nullopt;
  std::vector<std::filesystem::path> names;
  for (const std::filesystem::directory_iterator end; !error && it != end; it.increment(error)) {
    std::error_code entryError;
    if (it->is_regular_file(entryError)) names.push_back(it->path().filename());
  }
  return names;
}

}  // namespace Win
