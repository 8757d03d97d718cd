#include "Win/LongPath.h"

#include <windows.h>

namespace Win {

std::wstring ExtendedLengthPath(std::wstring path) {
  // Directory calls refuse paths of MAX_PATH - 12 characters already. Only a full path can take the
  // prefix, and a network path takes it in its own form.
  if (path.size() < MAX_PATH - 12 || path.starts_with(L"\\\\?\\") || path.starts_with(L"\\\\.\\")) return path;
  if (path.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + path.substr(2);
  if (path.size() > 2 && path[1] == L':' && path[2] == L'\\') return L"\\\\?\\" + path;
  return path;
}

std::wstring FullPath(const std::filesystem::path& path) {
  const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path.native();
  std::wstring full(size, L'\0');
  const DWORD written = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (written == 0 || written >= size) return path.native();
  full.resize(written);
  return full;
}

}  // namespace Win
