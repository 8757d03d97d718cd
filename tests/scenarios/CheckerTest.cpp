// brindlewick-check on the shipped data and on copies of it with one problem of each kind.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ChildProcess.h"
#include "GameFolder.h"
#include "TempFolder.h"

namespace fs = std::filesystem;

namespace {

struct CheckRun {
  test::ChildResult process;
  std::vector<std::string> lines;
  nlohmann::json json;

  bool Has(const std::string& start, const std::string& part) const {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
      return line.starts_with(start) && line.find(part) != std::string::npos;
    });
  }
  int Count(const std::string& part) const {
    return static_cast<int>(std::count_if(lines.begin(), lines.end(),
                                          [&](const std::string& l) { return l.find(part) != std::string::npos; }));
  }
};

// A fresh folder for one test, removed afterwards.
struct WorkFolder {
  test::TempFolder folder;
  const fs::path& path = folder.path();
  explicit WorkFolder(const std::string& name) : folder(L"bw-check-test-" + fs::path(name).wstring() + L"-") {}
};

CheckRun Check(const fs::path& data, bool withWorld, const fs::path& json = {}) {
  std::vector<std::string> arguments{"--data", data.string()};
  if (withWorld)
    arguments.insert(arguments.end(),
                     {"--world", (test::BinaryDirectory() / "data" / "world" / "SampleWorld.json").string()});
  if (!json.empty()) arguments.insert(arguments.end(), {"--json", json.string()});
  CheckRun run;
  run.process = test::RunProcess(test::BinaryDirectory() / "brindlewick-check.exe", arguments);
  std::istringstream text(run.process.output);
  for (std::string line; std::getline(text, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    run.lines.push_back(line);
  }
  if (!json.empty()) run.json = nlohmann::json::parse(test::ReadFile(json), nullptr, false);
  return run;
}

// A copy of the shipped data to break.
struct BrokenData {
  WorkFolder work;
  fs::path folder;
  explicit BrokenData(const std::string& name) : work(name), folder(work.path / "Quillmere") {
    fs::copy(test::BinaryDirectory() / "data" / "Quillmere", folder, fs::copy_options::recursive);
  }
  std::string Read(const std::string& file) const { return test::ReadFile(folder / file); }
  void Write(const std::string& file, const std::string& text) const { test::WriteFile(folder / file, text); }
  // Replaces the first occurrence of from; the line (from 1) where it stood.
  std::size_t Replace(const std::string& file, const std::string& from, const std::string& to) const {
    auto text = Read(file);
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << file << ": " << from;
    text.replace(at, from.size(), to);
    Write(file, text);
    return static_cast<std::size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n')) + 1;
  }
  // Appends lines; the line number of the first.
  std::size_t Append(const std::string& file, const std::vector<std::string>& lines) const {
    auto text = Read(file);
    if (!text.empty() && text.back() != '\n') text += "\r\n";
    const auto first = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    for (const auto& line : lines) text += line + "\r\n";
    Write(file, text);
    return first;
  }
  std::string FirstLine(const std::string& file) const {
    const auto text = Read(file);
    return text.substr(0, text.find_first_of("\r\n"));
  }
};

std::string At(const std::string& file, std::size_t line, const char* level) {
  return file + ":" + std::to_string(line) + ": " + level + ": ";
}

}  // namespace

TEST(Checker, ShippedDataIsCleanWithAndWithoutTheWorld) {
  const WorkFolder work("shipped");
  const auto json = work.path / "report.json";
  const auto checked = Check(test::BinaryDirectory() / "data" / "Quillmere", true, json);
  ASSERT_FALSE(checked.process.timedOut);
  EXPECT_EQ(checked.process.exitCode, 0u) << checked.process.output;
  EXPECT_EQ(checked.Count(": error: "), 0) << checked.process.output;
  ASSERT_TRUE(checked.json.is_object()) << checked.process.output;
  EXPECT_EQ(checked.json["errors"], 0);
  ASSERT_EQ(checked.json["cities"].size(), 4u);
  for (const auto& city : checked.json["cities"]) {
    SCOPED_TRACE(city["name"].get<std::string>());
    for (const auto& [name, count] : city["databases"].items()) EXPECT_GT(count.get<int>(), 0) << name;
    EXPECT_TRUE(city["applied"].get<bool>());
    EXPECT_LE(city["heights"]["femaleMin"].get<double>(), city["heights"]["femaleMax"].get<double>());
  }
  EXPECT_GT(checked.json["cities"][0]["uniqueNPCs"].get<int>(), 0);
  EXPECT_FALSE(checked.Has("summary: forms were not checked", ""));

  const auto unchecked = Check(test::BinaryDirectory() / "data" / "Quillmere", false);
  EXPECT_EQ(unchecked.process.exitCode, 0u) << unchecked.process.output;
  EXPECT_TRUE(unchecked.Has("summary: forms were not checked", "")) << unchecked.process.output;
  EXPECT_EQ(unchecked.Count(": error: "), 0) << unchecked.process.output;
}

TEST(Checker, ReportsEachProblemAtItsFileAndLine) {
  BrokenData data("broken");
  const auto logging = data.Replace("Settings.ini", "\r\nbLogging=0", "\r\nbLogging=1 ; on") + 1;
  const auto queued =
      data.Replace("Settings.ini", "iQueuedActorTime=100", "iQueuedActorTime=100\r\niQueuedActorTime=50") + 1;
  const auto percent = data.Replace("NewAtlantis/LocationData.ini", "iFemalePercent=50", "iFemalePercent=60 ; sixty");
  fs::remove(data.folder / "Cydonia" / "LocationData.ini");
  const auto names =
      data.Append("NewAtlantis/FemaleNames.txt", {"; more names below", " Ada", "Ada  Quinn", "Zo\xEB", "Ada\t"});
  const auto faces = data.Append("NewAtlantis/MaleFaceNPCs.txt",
                                 {"0003212B_Starfield.esx", "0002F9AF_Starfield.esm", "0014857F_Starfield.esm",
                                  "00ABCDEF_Starfield.esm", "_Starfield.esm"});
  const auto points = data.Append("NewAtlantis/EncounterPoints.txt", {"00ABCDE0_Starfield.esm"});
  data.Write("AkilaCity/FemaleNames_Old.TXT", "Ada\r\n");
  data.Write("AkilaCity/MaleVoices.txt", std::string("0\0\x30\0\r\0\n\0", 8));  // UTF-16 without its mark
  fs::remove(data.folder / "Neon" / "FemaleAnims.txt");
  std::string clothing;
  for (int i = 0; i < 300; ++i) clothing += data.FirstLine("Cydonia/MaleClothing.txt") + "\r\n";
  data.Write("Cydonia/MaleClothing.txt", clothing);
  const auto chance = data.Replace("UniqueNPCs/TobiasWren.ini", "iEncounterChance=60", "iEncounterChance=6o");
  const auto appearance = data.Replace("UniqueNPCs/VesnaOrlov.ini", "iAppearance=0030A001_Starfield.esm",
                                       "iAppearance=00010767_Starfield.esm");
  std::string wide = "\xFF\xFE";  // "Unicode", as Notepad saves it
  for (const char c : data.Read("AkilaCity/LocationData.ini")) wide += std::string{c, '\0'};
  data.Write("AkilaCity/LocationData.ini", wide);
  data.Write("UniqueNPCs/Nameless.ini", "[Character]\r\niAppearance=0030A002_Starfield.esm\r\n");
  data.Write("UniqueNPCs/Shouting.INI", "[Character]\r\nsName=Shouting\r\n");

  const auto run = Check(data.folder, true);
  ASSERT_FALSE(run.process.timedOut);
  EXPECT_EQ(run.process.exitCode, 1u) << run.process.output;
  const std::vector<std::pair<std::string, std::string>> expected = {
      {At("Settings.ini", logging, "warning"), "comment after the value of bLogging: the plug-in reads \"1 ; on\""},
      {At("Settings.ini", logging, "warning"), "log ends up off"},
      {At("Settings.ini", queued, "warning"), "key iQueuedActorTime appears again in [FaceGen]"},
      {At("NewAtlantis/LocationData.ini", percent, "warning"), "\"60 ; sixty\" as its value, so iFemalePercent is 50"},
      {At("Cydonia/LocationData.ini", 0, "error"), "couldn't find 'LocationData.ini' in location folder [Cydonia]"},
      {At("NewAtlantis/FemaleNames.txt", names, "warning"), "comment line: the plug-in takes \"; more names below\""},
      {At("NewAtlantis/FemaleNames.txt", names + 1, "warning"), "blanks or tabs before it"},
      {At("NewAtlantis/FemaleNames.txt", names + 2, "warning"), "doubled blanks"},
      {At("NewAtlantis/FemaleNames.txt", names + 3, "warning"), "not valid UTF-8"},
      {At("NewAtlantis/FemaleNames.txt", names + 4, "warning"), "blanks or tabs after it"},
      {At("AkilaCity/LocationData.ini", 0, "warning"), "saved as UTF-16"},
      {At("UniqueNPCs/VesnaOrlov.ini", appearance, "error"),
       "AppearanceForm with FormID 00010767 is not TESNPC. Skipping this UniqueNPC."},
      {At("NewAtlantis/MaleFaceNPCs.txt", faces, "warning"),
       "plugin name for line [0003212B_Starfield.esx] is empty. Assuming Starfield.esm."},
      {At("NewAtlantis/MaleFaceNPCs.txt", faces + 1, "error"),
       "couldn't add [NPCForm:2f9af] to database [MaleFaceNPCs]"},
      {At("NewAtlantis/MaleFaceNPCs.txt", faces + 2, "error"), "has unexpected FormType [34]"},
      {At("NewAtlantis/MaleFaceNPCs.txt", faces + 3, "error"), "no form was found in line [00ABCDEF_Starfield.esm]."},
      {At("NewAtlantis/MaleFaceNPCs.txt", faces + 4, "error"), "HexFormID for line [_Starfield.esm] is empty."},
      {At("NewAtlantis/EncounterPoints.txt", points, "error"), "no form was found in line [00ABCDE0_Starfield.esm]."},
      {At("AkilaCity/FemaleNames_Old.TXT", 0, "warning"), "differs from \".txt\" in case"},
      {At("AkilaCity/MaleVoices.txt", 0, "error"), "is UTF-16 without byte order mark: it cannot be read."},
      {At("AkilaCity", 0, "error"), "database 'MaleVoices' of AkilaCity is empty"},
      {At("Neon", 0, "error"), "with target database name [FemaleAnims] is empty."},
      {At("Cydonia/MaleClothing.txt", 256, "error"),
       "leveledList size cannot exceed 255, given value: 300 (MaleOutfits at Cydonia couldn't be registered"},
      {At("Cydonia/MaleClothing.txt", 256, "error"), "the start-up stops here, so Neon gets no data"},
      {At("UniqueNPCs/TobiasWren.ini", chance, "error"),
       "isdigit returned false for sEncounterChance: 6o. Skipping this UniqueNPC. (Cydonia gets no record)"},
      {At("UniqueNPCs/Nameless.ini", 1, "error"), "sName is empty. Skipping this UniqueNPC. (the file is skipped)"},
      {At("UniqueNPCs/Nameless.ini", 0, "error"), "gives no unique NPC to any city"},
      {At("UniqueNPCs/Shouting.INI", 0, "warning"), "differs from \".ini\" in case"},
  };
  for (const auto& [start, part] : expected)
    EXPECT_TRUE(run.Has(start, part)) << start << part << "\n" << run.process.output;
  EXPECT_TRUE(run.Has("summary: Neon:", "not applied")) << run.process.output;
  EXPECT_FALSE(run.Has("summary: NewAtlantis:", "not applied")) << run.process.output;
}

TEST(Checker, SettingsWithoutDebugAndRepeatedSectionsAreWarningsOnly) {
  BrokenData data("settings");
  auto settings = data.Read("Settings.ini");
  settings.erase(settings.find("[Debug]"), settings.find("[FaceGen]") - settings.find("[Debug]"));
  data.Write("Settings.ini", settings + "\r\n[General]\r\niAllowedCellChangeTime=10\r\n");
  const auto repeated = static_cast<std::size_t>(std::count(settings.begin(), settings.end(), '\n')) + 2;

  const auto run = Check(data.folder, true);
  EXPECT_EQ(run.process.exitCode, 0u) << run.process.output;
  EXPECT_TRUE(run.Has(At("Settings.ini", 0, "warning"), "no [Debug] section: the plug-in adds bLogging=0"))
      << run.process.output;
  EXPECT_TRUE(run.Has(At("Settings.ini", repeated, "warning"), "section [General] appears again (first at line"))
      << run.process.output;

  const WorkFolder work("missing");
  const auto missing = Check(work.path / "nothing", false);
  EXPECT_EQ(missing.process.exitCode, 2u) << missing.process.output;
}

TEST(Checker, MaleFacesCountWithTheFemaleFacesAheadOfThem) {
  BrokenData data("faces");
  const auto text = data.Read("Neon/MaleFaceNPCs.txt");
  const auto second =
      text.substr(text.find('\n') + 1, text.find_first_of("\r\n", text.find('\n') + 1) - text.find('\n') - 1);
  data.Append("Neon/MaleFaceNPCs.txt", std::vector<std::string>(230, second));

  // 30 female faces stay in the list, so the 226th male face is the first that does not fit.
  const auto run = Check(data.folder, true);
  EXPECT_EQ(run.process.exitCode, 1u) << run.process.output;
  EXPECT_TRUE(
      run.Has(At("Neon/MaleFaceNPCs.txt", 226, "error"),
              "leveledList size cannot exceed 255, given value: 291 (MaleFaceNPCs at Neon couldn't be registered"))
      << run.process.output;
  EXPECT_FALSE(run.Has("Neon/MaleFaceNPCs.txt", "start-up stops")) << run.process.output;
  EXPECT_EQ(run.Count(": error: "), 1) << run.process.output;
}

TEST(Checker, FormIDsWrongInTheirTextAreErrorsWithoutAWorld) {
  BrokenData data("form-ids");
  const auto faces =
      data.Append("NewAtlantis/FemaleFaceNPCs.txt",
                  {"ZZZZ_Starfield.esm", "12G4_Starfield.esm", "ZZZZZZ_Starfield.esm", "123456789_Starfield.esm",
                   "1234567_UrbanTailoring.esm", "12345678_Starfield.esm", "00ABCDEF_Starfield.esm"});
  const auto appearance =
      data.Replace("UniqueNPCs/VesnaOrlov.ini", "iAppearance=0030A001_Starfield.esm", "iAppearance=ZZZZ_Starfield.esm");
  const std::string file = "NewAtlantis/FemaleFaceNPCs.txt";

  // With the world the lookup itself refuses these lines.
  const auto checked = Check(data.folder, true);
  ASSERT_FALSE(checked.process.timedOut);
  EXPECT_EQ(checked.process.exitCode, 1u) << checked.process.output;
  for (const auto& [start, part] : std::vector<std::pair<std::string, std::string>>{
           {At(file, faces, "error"), "no form was found in line [ZZZZ_Starfield.esm]."},
           {At(file, faces + 2, "error"), "(std::stoul exception thrown for input String: ZZZZZZ."},
           {At(file, faces + 3, "error"), "HexFormID's length > 8 [123456789]"},
           {At(file, faces + 4, "error"), "HexFormID's length > 6 [1234567]"},
           {At("UniqueNPCs/VesnaOrlov.ini", appearance, "error"), "AppearanceForm is nullptr for line: ZZZZ_"}})
    EXPECT_TRUE(checked.Has(start, part)) << start << part << "\n" << checked.process.output;

  // Without it a form that is not found may be in the author's files; a text that is no form ID is
  // wrong anyway.
  const auto run = Check(data.folder, false);
  ASSERT_FALSE(run.process.timedOut);
  EXPECT_EQ(run.process.exitCode, 1u) << run.process.output;
  for (const auto& [start, part] : std::vector<std::pair<std::string, std::string>>{
           {At(file, faces, "error"), "[ZZZZ_Starfield.esm]. (the form ID \"ZZZZ\" is not a hexadecimal number)"},
           {At(file, faces + 1, "error"), "(the form ID \"12G4\" is not a hexadecimal number)"},
           {At(file, faces + 2, "error"), "(the form ID \"ZZZZZZ\" is not a hexadecimal number)"},
           {At(file, faces + 3, "error"), "HexFormID's length > 8 [123456789]"},
           {At(file, faces + 4, "error"), "HexFormID's length > 6 [1234567]"},
           {At("UniqueNPCs/VesnaOrlov.ini", appearance, "error"),
            "AppearanceForm is nullptr for line: ZZZZ_Starfield.esm. Skipping this UniqueNPC. (the file is skipped) "
            "(the form ID \"ZZZZ\" is not a hexadecimal number)"}})
    EXPECT_TRUE(run.Has(start, part)) << start << part << "\n" << run.process.output;
  EXPECT_FALSE(run.Has(file + ":" + std::to_string(faces + 5) + ":", "")) << run.process.output;
  EXPECT_FALSE(run.Has(file + ":" + std::to_string(faces + 6) + ":", "")) << run.process.output;
  EXPECT_TRUE(run.Has(At("UniqueNPCs/VesnaOrlov.ini", 0, "error"), "gives no unique NPC to any city"))
      << run.process.output;
  EXPECT_EQ(run.Count(": error: "), 7) << run.process.output;
}

// Without a world the author's forms count as present, so a unique NPC file is read to its end: a
// wrong value after an appearance only the author's plug-in file holds is still found.
TEST(Checker, UniqueNPCFilesAreCheckedToTheirEndWithoutAWorld) {
  BrokenData data("unique-to-the-end");
  const std::string file = "UniqueNPCs/Ada.ini";
  data.Write(file,
             "[Character]\r\nsName=Ada\r\niAppearance=000801_AdaFaces.esp\r\niFacialAnim=000A00_AdaFaces.esp\r\n"
             "iVoiceType=00ZZ00_AdaFaces.esp\r\nfHeight=1.0\r\n[Neon]\r\niEncounterChance=40\r\n");
  auto run = Check(data.folder, false);
  ASSERT_FALSE(run.process.timedOut);
  EXPECT_EQ(run.process.exitCode, 1u) << run.process.output;
  EXPECT_TRUE(run.Has(At(file, 5, "error"), "VoiceTypeForm is nullptr for line: 00ZZ00_AdaFaces.esp.") &&
              run.Has(At(file, 5, "error"), "(the form ID \"00ZZ00\" is not a hexadecimal number)"))
      << run.process.output;

  // A plug-in name without its extension names no file the game loads.
  data.Write(file,
             "[Character]\r\nsName=Ada\r\niAppearance=000801_AdaFaces.esp\r\niFacialAnim=000A00_AdaFaces\r\n"
             "iVoiceType=000B00_AdaFaces.esp\r\nfHeight=1.0\r\n[Neon]\r\niEncounterChance=40\r\n");
  run = Check(data.folder, false);
  EXPECT_EQ(run.process.exitCode, 1u) << run.process.output;
  EXPECT_TRUE(run.Has(At(file, 4, "error"), "(\"AdaFaces\" has no .esm, .esp or .esl extension")) << run.process.output;

  // Once the forms are right, the height and each city's chance are read.
  data.Write(file,
             "[Character]\r\nsName=Ada\r\niAppearance=000801_AdaFaces.esp\r\niFacialAnim=000A00_AdaFaces.esp\r\n"
             "iVoiceType=000B00_AdaFaces.esp\r\nfHeight=tall\r\n[Neon]\r\niEncounterChance=140\r\n"
             "[Cydonia]\r\niEncounterChance=30\r\niClothing=000C00_AdaTailor.esm\r\n");
  run = Check(data.folder, false);
  EXPECT_EQ(run.process.exitCode, 1u) << run.process.output;
  EXPECT_TRUE(run.Has(At(file, 6, "error"), "std::stof exception thrown for sHeight: tall")) << run.process.output;
  EXPECT_TRUE(run.Has(At(file, 8, "error"), "iEncounterChance is out of range") &&
              run.Has(At(file, 8, "error"), "(Neon gets no record)"))
      << run.process.output;
  EXPECT_FALSE(run.Has(file, "Cydonia")) << run.process.output;
  const auto cydoniaNPCs = [](const CheckRun& checked) {
    for (const auto& line : checked.lines)
      if (line.starts_with("summary: Cydonia:")) return std::stoi(line.substr(line.find("; unique NPCs ") + 14));
    return -1;
  };
  EXPECT_EQ(cydoniaNPCs(run), cydoniaNPCs(Check(test::BinaryDirectory() / "data" / "Quillmere", false)) + 1)
      << run.process.output;
}
