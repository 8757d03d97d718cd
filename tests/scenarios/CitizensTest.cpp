// Citizens the game spawns from the lists the plug-in filled: the city's faces and clothes, and a
// share of women that follows the city's setting.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "SimRun.h"

namespace {

std::string LocationData(int femalePercent) {
  return "[Height]\nfFemaleMaxHeight=1.04\nfFemaleMinHeight=0.94\nfMaleMaxHeight=1.07\nfMaleMinHeight=0.96\n"
         "[General]\niFemalePercent=" +
         std::to_string(femalePercent) + "\nbDisableNames=0\n";
}

TEST(Citizens, ShareOfWomenFollowsTheCitysSetting) {
  for (const int percent : {30, 50, 70}) {
    SCOPED_TRACE(percent);
    test::SimOptions options;
    options.dataFiles = {{"Cydonia/LocationData.ini", LocationData(percent)}};
    options.arguments = {"--seed", "7"};
    const auto run = test::RunSim("start\nspawn Cydonia 2000\nreport\n", options);
    ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
    const auto& city = run.report["cities"][2];
    EXPECT_EQ(city["femaleRatioGlobal"], static_cast<double>(percent));
    ASSERT_EQ(city["citizens"].size(), 2000u);
    EXPECT_LE(std::abs(100.0 * city["femaleShare"].get<double>() - percent), 3.0) << city["femaleShare"];
  }
}

TEST(Citizens, WearTheCitysFacesAndClothesOnly) {
  const auto run = test::RunSim("start\nspawn Neon 300\nreport\n");
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
  // The faces and clothes the plug-in put into Neon's lists (the last city applied), as its log names them.
  std::set<std::string> listed;
  bool inNeon = false;
  for (const auto& entry : run.entries) {
    inNeon = inNeon || entry.find("------------------------------------ Neon") != std::string::npos;
    if (inNeon && entry.find("[AddFormsToLeveledList] adding new form [") != std::string::npos)
      listed.insert(entry.substr(entry.find('[', entry.find("new form")) + 1, 8));
  }
  const auto& neon = run.report["cities"][3];
  ASSERT_EQ(neon["citizens"].size(), 300u);
  for (const auto& citizen : neon["citizens"]) {
    EXPECT_TRUE(listed.contains(citizen["face"].get<std::string>())) << citizen;
    ASSERT_FALSE(citizen["clothing"].is_null()) << citizen;
    EXPECT_TRUE(listed.contains(citizen["clothing"].get<std::string>())) << citizen;
  }
  EXPECT_GT(neon["facesUsed"].size(), 40u) << "citizens should look like individuals, not copies";
}

}  // namespace
