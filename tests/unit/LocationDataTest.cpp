#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "GameFolder.h"
#include "Helpers/PluginSettings.h"
#include "LogCapture.h"
#include "Main/Cities/CityRecord.h"
#include "Main/Cities/LocationData.h"
#include "Parse/LocationValues.h"

namespace fs = std::filesystem;

namespace {

std::string Ini(const std::vector<std::string>& height, const std::vector<std::string>& general) {
  std::string text = "; city settings\r\n[Height]\r\n";
  for (const auto& line : height) text += line + "\r\n";
  text += "[General]\r\n";
  for (const auto& line : general) text += line + "\r\n";
  return text;
}

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

}  // namespace

TEST(LocationData, IndicesNamesAndFolders) {
  const char* names[] = {"NewAtlantis", "AkilaCity", "Cydonia", "Neon"};
  const City cities[] = {City::NewAtlantis, City::AkilaCity, City::Cydonia, City::Neon};
  for (int i = 1; i <= 4; ++i) {
    const City city = cities[i - 1];
    auto& record = CityRecordOf(city);
    EXPECT_EQ(std::string(record.name()), names[i - 1]);
    EXPECT_EQ(std::string(CityNameOf(i)), names[i - 1]);
    EXPECT_EQ(test::LocationFolderText(city), std::string(".\\Data\\SFSE\\Plugins\\Quillmere\\") + names[i - 1] + "\\");
    // The one record of that city, which the handlers, the console and the reset all read.
    EXPECT_EQ(FindCityRecord(i), &record) << i;
  }
  for (int i : {0, 5, -1, 100, INT_MIN, INT_MAX}) {
    EXPECT_EQ(std::string(CityNameOf(i)), "unkown") << i;
    EXPECT_EQ(FindCityRecord(i), nullptr) << i;
  }
}

TEST(LocationData, BuildParsesValuesAndLogsThem) {
  test::GameFolder game;
  PluginSettings = PluginSettingsRecord{};
  struct Case {
    City city;
    std::vector<std::string> height, general;
    std::array<const char*, 4> heights;  // as logged; the stored floats read back the same
    int percent;
    bool disable;
  };
  const Case cases[] = {
      // A sign is not an accepted character; a second "." passes the test and stops the conversion.
      {City::Cydonia,
       {"fFemaleMaxHeight=-1.2", "fFemaleMinHeight=1.05", "fMaleMaxHeight=1.2.3", "fMaleMinHeight=0.75"},
       {"iFemalePercent=150", "bDisableNames=true"},
       {"1.000000", "1.050000", "1.200000", "0.750000"},
       150,
       false},
      // Missing and empty keys fall back; only "1" switches names off.
      {City::AkilaCity,
       {"fFemaleMaxHeight=", "fMaleMaxHeight=1e2", "fMaleMinHeight=.5"},
       {"iFemalePercent=", "bDisableNames=1"},
       {"1.000000", "1.000000", "1.000000", "0.500000"},
       50,
       true},
      {City::Neon,
       {"fFemaleMaxHeight=2", "fFemaleMinHeight=0", "fMaleMaxHeight=1,1", "fMaleMinHeight=12345.5"},
       {"iFemalePercent=40%", "bDisableNames=01"},
       {"2.000000", "0.000000", "1.000000", "12345.500000"},
       50,
       false},
      {City::NewAtlantis,
       {},
       {"iFemalePercent=0", "bDisableNames="},
       {"1.000000", "1.000000", "1.000000", "1.000000"},
       0,
       false},
  };
  for (const auto& c : cases) {
    auto& record = CityRecordOf(c.city);
    const std::string name = record.name();
    SCOPED_TRACE(name);
    record.bDisableNames = !c.disable;
    record.iFemalePercent = -7;
    record.fFemaleMaxHeight = record.fFemaleMinHeight = record.fMaleMaxHeight = record.fMaleMinHeight = -3.0f;
    test::WriteFile(game.dataFolder() / name / "LocationData.ini", Ini(c.height, c.general));
    test::LogCapture log;
    ASSERT_TRUE(BuildLocationDataDB(record));
    EXPECT_FLOAT_EQ(record.fFemaleMaxHeight, std::stof(c.heights[0]));
    EXPECT_FLOAT_EQ(record.fFemaleMinHeight, std::stof(c.heights[1]));
    EXPECT_FLOAT_EQ(record.fMaleMaxHeight, std::stof(c.heights[2]));
    EXPECT_FLOAT_EQ(record.fMaleMinHeight, std::stof(c.heights[3]));
    EXPECT_EQ(record.iFemalePercent, c.percent);
    EXPECT_EQ(record.bDisableNames, c.disable);
    const std::string p = "info|[BuildLocationDataDB] ";
    const std::vector<std::string> expected = {p + "LocationData for [" + name + "] loaded --->",
                                               p + "fFemaleMaxHeight = " + c.heights[0],
                                               p + "fFemaleMinHeight = " + c.heights[1],
                                               p + "fMaleMaxHeight = " + c.heights[2],
                                               p + "fMaleMinHeight = " + c.heights[3],
                                               p + "iFemalePercent = " + std::to_string(c.percent),
                                               p + "bDisableNames = " + (c.disable ? "1" : "0"),
                                               p + "<--- LocationData loaded"};
    EXPECT_EQ(log.lines(), expected);
  }

  // Out-of-range numbers and a lone "." are conversion errors, caught rather than thrown.
  test::WriteFile(
      game.dataFolder() / "Neon" / "LocationData.ini",
      Ini({"fFemaleMaxHeight=.", "fMaleMaxHeight=1" + std::string(50, '0')}, {"iFemalePercent=99999999999999"}));
  {
    test::LogCapture log;
    EXPECT_NO_THROW(EXPECT_TRUE(BuildLocationDataDB(CityRecordOf(City::Neon))));
  }

  // Logging off: the same values, not a line.
  PluginSettings.bLogging = false;
  test::LogCapture quiet;
  EXPECT_TRUE(BuildLocationDataDB(CityRecordOf(City::Cydonia)));
  EXPECT_EQ(CityRecordOf(City::Cydonia).iFemalePercent, 150);
  EXPECT_TRUE(quiet.lines().empty());
  PluginSettings = PluginSettingsRecord{};
}

// Only digits make a share of women: a sign or a blank would let a data author's typo through as a
// number the female/male conditions were never meant to see.
TEST(LocationData, ShareOfWomenIsReadFromDigitsOnly) {
  for (const char* text : {"-20", "+20", " 20", "20 ", "2 0", "0x14", "-0", "\t20", ""})
    EXPECT_EQ(Parse::LocationPercent(text), 50) << "'" << text << "'";
  EXPECT_EQ(Parse::LocationPercent("20"), 20);
  EXPECT_EQ(Parse::LocationPercent("007"), 7);

  test::GameFolder game;
  PluginSettings = PluginSettingsRecord{};
  for (const char* value : {"-20", "+20"}) {
    SCOPED_TRACE(value);
    auto& record = CityRecordOf(City::AkilaCity);
    record.iFemalePercent = -7;
    test::WriteFile(game.dataFolder() / "AkilaCity" / "LocationData.ini",
                    Ini({}, {std::string("iFemalePercent=") + value}));
    test::LogCapture log;
    ASSERT_TRUE(BuildLocationDataDB(record));
    EXPECT_EQ(record.iFemalePercent, 50);
  }
  PluginSettings = PluginSettingsRecord{};
}

TEST(LocationData, MissingFileOrFolderKeepsPreviousValues) {
  test::GameFolder game;
  PluginSettings = PluginSettingsRecord{};
  const auto folder = game.dataFolder() / "Cydonia";
  test::WriteFile(folder / "LocationData.ini",
                  Ini({"fFemaleMaxHeight=1.11", "fFemaleMinHeight=0.91", "fMaleMaxHeight=1.21", "fMaleMinHeight=0.81"},
                      {"iFemalePercent=63", "bDisableNames=1"}));
  auto& record = CityRecordOf(City::Cydonia);
  ASSERT_TRUE(BuildLocationDataDB(record));
  auto unchanged = [&] {
    EXPECT_FLOAT_EQ(record.fFemaleMaxHeight, 1.11f);
    EXPECT_FLOAT_EQ(record.fFemaleMinHeight, 0.91f);
    EXPECT_FLOAT_EQ(record.fMaleMaxHeight, 1.21f);
    EXPECT_FLOAT_EQ(record.fMaleMinHeight, 0.81f);
    EXPECT_EQ(record.iFemalePercent, 63);
    EXPECT_TRUE(record.bDisableNames);
  };

  fs::remove(folder / "LocationData.ini");
  test::WriteFile(folder / "FemaleNames.txt", "Ada\n");  // a folder with data but no settings file
  test::LogCapture log;
  EXPECT_FALSE(BuildLocationDataDB(record));
  EXPECT_EQ(log.lines(),
            std::vector<std::string>{
                "error|[BuildLocationDataDB] couldn't find 'LocationData.ini' in location folder [Cydonia]. "
                "Custom LocationData for Vornic Actors will not be available at this location."});
  unchanged();

  log.clear();
  fs::remove_all(folder);
  EXPECT_FALSE(BuildLocationDataDB(record));
  EXPECT_EQ(log.lines(), std::vector<std::string>{"error|[BuildLocationDataDB] folder 'Quillmere' can't be reached."});
  unchanged();
}

TEST(LocationData, FileNamesMatchPrefixAndTxtOnly) {
  test::GameFolder game;
  PluginSettings = PluginSettingsRecord{};
  const auto folder = game.dataFolder() / "NewAtlantis";
  const std::vector<std::string> feeding = {"femalenames.txt", "FemaleNames_Extra.txt", "FemaleNamesOld.txt",
                                            "FEMALENAMES2.txt", "FemaleNames.txtx"};  // only 4 characters count
  for (const auto& name : feeding) test::WriteFile(folder / name, "Ada\n");
  for (const char* name : {"MaleNames.txt", "FemaleNames.txt.bak", "FemaleName.txt", "FemaleNames", "FemaleNames.tx",
                           "xFemaleNames.txt", "FemaleNames.ini"})
    test::WriteFile(folder / name, "Ada\n");
  fs::create_directories(folder / "FemaleNamesSub.txt");  // a folder is never read, whatever its name
  test::WriteFile(folder / "FemaleNamesSub.txt" / "FemaleNames.txt", "Ada\n");

  const auto directory = test::LocationFolderText(City::NewAtlantis);
  test::LogCapture log;
  const auto found = GetFileNamesInDirectory(directory, "FemaleNames");
  EXPECT_EQ(Sorted(found), Sorted(feeding));
  std::vector<std::string> expected;
  for (const auto& name : found)
    expected.push_back("info|[GetFileNamesInDirectory] adding filename '" + name + "' for directory [" + directory +
                       "] (for target sDBName [FemaleNames]) to array...");
  EXPECT_EQ(log.lines(), expected);  // one line per name, in the listing's order

  // The database name is matched without regard to case, too.
  EXPECT_EQ(Sorted(GetFileNamesInDirectory(directory, "femaleNAMES")), Sorted(feeding));
  EXPECT_EQ(GetFileNamesInDirectory(directory, "MaleNames"), std::vector<std::string>{"MaleNames.txt"});

  // An upper-case extension never counts.
  test::WriteFile(game.dataFolder() / "Neon" / "FemaleNames.TXT", "Ada\n");
  log.clear();
  EXPECT_TRUE(GetFileNamesInDirectory(CityRecordOf(City::Neon).folder, "FemaleNames").empty());
  EXPECT_TRUE(log.lines().empty());

  // Empty arguments: nothing, silently.
  EXPECT_TRUE(GetFileNamesInDirectory(directory, "").empty());
  EXPECT_TRUE(GetFileNamesInDirectory("", "FemaleNames").empty());
  EXPECT_TRUE(log.lines().empty());

  const std::string missing = test::LocationFolderText(City::AkilaCity);
  EXPECT_TRUE(GetFileNamesInDirectory(missing, "FemaleNames").empty());
  EXPECT_EQ(log.lines(),
            std::vector<std::string>{"error|[GetFileNamesInDirectory] directory [" + missing + "] can't be reached."});
}
