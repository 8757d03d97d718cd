#include "DataFileEdits.h"

#include <windows.h>

#include <stdexcept>

#include "Text.h"

namespace sim {

void WriteDataIniValue(const std::filesystem::path& dataFolder, const std::string& relativePath,
                       const std::string& section, const std::string& key, const std::string& value) {
  const auto relative = PathFromUtf8(relativePath).lexically_normal();
  if (relative.empty() || relative.is_absolute() || relative.has_root_name() || *relative.begin() == "..")
    throw std::runtime_error("'" + relativePath + "' is no file inside the plug-in's data folder");
  const auto file = dataFolder / relative;
  std::filesystem::create_directories(file.parent_path());
  if (!WritePrivateProfileStringW(WideFromUtf8(section).c_str(), WideFromUtf8(key).c_str(), WideFromUtf8(value).c_str(),
                                  file.c_str()))
    throw std::runtime_error("cannot write " + PathText(file) + " (error " + std::to_string(GetLastError()) + ")");
}

}  // namespace sim
