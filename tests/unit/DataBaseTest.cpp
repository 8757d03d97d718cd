#include <gtest/gtest.h>

#include "FormsBack.h"
#include <windows.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "GameFolder.h"
#include "GameForms.h"
#include "Helpers/PluginSettings.h"
#include "DataBaseTestSupport.h"
#include "LogCapture.h"
#include "Main/Cities/DataBase.h"
#include "Main/Cities/LocationData.h"

using RE::FormType;
using Lines = std::vector<std::string>;

namespace {

template <class T>
std::vector<RE::TESForm*> Forms(const std::vector<T*>& v) {
  return {v.begin(), v.end()};
}

}  // namespace

TEST(DataBase, MissingFilesLeaveTheDatabaseEmpty) {
  test::GameFolder game;
  FormsBack restore;
  PluginSettings = PluginSettingsRecord{};
  test::LogCapture log;

  // A filled database is emptied even when nothing can refill it.
  test::WriteFile(game.dataFolder() / "Cydonia" / "MaleVoices.txt", "7D001_Starfield.esm\n");
  auto& record = CityRecordOf(City::Cydonia);
  record.FemaleVoices.assign(2, static_cast<RE::BGSVoiceType*>(sim::AddForm(0x7D001, FormType::kVoiceType)));
  log.clear();
  EXPECT_EQ(BuildDataBase(DataBaseKind::Voices, true, record), 0);
  EXPECT_TRUE(record.FemaleVoices.empty());
  const std::string folder = test::LocationFolderText(City::Cydonia);
  EXPECT_EQ(log.lines(), (Lines{kWarn + "database 'FemaleVoices' for location [Cydonia] wasn't empty. Cleared array...",
                                kError + "array 'FileNames' for FilePath [" + folder +
                                    "] with target database name [FemaleVoices] is empty."}));
  log.clear();
  EXPECT_EQ(BuildDataBase(DataBaseKind::Voices, true, record), 0);  // already empty: no warning
  EXPECT_EQ(log.lines().size(), 1u);

  auto& akila = CityRecordOf(City::AkilaCity);
  akila.MaleLastNames.clear();
  log.clear();
  EXPECT_EQ(BuildDataBase(DataBaseKind::LastNames, false, akila), 0);  // no AkilaCity folder at all
  const std::string akilaFolder = test::LocationFolderText(City::AkilaCity);
  EXPECT_EQ(log.lines(), (Lines{"error|[GetFileNamesInDirectory] directory [" + akilaFolder + "] can't be reached.",
                                kError + "array 'FileNames' for FilePath [" + akilaFolder +
                                    "] with target database name [MaleLastNames] is empty."}));
}

TEST(DataBase, FormLinesFollowTheLineRules) {
  test::GameFolder game;
  FormsBack restore;
  PluginSettings = PluginSettingsRecord{};
  ResetPlugins();
  auto* master = sim::AddForm(0x0001A2B3, FormType::kKeyword);
  auto* other = sim::AddForm(0x02012AB3, FormType::kKeyword);
  auto* small = sim::AddForm(0xFE005801, FormType::kKeyword);
  sim::AddForm(0x0000080A, FormType::kKeyword);  // where FE00080A in Other.esm would wrap to
  auto& record = CityRecordOf(City::NewAtlantis);
  record.FemaleAnims.clear();

  auto added = [](const char* id) {
    return kInfo + "  adding [AnimKeyword:" + id + "] to database [FemaleAnims] (iDBIndex [4]).";
  };
  auto noPlugin = [](const std::string& l) {
    return kInfo + "plugin name for line [" + l + "] is empty. Assuming Starfield.esm.";
  };
  auto noForm = [](const std::string& l) { return kWarn + "no form was found in line [" + l + "]."; };
  auto noID = [](const std::string& l) {
    return kWarn + "HexFormID for line [" + l + "] is empty. Skipping this formID.";
  };
  const std::vector<std::pair<std::string, Lines>> table = {
      {"0x0001A2B3_Starfield.esm", {added("1a2b3")}},
      {"1A2B3_Starfield.esm", {added("1a2b3")}},
      {"00012AB3_Other.esm", {added("2012ab3")}},  // six digits once the zeros are gone
      {"FE00080A_Other.esm", {noForm("FE00080A_Other.esm")}},
      {"1A2B3_Starfield.esm ; extras", {added("1a2b3")}},
      {"1A2B3", {noPlugin("1A2B3"), added("1a2b3")}},
      {"1A2B3_MyMod.esx", {noPlugin("1A2B3_MyMod.esx"), added("1a2b3")}},
      {"1A2B3 _ Starfield.esm", {noForm("1A2B3 _ Starfield.esm")}},
      {"; comment only", {noPlugin("; comment only"), noID("; comment only")}},
      {"00000000_Starfield.esm", {noID("00000000_Starfield.esm")}},
      {"0X1A2B3_Starfield.esm", {noForm("0X1A2B3_Starfield.esm")}},
      {"", {}},
      {"801_CityFolk.esl ; not .esm", {added("fe005801")}},  // .esl is looked for first
      {"\t0x801 \t_CITYFOLK.ESL", {added("fe005801")}},
      {"   ", {noPlugin("   "), noID("   ")}},
      {"0001A2B3_Starfield.esm;comment", {added("1a2b3")}},
  };
  std::string text;
  Lines expected{Begin("FemaleAnims.txt", "NewAtlantis")};
  for (const auto& [line, messages] : table) {
    text += line + "\r\n";
    expected.insert(expected.end(), messages.begin(), messages.end());
  }
  test::WriteFile(game.dataFolder() / "NewAtlantis" / "FemaleAnims.txt", text + "\n1A2B3");  // last line unterminated
  expected.push_back(noPlugin("1A2B3"));
  expected.push_back(added("1a2b3"));

  test::LogCapture log;
  EXPECT_EQ(BuildDataBase(DataBaseKind::Anims, true, record), 10);
  EXPECT_EQ(Forms(record.FemaleAnims.Entries()),
            (std::vector<RE::TESForm*>{master, master, other, master, master, master, small, small, master, master}));
  EXPECT_EQ(log.linesOf("BuildDataBase"), expected);
  // The refusals come from the form lookup's own rules.
  EXPECT_TRUE(
      log.contains("error|[GetFormFromFile] this HexFormID's length > 6 [FE00080A]. This is not supported format "
                   "(length must be <= 6 if source plugin is not Starfield.esm). Returning nullptr."));
  EXPECT_TRUE(
      log.contains("error|[GetFormFromFile] std::stoul exception thrown for input String: X1A2B3. Returning nullptr."));
  EXPECT_TRUE(log.contains(
      "error|[GetFormFromFile] no PluginFile could be found with the name [ Starfield.esm]. Returning nullptr."));
}

TEST(DataBase, TextLinesAreKeptWhole) {
  test::GameFolder game;
  PluginSettings = PluginSettingsRecord{};
  const auto city = game.dataFolder() / "Neon";
  test::WriteFile(city / "FemaleNames.txt", "Ada\r\n; comment\r\n   \r\n\r\n  Bo  Ka \r\nAda\n");
  test::WriteFile(city / "FemaleNames_Extra.txt", "Cyd");
  test::WriteFile(city / "MaleNames.txt", "Dan\n");
  test::WriteFile(city / "FemaleLastNames.txt", "Eko\n");
  test::WriteFile(city / "FemaleNames_Busy.txt", "Lux\n");
  // A file another handle holds exclusively cannot be opened: passed over without a word.
  const std::unique_ptr<void, decltype(&CloseHandle)> busy(
      CreateFileW((CityRecordOf(City::Neon).folder / "FemaleNames_Busy.txt").c_str(), GENERIC_READ, 0, nullptr,
                  OPEN_EXISTING, 0, nullptr),
      &CloseHandle);
  ASSERT_NE(busy.get(), INVALID_HANDLE_VALUE);
  const std::map<std::string, Lines> content = {{"FemaleNames.txt", {"Ada", "; comment", "   ", "  Bo  Ka ", "Ada"}},
                                                {"FemaleNames_Extra.txt", {"Cyd"}}};
  auto& record = CityRecordOf(City::Neon);
  record.FemaleNames.clear();
  record.FemaleLastNames.clear();
  const auto files = GetFileNamesInDirectory(record.folder, "FemaleNames");  // the order files are read in
  ASSERT_EQ(files.size(), 3u);
  Lines names, expected;
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (!content.contains(files[i])) continue;  // the busy file still counts in i
    expected.push_back(kInfo + "beginning to process file '" + files[i] + "' for location [Neon] at i (" +
                       std::to_string(i) + ")...");
    for (const auto& name : content.at(files[i])) {
      names.push_back(name);
      expected.push_back(kInfo + "  adding [Name:" + name + "] to database [FemaleNames] (iDBIndex [6]).");
    }
  }
  for (int pass = 0; pass < 2; ++pass) {  // a rebuild replaces, never appends
    test::LogCapture log;
    EXPECT_EQ(BuildDataBase(DataBaseKind::Names, true, record), 6);
    EXPECT_EQ(record.FemaleNames.Entries(), names);
    auto lines = log.linesOf("BuildDataBase");
    if (pass == 1) {
      ASSERT_FALSE(lines.empty());
      EXPECT_EQ(lines.front(), kWarn + "database 'FemaleNames' for location [Neon] wasn't empty. Cleared array...");
      lines.erase(lines.begin());
    }
    EXPECT_EQ(lines, expected);
  }
  test::LogCapture log;
  EXPECT_EQ(BuildDataBase(DataBaseKind::LastNames, true, record), 1);
  EXPECT_EQ(record.FemaleLastNames.Entries(), Lines{"Eko"});
  EXPECT_EQ(log.linesOf("BuildDataBase"),
            (Lines{Begin("FemaleLastNames.txt", "Neon"),
                   kInfo + "  adding [LastName:Eko] to database [FemaleLastNames] (iDBIndex [7])."}));

  PluginSettings.bLogging = false;
  log.clear();
  EXPECT_EQ(BuildDataBase(DataBaseKind::Names, true, record), 6);
  EXPECT_EQ(record.FemaleNames.Entries(), names);
  EXPECT_EQ(log.lines(), Lines{});
  PluginSettings = PluginSettingsRecord{};
}

TEST(DataBase, AListedFileThatVanishesBeforeItIsOpenedIsSkipped) {
  test::GameFolder game;
  PluginSettings = PluginSettingsRecord{};
  const auto city = game.dataFolder() / "Cydonia";
  const std::map<std::string, std::string> content = {
      {"MaleLastNames.txt", "Ash"}, {"MaleLastNames_Docks.txt", "Birch"}, {"MaleLastNames_Mine.txt", "Cole"}};
  for (const auto& [file, name] : content) test::WriteFile(city / file, name + "\n");
  auto& record = CityRecordOf(City::Cydonia);
  record.MaleLastNames.clear();
  const auto files = GetFileNamesInDirectory(record.folder, "MaleLastNames");  // the order files are read in
  ASSERT_EQ(files.size(), 3u);
  const auto begin = [&](std::size_t i) {
    return kInfo + "beginning to process file '" + files[i] + "' for location [Cydonia] at i (" + std::to_string(i) +
           ")...";
  };
  const auto added = [&](std::size_t i) {
    return kInfo + "  adding [LastName:" + content.at(files[i]) + "] to database [MaleLastNames] (iDBIndex [7]).";
  };

  // Another program removes the second file once the folder has been listed, while the first is being read.
  test::LogCapture log;
  bool removed = false;
  log.onLine([&](const std::string& line) {
    if (line == begin(0)) removed = std::filesystem::remove(city / files[1]);
  });
  EXPECT_EQ(BuildDataBase(DataBaseKind::LastNames, false, record), 2);
  ASSERT_TRUE(removed);
  EXPECT_EQ(record.MaleLastNames.Entries(), (Lines{content.at(files[0]), content.at(files[2])}));
  EXPECT_EQ(log.linesOf("BuildDataBase"),
            (Lines{begin(0), added(0),
                   kError + "file '" + files[1] +
                       "' for location [Cydonia] at i (1) doesn't exist but it is in array FileNames. Skipping file...",
                   begin(2), added(2)}));
}
