#include "Helpers/Ini.h"

#include <windows.h>

#include <optional>
#include <vector>

#include "Win/LongPath.h"
#include "Win/Text.h"

namespace Ini {
namespace {

constexpr DWORD kValueBufferSize = 10000;

// A path longer than the profile functions accept is refused whole, never truncated.
std::optional<std::wstring> ComposePath(std::string_view fileName, const std::filesystem::path& folder) {
  std::wstring path(folder.empty() ? std::wstring(kPluginFolder) : folder.native());
  path.append(Win::FromUtf8(fileName)).append(L".ini");
  if (path.size() > kMaxPathLength) return std::nullopt;
  return path;
}

// The file as the plain and the extended-length calls reach it, wherever the game folder lies.
struct ProfileFile {
  std::wstring given;  // as composed: the profile calls take it while its full path is short enough
  std::wstring full;
  bool Reachable() const { return full.size() < MAX_PATH; }
  std::wstring Extended() const { return Win::ExtendedLengthPath(full); }
};

std::optional<ProfileFile> Locate(std::string_view fileName, const std::filesystem::path& folder) {
  auto given = ComposePath(fileName, folder);
  if (!given) return std::nullopt;
  auto full = Win::FullPath(*given);
  return ProfileFile{std::move(*given), std::move(full)};
}

// The profile calls stop at MAX_PATH and take no extended-length prefix. Past it they work on a copy
// in the temporary folder, so the file is read and written by the very same rules at any depth.
class ShortCopy {
 public:
  explicit ShortCopy(const ProfileFile& file) {
    wchar_t folder[MAX_PATH + 1] = {};
    wchar_t name[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH || !GetTempFileNameW(folder, L"bwi", 0, name)) return;
    path_ = name;
    // A missing original leaves the empty copy: the profile calls treat both alike.
    if (!CopyFileW(file.Extended().c_str(), path_.c_str(), FALSE) && GetLastError() != ERROR_FILE_NOT_FOUND &&
        GetLastError() != ERROR_PATH_NOT_FOUND) {
      DeleteFileW(path_.c_str());
      path_.clear();
    }
  }
  ~ShortCopy() {
    if (!path_.empty()) DeleteFileW(path_.c_str());
  }
  ShortCopy(const ShortCopy&) = delete;
  ShortCopy& operator=(const ShortCopy&) = delete;

  bool Made() const { return !path_.empty(); }
  const std::wstring& path() const { return path_; }
  bool CopyBack(const ProfileFile& file) const {
    return CopyFileW(path_.c_str(), file.Extended().c_str(), FALSE) != FALSE;
  }

 private:
  std::wstring path_;
};

// The value as the ANSI call would have returned it: the file's bytes read through the code page.
std::string ReadProfileString(const std::wstring& section, const std::wstring& key, const wchar_t* fallback,
                              const std::wstring& path) {
  std::vector<wchar_t> value(kValueBufferSize, L'\0');
  const DWORD length =
      GetPrivateProfileStringW(section.c_str(), key.c_str(), fallback, value.data(), kValueBufferSize, path.c_str());
  return Win::ToAnsi(std::wstring_view(value.data(), length));
}

std::string ReadProfileString(const std::wstring& section, const std::wstring& key, const wchar_t* fallback,
                              const ProfileFile& file) {
  if (file.Reachable()) return ReadProfileString(section, key, fallback, file.given);
  const ShortCopy copy(file);
  return copy.Made() ? ReadProfileString(section, key, fallback, copy.path()) : std::string(Win::ToAnsi(fallback));
}

bool Exists(const ProfileFile& file) { return GetFileAttributesW(file.Extended().c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

bool IniFileExists(std::string_view fileName, const std::filesystem::path& folder) {
  if (fileName.empty()) return false;
  const auto file = Locate(fileName, folder);
  return file && Exists(*file);
}

bool IniFileReadable(std::string_view fileName, const std::filesystem::path& folder) {
  if (fileName.empty()) return false;
  const auto file = Locate(fileName, folder);
  if (!file) return false;
  HANDLE handle =
      CreateFileW(file->Extended().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  CloseHandle(handle);
  return true;
}

std::string IniFilePath(std::string_view fileName, const std::filesystem::path& folder) {
  if (const auto file = Locate(fileName, folder)) return Win::ToUtf8(file->full);
  return Win::ToUtf8(folder.native()) + std::string(fileName) + ".ini";
}

std::string ReadIniValue(std::string_view fileName, std::string_view section, std::string_view key,
                         const std::filesystem::path& folder) {
  if (fileName.empty() || section.empty() || key.empty()) return {};
  const auto file = Locate(fileName, folder);
  if (!file || !Exists(*file)) return {};
  return ReadProfileString(Win::FromAnsi(section), Win::FromAnsi(key), L"", *file);
}

bool WriteIniValue(std::string_view fileName, std::string_view section, std::string_view key, std::string_view value,
                   const std::filesystem::path& folder) {
  if (fileName.empty() || section.empty() || key.empty()) return false;
  const auto file = Locate(fileName, folder);
  if (!file) return false;
  const auto sectionText = Win::FromAnsi(section), keyText = Win::FromAnsi(key), valueText = Win::FromAnsi(value);
  if (file->Reachable()) {
    WritePrivateProfileStringW(sectionText.c_str(), keyText.c_str(), valueText.c_str(), file->given.c_str());
  } else {
    const ShortCopy copy(*file);
    if (!copy.Made() ||
        !WritePrivateProfileStringW(sectionText.c_str(), keyText.c_str(), valueText.c_str(), copy.path().c_str()) ||
        !copy.CopyBack(*file))
      return false;
  }
  if (!Exists(*file)) return false;
  return ReadProfileString(sectionText, keyText, valueText.c_str(), *file) == value;
}

}  // namespace Ini
