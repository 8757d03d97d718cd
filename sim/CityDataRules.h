#pragma once
// A city's data files read by the rules their authors are given, from the game folder as it is now:
// which files feed a database, how a line names a form, and which forms a database accepts. The
// stand-in's own reading, so that what the plug-in built can be set beside what the files say.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "RE/T/TESForm.h"

namespace sim {

// Names of files and keys compare with ASCII case ignored.
std::string Lower(std::string_view text);

// A name the game loads as a plug-in file: one that ends in .esm, .esp or .esl, case ignored.
bool IsPluginFileName(std::string_view name);

// Data\SFSE\Plugins\Quillmere\<city> in the current game folder; city 1 to 4.
std::filesystem::path CityDataFolder(int city);

// A data file's text: a UTF-8 byte order mark dropped, UTF-16 with its mark turned into UTF-8.
std::string TextOfDataFile(const std::filesystem::path& file);

// Every non-empty line of the files that feed the database (name starts with it, case ignored,
// extension ".txt"), file by file in the order the folder lists them. A UTF-8 byte order mark is
// dropped and UTF-16 with its mark is read as text; CR before LF is no part of a line.
std::vector<std::string> DatabaseLines(const std::filesystem::path& folder, std::string_view databaseName);

// A form line's parts as the authors' rules read them: the form ID text (before the first "_",
// without "x", tabs, blanks and leading zeros, cut at ";") and the plug-in file (after the first "_",
// up to and including the last ".esl", else ".esp", else ".esm"; Starfield.esm when there is none).
struct FormLineParts {
  std::string formID;
  std::string plugin;
};
FormLineParts PartsOfFormLine(std::string_view line);

// Whether a plug-in file of that name holds a form with that ID text as the game's lookup takes it:
// all hexadecimal, at most 8 digits in Starfield.esm (named exactly so) and 6 in any other file.
bool IsFormIDOfFile(const std::string& formID, const std::string& plugin);

// The loaded form a form line names ("<hex ID>_<plug-in file>"), or null.
RE::TESForm* FormOfLine(std::string_view line);

// The forms a face, clothing, facial animation or voice database of the city holds: databaseName is
// one of "FemaleFaceNPCs", "MaleFaceNPCs", "FemaleClothing", "MaleClothing", "FemaleAnims",
// "MaleAnims", "FemaleVoices" and "MaleVoices".
std::vector<RE::TESForm*> FormDatabase(int city, std::string_view databaseName);

}  // namespace sim
