#include "Main/Cities/LocationData.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <optional>

#include "Helpers/Ini.h"
#include "Helpers/Log.h"
#include "Helpers/Naming.h"
#include "Parse/LocationValues.h"
#include "Win/FolderListing.h"
#include "Win/Text.h"

namespace {

bool Reachable(const std::filesystem::path& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

bool BuildLocationDataDB(CityRecord& city) {
  constexpr const char* kOp = "BuildLocationDataDB";
  const char* const name = city.name();
  const auto& folder = city.folder;
  if (!Reachable(folder)) {
    Log::Error(kOp, "folder 'Quillmere' can't be reached.");
    return false;
  }
  if (!Ini::IniFileExists("LocationData", folder)) {
    Log::Error(
        kOp,
        "couldn't find 'LocationData.ini' in location folder [{}]. Custom LocationData for Vornic Actors will not be available at this location.",
        name);
    return false;
  }
  auto read = [&](const char* section, const char* key) {
    return Ini::ReadIniValue("LocationData", section, key, folder);
  };
  const auto femaleMax = read("Height", "fFemaleMaxHeight");
  const auto femaleMin = read("Height", "fFemaleMinHeight");
  const auto maleMax = read("Height", "fMaleMaxHeight");
  const auto maleMin = read("Height", "fMaleMinHeight");
  const auto femalePercent = read("General", "iFemalePercent");
  const auto disableNames = read("General", "bDisableNames");

  city.fFemaleMaxHeight = Parse::LocationHeight(femaleMax);
  city.fFemaleMinHeight = Parse::LocationHeight(femaleMin);
  city.fMaleMaxHeight = Parse::LocationHeight(maleMax);
  city.fMaleMinHeight = Parse::LocationHeight(maleMin);
  city.iFemalePercent = Parse::LocationPercent(femalePercent);
  city.bDisableNames = Parse::LocationFlag(disableNames);

  Log::Info(kOp, "LocationData for [{}] loaded --->", name);
  Log::Info(kOp, "fFemaleMaxHeight = {:f}", city.fFemaleMaxHeight);
  Log::Info(kOp, "fFemaleMinHeight = {:f}", city.fFemaleMinHeight);
  Log::Info(kOp, "fMaleMaxHeight = {:f}", city.fMaleMaxHeight);
  Log::Info(kOp, "fMaleMinHeight = {:f}", city.fMaleMinHeight);
  Log::Info(kOp, "iFemalePercent = {}", city.iFemalePercent);
  Log::Info(kOp, "bDisableNames = {}", city.bDisableNames ? 1 : 0);
  Log::Info(kOp, "<--- LocationData loaded");
  return true;
}

std::optional<std::vector<std::string>> ListTextFiles(const std::filesystem::path& directory) {
  if (!Reachable(directory)) return std::nullopt;
  std::vector<std::string> names;
  for (const auto& file : Win::ListFiles(directory).value_or(std::vector<std::filesystem::path>{})) {
    // Wide from the listing to the name: a name with any letters must open again later.
    auto name = Win::ToUtf8(file.native());
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || name.substr(dot, 4) != ".txt") continue;
    std::erase_if(name, [](char c) { return c == '\n' || c == '\0'; });
    names.push_back(std::move(name));
  }
  return names;
}

std::vector<std::string> FileNamesFromListing(const std::optional<std::vector<std::string>>& listing,
                                              const std::filesystem::path& directory, const std::string& sDBName) {
  std::vector<std::string> result;
  if (directory.empty() || sDBName.empty()) return result;
  const auto shownDirectory = Win::ToUtf8(directory.native());
  if (!listing) {
    Log::Error("GetFileNamesInDirectory", "directory [{}] can't be reached.", shownDirectory);
    return result;
  }
  const auto prefix = ToLowerAscii(sDBName);
  for (const auto& name : *listing) {
    if (!ToLowerAscii(name).starts_with(prefix)) continue;
    Log::Info("GetFileNamesInDirectory",
              "adding filename '{}' for directory [{}] (for target sDBName [{}]) to array...", name, shownDirectory,
              sDBName);
    result.push_back(name);
  }
  return result;
}

std::vector<std::string> GetFileNamesInDirectory(const std::filesystem::path& directory, const std::string& sDBName) {
  if (directory.empty() || sDBName.empty()) return {};
  return FileNamesFromListing(ListTextFiles(directory), directory, sDBName);
}
