#pragma once
// A city's LocationData.ini, and the listing of a city folder's data files.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Main/Cities/CityRecord.h"

// Reads the city's LocationData.ini into its record; false (and one log line) when it cannot.
bool BuildLocationDataDB(CityRecord& city);

// Names (UTF-8) of the .txt files in directory whose names start with sDBName, case ignored.
std::vector<std::string> GetFileNamesInDirectory(const std::filesystem::path& directory, const std::string& sDBName);
// The names (UTF-8, listing order) of the .txt files directly in directory; nullopt when it cannot
// be reached.
std::optional<std::vector<std::string>> ListTextFiles(const std::filesystem::path& directory);
// GetFileNamesInDirectory over a listing taken earlier by ListTextFiles, with the same log lines.
std::vector<std::string> FileNamesFromListing(const std::optional<std::vector<std::string>>& listing,
                                              const std::filesystem::path& directory, const std::string& sDBName);
