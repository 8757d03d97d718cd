#include "Main/Cities/DataBase.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "Helpers/FormResolution.h"
#include "Helpers/Geometry.h"
#include "Helpers/Log.h"
#include "Helpers/TextFile.h"
#include "Main/Cities/CityFolderCache.h"
#include "Main/Cities/DataBaseKinds.h"
#include "Parse/FormLine.h"
#include "RE/P/PlayerCharacter.h"
#include "Win/Text.h"

namespace {

constexpr const char* kOp = "BuildDataBase";

using Parse::FormIDOfLine;
using Parse::PluginNameOfLine;

struct Build {
  const DataBaseDescriptor& descriptor;
  bool female;
  CityRecord& record;
  int count = 0;

  int index() const noexcept { return static_cast<int>(descriptor.kind); }
  const char* name() const noexcept { return descriptor.side(female).name; }

  void AddText(std::string_view line) {
    DataBaseIn<std::string>(record, descriptor.side(female)).push_back(std::string(line));
    ++count;
    Log::Info(kOp, "  adding [{}:{}] to database [{}] (iDBIndex [{}]).", descriptor.entryLabel, line, name(), index());
  }

  template <class T>
  void Append(RE::TESForm* form) {
    DataBaseIn<T*>(record, descriptor.side(female)).push_back(static_cast<T*>(form));
    ++count;
    Log::Info(kOp, "  adding [{}:{:x}] to database [{}] (iDBIndex [{}]).", descriptor.entryLabel, form->formID, name(),
              index());
  }

  void AddEncounterPoint(RE::TESForm* form) {
    auto* player = RE::PlayerCharacter::GetSingleton();
    if (!player) return;
    auto* reference = static_cast<RE::TESObjectREFR*>(form);
    const float distance = DistanceBetween(reference->position, player->position);
    const auto minimum = PluginSettings.iEncounterPointMinPlayerDist;
    const auto maximum = PluginSettings.iEncounterPointMaxPlayerDist;
    if (static_cast<float>(minimum) <= distance && distance <= static_cast<float>(maximum)) {
      DataBaseIn<RE::TESObjectREFR*>(record, descriptor.side(female)).push_back(reference);
      ++count;
      Log::Info(
          kOp,
          "  adding [Reference:{:x} to database [{}] (iDBIndex [{}]). fMinPlayerDistance [{}]. fMaxPlayerDistance [{}].PlayerDistance [{:f}].",
          form->formID, name(), index(), minimum, maximum, distance);
    } else {
      Log::Warn(
          kOp,
          "  could not add [Reference:{:x} to database [{}] (iDBIndex [{}]) due to distance check. fMinPlayerDistance [{}]. fMaxPlayerDistance [{}]. PlayerDistance [{:f}].",
          form->formID, name(), index(), minimum, maximum, distance);
    }
  }

  bool Accepts(RE::FormType type) const noexcept {
    for (const auto accepted : descriptor.acceptedTypes)
      if (accepted == type) return true;
    return false;
  }

  void AddFormLine(std::string_view line) {
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
    if (!Accepts(form->GetFormType())) {
      Log::Error(kOp,
                 "found form with FormID {:x} has unexpected FormType [{}] for iDBIndex [{}]. Skipping this form...",
                 form->formID, form->formType, index());
      return;
    }
    switch (descriptor.kind) {
      case DataBaseKind::FaceNPCs:
        if (static_cast<RE::TESNPC*>(form)->IsFemale() == female)
          Append<RE::TESNPC>(form);
        else
          Log::Error(
              kOp,
              "  couldn't add [NPCForm:{:x}] to database [{}] (iDBIndex [{}]) due to NPC->IsFemale() [{}] mismatch.",
              form->formID, name(), index(), female ? 1 : 0);
        break;
      case DataBaseKind::Clothing: Append<RE::TESForm>(form); break;
      case DataBaseKind::Anims: Append<RE::BGSKeyword>(form); break;
      case DataBaseKind::Voices: Append<RE::BGSVoiceType>(form); break;
      case DataBaseKind::EncounterPoints: AddEncounterPoint(form); break;
      case DataBaseKind::Names:
      case DataBaseKind::LastNames: break;
    }
  }
};

}  // namespace

int BuildDataBase(DataBaseKind kind, bool bFemale, CityRecord& city) {
  const char* const location = city.name();
  const auto& folder = city.folder;
  const auto& descriptor = DescriptorOf(kind);
  const auto& side = descriptor.side(bFemale);
  const bool wasFilled = std::visit(
      [&](auto field) {
        auto& database = city.*field;
        const bool filled = !database.empty();
        database.clear();
        return filled;
      },
      side.field);
  if (wasFilled) Log::Warn(kOp, "database '{}' for location [{}] wasn't empty. Cleared array...", side.name, location);

  // Kept between builds: a citizen's draws rebuild small databases often (see CityFolderCache.h).
  const auto cityFolder = TakeCityFolder(folder);
  const auto files = cityFolder.FileNames(side.name);
  if (files.empty()) {
    Log::Error(kOp, "array 'FileNames' for FilePath [{}] with target database name [{}] is empty.",
               Win::ToUtf8(folder.native()), side.name);
    return 0;
  }

  Build build{descriptor, bFemale, city};
  for (std::size_t i = 0; i < files.size(); ++i) {
    const auto file = cityFolder.Read(files[i]);
    if (!file.exists) {
      Log::Error(kOp,
                 "file '{}' for location [{}] at i ({}) doesn't exist but it is in array FileNames. Skipping file...",
                 files[i], location, i);
      continue;
    }
    const auto& contents = *file.contents;
    if (!contents.opened) continue;  // held by another program: passed over, as the data format allows
    if (contents.encoding == TextFile::Encoding::Utf16WithoutMark) {
      Log::Error(kOp,
                 "file '{}' for location [{}] at i ({}) is {}: it cannot be read. Save it as UTF-8. Skipping file...",
                 files[i], location, i, TextFile::EncodingName(contents.encoding));
      continue;
    }
    Log::Info(kOp, "beginning to process file '{}' for location [{}] at i ({})...", files[i], location, i);
    TextFile::ForEachLine(contents.text, [&](std::string_view line) {
      if (line.empty()) return;
      if (descriptor.textLines)
        build.AddText(line);
      else
        build.AddFormLine(line);
    });
  }
  return build.count;
}
