#pragma once
// What a check of a data folder found: one finding per problem, placed at a file and line of the
// folder, and a summary per city.
#include <array>
#include <cstddef>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace check {

enum class Level { Warning, Error };

struct Finding {
  std::string file;  // relative to the data folder, "/" between folders
  std::size_t line;  // 0: the file as a whole
  Level level;
  std::string message;
};

struct CitySummary {
  std::string name;
  std::vector<std::pair<std::string, int>> entries;  // per database, in the plug-in's order
  bool locationData = false;                         // LocationData.ini was read
  int femalePercent = 0;
  std::array<float, 4> heights{};  // female min, female max, male min, male max
  int uniqueNPCs = 0;
  bool applied = true;  // false once an earlier city (or this one) stops the start-up
};

struct Report {
  std::vector<Finding> findings;
  std::vector<CitySummary> cities;
  bool formsChecked = false;

  void Add(std::string file, std::size_t line, Level level, std::string message);
  int Count(Level level) const;
};

// "file:line: level: message" lines, then the summary.
void PrintText(const Report& report, std::ostream& out);
nlohmann::json ToJson(const Report& report);

}  // namespace check
