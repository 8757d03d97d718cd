#pragma once
// City folders as the database builds read them, kept between builds. A generated citizen's draws
// rebuild small databases every few citizens; reading the folder each time costs a listing and a
// read per data file on the game thread (far more where a mod manager's virtual file system sits
// in between). A kept folder is read again only when Windows has reported a change in it, and
// always after Forget, which the explicit reloads call.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Helpers/TextFile.h"
#include "Win/FolderWatcher.h"

struct CityFolderContents;  // one reading of a folder; defined with the cache

// A folder as one build sees it: taken once, with at most one change query.
class CityFolderView {
 public:
  // GetFileNamesInDirectory over this view: the same names, order and log lines.
  std::vector<std::string> FileNames(const std::string& sDBName) const;

  struct File {
    bool exists = false;
    std::shared_ptr<const TextFile::Contents> contents;  // null when it does not exist
  };
  // A listed file's decoded contents, read from disk unless this view's reading already holds them.
  File Read(const std::string& name) const;

 private:
  friend CityFolderView TakeCityFolder(const std::filesystem::path& folder);
  std::filesystem::path folder_;
  std::shared_ptr<CityFolderContents> contents_;
};

// The folder (a city record's folder) for one build.
CityFolderView TakeCityFolder(const std::filesystem::path& folder);

// The next build of the folder, or of every folder, reads from disk.
void ForgetCityFolder(const std::filesystem::path& folder);
void ForgetCityFolders();

// Changes noticed in the folder so far; empty while it is not watched. Lets a writer wait until a
// change it made has been noticed (the notice reaches the watching thread a moment after the write).
std::optional<std::uint64_t> CityFolderChangesNoticed(const std::filesystem::path& folder);

struct CityFolderCacheRecord {
  struct Folder {
    std::shared_ptr<FolderWatcher::Watch> watch;  // null: read from disk at every build
    bool warned = false;                          // the failed watch has been logged
    std::shared_ptr<CityFolderContents> contents;
  };
  std::mutex lock;
  std::map<std::wstring, Folder> folders;  // by full path, without a closing separator
  FolderWatcher watcher;
  // Listings and file reads done, for the benchmarks.
  std::atomic<std::uint64_t> diskReads{0};

  // Stops watching and forgets every folder.
  void Reset();
};

extern CityFolderCacheRecord CityFolderCacheState;
