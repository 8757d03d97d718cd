#pragma once
// An INI file as its author wrote it: sections and keys with their line numbers, before any
// profile reader has taken the first of each. Used to place findings and to see what the reader
// hides (repeats, comments after values); values themselves are read with the plug-in's reader.
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Findings.h"
#include "Helpers/TextFile.h"

namespace check {

struct IniSection {
  std::string name;
  std::size_t line;
};

struct IniKey {
  std::size_t section;  // index into sections; npos before the first section
  std::string key;
  std::string value;  // blanks around it removed
  std::size_t line;
};

struct IniText {
  bool opened = false;
  TextFile::Encoding encoding = TextFile::Encoding::Bytes;
  std::string bytes;  // the file as stored
  std::vector<IniSection> sections;
  std::vector<IniKey> keys;

  // The first section of that name (case ignored), as the profile reader finds it.
  const IniSection* Section(const std::string& name) const;
  // The first key of that name in the first such section.
  const IniKey* Key(const std::string& section, const std::string& key) const;
  // Where a finding about a key goes: its line, else its section's, else 0.
  std::size_t LineOf(const std::string& section, const std::string& key) const;
};

IniText ReadIniText(const std::filesystem::path& path);

// Comments after values, repeated keys and sections, and the file's encoding. The profile reader
// (iniName in folder) is asked what it really reads; effect, when given, says what the plug-in made
// of a key's value.
struct IniLintTarget {
  std::string shownPath;
  std::string iniName;  // the file name without ".ini", as the plug-in passes it
  std::filesystem::path folder;
  std::function<std::string(const IniKey&)> effect;
};
void LintIni(const IniText& ini, const IniLintTarget& target, Report& report);

// Whether text is valid UTF-8; the line (from 1) of the first invalid byte otherwise.
std::optional<std::size_t> FirstInvalidUtf8Line(std::string_view text);

}  // namespace check
