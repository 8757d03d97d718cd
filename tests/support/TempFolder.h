#pragma once
// A folder of the test's own in the temporary folder: its name is created unique (no other process
// can hold it, now or later), and it goes with everything in it, however deep, when the object does.
// A removal that fails is a failure of the running test, naming what stayed.
#include <filesystem>
#include <string>

namespace test {

class TempFolder {
 public:
  explicit TempFolder(const std::wstring& prefix = L"bw-test-");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const noexcept { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& relative) const { return path_ / relative; }

 private:
  std::filesystem::path path_;
};

// Removes a folder (or file) with everything in it. Empty when all went; otherwise a message naming
// each path that could not be removed, and why.
std::string RemoveTree(const std::filesystem::path& path);

}  // namespace test
