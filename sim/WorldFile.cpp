#include "WorldFile.h"

#include <fstream>
#include <map>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "GameForms.h"
#include "PluginMaster.h"
#include "Text.h"

namespace sim {
namespace {

using nlohmann::json;

const std::map<std::string, RE::FormType> kFormTypes = {
    {"Armor", RE::FormType::kArmor},     {"Outfit", RE::FormType::kOutfit},
    {"Keyword", RE::FormType::kKeyword}, {"VoiceType", RE::FormType::kVoiceType},
    {"Weapon", static_cast<RE::FormType>(45)}, {"Misc", static_cast<RE::FormType>(32)},
};

std::uint32_t ParseLocalID(const json& value, const std::string& where) {
  const auto text = value.get<std::string>();
  std::size_t used = 0;
  unsigned long id = 0;
  try {
    id = std::stoul(text, &used, 16);
  } catch (const std::exception&) {
    used = 0;
  }
  if (text.empty() || used != text.size()) throw std::runtime_error(where + ": '" + text + "' is not a hexadecimal ID");
  return static_cast<std::uint32_t>(id);
}

RE::NiPoint3 ParsePoint(const json& value) {
  return {value.at(0).get<float>(), value.at(1).get<float>(), value.at(2).get<float>()};
}

int KindCode(const std::string& kind, const std::string& where) {
  if (kind == "full") return 1;
  if (kind == "small") return 2;
  if (kind == "medium") return 3;
  throw std::runtime_error(where + ": kind must be full, small or medium, not '" + kind + "'");
}

void AddMaster() {
  std::uint8_t next = 0;
  for (auto* file : GameDataHandler().files) next = std::max<std::uint8_t>(next, static_cast<std::uint8_t>(file->compileIndex + 1));
  CreatePluginMasterForms(*AddPluginFile("QuillmereLight.esm", 1, next));
}

}  // namespace

void LoadPluginMasterOnly() { AddMaster(); }

void LoadWorld(const std::filesystem::path& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read world file " + PathText(path));
  json world;
  try {
    world = json::parse(in);
  } catch (const json::exception& error) {
    throw std::runtime_error(PathText(path) + ": " + error.what());
  }
  const auto name = PathText(path.filename());

  try {
    for (const auto& file : world.at("files")) {
      const auto fileName = file.at("name").get<std::string>();
      const int kind = KindCode(file.at("kind").get<std::string>(), name + ": file " + fileName);
      const auto index = kind == 2 ? file.at("smallFileIndex").get<std::uint16_t>()
                         : kind == 3 ? file.at("mediumFileIndex").get<std::uint16_t>()
                                     : std::uint16_t{0};
      AddPluginFile(fileName, kind, file.at("compileIndex").get<std::uint8_t>(), index);
    }
    AddMaster();

    if (world.contains("cities"))
      for (const auto& [city, data] : world["cities"].items()) GetWorld().citySpots[city] = ParsePoint(data.at("spot"));

    // References name their base objects, so they come after every other form.
    for (const bool references : {false, true}) {
      for (const auto& form : world.at("forms")) {
        const auto type = form.at("type").get<std::string>();
        if ((type == "Reference") != references) continue;
        const auto fileName = form.at("file").get<std::string>();
        const auto where = name + ": form " + form.at("id").get<std::string>() + " of " + fileName;
        auto* file = FindPluginFile(fileName);
        if (!file) throw std::runtime_error(where + ": its file is not declared");
        const auto formID = RuntimeFormID(*file, ParseLocalID(form.at("id"), where));
        std::optional<std::string> fullName;
        if (form.contains("name")) fullName = form["name"].get<std::string>();

        if (type == "NPC") {
          auto* npc = AddNPC(formID, form.at("female").get<bool>(), fullName);
          if (form.contains("faceNPC")) {
            auto* face = FindForm(RuntimeFormID(*file, ParseLocalID(form["faceNPC"], where)));
            if (!face || !face->Is(RE::FormType::kNPC)) throw std::runtime_error(where + ": faceNPC is no NPC declared before it");
            npc->faceNPC = static_cast<RE::TESNPC*>(face);
          }
        } else if (type == "Reference") {
          auto* base = FindForm(RuntimeFormID(*file, ParseLocalID(form.at("base"), where)));
          if (!base) throw std::runtime_error(where + ": its base form is not declared");
          std::optional<std::string> displayName;
          if (form.contains("displayName")) displayName = form["displayName"].get<std::string>();
          AddReference(formID, base, ParsePoint(form.at("position")), displayName);
        } else if (const auto kind = kFormTypes.find(type); kind != kFormTypes.end()) {
          AddForm(formID, kind->second, fullName);
        } else {
          throw std::runtime_error(where + ": unknown type '" + type + "'");
        }
      }
    }
  } catch (const json::exception& error) {
    throw std::runtime_error(name + ": " + error.what());
  }
}

}  // namespace sim
