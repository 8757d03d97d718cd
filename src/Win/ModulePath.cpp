#include "Win/ModulePath.h"

#include <windows.h>

#include <string>

namespace Win {

std::filesystem::path ModulePath(void* module) {
  // A truncated answer fills the buffer exactly: grow until the path fits.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(static_cast<HMODULE>(module), path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    if (path.size() >= 32768) return {};  // longer than any Windows path
    path.resize(path.size() * 2);
  }
}

std::filesystem::path CurrentDirectory() {
  // The size asked for includes the terminator; a directory may change between the two calls.
  std::wstring path;
  for (DWORD size = GetCurrentDirectoryW(0, nullptr); size > 0;) {
    path.resize(size);
    const DWORD length = GetCurrentDirectoryW(size, path.data());
    if (length == 0) return {};
    if (length < size) {
      path.resize(length);
      return path;
    }
    size = length;
  }
  return {};
}

void* ModuleOf(const void* address) {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     static_cast<LPCWSTR>(address), &module);
  return module;
}

}  // namespace Win
