#include "Win/MappedFile.h"

#include <windows.h>

#include "Win/LongPath.h"

namespace Win {

MappedFile::MappedFile(const std::filesystem::path& path) {
  const HANDLE file =
      CreateFileW(ExtendedLengthPath(FullPath(path)).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  file_ = file;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size) || static_cast<std::uint64_t>(size.QuadPart) > SIZE_MAX) {
    status_ = Status::CannotMap;
    return;
  }
  status_ = Status::Mapped;
  if (size.QuadPart == 0) return;  // an empty file cannot be mapped, and has no bytes to give
  mapping_ = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (mapping_) view_ = MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0);
  if (!view_) {
    status_ = Status::CannotMap;
    return;
  }
  bytes_ = {static_cast<const std::uint8_t*>(view_), static_cast<std::size_t>(size.QuadPart)};
}

MappedFile::~MappedFile() {
  if (view_) UnmapViewOfFile(view_);
  if (mapping_) CloseHandle(mapping_);
  if (file_) CloseHandle(file_);
}

}  // namespace Win
