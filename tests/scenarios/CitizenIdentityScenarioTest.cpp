// Citizens get a name, a facial animation, a voice and a height from their city's data when the
// game sets up their 3D; the script applies all but the name once game time passes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <sstream>

#include "GameFolder.h"
#include "SimRun.h"

namespace {

using Json = nlohmann::json;

struct Bounds {
  float femaleMax, femaleMin, maleMax, maleMin;
};

// The heights a shipped LocationData.ini gives.
Bounds ShippedBounds(const std::string& city) {
  std::istringstream ini(test::ReadFile(test::BinaryDirectory() / "data" / "Quillmere" / city / "LocationData.ini"));
  std::map<std::string, float> values;
  for (std::string line; std::getline(ini, line);)
    if (const auto eq = line.find('='); line.starts_with("f") && eq != std::string::npos)
      values[line.substr(0, eq)] = std::stof(line.substr(eq + 1));
  return {values.at("fFemaleMaxHeight"), values.at("fFemaleMinHeight"), values.at("fMaleMaxHeight"),
          values.at("fMaleMinHeight")};
}

// The scale in hundredths, or -1 when it is no whole number of hundredths.
int Hundredths(const Json& scale) {
  const double value = scale.get<double>() * 100.0;
  return std::abs(value - std::round(value)) < 1e-3 ? static_cast<int>(std::lround(value)) : -1;
}

// The log entries of the sink about one citizen, its FormID closing the description.
std::size_t EntriesAbout(const test::SimRun& run, const Json& citizen, const std::string& text) {
  const auto entries = run.EntriesWith(" | " + citizen["formID"].get<std::string>() + "]");
  return std::count_if(entries.begin(), entries.end(),
                       [&](const auto& entry) { return entry.find(text) != std::string::npos; });
}

const Json& CityOf(const test::SimRun& run, const std::string& name) {
  for (const auto& city : run.report["cities"])
    if (city["name"] == name) return city;
  throw std::runtime_error("no city " + name);
}

}  // namespace

TEST(CitizenIdentityScenario, FirstNamesComeOutOncePerCycleOfTheirFiles) {
  // Cydonia has no other female first-name file; every citizen is a woman.
  const std::vector<std::string> firstNames{"Ada", "Bea", "Ada", "Cyd", "Dot", "Bea"};
  std::string file;
  for (const auto& name : firstNames) file += name + "\r\n";
  test::SimOptions options;
  options.dataFiles = {{"Cydonia/LocationData.ini", "[General]\niFemalePercent=100\nbDisableNames=0\n"},
                       {"Cydonia/FemaleNames.txt", file},
                       {"Cydonia/FemaleLastNames.txt", "Quill\nRook\n"}};
  options.arguments = {"--seed", "5"};
  const auto run = test::RunSim("start\nspawn Cydonia 19\nwait 100\nreport\n", options);
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
  const auto& citizens = CityOf(run, "Cydonia")["citizens"];
  ASSERT_EQ(citizens.size(), 19u);
  std::vector<std::string> first, last;
  for (const auto& citizen : citizens) {
    ASSERT_TRUE(citizen["female"].get<bool>() && citizen["name"].is_string()) << citizen;
    const auto name = citizen["name"].get<std::string>();
    const auto blank = name.find(' ');
    ASSERT_NE(blank, std::string::npos) << name;
    first.push_back(name.substr(0, blank));
    last.push_back(name.substr(blank + 1));
  }
  auto expected = firstNames;
  std::sort(expected.begin(), expected.end());
  for (std::size_t cycle = 0; cycle < 3; ++cycle) {
    std::vector<std::string> drawn(first.begin() + 6 * cycle, first.begin() + 6 * (cycle + 1));
    std::sort(drawn.begin(), drawn.end());
    EXPECT_EQ(drawn, expected) << "cycle " << cycle;
  }
  // The nineteenth starts a fourth cycle; the last names cycle every two citizens.
  EXPECT_NE(std::find(firstNames.begin(), firstNames.end(), first.back()), firstNames.end()) << first.back();
  for (std::size_t k = 0; k + 1 < last.size(); k += 2)
    EXPECT_EQ(std::set<std::string>({last[k], last[k + 1]}), (std::set<std::string>{"Quill", "Rook"})) << k;
}

TEST(CitizenIdentityScenario, EveryCitizenLooksItsOwnOnceScriptsRun) {
  const std::string spawn = "start\nspawn NewAtlantis 60\nspawn AkilaCity 60\nspawn Cydonia 60\nspawn Neon 60\n";
  const auto run = test::RunSim(spawn + "wait 100\nreport\n");
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
  ASSERT_EQ(run.report["cities"].size(), 4u);
  for (const auto& city : run.report["cities"]) {
    const auto bounds = ShippedBounds(city["name"]);
    ASSERT_EQ(city["citizens"].size(), 60u) << city["name"];
    for (const auto& c : city["citizens"]) {
      ASSERT_TRUE(c["name"].is_string() && c["voice"].is_string() && c["facialAnim"].is_string()) << c;
      const auto name = c["name"].get<std::string>();
      const auto blank = name.find(' ');
      EXPECT_TRUE(blank != std::string::npos && blank > 0 && blank + 1 < name.size()) << name;
      const bool female = c["female"];
      const int scale = c["scale"].is_number() ? Hundredths(c["scale"]) : -1;
      const float max = female ? bounds.femaleMax : bounds.maleMax, min = female ? bounds.femaleMin : bounds.maleMin;
      EXPECT_TRUE(scale >= std::lround(min * 100) && scale <= std::lround(max * 100)) << c << " " << city["name"];
      EXPECT_EQ(EntriesAbout(run, c, "applying name " + name + " to citizen actor"), 1u) << c;
    }
  }
  // Until game time passes, the script has applied nothing; the name is there at once.
  const auto early = test::RunSim("start\nspawn Neon 20\nreport\n");
  ASSERT_EQ(early.process.exitCode, 0u) << early.process.output;
  for (const auto& c : CityOf(early, "Neon")["citizens"])
    EXPECT_TRUE(c["name"].is_string() && c["voice"].is_null() && c["facialAnim"].is_null() && c["scale"].is_null())
        << c;
}

TEST(CitizenIdentityScenario, CitySettingsBoundHeightsAndNames) {
  test::SimOptions options;
  const std::string general = "[General]\niFemalePercent=50\nbDisableNames=";
  options.dataFiles = {// Women keep their height; men's maximum is out of range; names are drawn but not given.
                       {"AkilaCity/LocationData.ini",
                        "[Height]\nfFemaleMaxHeight=1.0\nfFemaleMinHeight=1.0\nfMaleMaxHeight=5.0\n"
                        "fMaleMinHeight=1.0\n" +
                            general + "1\n"},
                       {"AkilaCity/FemaleLastNames.txt", ""},
                       {"AkilaCity/MaleLastNames.txt", ""},
                       {"Cydonia/LocationData.ini",
                        "[Height]\nfFemaleMaxHeight=1.0\nfFemaleMinHeight=0.9\nfMaleMaxHeight=1.0\n"
                        "fMaleMinHeight=0.9\n" +
                            general + "0\n"},
                       {"Cydonia/FemaleLastNames.txt", ""},
                       {"Cydonia/MaleLastNames.txt", ""},
                       // Women down to nothing at all; men with a maximum of 0.
                       {"Neon/LocationData.ini",
                        "[Height]\nfFemaleMaxHeight=0.5\nfFemaleMinHeight=0\nfMaleMaxHeight=0\n"
                        "fMaleMinHeight=0\n" +
                            general + "0\n"},
                       // A minimum above the maximum.
                       {"NewAtlantis/LocationData.ini",
                        "[Height]\nfFemaleMaxHeight=1.2\nfFemaleMinHeight=1.3\nfMaleMaxHeight=1.2\n"
                        "fMaleMinHeight=1.3\n" +
                            general + "0\n"}};
  const auto run = test::RunSim(
      "start\nspawn AkilaCity 40\nspawn Cydonia 300\nspawn Neon 40\nspawn NewAtlantis 10\n"
      "wait 100\nreport\n",
      options);
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
  const std::string invalid = "] or both were invalid.";
  const std::string lastNameEmpty = "Last Name from DB is empty at 3DSet event of citizen actor [";
  for (const auto& [name, n] : {std::pair{"AkilaCity", 40u}, {"Cydonia", 300u}, {"Neon", 40u}, {"NewAtlantis", 10u}})
    ASSERT_EQ(CityOf(run, name)["citizens"].size(), n) << name;

  for (const auto& c : CityOf(run, "AkilaCity")["citizens"]) {
    EXPECT_TRUE(c["name"].is_null() && c["voice"].is_string() && c["facialAnim"].is_string()) << c;
    EXPECT_TRUE(c["scale"].is_null() && EntriesAbout(run, c, "applying name") == 0) << c;
    EXPECT_EQ(EntriesAbout(run, c, "warning|[ProcessEvent] " + lastNameEmpty), 1u) << c;
    EXPECT_EQ(EntriesAbout(run, c,
                           c["female"] ? "] because both MaxHeight and MinHeight are 1.00."
                                       : "MaxHeight [5.000000] or MinHeight [1.000000" + invalid),
              1u)
        << c;
  }
  std::set<int> seen;
  for (const auto& c : CityOf(run, "Cydonia")["citizens"]) {
    ASSERT_TRUE(c["name"].is_string() && c["scale"].is_number()) << c;
    const auto name = c["name"].get<std::string>();
    EXPECT_TRUE(!name.empty() && name.find(' ') == std::string::npos) << "[" << name << "]";
    EXPECT_EQ(EntriesAbout(run, c, lastNameEmpty), 1u) << c;
    EXPECT_EQ(EntriesAbout(run, c, "info|[ProcessEvent] applying name " + name + " to citizen actor ["), 1u) << c;
    const int n = Hundredths(c["scale"]);
    EXPECT_TRUE(n >= 90 && n <= 100) << c;
    EXPECT_EQ(EntriesAbout(run, c,
                           "calculated Scale is [" + std::to_string(n) + "] and RandomFloat is [" +
                               (n == 100 ? "1.000000" : "0." + std::to_string(n) + "0000")),
              1u)
        << c;
    seen.insert(n);
  }
  EXPECT_EQ(seen.size(), 11u) << "both ends of 0.90 to 1.00 are drawn";
  for (const auto& c : CityOf(run, "Neon")["citizens"]) {
    if (c["female"]) {
      EXPECT_TRUE(c["scale"].is_number() && Hundredths(c["scale"]) >= 0 && Hundredths(c["scale"]) <= 50) << c;
    } else {
      EXPECT_TRUE(c["scale"].is_null() && c["voice"].is_string()) << c;
      EXPECT_EQ(EntriesAbout(run, c, "MaxHeight [0.000000] or MinHeight [0.000000" + invalid), 1u) << c;
    }
  }
  for (const auto& c : CityOf(run, "NewAtlantis")["citizens"]) {
    EXPECT_TRUE(c["scale"].is_null() && c["name"].is_string()) << c;
    EXPECT_EQ(EntriesAbout(run, c, "error|[ProcessEvent] height data cannot be applied for ["), 1u) << c;
    EXPECT_EQ(EntriesAbout(run, c, "MaxHeight [1.200000] or MinHeight [1.300000" + invalid), 1u) << c;
  }
}
