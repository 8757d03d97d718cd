#include "Main/DataBase.h"

#include <cmath>
#include <fstream>
#include <string>
#include <string_view>
#include <variant>

#include "Helpers/FormResolution.h"
#include "Helpers/Log.h"
#include "Main/LocationData.h"
#include "RE/P/PlayerCharacter.h"

namespace {

constexpr const char* kOp = "BuildDataBase";

template <class T>
using Field = std::vector<T> LocationData::*;
using DataBaseField = std::variant<std::monostate, Field<RE::TESNPC*>, Field<RE::TESForm*>, Field<RE::BGSKeyword*>,
                                   Field<RE::BGSVoiceType*>, Field<std::string>, Field<RE::TESObjectREFR*>>;

struct DataBaseSelection {
  const char* name = "";
  DataBaseField field;
};

DataBaseSelection SelectDataBase(int index, bool female) {
  switch (index) {
    case 2: return female ? DataBaseSelection{"FemaleFaceNPCs", &LocationData::FemaleFaceNPCs}
                          : DataBaseSelection{"MaleFaceNPCs", &LocationData::MaleFaceNPCs};
    case 3: return female ? DataBaseSelection{"FemaleClothing", &LocationData::FemaleClothing}
                          : DataBaseSelection{"MaleClothing", &LocationData::MaleClothing};
    case 4: return female ? DataBaseSelection{"FemaleAnims", &LocationData::FemaleAnims}
                          : DataBaseSelection{"MaleAnims", &LocationData::MaleAnims};
    case 5: return female ? DataBaseSelection{"FemaleVoices", &LocationData::FemaleVoices}
                          : DataBaseSelection{"MaleVoices", &LocationData::MaleVoices};
    case 6: return female ? DataBaseSelection{"FemaleNames", &LocationData::FemaleNames}
                          : DataBaseSelection{"MaleNames", &LocationData::MaleNames};
    case 7: return female ? DataBaseSelection{"FemaleLastNames", &LocationData::FemaleLastNames}
                          : DataBaseSelection{"MaleLastNames", &LocationData::MaleLastNames};
    case 8: return {"EncounterPoints", &LocationData::EncounterPoints};
    default: return {};
  }
}

// Where the last case-insensitive occurrence of a four-character extension starts, if any.
std::size_t FindLastIgnoringCase(std::string_view text, std::string_view extension) {
  for (std::size_t at = text.size() >= extension.size() ? text.size() - extension.size() + 1 : 0; at-- > 0;) {
    bool equal = true;
    for (std::size_t i = 0; i < extension.size() && equal; ++i)
      equal = std::tolower(static_cast<unsigned char>(text[at + i])) == extension[i];
    if (equal) return at;
  }
  return std::string_view::npos;
}

// The plug-in file named after the first "_", up to and including its extension; empty when none.
std::string PluginNameOfLine(std::string_view line) {
  const auto underscore = line.find('_');
  if (underscore == std::string_view::npos) return {};
  const auto text = line.substr(underscore + 1);
  for (const std::string_view extension : {".esl", ".esp", ".esm"}) {
    if (const auto at = FindLastIgnoringCase(text, extension); at != std::string_view::npos)
      return std::string(text.substr(0, at + extension.size()));
  }
  return {};
}

// The form ID text: before the first "_", without "x", tabs, blanks and leading zeros, cut at ";".
std::string FormIDOfLine(std::string_view line) {
  std::string text;
  for (const char c : line.substr(0, line.find('_')))
    if (c != 'x' && c != '\t' && c != ' ' && !(c == '0' && text.empty())) text += c;
  return text.substr(0, text.find(';'));
}

struct Build {
  int index;
  bool female;
  const char* name;
  LocationData& record;
  int count = 0;

  void AddText(std::vector<std::string>& database, const std::string& line) {
    database.push_back(line);
    ++count;
    Log::Info(kOp, "  adding [{}:{}] to database [{}] (iDBIndex [{}]).", index == 7 ? "LastName" : "Name", line, name,
              index);
  }

  template <class T>
  void Append(std::vector<T*>& database, RE::TESForm* form, const char* kind) {
    database.push_back(static_cast<T*>(form));
    ++count;
    Log::Info(kOp, "  adding [{}:{:x}] to database [{}] (iDBIndex [{}]).", kind, form->formID, name, index);
  }

  void AddEncounterPoint(std::vector<RE::TESObjectREFR*>& database, RE::TESForm* form) {
    auto* player = RE::PlayerCharacter::GetSingleton();
    if (!player) return;
    auto* reference = static_cast<RE::TESObjectREFR*>(form);
    const float dx = reference->position.x - player->position.x;
    const float dy = reference->position.y - player->position.y;
    const float dz = reference->position.z - player->position.z;
    const float distance = std::sqrt(dx * dx + dy * dy + dz * dz);
    const auto minimum = PluginSettings.iEncounterPointMinPlayerDist;
    const auto maximum = PluginSettings.iEncounterPointMaxPlayerDist;
    if (static_cast<float>(minimum) <= distance && distance <= static_cast<float>(maximum)) {
      database.push_back(reference);
      ++count;
      Log::Info(kOp, "  adding [Reference:{:x} to database [{}] (iDBIndex [{}]). fMinPlayerDistance [{}]. fMaxPlayerDistance [{}].PlayerDistance [{:f}].",
                form->formID, name, index, minimum, maximum, distance);
    } else {
      Log::Warn(kOp, "  could not add [Reference:{:x} to database [{}] (iDBIndex [{}]) due to distance check. fMinPlayerDistance [{}]. fMaxPlayerDistance [{}]. PlayerDistance [{:f}].",
                form->formID, name, index, minimum, maximum, distance);
    }
  }

  void AddFormLine(const DataBaseField& field, const std::string& line) {
    auto plugin = PluginNameOfLine(line);
    if (plugin.empty()) {
      Log::Info(kOp, "plugin name for line [{}] is empty. Assuming Starfield.esm.", line);
      plugin = kMasterFileName;
    }
    const auto formIDText = FormIDOfLine(line);
    if (formIDText.empty()) {
      Log::Warn(kOp, "HexFormID for line [{}] is empty. Skipping this formID.", line);
      return;
    }
    auto* form = GetFormFromFile(formIDText, plugin);
    if (!form) {
      Log::Warn(kOp, "no form was found in line [{}].", line);
      return;
    }

    using RE::FormType;
    const auto type = form->GetFormType();
    if (index == 2 && type == FormType::kNPC) {
      if (static_cast<RE::TESNPC*>(form)->IsFemale() == female)
        Append(record.*std::get<Field<RE::TESNPC*>>(field), form, "NPCForm");
      else
        Log::Error(kOp, "  couldn't add [NPCForm:{:x}] to database [{}] (iDBIndex [{}]) due to NPC->IsFemale() [{}] mismatch.",
                   form->formID, name, index, female ? 1 : 0);
    } else if (index == 3 && (type == FormType::kArmor || type == FormType::kOutfit)) {
      Append(record.*std::get<Field<RE::TESForm*>>(field), form, "ClothingForm");
    } else if (index == 4 && type == FormType::kKeyword) {
      Append(record.*std::get<Field<RE::BGSKeyword*>>(field), form, "AnimKeyword");
    } else if (index == 5 && type == FormType::kVoiceType) {
      Append(record.*std::get<Field<RE::BGSVoiceType*>>(field), form, "VoiceType");
    } else if (index == 8 && type == FormType::kReference) {
      AddEncounterPoint(record.*std::get<Field<RE::TESObjectREFR*>>(field), form);
    } else {
      Log::Error(kOp, "found form with FormID {:x} has unexpected FormType [{}] for iDBIndex [{}]. Skipping this form...",
                 form->formID, form->formType, index);
    }
  }
};

}  // namespace

int BuildDataBase(int iDBIndex, bool bFemale, int iLocationIndex) {
  auto* record = GetLocationStructByIndex(iLocationIndex);
  if (iDBIndex > 8 || !record) return -1;
  const auto location = GetLocationNameByIndex(iLocationIndex);
  const auto folder = GetLocationFolder(iLocationIndex);

  const auto selection = SelectDataBase(iDBIndex, bFemale);
  const bool wasFilled = std::visit(
      [&](auto field) {
        if constexpr (std::is_same_v<decltype(field), std::monostate>) {
          return false;
        } else {
          auto& database = record->*field;
          const bool filled = !database.empty();
          database.clear();
          return filled;
        }
      },
      selection.field);
  if (std::holds_alternative<std::monostate>(selection.field)) {
    Log::Error(kOp, "DataBase error at FilePath [{}] with target database name [{}].", folder, selection.name);
    return -1;
  }
  if (wasFilled)
    Log::Warn(kOp, "database '{}' for location [{}] wasn't empty. Cleared array...", selection.name, location);

  const auto files = GetFileNamesInDirectory(folder, selection.name);
  if (files.empty()) {
    Log::Error(kOp, "array 'FileNames' for FilePath [{}] with target database name [{}] is empty.", folder,
               selection.name);
    return 0;
  }

  Build build{iDBIndex, bFemale, selection.name, *record};
  for (std::size_t i = 0; i < files.size(); ++i) {
    const auto path = folder + files[i];
    if (!std::filesystem::exists(path)) {
      Log::Error(kOp, "file '{}' for location [{}] at i ({}) doesn't exist but it is in array FileNames. Skipping file...",
                 files[i], location, i);
      continue;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) continue;
    Log::Info(kOp, "beginning to process file '{}' for location [{}] at i ({})...", files[i], location, i);
    for (std::string line; std::getline(file, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty()) continue;
      if (iDBIndex == 6 || iDBIndex == 7)
        build.AddText(record->*std::get<Field<std::string>>(selection.field), line);
      else
        build.AddFormLine(selection.field, line);
    }
  }
  return build.count;
}
