// Rebuilds keep a city folder's listing and files between builds: what they yield must still follow
// every change in the folder, exactly as a fresh reading of it would.
#include <gtest/gtest.h>

#include "FormsBack.h"
#include <windows.h>

#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "DataBaseTestSupport.h"
#include "GameFolder.h"
#include "GameForms.h"
#include "Helpers/PluginSettings.h"
#include "LogCapture.h"
#include "Main/Cities/CityFolderCache.h"
#include "Main/Cities/DataBase.h"
#include "Main/Cities/LocationData.h"

using Lines = std::vector<std::string>;

namespace {

// Makes a change and returns once the plug-in has noticed it: its watching thread hears of it a
// moment after the call that made it has returned.
void Change(const std::filesystem::path& folder, const std::function<void()>& change) {
  const auto before = CityFolderChangesNoticed(folder);
  ASSERT_TRUE(before.has_value());
  test::ChangeWatchedFolder(folder, change);
  EXPECT_GT(CityFolderChangesNoticed(folder), before);
}

struct Built {
  int count;
  std::vector<RE::TESForm*> entries;
  Lines log;
  bool operator==(const Built&) const = default;
};

Built Build(City city) {
  auto& record = CityRecordOf(city);
  record.MaleAnims.clear();
  test::LogCapture log;
  const int count = BuildDataBase(DataBaseKind::Anims, false, record);
  const auto entries = record.MaleAnims.Entries();
  return {count, {entries.begin(), entries.end()}, log.lines()};
}

Built BuildAfresh(City city) {
  ForgetCityFolder(CityRecordOf(city).folder);
  return Build(city);
}

std::uint64_t DiskReads() { return CityFolderCacheState.diskReads.load(); }

}  // namespace

TEST(CityFolderCache, RebuildsFollowFilesAddedEditedAndRemoved) {
  test::GameFolder game;
  FormsBack restore;
  PluginSettings = PluginSettingsRecord{};
  ResetPlugins();
  for (std::uint32_t id = 0x1A2B1; id <= 0x1A2B8; ++id) sim::AddForm(id, RE::FormType::kKeyword);
  sim::AddForm(0x1A2B9, RE::FormType::kVoiceType);
  const auto city = game.dataFolder() / "Cydonia";
  test::WriteFile(city / "MaleAnims.txt", "1A2B1_Starfield.esm\r\n1A2B2\r\n");
  test::WriteFile(city / "MaleAnims_Docks.txt", "1A2B3_Starfield.esm\n1A2B9_Starfield.esm\n");

  const auto first = Build(City::Cydonia);
  EXPECT_EQ(first.count, 3);
  auto reads = DiskReads();
  EXPECT_EQ(Build(City::Cydonia), first);  // an unchanged folder: the same entries and lines, nothing read
  EXPECT_EQ(DiskReads(), reads);

  const std::vector<std::pair<const char*, std::function<void()>>> changes = {
      {"added", [&] { test::WriteFile(city / "MaleAnims_Mine.txt", "1A2B4_Starfield.esm\n1A2B5\n"); }},
      {"edited, same size", [&] { test::WriteFile(city / "MaleAnims.txt", "1A2B6_Starfield.esm\r\n1A2B7\r\n"); }},
      {"edited", [&] { test::WriteFile(city / "MaleAnims_Mine.txt", "1A2B8_Starfield.esm\n"); }},
      {"removed", [&] { std::filesystem::remove(city / "MaleAnims_Docks.txt"); }},
      {"renamed away", [&] { std::filesystem::rename(city / "MaleAnims_Mine.txt", city / "Mine.txt"); }},
      {"renamed in", [&] { std::filesystem::rename(city / "Mine.txt", city / "MaleAnims_Mine2.txt"); }},
  };
  auto previous = first;
  for (const auto& [what, change] : changes) {
    SCOPED_TRACE(what);
    Change(city, change);
    reads = DiskReads();
    const auto next = Build(City::Cydonia);
    EXPECT_GT(DiskReads(), reads);  // read again
    EXPECT_NE(next, previous);
    EXPECT_EQ(next, BuildAfresh(City::Cydonia));
    EXPECT_EQ(Build(City::Cydonia), next);
    previous = next;
  }
  EXPECT_EQ(previous.count, 3);
}

TEST(CityFolderCache, AFolderMadeAfterAFailedRebuildIsRead) {
  test::GameFolder game;
  FormsBack restore;
  PluginSettings = PluginSettingsRecord{};
  ResetPlugins();
  sim::AddForm(0x1A2B1, RE::FormType::kKeyword);
  EXPECT_EQ(Build(City::AkilaCity).count, 0);  // no AkilaCity folder yet
  test::WriteFile(game.dataFolder() / "AkilaCity" / "MaleAnims.txt", "1A2B1\n");
  const auto built = Build(City::AkilaCity);
  EXPECT_EQ(built.count, 1);
  EXPECT_EQ(built, BuildAfresh(City::AkilaCity));
}

TEST(CityFolderCache, FoldersPastWhatOneWaitCoversAreReadAtEveryBuildAndTheOthersStayWatched) {
  test::GameFolder game;
  PluginSettings = PluginSettingsRecord{};
  // One wait covers 64 handles, the watching thread's own wake-up among them.
  std::vector<std::filesystem::path> folders;
  for (int i = 0; i < 64; ++i) {
    folders.push_back(game.path() / ("Folder" + std::to_string(i)));
    test::WriteFile(folders.back() / "MaleAnims.txt", "1A2B1\n");
  }
  test::LogCapture log;
  for (const auto& folder : folders) TakeCityFolder(folder);
  const auto warnings = log.linesOf("CityFolderCache");
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0], "warning|[CityFolderCache] changes in folder [" + folders.back().string() +
                             "] cannot be watched (error 4): its data files are read at every rebuild.");

  auto reads = DiskReads();
  for (int round = 0; round < 3; ++round)
    for (const auto& folder : folders) TakeCityFolder(folder).FileNames("MaleAnims");
  EXPECT_EQ(DiskReads() - reads, 3u);  // the one unwatched folder, once a round
  EXPECT_FALSE(CityFolderChangesNoticed(folders.back()).has_value());

  // The watched ones still hear of changes: the thread did not give up on the full list.
  Change(folders[62], [&] { test::WriteFile(folders[62] / "MaleAnims_More.txt", "1A2B2\n"); });
  reads = DiskReads();
  EXPECT_EQ(TakeCityFolder(folders[62]).FileNames("MaleAnims").size(), 2u);
  EXPECT_EQ(DiskReads() - reads, 1u);
  EXPECT_EQ(log.linesOf("CityFolderCache").size(), 1u);  // warned once per folder
}
