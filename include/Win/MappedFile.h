#pragma once
// A file's bytes mapped read-only: the pages come straight from the file cache, with no buffer to
// fill and no copy, which matters for the 10 MB address library read once at start-up.
#include <cstdint>
#include <filesystem>
#include <span>

namespace Win {

class MappedFile {
 public:
  enum class Status { Mapped, CannotOpen, CannotMap };

  explicit MappedFile(const std::filesystem::path& path);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  Status status() const noexcept { return status_; }
  // Empty for an empty file, and unless mapped.
  std::span<const std::uint8_t> bytes() const noexcept { return bytes_; }

 private:
  Status status_ = Status::CannotOpen;
  void* file_ = nullptr;
  void* mapping_ = nullptr;
  const void* view_ = nullptr;
  std::span<const std::uint8_t> bytes_;
};

}  // namespace Win
