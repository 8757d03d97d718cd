#include "Main/UniqueNPCs/UniqueNPCDefinitions.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iterator>
#include <string_view>

#include <fmt/format.h>

#include "Helpers/FormResolution.h"
#include "Helpers/Ini.h"
#include "Helpers/Log.h"
#include "Helpers/Naming.h"
#include "Main/Game/Cities.h"
#include "Parse/UniqueNPCValues.h"
#include "Win/FolderListing.h"
#include "Win/Text.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kOp = "BuildUniqueNPCsDB";
const std::string kFolder = Win::ToUtf8(Ini::kDataFolder) + "UniqueNPCs\\";

// Names are UTF-8 in the plug-in; the file system gets them as wide paths.
fs::path PathOf(const std::string& utf8) { return Win::FromUtf8(utf8); }
std::string Utf8Of(const fs::path& path) { return Win::ToUtf8(path.native()); }

// "<hexadecimal form ID>_<plug-in file>"; without "_" the whole text is the ID in Starfield.esm.
RE::TESForm* ResolveFormReference(const std::string& text) {
  auto reference = Parse::FormReferenceOf(text);
  return GetFormFromFile(std::move(reference.formID), std::move(reference.plugin));
}

// The log's "RetrievedData": each value read so far behind its opening text. Built only while the
// log is written.
class Trace {
 public:
  template <class T>
  void Add(const char* opening, const T& value) {
    if (Log::Enabled()) fmt::format_to(std::back_inserter(text_), "{}{}]", opening, value);
  }
  void Restart() { text_.clear(); }
  const std::string& text() const noexcept { return text_; }

 private:
  std::string text_;
};

// The three forms of the "Character" section, checked for their kinds in order.
struct CharacterForms {
  RE::TESForm* appearance;
  RE::TESForm* facialAnim;
  RE::TESForm* voice;
};

bool CheckKinds(const CharacterForms& forms, const Trace& trace) {
  struct Check {
    RE::TESForm* form;
    RE::FormType type;
    const char* what;
    const char* kind;
  };
  for (const auto& check : {Check{forms.appearance, RE::FormType::kNPC, "AppearanceForm", "TESNPC"},
                            Check{forms.facialAnim, RE::FormType::kKeyword, "FacialAnimForm", "BGSKeyword"},
                            Check{forms.voice, RE::FormType::kVoiceType, "VoiceTypeForm", "BGSVoiceType"}}) {
    if (check.form->QueryFormType() != check.type) {
      Log::Error(kOp, "{} with FormID {} is not {}. Skipping this UniqueNPC. RetrievedData: {}", check.what,
                 HexFormID{check.form->formID}, check.kind, trace.text());
      return false;
    }
  }
  return true;
}

// The city's clothing: an outfit or an armor; anything else leaves the record without clothing.
void ReadClothing(const std::string& text, const std::string& city, Trace& trace, UniqueNPCData& record) {
  if (text.empty()) {
    Log::Warn(kOp, "  sClothing is empty. This UniqueNPC will not have any Outfit or Armor at {}.", city);
    Log::Error(kOp, "ClothingForm is nullptr for line: {}. RetrievedData: {}", text, trace.text());
    return;
  }
  auto* clothing = ResolveFormReference(text);
  if (!clothing) {
    Log::Error(kOp, "ClothingForm is nullptr for line: {}. RetrievedData: {}", text, trace.text());
    return;
  }
  const auto type = clothing->QueryFormType();
  if (type == RE::FormType::kOutfit) {
    record.OutfitFormID = clothing->formID;
  } else if (type == RE::FormType::kArmor) {
    record.ArmorFormID = clothing->formID;
  } else {
    Log::Warn(kOp, "ClothingFormFormType with FormID {} is not TESObjectARMO or BGSOutfit. RetrievedData: {}",
              HexFormID{clothing->formID}, trace.text());
    Log::Warn(
        kOp,
        "ClothingForm with FormID {} couldn't be resolved to TESObjectARMO or BGSOutfit. This UniqueNPC will not have any Outfit or Armor at {}. RetrievedData: {}",
        HexFormID{clothing->formID}, city, trace.text());
  }
}

// Reads one definition file into the cities it names; the number of records it gave.
int ReadDefinitionFile(const std::vector<std::string>& files, std::size_t index) {
  const auto& entry = files[index];
  Trace trace;
  trace.Add(" [UniqueNPCFileNames.size: ", files.size());
  trace.Add(" [Looping UniqueNPCFileNames... Index:", index);
  trace.Add(" [UniqueNPCFileName: ", entry);
  if (entry.empty()) {
    Log::Error(kOp, "UniqueNPCFileNames.at [{}] is empty. Skipping this UniqueNPC. RetrievedData: {}", index,
               trace.text());
    return 0;
  }
  const auto path = kFolder + entry;
  std::error_code error;
  if (!fs::exists(PathOf(path), error)) {
    Log::Error(kOp, "std::filesystem : FilePath [{}] doesn't exist. Skipping this UniqueNPC. RetrievedData: {}", path,
               trace.text());
    return 0;
  }
  const auto nameNoExt = Parse::DefinitionName(entry);
  trace.Add(" [FileNameNoExt: ", nameNoExt);
  if (nameNoExt.empty()) {
    Log::Error(kOp, "FileNameNoExt is empty. Skipping this UniqueNPC. RetrievedData: {}", trace.text());
    return 0;
  }

  const auto read = [&](const std::string& section, const char* key) {
    return Ini::ReadIniValue(nameNoExt, section, key, PathOf(kFolder));
  };
  const auto sName = read("Character", "sName");
  trace.Add(" [sName: ", sName);
  if (sName.empty()) {
    Log::Error(kOp, "sName is empty. Skipping this UniqueNPC. RetrievedData: {}", trace.text());
    return 0;
  }
  const auto sAppearance = read("Character", "iAppearance");
  trace.Add(" [sAppearance: ", sAppearance);
  if (sAppearance.empty()) {
    Log::Info(kOp, "sAppearance is empty. Skipping this UniqueNPC. RetrievedData: {}", trace.text());
    return 0;
  }
  const auto sFacialAnim = read("Character", "iFacialAnim");
  trace.Add(" [sFacialAnimType: ", sFacialAnim);
  if (sFacialAnim.empty()) {
    Log::Error(kOp, "sFacialAnimType is empty. Skipping this UniqueNPC. RetrievedData: {}", trace.text());
    return 0;
  }
  const auto sVoiceType = read("Character", "iVoiceType");
  trace.Add(" [sVoiceType: ", sVoiceType);
  if (sVoiceType.empty()) {
    Log::Error(kOp, "sVoiceType is empty. Skipping this UniqueNPC. RetrievedData: {}", trace.text());
    return 0;
  }

  CharacterForms forms{};
  struct Reference {
    const std::string& text;
    RE::TESForm*& form;
    const char* what;
  };
  for (const auto& reference : {Reference{sAppearance, forms.appearance, "AppearanceForm"},
                                Reference{sFacialAnim, forms.facialAnim, "FacialAnimForm"},
                                Reference{sVoiceType, forms.voice, "VoiceTypeForm"}}) {
    reference.form = ResolveFormReference(reference.text);
    if (!reference.form) {
      Log::Error(kOp, "{} is nullptr for line: {}. Skipping this UniqueNPC. RetrievedData: {}", reference.what,
                 reference.text, trace.text());
      return 0;
    }
  }
  if (!CheckKinds(forms, trace)) return 0;

  const auto sHeight = read("Character", "fHeight");
  trace.Add(" [fHeight: ", sHeight);
  if (sHeight.empty()) {
    Log::Error(kOp, "sHeight is empty. Skipping this UniqueNPC. RetrievedData: {}", trace.text());
    return 0;
  }
  const auto readHeight = Parse::UniqueNPCHeight(sHeight);
  if (!readHeight)
    Log::Error(kOp, "std::stof exception thrown for sHeight: {}. fHeight will be forced to 1.00", sHeight);
  const float height = readHeight.value_or(1.00f);

  Log::Info(kOp, "Processing UniqueNPC... RetrievedData: {}", trace.text());
  trace.Restart();

  int made = 0;
  for (const City cityOfFile : kCities) {
    auto& city = CityRecordOf(cityOfFile);
    const std::string cityName = city.name();
    trace.Add("[Looping INI... Index: ", city.index());
    trace.Add(" [sLocName: ", cityName);
    const auto sChance = read(cityName, "iEncounterChance");
    trace.Add(" [sEncounterChance: ", sChance);
    if (sChance.empty()) {
      Log::Error(kOp, "  sEncounterChance is empty. Skipping this UniqueNPC. RetrievedData: {}", trace.text());
      continue;
    }
    const auto chance = Parse::EncounterChanceOf(sChance);
    using Status = Parse::EncounterChance::Status;
    if (chance.status == Status::NotDigits) {
      Log::Error(kOp, "  isdigit returned false for sEncounterChance: {}. Skipping this UniqueNPC. RetrievedData: {}",
                 sChance, trace.text());
      continue;
    }
    if (chance.status == Status::Unreadable) {
      Log::Error(kOp,
                 "  std::stoi exception thrown for sEncounterChance: {}. Skipping this UniqueNPC. RetrievedData: {}",
                 sChance, trace.text());
      continue;
    }
    trace.Add(" [iEncounterChance: ", chance.value);
    if (chance.status == Status::OutOfRange) {
      Log::Warn(kOp, "  iEncounterChance is out of range. It is {}. Skipping this UniqueNPC. RetrievedData: {}",
                chance.value, trace.text());
      continue;
    }

    UniqueNPCData record{sName,
                         static_cast<RE::BGSVoiceType*>(forms.voice),
                         static_cast<RE::BGSKeyword*>(forms.facialAnim),
                         static_cast<RE::TESNPC*>(forms.appearance),
                         chance.value,
                         0,
                         0,
                         nameNoExt,
                         height};
    const auto sClothing = read(cityName, "iClothing");
    trace.Add(" [sClothing: ", sClothing);
    ReadClothing(sClothing, cityName, trace, record);
    trace.Add(" [sDefineFileName: ", nameNoExt);
    Log::Info(kOp, "   initialized  UniqueNPC for location [{}]. RetrievedData: {}", cityName, trace.text());
    AddUniqueNPCRecord(city, std::move(record));
    ++made;
  }
  return made;
}

}  // namespace

void AddUniqueNPCRecord(CityRecord& city, UniqueNPCData record) {
  city.uniqueNPCRecords.push_back(std::move(record));
  city.UniqueNPCs.push_back(&city.uniqueNPCRecords.back());
}

void ClearUniqueNPCRecords(CityRecord& city) {
  city.UniqueNPCs.clear();
  city.uniqueNPCRecords.clear();
}

void ClearUniqueNPCRecords() {
  for (const City city : kCities) ClearUniqueNPCRecords(CityRecordOf(city));
}

std::vector<std::string> GetUniqueNPCFileNames() {
  std::vector<std::string> names;
  for (const auto& file : Win::ListFiles(PathOf(kFolder)).value_or(std::vector<fs::path>{})) {
    auto name = Utf8Of(file);
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || name.substr(dot, 4) != ".ini") continue;
    std::erase_if(name, [](char c) { return c == '\n' || c == '\0'; });
    names.push_back(std::move(name));
  }
  return names;
}

bool CanAddUniqueNPCToDB(const std::string& sFileNameNoExt) {
  if (sFileNameNoExt.empty()) return false;
  const auto wanted = ToLowerAscii(sFileNameNoExt);
  for (const City city : kCities) {
    for (const auto* record : CityRecordOf(city).UniqueNPCs)
      if (record && ToLowerAscii(record->sDefineFileName) == wanted) return false;
  }
  return true;
}

std::pair<std::int32_t, std::int32_t> BuildUniqueNPCsDB(const std::string& sHotLoadUniqueNPCFileNameNoExt) {
  std::error_code error;
  if (!fs::is_directory(PathOf(kFolder), error)) {
    Log::Error(kOp, "folder 'Quillmere/UniqueNPCs' can't be reached.");
    return {0, 0};
  }
  auto files = GetUniqueNPCFileNames();
  const bool hotLoad = !sHotLoadUniqueNPCFileNameNoExt.empty();
  if (!hotLoad && files.empty()) {
    Log::Error(kOp, "array 'UniqueNPCFileNames' (and 'sHotLoadUniqueNPCFileNameNoExt' too) are empty.");
    return {0, 0};
  }

  if (hotLoad) {
    if (!CanAddUniqueNPCToDB(sHotLoadUniqueNPCFileNameNoExt)) return {0, 0};
    if (!files.empty()) Log::Warn(kOp, "'UniqueNPCFileNames' wasn't empty (size = {}). Clearing array.", files.size());
    files = {sHotLoadUniqueNPCFileNameNoExt + ".ini"};
  } else {
    // Only a full rebuild empties the lists: a hot-load adds one file's records beside the others.
    for (const City cityOfList : kCities) {
      auto& city = CityRecordOf(cityOfList);
      if (city.UniqueNPCs.empty()) continue;
      Log::Warn(kOp, "  locationData->UniqueNPCs.size = {}. Clearing vector...", city.UniqueNPCs.size());
      ClearUniqueNPCRecords(city);
    }
  }

  std::int32_t uniqueNPCCount = 0;
  std::int32_t locationsCount = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const int made = ReadDefinitionFile(files, i);
    locationsCount += made;
    if (made > 0) ++uniqueNPCCount;
  }
  return {uniqueNPCCount, locationsCount};
}
