#include "Main/Cities/CityFolderCache.h"

#include "Helpers/Log.h"
#include "Main/Cities/LocationData.h"
#include "Win/LongPath.h"
#include "Win/Text.h"

CityFolderCacheRecord CityFolderCacheState;

// One reading of a folder: its listing, and the files read since, by name. Files are read when a
// build first asks for them, so a file that goes between the listing and its turn is missed as it
// would be without the cache.
struct CityFolderContents {
  bool trusted = false;  // a change handle watches the folder: what is kept stays valid until it fires
  std::optional<std::vector<std::string>> listing;
  std::map<std::string, std::shared_ptr<const TextFile::Contents>> files;
};

namespace {

constexpr const char* kOp = "CityFolderCache";

// The folder's key: its full path without a closing separator, however it was written.
std::wstring KeyOf(const std::filesystem::path& folder) {
  auto key = Win::FullPath(folder);
  while (key.size() > 3 && (key.back() == L'\\' || key.back() == L'/')) key.pop_back();
  return key;
}

// True when the kept reading can serve this build: no system call, only the watcher's flag.
bool StillValid(CityFolderCacheRecord::Folder& folder) {
  if (!folder.watch || !folder.contents || !folder.contents->trusted) return false;
  if (folder.watch->broken.load(std::memory_order_acquire)) return false;
  return !FolderWatcher::TakeChange(*folder.watch);
}

}  // namespace

CityFolderView TakeCityFolder(const std::filesystem::path& folder) {
  auto& cache = CityFolderCacheState;
  CityFolderView view;
  view.folder_ = folder;
  std::scoped_lock guard(cache.lock);
  auto& kept = cache.folders[KeyOf(folder)];
  if (StillValid(kept)) {
    view.contents_ = kept.contents;
    return view;
  }
  unsigned long watchError = 0;
  if (kept.watch && kept.watch->broken.load(std::memory_order_acquire)) {
    cache.watcher.Remove(kept.watch);
    kept.watch.reset();
  }
  if (kept.watch) {
    kept.watch->changed.store(false, std::memory_order_release);  // this reading covers what was reported
  } else {
    // The watch is taken before the listing, so that a change during the reading is reported.
    kept.watch = cache.watcher.Add(Win::ExtendedLengthPath(Win::FullPath(folder)), watchError);
  }
  auto contents = std::make_shared<CityFolderContents>();
  contents->listing = ListTextFiles(folder);
  ++cache.diskReads;
  // A folder that is gone takes its watch with it: a folder made again at the path is watched anew.
  if (!contents->listing) {
    cache.watcher.Remove(kept.watch);
    kept.watch.reset();
  }
  contents->trusted = kept.watch != nullptr;
  if (!kept.watch && contents->listing && !kept.warned) {
    kept.warned = true;
    Log::Warn(kOp, "changes in folder [{}] cannot be watched (error {}): its data files are read at every rebuild.",
              Win::ToUtf8(folder.native()), watchError);
  }
  kept.contents = contents;
  view.contents_ = std::move(contents);
  return view;
}

std::vector<std::string> CityFolderView::FileNames(const std::string& sDBName) const {
  return FileNamesFromListing(contents_->listing, folder_, sDBName);
}

CityFolderView::File CityFolderView::Read(const std::string& name) const {
  auto& cache = CityFolderCacheState;
  if (contents_->trusted) {
    std::scoped_lock guard(cache.lock);
    if (const auto found = contents_->files.find(name); found != contents_->files.end()) return {true, found->second};
  }
  const auto path = folder_ / Win::FromUtf8(name);
  std::error_code error;
  ++cache.diskReads;
  if (!std::filesystem::exists(path, error)) return {};
  auto contents = std::make_shared<const TextFile::Contents>(TextFile::Read(path));
  // A file another program holds is tried again next time: its release reports no change.
  if (contents_->trusted && contents->opened) {
    std::scoped_lock guard(cache.lock);
    contents_->files.emplace(name, contents);
  }
  return {true, std::move(contents)};
}

void ForgetCityFolder(const std::filesystem::path& folder) {
  auto& cache = CityFolderCacheState;
  std::scoped_lock guard(cache.lock);
  if (const auto found = cache.folders.find(KeyOf(folder)); found != cache.folders.end())
    found->second.contents.reset();
}

void ForgetCityFolders() {
  auto& cache = CityFolderCacheState;
  std::scoped_lock guard(cache.lock);
  for (auto& [path, folder] : cache.folders) folder.contents.reset();
}

std::optional<std::uint64_t> CityFolderChangesNoticed(const std::filesystem::path& folder) {
  auto& cache = CityFolderCacheState;
  std::scoped_lock guard(cache.lock);
  const auto found = cache.folders.find(KeyOf(folder));
  if (found == cache.folders.end() || !found->second.watch) return std::nullopt;
  return found->second.watch->seen.load(std::memory_order_relaxed);
}

void CityFolderCacheRecord::Reset() {
  std::scoped_lock guard(lock);
  watcher.Stop();
  folders.clear();
  diskReads = 0;
}
