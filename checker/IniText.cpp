#include "IniText.h"

#include <fstream>
#include <iterator>

#include <fmt/format.h>

#include "Helpers/Ini.h"
#include "Helpers/Naming.h"

namespace check {
namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The profile reader drops one pair of quotes around a value.
std::string_view Unquoted(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

bool HasComment(std::string_view value) {
  if (value.find(';') != std::string_view::npos) return true;
  for (std::size_t at = value.find('#'); at != std::string_view::npos; at = value.find('#', at + 1))
    if (at == 0 || value[at - 1] == ' ' || value[at - 1] == '\t') return true;
  return false;
}

}  // namespace

const IniSection* IniText::Section(const std::string& name) const {
  for (const auto& section : sections)
    if (EqualIgnoringCase(section.name, name)) return &section;
  return nullptr;
}

const IniKey* IniText::Key(const std::string& section, const std::string& key) const {
  const auto* found = Section(section);
  if (!found) return nullptr;
  const auto index = static_cast<std::size_t>(found - sections.data());
  for (const auto& entry : keys)
    if (entry.section == index && EqualIgnoringCase(entry.key, key)) return &entry;
  return nullptr;
}

std::size_t IniText::LineOf(const std::string& section, const std::string& key) const {
  if (const auto* entry = Key(section, key)) return entry->line;
  if (const auto* found = Section(section)) return found->line;
  return 0;
}

IniText ReadIniText(const std::filesystem::path& path) {
  IniText ini;
  std::ifstream file(path, std::ios::binary);
  if (!file) return ini;
  ini.bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  ini.opened = true;
  const auto contents = TextFile::Decode(ini.bytes);
  ini.encoding = contents.encoding;
  std::size_t number = 0;
  TextFile::ForEachLine(contents.text, [&](std::string_view raw) {
    ++number;
    const auto line = Trim(raw);
    if (line.empty() || line.front() == ';') return;
    if (line.front() == '[') {
      const auto close = line.find(']');
      ini.sections.push_back(
          {std::string(Trim(line.substr(1, close == std::string_view::npos ? line.npos : close - 1))), number});
      return;
    }
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) return;
    ini.keys.push_back({ini.sections.empty() ? kNone : ini.sections.size() - 1,
                        std::string(Trim(line.substr(0, equals))), std::string(Trim(line.substr(equals + 1))), number});
  });
  return ini;
}

void LintIni(const IniText& ini, const IniLintTarget& target, Report& report) {
  using enum TextFile::Encoding;
  if (ini.encoding == Utf16WithoutMark) {
    report.Add(target.shownPath, 0, Level::Error,
               "UTF-16 without byte order mark: the file cannot be read; save it as UTF-8");
    return;
  }
  if (ini.encoding == Utf16LE || ini.encoding == Utf16BE)
    report.Add(target.shownPath, 0, Level::Warning,
               "saved as UTF-16: the plug-in reads its values through the Windows code page, so letters outside it "
               "are lost; save it as UTF-8");

  for (std::size_t s = 0; s < ini.sections.size(); ++s) {
    const auto* first = ini.Section(ini.sections[s].name);
    if (first != &ini.sections[s])
      report.Add(target.shownPath, ini.sections[s].line, Level::Warning,
                 fmt::format("section [{}] appears again (first at line {}): the first wins", ini.sections[s].name,
                             first->line));
  }

  for (std::size_t k = 0; k < ini.keys.size(); ++k) {
    const auto& key = ini.keys[k];
    if (key.section == kNone) continue;
    const auto& section = ini.sections[key.section].name;
    const auto read = Ini::ReadIniValue(target.iniName, section, key.key, target.folder);
    const auto effect = target.effect ? target.effect(key) : std::string();
    for (std::size_t earlier = 0; earlier < k; ++earlier) {
      if (ini.keys[earlier].section != key.section || !EqualIgnoringCase(ini.keys[earlier].key, key.key)) continue;
      report.Add(target.shownPath, key.line, Level::Warning,
                 fmt::format("key {} appears again in [{}] (first at line {}): the first wins{}", key.key, section,
                             ini.keys[earlier].line,
                             read == Unquoted(key.value) ? "" : fmt::format(", the plug-in reads \"{}\"", read)));
      break;
    }
    if (HasComment(key.value) && read == Unquoted(key.value))
      report.Add(
          target.shownPath, key.line, Level::Warning,
          fmt::format("comment after the value of {}: the plug-in reads \"{}\" as its value{}", key.key, read, effect));
  }
}

std::optional<std::size_t> FirstInvalidUtf8Line(std::string_view text) {
  std::size_t line = 1;
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\n') ++line;
    std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > text.size()) return line;
    for (std::size_t j = 1; j < length; ++j)
      if ((static_cast<unsigned char>(text[i + j]) & 0xC0) != 0x80) return line;
    // Overlong forms and surrogates are not UTF-8 either.
    if (length == 2 && c < 0xC2) return line;
    if (length == 3) {
      const auto next = static_cast<unsigned char>(text[i + 1]);
      if ((c == 0xE0 && next < 0xA0) || (c == 0xED && next >= 0xA0)) return line;
    }
    if (length == 4) {
      const auto next = static_cast<unsigned char>(text[i + 1]);
      if ((c == 0xF0 && next < 0x90) || c > 0xF4 || (c == 0xF4 && next >= 0x90)) return line;
    }
    i += length;
  }
  return std::nullopt;
}

}  // namespace check
