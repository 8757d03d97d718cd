#include "Findings.h"

#include <algorithm>

#include <fmt/format.h>

namespace check {
namespace {

const char* LevelName(Level level) { return level == Level::Error ? "error" : "warning"; }

const char* const kHeightNames[] = {"femaleMin", "femaleMax", "maleMin", "maleMax"};

// Files in the order they were first reported, each file's findings by line.
std::vector<Finding> Sorted(const std::vector<Finding>& findings) {
  std::vector<std::string> files;
  for (const auto& f : findings)
    if (std::find(files.begin(), files.end(), f.file) == files.end()) files.push_back(f.file);
  auto sorted = findings;
  std::stable_sort(sorted.begin(), sorted.end(), [&](const Finding& a, const Finding& b) {
    const auto fileA = std::find(files.begin(), files.end(), a.file),
               fileB = std::find(files.begin(), files.end(), b.file);
    return fileA != fileB ? fileA < fileB : a.line < b.line;
  });
  return sorted;
}

}  // namespace

void Report::Add(std::string file, std::size_t line, Level level, std::string message) {
  message.erase(0, message.find_first_not_of(' '));  // the plug-in indents some of its lines
  findings.push_back({std::move(file), line, level, std::move(message)});
}

int Report::Count(Level level) const {
  return static_cast<int>(
      std::count_if(findings.begin(), findings.end(), [&](const Finding& f) { return f.level == level; }));
}

void PrintText(const Report& report, std::ostream& out) {
  for (const auto& f : Sorted(report.findings))
    out << fmt::format("{}:{}: {}: {}\n", f.file, f.line, LevelName(f.level), f.message);
  for (const auto& city : report.cities) {
    std::string entries;
    for (const auto& [name, count] : city.entries)
      entries += fmt::format("{}{} {}", entries.empty() ? "" : ", ", name, count);
    out << fmt::format("summary: {}: {}", city.name, entries);
    if (city.locationData)
      out << fmt::format("; women {}%; heights female {:.2f} to {:.2f}, male {:.2f} to {:.2f}", city.femalePercent,
                         city.heights[0], city.heights[1], city.heights[2], city.heights[3]);
    else
      out << "; no LocationData.ini";
    out << fmt::format("; unique NPCs {}", city.uniqueNPCs);
    if (!city.applied) out << "; not applied (the start-up stops before or at this city)";
    out << "\n";
  }
  if (!report.formsChecked)
    out << "summary: forms were not checked against a game (no --world): each form a line names counts as present, "
           "with the kind its file expects\n";
  out << fmt::format("summary: {} errors, {} warnings\n", report.Count(Level::Error), report.Count(Level::Warning));
}

nlohmann::json ToJson(const Report& report) {
  nlohmann::json json;
  json["formsChecked"] = report.formsChecked;
  json["errors"] = report.Count(Level::Error);
  json["warnings"] = report.Count(Level::Warning);
  json["findings"] = nlohmann::json::array();
  for (const auto& f : Sorted(report.findings))
    json["findings"].push_back(
        {{"file", f.file}, {"line", f.line}, {"level", LevelName(f.level)}, {"message", f.message}});
  json["cities"] = nlohmann::json::array();
  for (const auto& city : report.cities) {
    nlohmann::json entry{{"name", city.name}, {"uniqueNPCs", city.uniqueNPCs}, {"applied", city.applied}};
    for (const auto& [name, count] : city.entries) entry["databases"][name] = count;
    if (city.locationData) {
      entry["femalePercent"] = city.femalePercent;
      for (std::size_t i = 0; i < city.heights.size(); ++i) entry["heights"][kHeightNames[i]] = city.heights[i];
    } else {
      entry["femalePercent"] = nullptr;
      entry["heights"] = nullptr;
    }
    json["cities"].push_back(std::move(entry));
  }
  return json;
}

}  // namespace check
