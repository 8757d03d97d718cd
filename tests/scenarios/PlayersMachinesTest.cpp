// The real plug-in on machines as players have them: a game folder with letters outside the code
// page or longer than 260 characters, a log folder the plug-in cannot write into.
#include <gtest/gtest.h>

#include <windows.h>

#include "ChildProcess.h"
#include "PluginLog.h"
#include "SimRun.h"
#include "TempFolder.h"

namespace fs = std::filesystem;

namespace {

bool CitizensWereNamed(const nlohmann::json& report) {
  if (report.is_null()) return false;
  for (const auto& citizen : report["cities"][0]["citizens"])
    if (citizen["name"].is_null()) return false;
  return !report["cities"][0]["citizens"].empty();
}

}  // namespace

TEST(PlayersMachines, GameInstalledUnderAFolderWithLettersOutsideTheCodePage) {
  const test::TempFolder installFolder(L"bw-\u0418\u0433\u0440\u044B-\u30B2\u30FC\u30E0-");
  const auto& install = installFolder.path();
  for (const char* file : {"brindlewick-sim.exe", "Brindlewick.dll"})
    fs::copy_file(test::BinaryDirectory() / file, install / file);
  fs::copy(test::BinaryDirectory() / "data", install / "data", fs::copy_options::recursive);

  const test::TempFolder workFolder(L"bw-install-");
  const auto& work = workFolder.path();
  {
    std::FILE* scenario = _wfopen((work / "scenario.txt").c_str(), L"wb");
    ASSERT_NE(scenario, nullptr);
    std::fputs("ini Settings.ini Debug bLogging 1\nstart\nspawn NewAtlantis 5\nreport\n", scenario);
    std::fclose(scenario);
  }
  test::RemovePluginLog();
  const auto process = test::RunProcess(
      install / "brindlewick-sim.exe", {"run", (work / "scenario.txt").string(), "--game-dir", (work / "game").string(),
                                        "--json", (work / "report.json").string()});
  EXPECT_EQ(process.exitCode, 0u) << process.output;
  const auto entries = test::LogEntries(test::ReadPluginLog());
  EXPECT_NE(std::ranges::find(entries, "info|[HandleOnPostDataLoad] installation complete"), entries.end())
      << test::ReadPluginLog();
}

TEST(PlayersMachines, ALogFolderTakenByAFileDoesNotDisableThePlugin) {
  const auto logs = test::PluginLogPath().parent_path();
  fs::remove_all(logs);
  {
    std::FILE* blocker = _wfopen(logs.c_str(), L"wb");
    ASSERT_NE(blocker, nullptr);
    std::fclose(blocker);
  }
  const auto run = test::RunSim("start\nspawn NewAtlantis 5\nwait 10\nreport\n");
  fs::remove(logs);
  EXPECT_EQ(run.process.exitCode, 0u) << run.process.output;
  EXPECT_TRUE(CitizensWereNamed(run.report)) << run.report.dump(1);
}

TEST(PlayersMachines, AGameFolderLongerThan260CharactersIsReportedWithItsRealPath) {
  std::string deep = "bw-long-" + std::to_string(GetCurrentProcessId());
  while (deep.size() < 300) deep += "\\Steam Library Folder";
  test::SimOptions options;
  options.arguments = {"--addrlib-platform", "0"};  // only a file for the other platform: not found
  options.gameDirName = deep;
  const auto run = test::RunSim("start\nreport\n", options);
  EXPECT_EQ(run.process.exitCode, 1u) << run.process.output;
  ASSERT_FALSE(run.entries.empty()) << run.log;
  const auto& last = run.entries.back();
  EXPECT_EQ(last.rfind("critical|Failed to find address library file: \n", 0), 0u) << last;
  EXPECT_NE(last.find(deep + "\\Data\\SFSE\\Plugins\\versionlib-1-14-70-0-1.bin"), std::string::npos) << last;
}
