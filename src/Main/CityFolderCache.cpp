#include "Main/CityFolderCache.h"

#include <windows.h>

#include "Helpers/Log.h"
#include "Main/LocationData.h"
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
constexpr DWORD kChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE;

std::wstring FullPath(const std::filesystem::path& folder) {
  const DWORD size = GetFullPathNameW(folder.c_str(), 0, nullptr, nullptr);
  if (size == 0) return folder.native();
  std::wstring full(size, L'\0');
  const DWORD written = GetFullPathNameW(folder.c_str(), size, full.data(), nullptr);
  if (written == 0 || written >= size) return folder.native();
  full.resize(written);
  return full;
}

void Close(CityFolderCacheRecord::Folder& folder) {
  if (folder.change) FindCloseChangeNotification(folder.change);
  folder.change = nullptr;
}

// True when the kept reading can serve this build; re-arms a fired handle.
bool StillValid(CityFolderCacheRecord::Folder& folder) {
  if (!folder.change || !folder.contents || !folder.contents->trusted) return false;
  switch (WaitForSingleObject(folder.change, 0)) {
    case WAIT_TIMEOUT: return true;
    case WAIT_OBJECT_0:
      // Armed again before the folder is read again, so nothing written meanwhile is missed.
      if (!FindNextChangeNotification(folder.change)) Close(folder);
      return false;
    default: Close(folder); return false;
  }
}

}  // namespace

CityFolderView TakeCityFolder(const std::filesystem::path& folder) {
  auto& cache = CityFolderCacheState;
  CityFolderView view;
  view.folder_ = folder;
  std::scoped_lock guard(cache.lock);
  auto& kept = cache.folders[FullPath(folder)];
  if (StillValid(kept)) {
    view.contents_ = kept.contents;
    return view;
  }
  DWORD watchError = 0;
  if (!kept.change) {
    // Long paths need the extended prefix here; the watch is taken before the listing so that a
    // change during the reading fires it.
    auto path = FullPath(folder);
    if (path.size() >= MAX_PATH - 12 && !path.starts_with(L"\\\\")) path = L"\\\\?\\" + path;
    const HANDLE change = FindFirstChangeNotificationW(path.c_str(), FALSE, kChanges);
    if (change != INVALID_HANDLE_VALUE)
      kept.change = change;
    else
      watchError = GetLastError();
  }
  auto contents = std::make_shared<CityFolderContents>();
  contents->listing = ListTextFiles(folder);
  ++cache.diskReads;
  // A folder that is gone takes its watch with it: a folder made again at the path is watched anew.
  if (!contents->listing) Close(kept);
  contents->trusted = kept.change != nullptr;
  if (!kept.change && contents->listing && !kept.warned) {
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
  if (const auto found = cache.folders.find(FullPath(folder)); found != cache.folders.end())
    found->second.contents.reset();
}

void ForgetCityFolders() {
  auto& cache = CityFolderCacheState;
  std::scoped_lock guard(cache.lock);
  for (auto& [path, folder] : cache.folders) folder.contents.reset();
}

void CityFolderCacheRecord::Reset() {
  std::scoped_lock guard(lock);
  for (auto& [path, folder] : folders) Close(folder);
  folders.clear();
  diskReads = 0;
}
