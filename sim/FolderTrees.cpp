#include "FolderTrees.h"

#include <windows.h>

#include <random>
#include <stdexcept>

#include "Text.h"

namespace sim {
namespace {

// Full path with the extended-length prefix, so that no call stops at MAX_PATH.
std::wstring ExtendedPath(const std::filesystem::path& path) {
  std::wstring full(GetFullPathNameW(path.c_str(), 0, nullptr, nullptr), L'\0');
  const DWORD written = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (written == 0 || written >= full.size()) full = path.native();
  full.resize(wcslen(full.c_str()));
  if (full.starts_with(L"\\\\?\\") || full.starts_with(L"\\\\.\\")) return full;
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

// The path as its owner wrote it: the prefix is the sim's business.
std::string DisplayText(const std::wstring& extended) {
  if (extended.starts_with(L"\\\\?\\UNC\\")) return Utf8FromWide(L"\\\\" + extended.substr(8));
  if (extended.starts_with(L"\\\\?\\")) return Utf8FromWide(extended.substr(4));
  return Utf8FromWide(extended);
}

std::string SystemMessage(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = length && text ? std::wstring(text, length) : L"";
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
    message.pop_back();
  return (message.empty() ? std::string("error") : Utf8FromWide(message)) + " (" + std::to_string(error) + ")";
}

bool Gone(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// A process may hold an entry for a moment after its owner let go of it: a virus scanner or an
// indexer on Windows, the desktop process wine starts for a message box (it inherits the current
// folder of the process that showed the box and lives on for a second). The whole tree waits for
// such holders for up to a few seconds together.
class Patience {
 public:
  template <class Call>
  DWORD Retry(Call&& call) {
    for (;;) {
      if (call()) return ERROR_SUCCESS;
      const DWORD error = GetLastError();
      const bool held =
          error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_DIR_NOT_EMPTY;
      if (!held || GetTickCount64() >= deadline_) return error;
      Sleep(50);
    }
  }

 private:
  ULONGLONG deadline_ = GetTickCount64() + 5000;
};

void RemoveEntry(const std::wstring& path, Patience& patience, std::vector<std::string>& failures) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    if (const DWORD error = GetLastError(); !Gone(error))
      failures.push_back(DisplayText(path) + ": " + SystemMessage(error));
    return;
  }
  if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  const bool folder = attributes & FILE_ATTRIBUTE_DIRECTORY;
  const auto failedBefore = failures.size();
  if (folder && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileExW((path + L"\\*").c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring_view name = entry.cFileName;
        if (name != L"." && name != L"..") RemoveEntry(path + L"\\" + entry.cFileName, patience, failures);
      } while (FindNextFileW(search, &entry));
      FindClose(search);
    }
  }
  // What could not go inside has its own line already; the folder that still holds it adds nothing.
  if (failures.size() > failedBefore) return;
  const DWORD error =
      patience.Retry([&] { return folder ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str()); });
  if (error != ERROR_SUCCESS && !Gone(error)) failures.push_back(DisplayText(path) + ": " + SystemMessage(error));
}

}  // namespace

std::filesystem::path TemporaryDirectory() {
  std::wstring path(MAX_PATH + 1, L'\0');
  for (;;) {
    const DWORD length = GetTempPathW(static_cast<DWORD>(path.size()), path.data());
    if (length == 0) throw std::runtime_error("the temporary folder is unknown: " + SystemMessage(GetLastError()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(length + 1);
  }
}

std::filesystem::path CreateUniqueFolder(const std::filesystem::path& parent, const std::wstring& prefix) {
  std::random_device entropy;
  std::mt19937_64 random((std::uint64_t{entropy()} << 32) ^ entropy() ^ GetTickCount64());
  static constexpr wchar_t kDigits[] = L"0123456789abcdef";
  DWORD error = ERROR_SUCCESS;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::wstring name = prefix;
    for (auto bits = random(); name.size() < prefix.size() + 16; bits >>= 4) name += kDigits[bits & 15];
    const auto folder = parent / name;
    // Fails on a name that exists, so two processes can never share a folder.
    if (CreateDirectoryW(ExtendedPath(folder).c_str(), nullptr)) return folder;
    error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS) break;
  }
  throw std::runtime_error("cannot create a folder in " + PathText(parent) + ": " + SystemMessage(error));
}

std::vector<std::string> RemoveFolderTree(const std::filesystem::path& path) {
  std::vector<std::string> failures;
  Patience patience;
  RemoveEntry(ExtendedPath(path), patience, failures);
  return failures;
}

}  // namespace sim
