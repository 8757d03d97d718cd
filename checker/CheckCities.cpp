// Each city as the start-up applies it: its LocationData.ini, every database built by the plug-in's
// own builder, the names as they reach the game, and the leveled lists' limit.
#include <algorithm>
#include <fstream>
#include <map>

#include <fmt/format.h>

#include "Checks.h"
#include "FormIDText.h"
#include "GameForms.h"
#include "GameWorld.h"
#include "Helpers/Naming.h"
#include "IniText.h"
#include "Main/Game/Cities.h"
#include "Main/Cities/DataBase.h"
#include "Main/Cities/DataBaseKinds.h"
#include "Main/Cities/LocationData.h"
#include "Parse/FormLine.h"
#include "Win/FolderListing.h"
#include "Win/Text.h"

namespace check {
namespace {

namespace fs = std::filesystem;

constexpr int kLeveledListLimit = 255;

// What one build of a database gave, and where each entry came from.
struct Tally {
  int count = 0;
  std::vector<std::pair<std::string, std::size_t>> entries;
  std::string noFiles;  // the plug-in's message when no file feeds the database
};

struct CityRun {
  CityRecord& city;
  int index;
  std::string name;
  fs::path folder;                       // relative to the data folder
  std::map<std::string, Tally> tallies;  // by database name
  bool disableNames = false;
};

// The plug-in's messages of one BuildDataBase call, turned into findings placed at file and line.
void ReadBuildMessages(CheckContext& context, CityRun& run, Tally& tally) {
  std::string file = Shown(run.folder);
  std::string details;
  auto add = [&](std::size_t line, Level level, std::string message) {
    context.report.Add(file, line, level, std::move(message) + details);
    details.clear();
  };
  for (const auto& message : context.messages.Take()) {
    const auto& text = message.text;
    if (message.operation == "GetFormFromFile") {
      if (message.level >= spdlog::level::warn) details += fmt::format(" ({})", Trimmed(text));
      continue;
    }
    if (message.operation != "BuildDataBase") continue;
    if (text.starts_with("beginning to process file '")) {
      file = Shown(run.folder / Win::FromUtf8(Between(text, "beginning to process file '", "' for location [")));
    } else if (text.starts_with("  adding [") || text.starts_with("  could not add [Reference:")) {
      ++tally.count;
      tally.entries.emplace_back(file, message.line);
      details.clear();
    } else if (text.starts_with("plugin name for line [")) {
      const auto line = Between(text, "plugin name for line [", "] is empty.");
      const auto* hint = line.find('_') == std::string::npos
                             ? " (the line names no plug-in file)"
                             : " (the plug-in name after \"_\" has no .esm, .esp or .esl extension)";
      context.report.Add(file, message.line, Level::Warning, text + hint);
    } else if (text.starts_with("HexFormID for line [")) {
      const bool comment = Trimmed(Between(text, "HexFormID for line [", "] is empty.")).starts_with(';');
      add(message.line, comment ? Level::Warning : Level::Error, comment ? text + " (a comment line)" : text);
    } else if (text.starts_with("no form was found in line [")) {
      // Without a world every form whose text the lookup takes exists: what is not found is wrong in
      // its text.
      const std::string opening = "no form was found in line [";
      const auto formID = Parse::FormIDOfLine(text.substr(opening.size(), text.rfind("].") - opening.size()));
      if (!context.formsChecked)
        if (auto wrong = WrongInItsText(formID, details)) details = std::move(*wrong);
      add(message.line, Level::Error, text);
    } else if (text.starts_with("array 'FileNames'")) {
      tally.noFiles = text;
    } else if (text.starts_with("file '") && text.find("UTF-16") != std::string::npos) {
      context.report.Add(Shown(run.folder / Win::FromUtf8(Between(text, "file '", "' for location ["))), 0,
                         Level::Error, text);
    } else if (message.level >= spdlog::level::err ||
               (message.level == spdlog::level::warn && !text.starts_with("database '"))) {
      add(message.line, message.level >= spdlog::level::err ? Level::Error : Level::Warning, text);
    }
  }
}

// Names reach the game exactly as written: blanks, comment lines and bytes included.
void CheckNamesFile(CheckContext& context, const fs::path& relative) {
  const auto shown = Shown(relative);
  const auto contents = TextFile::Read(context.copy / relative);
  if (!contents.opened || contents.encoding == TextFile::Encoding::Utf16WithoutMark) return;
  if (const auto line = FirstInvalidUtf8Line(contents.text))
    context.report.Add(shown, *line, Level::Warning,
                       "not valid UTF-8 (saved in a Windows code page?): names reach the game with these bytes");
  TextFile::ForEachLine(contents.text, [&](std::string_view line) {
    const auto number = TextFile::CurrentLineNumber();
    if (line.empty()) return;
    const auto trimmed = Trimmed(line);
    if (trimmed.starts_with(';') || trimmed.starts_with('#') || trimmed.starts_with("//")) {
      context.report.Add(shown, number, Level::Warning,
                         fmt::format("comment line: the plug-in takes \"{}\" as a name", line));
      return;
    }
    std::vector<std::string> problems;
    if (line.front() == ' ' || line.front() == '\t') problems.push_back("blanks or tabs before it");
    if (line.back() == ' ' || line.back() == '\t') problems.push_back("blanks or tabs after it");
    if (trimmed.find("  ") != std::string::npos || trimmed.find('\t') != std::string::npos)
      problems.push_back("doubled blanks or a tab inside");
    if (!problems.empty())
      context.report.Add(
          shown, number, Level::Warning,
          fmt::format("the name \"{}\" has {}: the plug-in keeps them", line, fmt::join(problems, ", ")));
  });
}

void CheckListing(CheckContext& context, const CityRun& run) {
  for (const auto& file : Win::ListFiles(context.copy / run.folder).value_or(std::vector<fs::path>{})) {
    const auto relative = run.folder / file;
    const auto extension = Win::ToUtf8(file.extension().native());
    if (extension != ".txt") {
      if (EqualIgnoringCase(extension, ".txt"))
        context.report.Add(
            Shown(relative), 0, Level::Warning,
            fmt::format("the extension \"{}\" differs from \".txt\" in case: the plug-in ignores this file",
                        extension));
      continue;
    }
    const auto name = ToLowerAscii(Win::ToUtf8(file.native()));
    const bool feeds = std::any_of(kDataBases.begin(), kDataBases.end(), [&](const DataBaseDescriptor& d) {
      return name.starts_with(ToLowerAscii(d.female.name)) || name.starts_with(ToLowerAscii(d.male.name));
    });
    if (!feeds)
      context.report.Add(
          Shown(relative), 0, Level::Warning,
          "the file name starts with no database name (FemaleFaceNPCs, MaleNames, EncounterPoints, ...): "
          "no database reads it");
  }
}

void CheckLocationData(CheckContext& context, CityRun& run, CitySummary& summary) {
  const auto relative = run.folder / L"LocationData.ini";
  const auto shown = Shown(relative);
  context.messages.Take();
  summary.locationData = BuildLocationDataDB(run.city);
  for (const auto& message : context.messages.Take())
    if (message.level >= spdlog::level::err)
      context.report.Add(
          shown, 0, Level::Error,
          message.text + (message.text.starts_with("couldn't find") ? " (the city gets no women and no heights)" : ""));
  if (!summary.locationData) return;

  const auto& record = run.city;
  summary.femalePercent = record.iFemalePercent;
  summary.heights = {record.fFemaleMinHeight, record.fFemaleMaxHeight, record.fMaleMinHeight, record.fMaleMaxHeight};
  run.disableNames = record.bDisableNames;
  struct Value {
    const char* section;
    const char* key;
    std::string value;
  };
  const Value values[] = {
      {"Height", "fFemaleMaxHeight", fmt::format("{}", record.fFemaleMaxHeight)},
      {"Height", "fFemaleMinHeight", fmt::format("{}", record.fFemaleMinHeight)},
      {"Height", "fMaleMaxHeight", fmt::format("{}", record.fMaleMaxHeight)},
      {"Height", "fMaleMinHeight", fmt::format("{}", record.fMaleMinHeight)},
      {"General", "iFemalePercent", std::to_string(record.iFemalePercent)},
      {"General", "bDisableNames", record.bDisableNames ? "1" : "0"},
  };
  const auto ini = ReadIniText(context.copy / relative);
  LintIni(ini,
          {shown, "LocationData", run.city.folder,
           [&](const IniKey& key) -> std::string {
             for (const auto& value : values)
               if (EqualIgnoringCase(key.key, value.key)) return fmt::format(", so {} is {}", value.key, value.value);
             return "";
           }},
          context.report);
  for (const auto& value : values)
    if (!ini.Key(value.section, value.key) || ini.Key(value.section, value.key)->value.empty())
      context.report.Add(
          shown, ini.LineOf(value.section, value.key), Level::Warning,
          fmt::format("{} is missing or empty in [{}]: the plug-in uses {}", value.key, value.section, value.value));
  if (record.fFemaleMinHeight > record.fFemaleMaxHeight)
    context.report.Add(shown, ini.LineOf("Height", "fFemaleMinHeight"), Level::Warning,
                       fmt::format("fFemaleMinHeight {} is above fFemaleMaxHeight {}", record.fFemaleMinHeight,
                                   record.fFemaleMaxHeight));
  if (record.fMaleMinHeight > record.fMaleMaxHeight)
    context.report.Add(
        shown, ini.LineOf("Height", "fMaleMinHeight"), Level::Warning,
        fmt::format("fMaleMinHeight {} is above fMaleMaxHeight {}", record.fMaleMinHeight, record.fMaleMaxHeight));
  if (record.iFemalePercent > 100)
    context.report.Add(shown, ini.LineOf("General", "iFemalePercent"), Level::Warning,
                       fmt::format("iFemalePercent {} is above 100", record.iFemalePercent));
}

void BuildDataBases(CheckContext& context, CityRun& run, CitySummary& summary) {
  for (const auto& descriptor : kDataBases) {
    const bool once = descriptor.kind == DataBaseKind::EncounterPoints;
    for (const bool female : {true, false}) {
      if (once && !female) continue;
      const auto& side = descriptor.side(female);
      if (once) {
        // Every encounter point is counted wherever the player stands: only the distance check
        // depends on it.
        const auto spot = sim::GetWorld().citySpots.find(run.name);
        sim::PlacePlayer(spot == sim::GetWorld().citySpots.end() ? RE::NiPoint3{} : spot->second);
      }
      auto& tally = run.tallies[side.name];
      context.messages.Take();
      BuildDataBase(descriptor.kind, female, run.city);
      ReadBuildMessages(context, run, tally);
      summary.entries.emplace_back(side.name, tally.count);

      if (descriptor.textLines) {
        for (const auto& name : GetFileNamesInDirectory(run.city.folder, side.name))
          CheckNamesFile(context, run.folder / Win::FromUtf8(name));
        context.messages.Take();
      }
      const bool needed =
          once ? context.citiesNamedByUniqueNPCs[SlotOf(run.city.city)] : !(descriptor.textLines && run.disableNames);
      if (tally.count == 0 && needed)
        context.report.Add(Shown(run.folder), 0, Level::Error,
                           !tally.noFiles.empty()
                               ? tally.noFiles
                               : fmt::format("database '{}' of {} is empty: no line of its files gives an entry",
                                             side.name, run.name));
    }
  }
}

// The applying step's counts: female faces replace the citizen list, male faces go in front of what
// it then holds, each clothing list is replaced; a list never holds more than 255 entries. The first
// city that fails stops the start-up.
void CheckLimits(CheckContext& context, std::vector<CityRun>& runs) {
  bool stopped = false;
  for (std::size_t c = 0; c < runs.size(); ++c) {
    auto& run = runs[c];
    if (stopped) {
      context.report.cities[c].applied = false;
      continue;
    }
    struct Step {
      const char* dataBase;
      const char* label;
      int kept;  // entries the list keeps beside the new ones
    };
    const int female = run.tallies["FemaleFaceNPCs"].count;
    const int gameList = sim::ListSizesOf(run.index).citizenList;
    const Step steps[] = {
        {"FemaleFaceNPCs", "FemaleFaceNPCs", 0},
        {"MaleFaceNPCs", "MaleFaceNPCs", female > 0 && female <= kLeveledListLimit ? female : gameList},
        {"FemaleClothing", "FemaleOutfits", 0},
        {"MaleClothing", "MaleOutfits", 0},
    };
    std::vector<std::string> later;
    for (std::size_t next = c + 1; next < runs.size(); ++next) later.push_back(runs[next].name);
    for (const auto& step : steps) {
      const auto& tally = run.tallies[step.dataBase];
      const int total = tally.count + step.kept;
      if (tally.count == 0 || total <= kLeveledListLimit) continue;
      stopped = true;
      context.report.cities[c].applied = false;
      const auto& [file, line] = tally.entries[static_cast<std::size_t>(kLeveledListLimit - step.kept)];
      context.report.Add(
          file, line, Level::Error,
          fmt::format("leveledList size cannot exceed 255, given value: {} ({} at {} couldn't be registered; {} "
                      "entries from here on do not fit{})",
                      total, step.label, run.name, total - kLeveledListLimit,
                      later.empty() ? ""
                                    : fmt::format("; the start-up stops here, so {} {} no data", fmt::join(later, ", "),
                                                  later.size() == 1 ? "gets" : "get")));
    }
  }
}

}  // namespace

void CheckCities(CheckContext& context) {
  std::vector<CityRun> runs;
  for (const City city : kCities) {
    auto& record = CityRecordOf(city);
    const int index = record.index();
    const std::string name = record.name();
    runs.push_back({record, index, name, fs::path(Win::FromUtf8(name)), {}, false});
    auto& run = runs.back();
    context.report.cities.push_back({});
    auto& summary = context.report.cities.back();
    summary.name = name;
    summary.uniqueNPCs = context.uniqueNPCRecords[SlotOf(city)];
    std::error_code error;
    if (!fs::is_directory(context.copy / run.folder, error)) {
      context.messages.Take();
      BuildLocationDataDB(record);
      for (const auto& message : context.messages.Take())
        context.report.Add(Shown(run.folder), 0, Level::Error, message.text + " (the city folder is missing)");
      continue;
    }
    CheckListing(context, run);
    CheckLocationData(context, run, summary);
    BuildDataBases(context, run, summary);
  }
  CheckLimits(context, runs);
}

std::string Shown(const fs::path& relative) {
  auto text = Win::ToUtf8(relative.native());
  std::replace(text.begin(), text.end(), '\\', '/');
  return text;
}

}  // namespace check
