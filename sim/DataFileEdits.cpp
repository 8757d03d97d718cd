#include "DataFileEdits.h"

#include <windows.h>

#include <fstream>
#include <stdexcept>
#include <vector>

#include "Text.h"

namespace sim {

namespace {

std::filesystem::path FileInside(const std::filesystem::path& dataFolder, const std::string& relativePath) {
  const auto relative = PathFromUtf8(relativePath).lexically_normal();
  if (relative.empty() || relative.is_absolute() || relative.has_root_name() || *relative.begin() == "..")
    throw std::runtime_error("'" + relativePath + "' is no file inside the plug-in's data folder");
  return dataFolder / relative;
}

[[noreturn]] void FailOn(const std::filesystem::path& file, const char* what) {
  throw std::runtime_error(std::string("cannot ") + what + " " + PathText(file) + " (error " +
                           std::to_string(GetLastError()) + ")");
}

std::vector<HANDLE>& HeldFiles() {
  static std::vector<HANDLE> held;
  return held;
}

}  // namespace

void WriteDataFile(const std::filesystem::path& dataFolder, const std::string& relativePath, const std::string& bytes) {
  const auto file = FileInside(dataFolder, relativePath);
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out.flush()) FailOn(file, "write");
}

void RemoveDataFile(const std::filesystem::path& dataFolder, const std::string& relativePath) {
  const auto file = FileInside(dataFolder, relativePath);
  if (!DeleteFileW(file.c_str())) FailOn(file, "remove");
}

void RenameDataFile(const std::filesystem::path& dataFolder, const std::string& from, const std::string& to) {
  const auto source = FileInside(dataFolder, from);
  if (!MoveFileExW(source.c_str(), FileInside(dataFolder, to).c_str(), MOVEFILE_REPLACE_EXISTING))
    FailOn(source, "rename");
}

void HoldDataFile(const std::filesystem::path& dataFolder, const std::string& relativePath) {
  const auto file = FileInside(dataFolder, relativePath);
  const HANDLE handle =
      CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) FailOn(file, "hold");
  HeldFiles().push_back(handle);
}

void ReleaseDataFiles() {
  for (const HANDLE handle : HeldFiles()) CloseHandle(handle);
  HeldFiles().clear();
}

void WriteDataIniValue(const std::filesystem::path& dataFolder, const std::string& relativePath,
                       const std::string& section, const std::string& key, const std::string& value) {
  const auto file = FileInside(dataFolder, relativePath);
  std::filesystem::create_directories(file.parent_path());
  if (!WritePrivateProfileStringW(WideFromUtf8(section).c_str(), WideFromUtf8(key).c_str(), WideFromUtf8(value).c_str(),
                                  file.c_str()))
    throw std::runtime_error("cannot write " + PathText(file) + " (error " + std::to_string(GetLastError()) + ")");
}

}  // namespace sim
