#include "CityDataRules.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

#include "GameForms.h"
#include "GameWorld.h"
#include "RE/T/TESNPC.h"
#include "Text.h"

namespace sim {
namespace {

// The most hexadecimal digits the game's lookup takes for a form of that file.
std::size_t LongestFormID(const std::string& plugin) { return plugin == "Starfield.esm" ? 8u : 6u; }

}  // namespace

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  return lower;
}

bool IsPluginFileName(std::string_view name) {
  const auto lower = Lower(name);
  return lower.size() > 4 && (lower.ends_with(".esm") || lower.ends_with(".esp") || lower.ends_with(".esl"));
}

// The file's text: a UTF-8 mark dropped, UTF-16 with its mark turned into UTF-8.
std::string TextOfDataFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  std::string text = bytes.str();
  if (text.starts_with("\xEF\xBB\xBF")) return text.substr(3);
  const bool little = text.starts_with("\xFF\xFE"), big = text.starts_with("\xFE\xFF");
  if (!little && !big) return text;
  std::wstring wide;
  for (std::size_t i = 2; i + 1 < text.size(); i += 2) {
    const auto first = static_cast<unsigned char>(text[i]), second = static_cast<unsigned char>(text[i + 1]);
    wide += static_cast<wchar_t>(little ? first | (second << 8) : (first << 8) | second);
  }
  return Utf8FromWide(wide);
}

namespace {

// "FormID text": before the first "_", without "x", tabs and blanks, then without leading zeros, cut
// at the first ";".
std::string FormIDText(std::string_view line) {
  std::string text;
  for (const char c : line.substr(0, line.find('_')))
    if (c != 'x' && c != '\t' && c != ' ') text += c;
  text.erase(0, text.find_first_not_of('0') == std::string::npos ? text.size() : text.find_first_not_of('0'));
  return text.substr(0, text.find(';'));
}

// After the first "_", up to and including the last ".esl", else ".esp", else ".esm"; empty when
// there is none, which means the game's master file.
std::string PluginName(std::string_view line) {
  const auto underscore = line.find('_');
  if (underscore == std::string_view::npos) return {};
  const auto name = line.substr(underscore + 1);
  const auto lower = Lower(name);
  for (const char* extension : {".esl", ".esp", ".esm"})
    if (const auto at = lower.rfind(extension); at != std::string::npos) return std::string(name.substr(0, at + 4));
  return {};
}

RE::TESFile* LoadedFileNamed(const std::string& name) {
  auto& handler = GameDataHandler();
  const auto wanted = Lower(name);
  for (auto* list : {&handler.files, &handler.smallFiles, &handler.mediumFiles})
    for (auto* file : *list)
      if (file && Lower(file->fileName) == wanted) return file;
  return nullptr;
}

}  // namespace

std::filesystem::path CityDataFolder(int city) {
  return std::filesystem::current_path() / "Data" / "SFSE" / "Plugins" / "Quillmere" / kCities[city - 1].name;
}

std::vector<std::string> DatabaseLines(const std::filesystem::path& folder, std::string_view databaseName) {
  std::vector<std::string> lines;
  std::error_code error;
  const auto prefix = Lower(databaseName);
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.is_directory(error)) continue;
    const auto path = PathText(entry.path());
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || path.substr(dot, 4) != ".txt") continue;
    if (!Lower(PathText(entry.path().filename())).starts_with(prefix)) continue;
    std::istringstream text(TextOfDataFile(entry.path()));
    for (std::string line; std::getline(text, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty()) lines.push_back(line);
    }
  }
  return lines;
}

FormLineParts PartsOfFormLine(std::string_view line) {
  auto plugin = PluginName(line);
  return {FormIDText(line), plugin.empty() ? "Starfield.esm" : plugin};
}

bool IsFormIDOfFile(const std::string& formID, const std::string& plugin) {
  return !formID.empty() && formID.size() <= LongestFormID(plugin) &&
         formID.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

RE::TESForm* FormOfLine(std::string_view line) {
  const auto [id, plugin] = PartsOfFormLine(line);
  if (id.empty() || id.size() > LongestFormID(plugin)) return nullptr;
  auto* file = LoadedFileNamed(plugin);
  if (!file) return nullptr;
  std::uint32_t local = 0;
  try {
    local = static_cast<std::uint32_t>(std::stoul(id, nullptr, 16));
  } catch (const std::exception&) {
    return nullptr;
  }
  const auto formID = RuntimeFormID(*file, local);
  return formID ? FindForm(formID) : nullptr;
}

std::vector<RE::TESForm*> FormDatabase(int city, std::string_view databaseName) {
  const bool female = databaseName.starts_with("Female");
  const auto accepted = [&](const RE::TESForm* form) {
    if (databaseName.ends_with("FaceNPCs"))
      return form->Is(RE::FormType::kNPC) && static_cast<const RE::TESNPC*>(form)->IsFemale() == female;
    if (databaseName.ends_with("Clothing")) return form->Is(RE::FormType::kArmor) || form->Is(RE::FormType::kOutfit);
    if (databaseName.ends_with("Anims")) return form->Is(RE::FormType::kKeyword);
    return form->Is(RE::FormType::kVoiceType);
  };
  std::vector<RE::TESForm*> forms;
  for (const auto& line : DatabaseLines(CityDataFolder(city), databaseName))
    if (auto* form = FormOfLine(line); form && accepted(form)) forms.push_back(form);
  return forms;
}

}  // namespace sim
