#include "Main/LocationData.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <optional>

#include "Helpers/Ini.h"
#include "Helpers/Log.h"
#include "Helpers/Naming.h"
#include "Main/PluginState.h"
#include "Parse/LocationValues.h"
#include "Win/Text.h"

namespace {

bool Reachable(const std::filesystem::path& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

LocationData* GetLocationStructByIndex(int iLocationIndex) {
  const auto city = CityFromIndex(iLocationIndex);
  return city ? &PluginState.cities[*city] : nullptr;
}

std::string GetLocationNameByIndex(int iLocationIndex) {
  const auto city = CityFromIndex(iLocationIndex);
  return city ? InfoOf(*city).name : "unkown";
}

std::filesystem::path GetLocationFolder(int iLocationIndex) {
  return std::wstring(Ini::kDataFolder) + Win::FromUtf8(GetLocationNameByIndex(iLocationIndex)) + L"\\";
}

bool BuildLocationDataDB(int iLocationIndex) {
  constexpr const char* kOp = "BuildLocationDataDB";
  const auto name = GetLocationNameByIndex(iLocationIndex);
  const auto folder = GetLocationFolder(iLocationIndex);
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
  auto* record = GetLocationStructByIndex(iLocationIndex);
  if (!record) {
    Log::Error(kOp, "location struct cannot be found. GetLocationStructByIndex returned nullptr.");
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

  record->fFemaleMaxHeight = Parse::LocationHeight(femaleMax);
  record->fFemaleMinHeight = Parse::LocationHeight(femaleMin);
  record->fMaleMaxHeight = Parse::LocationHeight(maleMax);
  record->fMaleMinHeight = Parse::LocationHeight(maleMin);
  record->iFemalePercent = Parse::LocationPercent(femalePercent);
  record->bDisableNames = Parse::LocationFlag(disableNames);

  Log::Info(kOp, "LocationData for [{}] loaded --->", name);
  Log::Info(kOp, "fFemaleMaxHeight = {:f}", record->fFemaleMaxHeight);
  Log::Info(kOp, "fFemaleMinHeight = {:f}", record->fFemaleMinHeight);
  Log::Info(kOp, "fMaleMaxHeight = {:f}", record->fMaleMaxHeight);
  Log::Info(kOp, "fMaleMinHeight = {:f}", record->fMaleMinHeight);
  Log::Info(kOp, "iFemalePercent = {}", record->iFemalePercent);
  Log::Info(kOp, "bDisableNames = {}", record->bDisableNames ? 1 : 0);
  Log::Info(kOp, "<--- LocationData loaded");
  return true;
}

std::optional<std::vector<std::string>> ListTextFiles(const std::filesystem::path& directory) {
  if (!Reachable(directory)) return std::nullopt;
  std::vector<std::string> names;
  std::error_code error;
  for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
    if (it->is_directory(error)) continue;
    // Wide from the listing to the name: a name with any letters must open again later.
    const auto path = Win::ToUtf8(it->path().native());
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || path.substr(dot, 4) != ".txt") continue;
    auto name = path.substr(path.find_last_of("/\\") + 1);
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
