#include "WorldFile.h"

#include <fstream>
#include <map>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "Actors.h"
#include "Cells.h"
#include "GameForms.h"
#include "GameINISettings.h"
#include "PluginMaster.h"
#include "Text.h"

namespace sim {
namespace {

using nlohmann::json;

const std::map<std::string, RE::FormType> kFormTypes = {
    {"Armor", RE::FormType::kArmor},           {"Outfit", RE::FormType::kOutfit},
    {"Keyword", RE::FormType::kKeyword},       {"VoiceType", RE::FormType::kVoiceType},
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

int CityIndexOf(const std::string& city, const std::string& where) {
  for (const auto& info : kCities)
    if (city == info.name) return info.index;
  throw std::runtime_error(where + ": unknown city '" + city + "'");
}

// A cell named by its ID in the game's master file.
RE::TESObjectCELL* MasterCell(const json& value, const std::string& where) {
  auto* master = FindPluginFile("Starfield.esm");
  if (!master) throw std::runtime_error(where + ": cells are Starfield.esm's, which is not declared");
  auto* cell = CellWithID(RuntimeFormID(*master, ParseLocalID(value, where)));
  if (!cell) throw std::runtime_error(where + ": that form is no cell");
  return cell;
}

RE::TESForm* FormInFile(const RE::TESFile& file, const json& id, RE::FormType type, const std::string& where,
                        const char* what) {
  auto* form = FindForm(RuntimeFormID(file, ParseLocalID(id, where)));
  if (!form || !form->Is(type)) throw std::runtime_error(where + ": its " + what + " is not declared before it");
  return form;
}

// An actor of the world: editor-placed with its ID, or created at run time; its base, voice and
// template are forms of its own file.
void AddWorldActor(const json& form, const RE::TESFile& file, std::uint32_t formID, RE::BGSLocation* location,
                   const std::string& where) {
  auto* base = static_cast<RE::TESNPC*>(FormInFile(file, form.at("base"), RE::FormType::kNPC, where, "base NPC"));
  auto* actor = CreateActor(formID, base, ParsePoint(form.at("position")), location);
  if (form.contains("displayName")) SetDisplayName(actor, form["displayName"].get<std::string>());
  if (form.contains("voice"))
    SetActorVoice(actor, FormInFile(file, form["voice"], RE::FormType::kVoiceType, where, "voice"));
  if (form.contains("template"))
    SetTemplateForm(actor, FormInFile(file, form["template"], RE::FormType::kNPC, where, "template"));
  if (form.value("alias", false)) HoldInAlias(actor);
}

void AddMaster() {
  std::uint8_t next = 0;
  for (auto* file : GameDataHandler().files)
    next = std::max<std::uint8_t>(next, static_cast<std::uint8_t>(file->compileIndex + 1));
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
      const auto index = kind == 2   ? file.at("smallFileIndex").get<std::uint16_t>()
                         : kind == 3 ? file.at("mediumFileIndex").get<std::uint16_t>()
                                     : std::uint16_t{0};
      AddPluginFile(fileName, kind, file.at("compileIndex").get<std::uint8_t>(), index);
    }
    AddMaster();

    if (world.contains("cities"))
      for (const auto& [city, data] : world["cities"].items()) {
        GetWorld().citySpots[city] = ParsePoint(data.at("spot"));
        if (data.contains("cell"))
          SetCityCell(CityIndexOf(city, name), MasterCell(data["cell"], name + ": city " + city));
      }
    if (world.contains("gameSettings"))
      for (const auto& [setting, value] : world["gameSettings"].items()) {
        try {
          if (value.is_null())
            RemoveGameSetting(setting);
          else
            SetGameSetting(setting, value.get<double>());
        } catch (const std::runtime_error& error) {
          throw std::runtime_error(name + ": " + error.what());
        }
      }
    if (world.contains("outsideCell")) SetOutsideCell(MasterCell(world["outsideCell"], name + ": outsideCell"));

    // References and actors name their base objects, so they come after every other form.
    for (const bool references : {false, true}) {
      for (const auto& form : world.at("forms")) {
        const auto type = form.at("type").get<std::string>();
        if ((type == "Reference" || type == "Actor") != references) continue;
        const auto fileName = form.at("file").get<std::string>();
        const bool runtime = type == "Actor" && form.value("runtime", false);
        const auto where = name + ": form " + form.value("id", std::string("(run-time)")) + " of " + fileName;
        auto* file = FindPluginFile(fileName);
        if (!file) throw std::runtime_error(where + ": its file is not declared");
        const auto formID = runtime ? NextRuntimeFormID() : RuntimeFormID(*file, ParseLocalID(form.at("id"), where));
        RE::BGSLocation* location = nullptr;
        if (form.contains("location")) location = CityLocation(CityIndexOf(form["location"].get<std::string>(), where));
        std::optional<std::string> fullName;
        if (form.contains("name")) fullName = form["name"].get<std::string>();

        if (type == "NPC") {
          auto* npc = AddNPC(formID, form.at("female").get<bool>(), fullName);
          if (form.contains("faceNPC")) {
            auto* face = FindForm(RuntimeFormID(*file, ParseLocalID(form["faceNPC"], where)));
            if (!face || !face->Is(RE::FormType::kNPC))
              throw std::runtime_error(where + ": faceNPC is no NPC declared before it");
            npc->faceNPC = static_cast<RE::TESNPC*>(face);
          }
        } else if (type == "Reference") {
          auto* base = FindForm(RuntimeFormID(*file, ParseLocalID(form.at("base"), where)));
          if (!base) throw std::runtime_error(where + ": its base form is not declared");
          std::optional<std::string> displayName;
          if (form.contains("displayName")) displayName = form["displayName"].get<std::string>();
          auto* reference = AddReference(formID, base, ParsePoint(form.at("position")), displayName);
          SetLoaded3D(reference, form.value("loaded3D", true));
          SetCurrentLocation(reference, location);
        } else if (type == "Actor") {
          AddWorldActor(form, *file, formID, location, where);
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
