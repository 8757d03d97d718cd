// The unique NPC files, each read by the plug-in on its own (as the console's hot-load reads one),
// so every message it writes belongs to that file.
#include <fmt/format.h>

#include "CityDataRules.h"
#include "Checks.h"
#include "FormIDText.h"
#include "Helpers/Ini.h"
#include "Helpers/Naming.h"
#include "IniText.h"
#include "Main/Game/Cities.h"
#include "Main/Cities/LocationData.h"
#include "Main/UniqueNPCs/UniqueNPCDefinitions.h"
#include "Parse/UniqueNPCValues.h"
#include "Win/FolderListing.h"
#include "Win/Text.h"

namespace check {
namespace {

namespace fs = std::filesystem;

// Which key of a unique NPC file a message of the plug-in is about; city messages name no section.
struct KeyMessage {
  const char* opening;
  const char* key;
  bool city;
  bool form;  // needs the author's forms to be meaningful
};
constexpr KeyMessage kKeyMessages[] = {
    {"sName is empty", "sName", false, false},
    {"sAppearance is empty", "iAppearance", false, false},
    {"sFacialAnimType is empty", "iFacialAnim", false, false},
    {"sVoiceType is empty", "iVoiceType", false, false},
    {"AppearanceForm ", "iAppearance", false, true},
    {"FacialAnimForm ", "iFacialAnim", false, true},
    {"VoiceTypeForm ", "iVoiceType", false, true},
    {"sHeight is empty", "fHeight", false, false},
    {"std::stof exception thrown for sHeight", "fHeight", false, false},
    {"  isdigit returned false", "iEncounterChance", true, false},
    {"  std::stoi exception", "iEncounterChance", true, false},
    {"  iEncounterChance is out of range", "iEncounterChance", true, false},
    {"ClothingForm is nullptr", "iClothing", true, true},
    {"ClothingFormFormType", "iClothing", true, true},
};

std::string WithoutTrace(const std::string& text) { return text.substr(0, text.find(" RetrievedData:")); }

const CityInfo* CityNamed(const std::string& section) {
  for (const auto& info : kCityTable)
    if (EqualIgnoringCase(section, info.name)) return &info;
  return nullptr;
}

// The city a message of the city loop is about: the last one its trace names.
std::string CityOfTrace(const std::string& text) {
  const std::string opening = " [sLocName: ";
  const auto start = text.rfind(opening);
  if (start == std::string::npos) return {};
  const auto from = start + opening.size();
  return text.substr(from, text.find(']', from) - from);
}

void CheckFile(CheckContext& context, const std::string& fileName) {
  const auto shown = Shown(fs::path(L"UniqueNPCs") / Win::FromUtf8(fileName));
  const auto ini = ReadIniText(context.copy / L"UniqueNPCs" / Win::FromUtf8(fileName));
  const auto nameNoExt = fileName.substr(0, fileName.rfind('.'));
  const fs::path folder = std::wstring(Ini::kDataFolder) + L"UniqueNPCs\\";
  LintIni(ini, {shown, nameNoExt, folder, {}}, context.report);
  if (const auto line = FirstInvalidUtf8Line(TextFile::Decode(ini.bytes).text))
    context.report.Add(shown, *line, Level::Warning,
                       "not valid UTF-8 (saved in a Windows code page?): the name reaches the game with these bytes");
  for (const auto& section : ini.sections) {
    if (const auto* city = CityNamed(section.name)) {
      context.citiesNamedByUniqueNPCs[SlotOf(city->city)] = true;
    } else if (!EqualIgnoringCase(section.name, "Character")) {
      context.report.Add(
          shown, section.line, Level::Warning,
          fmt::format("section [{}] names no city (NewAtlantis, AkilaCity, Cydonia, Neon): it is not read",
                      section.name));
    }
  }

  ClearUniqueNPCRecords();
  context.messages.Take();
  BuildUniqueNPCsDB(nameNoExt);
  std::string details;  // why a form reference resolved to nothing, from the form lookup
  for (const auto& message : context.messages.Take()) {
    if (message.operation == "GetFormFromFile") {
      if (message.level >= spdlog::level::warn) details += fmt::format(" ({})", Trimmed(message.text));
      continue;
    }
    if (message.operation != "BuildUniqueNPCsDB") continue;
    const auto& text = message.text;
    if (text.starts_with("  sEncounterChance is empty")) {
      const auto city = CityOfTrace(text);
      if (const auto* section = ini.Section(city))
        context.report.Add(shown, section->line, Level::Error,
                           fmt::format("{} ({} gets no record)", WithoutTrace(text), city));
      continue;
    }
    const KeyMessage* match = nullptr;
    for (const auto& candidate : kKeyMessages)
      if (text.starts_with(candidate.opening)) match = &candidate;
    if (!match) {
      if (message.level >= spdlog::level::err) context.report.Add(shown, 0, Level::Error, WithoutTrace(text));
      details.clear();
      continue;
    }
    if (match->form && !context.formsChecked && text.find("is nullptr") != std::string::npos) {
      // Without a world every form whose text the lookup takes exists: what is not found is wrong in
      // its text.
      const auto value = Between(text, "for line: ", match->city ? ". RetrievedData" : ". Skipping this UniqueNPC.");
      const auto reference = Parse::FormReferenceOf(value);
      if (auto wrong = WrongInItsText(reference.formID, details))
        details = std::move(*wrong);
      else if (!reference.plugin.empty() && !sim::IsPluginFileName(reference.plugin))
        details += fmt::format(" (\"{}\" has no .esm, .esp or .esl extension: no plug-in file has that name)",
                               reference.plugin);
    }
    std::string section = "Character";
    std::string consequence;
    if (match->city) {
      section = CityOfTrace(text);
      consequence = std::string(match->key) == "iClothing" ? fmt::format(" ({} gets no clothing)", section)
                                                           : fmt::format(" ({} gets no record)", section);
    } else {
      consequence =
          std::string(match->key) == "fHeight" && text.starts_with("std::stof") ? "" : " (the file is skipped)";
    }
    if (std::string(match->key) == "iClothing" && Between(text, "for line: ", ". RetrievedData").empty()) {
      details.clear();
      continue;  // no clothing given: the key is optional
    }
    context.report.Add(shown, ini.LineOf(section, match->key), Level::Error,
                       WithoutTrace(text) + consequence + details);
    details.clear();
  }

  int made = 0;
  for (const City city : kCities) {
    const auto count = static_cast<int>(CityRecordOf(city).UniqueNPCs.size());
    context.uniqueNPCRecords[SlotOf(city)] += count;
    made += count;
  }
  if (made == 0 && ini.opened) context.report.Add(shown, 0, Level::Error, "gives no unique NPC to any city");
}

}  // namespace

void CheckUniqueNPCs(CheckContext& context) {
  const auto folder = context.copy / L"UniqueNPCs";
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    context.report.Add("UniqueNPCs", 0, Level::Warning, "folder 'Quillmere/UniqueNPCs' can't be reached.");
    return;
  }
  for (const auto& file : Win::ListFiles(folder).value_or(std::vector<fs::path>{})) {
    const auto extension = Win::ToUtf8(file.extension().native());
    if (extension != ".ini" && EqualIgnoringCase(extension, ".ini"))
      context.report.Add(
          Shown(fs::path(L"UniqueNPCs") / file), 0, Level::Warning,
          fmt::format("the extension \"{}\" differs from \".ini\" in case: the plug-in ignores this file", extension));
  }

  for (const auto& fileName : GetUniqueNPCFileNames()) CheckFile(context, fileName);
  ClearUniqueNPCRecords();
  context.messages.Take();
}

}  // namespace check
