// The page brindlewick-sim writes for a data author: what the data folder says beside what the game
// drew, and names from data files shown as text, never as markup.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "GameFolder.h"
#include "SimRun.h"
#include "TempFolder.h"

namespace {

namespace fs = std::filesystem;

TEST(SimPage, ShowsTheDataFolderAsWrittenAndNamesAsText) {
  const test::TempFolder folder(L"bw-page-");
  const auto page = folder / "page.html";
  test::SimOptions options;
  options.arguments = {"--html", page.string()};
  options.dataFiles = {
      {"Neon/FemaleNames.txt", "<script>alert(1)</script>\r\n"},
      {"Neon/MaleNames.txt", "Jo \"Ace\" & 'Co'\r\n"},
      // A sign, a second dot and a "%": what an author may type and what the plug-in reads instead.
      {"Neon/LocationData.ini",
       "[Height]\r\nfFemaleMaxHeight=-1.2\r\nfFemaleMinHeight=0.90\r\nfMaleMaxHeight=1.2.3\r\nfMaleMinHeight=\r\n"
       "[General]\r\niFemalePercent=40%\r\nbDisableNames=0\r\n"}};
  options.removedData = {"Cydonia/LocationData.ini"};
  const auto run = test::RunSim("start\nspawn Neon 30\nspawn Cydonia 2\nwait 100\nreport\n", options);
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
  const auto html = test::ReadFile(page);
  ASSERT_FALSE(html.empty());

  const auto& neon = run.report["cities"][3];
  ASSERT_EQ(neon["name"], "Neon");
  EXPECT_EQ(neon["locationData"]["fFemaleMaxHeight"], 1.0);
  EXPECT_NEAR(neon["locationData"]["fFemaleMinHeight"].get<double>(), 0.90, 1e-9);
  EXPECT_NEAR(neon["locationData"]["fMaleMaxHeight"].get<double>(), 1.2, 1e-9);
  EXPECT_EQ(neon["locationData"]["fMaleMinHeight"], 1.0);
  EXPECT_EQ(neon["locationData"]["iFemalePercent"], 50);
  EXPECT_EQ(run.report["cities"][2]["locationData"], nullptr);
  EXPECT_NE(html.find("Setting: iFemalePercent = 50"), std::string::npos);
  EXPECT_NE(html.find("no LocationData.ini for this city"), std::string::npos);
  // The script set the heights at the wait: the women's bounds are drawn on their histogram.
  EXPECT_NE(html.find("min 0.90"), std::string::npos);
  EXPECT_NE(html.find("max 1.00"), std::string::npos);

  // Every citizen got one of the two names; each shows escaped, counted as the report counts it.
  int women = 0, men = 0;
  for (const auto& [name, count] : neon["namesGiven"].items()) {
    if (name.starts_with("<script>alert(1)</script> ")) women += count.get<int>();
    if (name.starts_with("Jo \"Ace\" & 'Co' ")) men += count.get<int>();
  }
  EXPECT_EQ(women, neon["women"].get<int>());
  EXPECT_EQ(women + men, static_cast<int>(neon["citizens"].size()));
  EXPECT_EQ(html.find("<script"), std::string::npos);
  EXPECT_NE(html.find("&lt;script&gt;alert(1)&lt;/script&gt; "), std::string::npos);
  EXPECT_NE(html.find("Jo &quot;Ace&quot; &amp; &#39;Co&#39; "), std::string::npos);
}

}  // namespace
