#pragma once
// Paths longer than MAX_PATH: install folders deep in synced or redirected folders reach it.
#include <filesystem>
#include <string>

namespace Win {

// The full path (GetFullPathNameW), however long; the path as given when Windows cannot tell.
std::wstring FullPath(const std::filesystem::path& path);
// A full path with the extended-length prefix when it is too long for the plain Win32 calls.
std::wstring ExtendedLengthPath(std::wstring path);

}  // namespace Win
