#include "DataWorld.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "Actors.h"
#include "CityDataRules.h"
#include "GameForms.h"
#include "GameWorld.h"
#include "Text.h"
#include "WorldFile.h"

namespace sim {
namespace {

namespace fs = std::filesystem;

constexpr auto kMiscType = static_cast<RE::FormType>(32);
constexpr std::uint8_t kLastFullCompileIndex = 0xFB;       // the master file follows; 0xFD and 0xFE are taken
constexpr std::uint32_t kFirstRuntimeFormID = 0xFF000000;  // the game's own, for what it creates while running
constexpr std::uint16_t kLastSmallFileIndex = 0xFFF;
constexpr std::uint32_t kLastSmallLocalID = 0xFFF;
constexpr std::uint32_t kPointBaseLocalID = 0xF00;  // free in the master file's forms
constexpr float kCitySpacing = 100000.0f;
// How far from the player the settings let an encounter point be, when Settings.ini does not say.
constexpr int kDefaultPointMinDistance = 5, kDefaultPointMaxDistance = 220;

enum class Kind { FemaleFace, MaleFace, Clothing, FacialAnim, Voice, EncounterPoint, UniqueAppearance };

struct Mention {
  Kind kind;
  FormLineParts parts;
  std::string label;  // the line's comment, the form's name
  int city = 0;       // the city an encounter point stands in
};

struct DataBaseFiles {
  const char* name;
  Kind kind;
};
constexpr DataBaseFiles kDataBaseFiles[] = {
    {"FemaleFaceNPCs", Kind::FemaleFace}, {"MaleFaceNPCs", Kind::MaleFace},  {"FemaleClothing", Kind::Clothing},
    {"MaleClothing", Kind::Clothing},     {"FemaleAnims", Kind::FacialAnim}, {"MaleAnims", Kind::FacialAnim},
    {"FemaleVoices", Kind::Voice},        {"MaleVoices", Kind::Voice},       {"EncounterPoints", Kind::EncounterPoint},
};

std::string Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

std::string CommentOf(std::string_view line) {
  const auto semicolon = line.find(';');
  return semicolon == std::string_view::npos ? std::string() : Trim(line.substr(semicolon + 1));
}

// A unique NPC file's form value: the form ID before the first "_" (read as a line's is), the plug-in
// file all of the rest as it stands; no "_" means the game's master file.
FormLineParts PartsOfValue(const std::string& value) {
  const auto underscore = value.find('_');
  if (underscore == std::string::npos) return {PartsOfFormLine(value).formID, "Starfield.esm"};
  return {PartsOfFormLine(value.substr(0, underscore)).formID, value.substr(underscore + 1)};
}

// An INI file's values by lower-cased section and key; the first of a repeated key counts.
using IniValues = std::map<std::string, std::map<std::string, std::string>>;
IniValues ReadIni(const fs::path& file) {
  IniValues values;
  std::istringstream text(TextOfDataFile(file));
  std::string section;
  for (std::string line; std::getline(text, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto trimmed = Trim(line);
    if (trimmed.starts_with('[') && trimmed.find(']') != std::string::npos) {
      section = Lower(Trim(trimmed.substr(1, trimmed.find(']') - 1)));
    } else if (const auto equals = trimmed.find('='); equals != std::string::npos && !trimmed.starts_with(';')) {
      auto value = Trim(trimmed.substr(equals + 1));
      if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);  // as the profile reader hands it over
      values[section].try_emplace(Lower(Trim(trimmed.substr(0, equals))), value);
    }
  }
  return values;
}

// What the data names, in the order an author's files list it: the cities' databases, then the
// unique NPC files.
std::vector<Mention> MentionsIn(const fs::path& data) {
  std::vector<Mention> mentions;
  for (const auto& city : kCities)
    for (const auto& database : kDataBaseFiles)
      for (const auto& line : DatabaseLines(data / city.name, database.name))
        mentions.push_back({database.kind, PartsOfFormLine(line), CommentOf(line), city.index});

  std::error_code error;
  std::vector<fs::path> files;
  for (fs::directory_iterator it(data / "UniqueNPCs", error), end; !error && it != end; it.increment(error))
    if (it->path().extension() == ".ini" && it->is_regular_file(error)) files.push_back(it->path());
  std::sort(files.begin(), files.end());
  for (const auto& file : files) {
    const auto ini = ReadIni(file);
    const auto character = ini.find("character");
    if (character == ini.end()) continue;
    const auto name = character->second.count("sname") ? character->second.at("sname") : std::string();
    for (const auto& [key, kind] : {std::pair{"iappearance", Kind::UniqueAppearance},
                                    std::pair{"ifacialanim", Kind::FacialAnim}, std::pair{"ivoicetype", Kind::Voice}})
      if (const auto value = character->second.find(key); value != character->second.end())
        mentions.push_back({kind, PartsOfValue(value->second), key == std::string("iappearance") ? name : ""});
    for (const auto& city : kCities)
      if (const auto section = ini.find(Lower(city.name)); section != ini.end())
        if (const auto clothing = section->second.find("iclothing"); clothing != section->second.end())
          mentions.push_back({Kind::Clothing, PartsOfValue(clothing->second), ""});
  }
  return mentions;
}

// Halfway between the nearest and farthest the settings let an encounter point be from the player.
float PointDistance(const fs::path& data) {
  const auto general = ReadIni(data / "Settings.ini")["general"];
  const auto number = [&](const char* key, int fallback) {
    const auto value = general.find(key);
    if (value == general.end()) return fallback;
    try {
      return std::stoi(value->second);
    } catch (const std::exception&) {
      return fallback;
    }
  };
  const int nearest = number("iencounterpointminplayerdist", kDefaultPointMinDistance);
  const int farthest = number("iencounterpointmaxplayerdist", kDefaultPointMaxDistance);
  return static_cast<float>(nearest + std::max(0, farthest - nearest) / 2);
}

class WorldBuilder {
 public:
  explicit WorldBuilder(float pointDistance) : pointDistance_(pointDistance) {}

  void DeclareFile(const std::string& name) {
    const auto key = Lower(name);
    if (files_.count(key) || key == "quillmerelight.esm" || !IsPluginFileName(name)) return;
    if (key.ends_with(".esl")) {
      if (nextSmall_ > kLastSmallFileIndex)
        throw std::runtime_error("the data names more small plug-in files than a game loads");
      files_[key] = AddPluginFile(name, 2, 0xFE, nextSmall_++);
    } else {
      if (nextFull_ > kLastFullCompileIndex)
        throw std::runtime_error("the data names more plug-in files than a game loads");
      files_[key] = AddPluginFile(name, 1, nextFull_++);
    }
  }

  // Female faces are seen before unique NPCs, so an appearance a female face file names stays female.
  void AddForm(const Mention& mention) {
    const auto file = files_.find(Lower(mention.parts.plugin));
    if (file == files_.end() || !IsFormIDOfFile(mention.parts.formID, mention.parts.plugin)) return;
    const auto local = static_cast<std::uint32_t>(std::stoul(mention.parts.formID, nullptr, 16));
    const bool small = file->second->compileIndex == 0xFE;
    if (local == 0 || (small && local > kLastSmallLocalID)) return;
    const auto formID = RuntimeFormID(*file->second, local);
    if (formID >= kFirstRuntimeFormID || FindForm(formID)) return;
    std::optional<std::string> name;
    if (!mention.label.empty()) name = mention.label;
    switch (mention.kind) {
      case Kind::FemaleFace:
      case Kind::MaleFace:
      case Kind::UniqueAppearance: AddNPC(formID, mention.kind == Kind::FemaleFace, name); break;
      case Kind::Clothing: sim::AddForm(formID, RE::FormType::kOutfit, name); break;
      case Kind::FacialAnim: sim::AddForm(formID, RE::FormType::kKeyword, name); break;
      case Kind::Voice: sim::AddForm(formID, RE::FormType::kVoiceType, name); break;
      case Kind::EncounterPoint: AddEncounterPoint(formID, mention.city, name); break;
    }
  }

 private:
  void AddEncounterPoint(std::uint32_t formID, int city, const std::optional<std::string>& name) {
    // The base object comes from the plug-in's master file, so no run-time form ID is taken: actors
    // spawned later are numbered as in a world read from a file.
    if (!pointBase_)
      pointBase_ = sim::AddForm(RuntimeFormID(*FindPluginFile("QuillmereLight.esm"), kPointBaseLocalID), kMiscType,
                                "Encounter point");
    const auto spot = GetWorld().citySpots.at(kCities[city - 1].name);
    const float angle = static_cast<float>(pointsIn_[city]++) * 2.39996f;  // the golden angle keeps points apart
    const RE::NiPoint3 at{spot.x + pointDistance_ * std::cos(angle), spot.y + pointDistance_ * std::sin(angle), spot.z};
    auto* reference = AddReference(formID, pointBase_, at, name);
    SetLoaded3D(reference, true);
    SetCurrentLocation(reference, CityLocation(city));
  }

  std::map<std::string, RE::TESFile*> files_;  // by lower-cased name
  std::uint8_t nextFull_ = 0;
  std::uint16_t nextSmall_ = 0;
  RE::TESForm* pointBase_ = nullptr;
  std::map<int, int> pointsIn_;
  float pointDistance_;
};

}  // namespace

void LoadWorldFromData(const fs::path& dataFolder) {
  const auto mentions = MentionsIn(dataFolder);
  WorldBuilder builder(PointDistance(dataFolder));
  builder.DeclareFile("Starfield.esm");
  for (const auto& mention : mentions) builder.DeclareFile(mention.parts.plugin);
  LoadPluginMasterOnly();
  for (const auto& city : kCities)
    GetWorld().citySpots[city.name] = {kCitySpacing * static_cast<float>(city.index), kCitySpacing, 0.0f};
  for (const auto& mention : mentions) builder.AddForm(mention);
}

}  // namespace sim
