#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "ChildProcess.h"
#include "GameFolder.h"
#include "Helpers/Ini.h"
#include "Helpers/PluginSettings.h"
#include "LogCapture.h"
#include "Main/Settings/Settings.h"
#include "Main/Startup/PluginState.h"
#include "Win/LongPath.h"
#include "Win/Text.h"

namespace fs = std::filesystem;
using namespace std::string_view_literals;

namespace {

struct Key {
  const char *name, *section, *written;  // written: the text a missing key gets
  std::variant<Relaxed<bool>*, Relaxed<std::int32_t>*, Relaxed<float>*> field;
  double get() const {
    return std::visit([](auto* f) { return static_cast<double>(f->load()); }, field);
  }
  void set(double v) const {
    std::visit([v](auto* f) { f->store(static_cast<decltype(f->load())>(v)); }, field);
  }
};
PluginSettingsRecord& S = PluginSettings;
const Key kKeys[] = {
    {"bExtraOptimized", "General", "0", &S.bExtraOptimized},
    {"iAllowedCellChangeTime", "General", "3000", &S.iAllowedCellChangeTime},
    {"iEncounterPointMinPlayerDist", "General", "5", &S.iEncounterPointMinPlayerDist},
    {"iEncounterPointMaxPlayerDist", "General", "220", &S.iEncounterPointMaxPlayerDist},
    {"bLogging", "Debug", "0", &S.bLogging},
    {"bOptimizeFullyInitializedActorsMaxCount", "General", "1", &S.bOptimizeFullyInitializedActorsMaxCount},
    {"bOptimizeFullyInitializedActorsMaxDistance", "General", "1", &S.bOptimizeFullyInitializedActorsMaxDistance},
    {"bEnableOutfitPhysics", "General", "1", &S.bEnableOutfitPhysics},
    {"bDynamicCleanUpUniqueNPCs", "General", "1", &S.bDynamicCleanUpUniqueNPCs},
    {"iQueuedActorTime", "FaceGen", "100", &S.iQueuedActorTime},
    {"iFaceGenActorUpdateTime", "FaceGen", "20", &S.iFaceGenActorUpdateTime},
    {"fFaceGenCloseDistance", "FaceGen", "18.0", &S.fFaceGenCloseDistance},
    {"fFaceGenFarDistance", "FaceGen", "70.0", &S.fFaceGenFarDistance},
    {"fFaceGenMaxDistance", "FaceGen", "120.0", &S.fFaceGenMaxDistance},
    {"iTESLoadGameEventTimeTicks", "FaceGen", "300", &S.iTESLoadGameEventTimeTicks},
    {"bFaceGenProcessor", "FaceGen", "1", &S.bFaceGenProcessor},
};
const Key& Named(std::string_view name) {
  return *std::find_if(std::begin(kKeys), std::end(kKeys), [name](const Key& key) { return key.name == name; });
}

// A whole settings file; an override of nullptr leaves the key out.
std::string SettingsText(const std::map<std::string_view, const char*>& overrides = {}) {
  std::string text;
  for (const auto section : {"General"sv, "Debug"sv, "FaceGen"sv}) {
    text.append("[").append(section).append("]\r\n");
    for (const auto& key : kKeys) {
      const auto found = overrides.find(key.name);
      if (key.section != section || (found != overrides.end() && !found->second)) continue;
      text.append(key.name).append("=").append(found != overrides.end() ? found->second : key.written).append("\r\n");
    }
  }
  return text;
}

std::vector<std::string> NonBlankLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

std::string Line(const std::string& message) { return "info|[ReloadINISettings] " + message; }
const std::string kTurnedOff = Line("logging was requested to be turned off");

std::vector<std::string> Summary(const std::function<std::string(const Key&)>& raw, bool loggingRequested) {
  std::vector<std::string> lines{Line("final settings struct >> ------------------------- ")};
  for (const auto& key : kKeys)
    if (key.name != "bExtraOptimized"sv && key.name != "bLogging"sv)
      lines.push_back(Line(std::string(key.name) + " = " + raw(key)));
  lines.push_back(Line(loggingRequested ? "bLogging = 1" : "bLogging = 0"));
  lines.push_back(Line(" << ------------------------- "));
  return lines;
}

}  // namespace

TEST(Settings, MissingFileIsCreatedWithDefaultsAndParsed) {
  test::GameFolder game;
  ResetPluginState();
  for (const auto& key : kKeys) key.set(std::stod(key.written) == 0 ? 1 : 0);  // so every field must change
  ReloadINISettings(true);
  const auto created = test::ReadFile(game.dataFolder() / "Settings.ini");
  EXPECT_EQ(NonBlankLines(created), NonBlankLines(SettingsText()));
  for (const auto& key : kKeys) EXPECT_DOUBLE_EQ(key.get(), std::stod(key.written)) << key.name;

  // A complete file is left exactly as it was.
  ReloadINISettings(true);
  EXPECT_EQ(test::ReadFile(game.dataFolder() / "Settings.ini"), created);
}

TEST(Settings, NoDataFolderFallsBackAndSwitchesLoggingOff) {
  test::GameFolder game;
  fs::remove_all(game.dataFolder());
  ResetPluginState();
  for (const auto& key : kKeys)
    if (key.name[0] != 'b') key.set(1);
  S.bExtraOptimized = true, S.bFaceGenProcessor = false, S.bEnableOutfitPhysics = false;
  test::LogCapture log;
  ReloadINISettings(true);
  EXPECT_FALSE(fs::exists(game.dataFolder()));
  const std::pair<const char*, double> fallbacks[] = {
      {"iAllowedCellChangeTime", 3000}, {"iEncounterPointMinPlayerDist", 5}, {"iEncounterPointMaxPlayerDist", 220},
      {"iQueuedActorTime", 50},         {"iFaceGenActorUpdateTime", 80},     {"fFaceGenCloseDistance", 18.0},
      {"fFaceGenFarDistance", 45.0},    {"fFaceGenMaxDistance", 1000.0},     {"iTESLoadGameEventTimeTicks", 30}};
  for (const auto& [name, value] : fallbacks) EXPECT_DOUBLE_EQ(Named(name).get(), value) << name;
  EXPECT_TRUE(S.bExtraOptimized && S.bOptimizeFullyInitializedActorsMaxCount && S.bDynamicCleanUpUniqueNPCs);
  EXPECT_FALSE(S.bFaceGenProcessor || S.bEnableOutfitPhysics || S.bLogging);
  auto expected = Summary([](const Key&) { return std::string(); }, false);
  expected.insert(expected.begin(), "error|[ReloadINISettings] couldn't read " +
                                        Win::ToUtf8(Win::FullPath(game.dataFolder() / "Settings.ini")) +
                                        ": running on the default settings");
  expected.push_back(kTurnedOff);
  EXPECT_EQ(log.lines(), expected);
}

// A game folder deeper than the profile calls reach: the file is still created, read and filled in
// by the same rules, and the log names nothing unread.
TEST(Settings, AGameFolderPastMaxPathIsReadAndWrittenAsAnyOther) {
  test::GameFolder game;
  auto deep = game.path();
  for (int i = 0; i < 5; ++i) deep /= L"Ünïcødé-папка-" + std::wstring(40, L'x');
  const auto data = deep / "Data" / "SFSE" / "Plugins" / "Quillmere";
  fs::create_directories(data);
  ASSERT_GT(Win::FullPath(data / "Settings.ini").size(), 260u);
  fs::current_path(deep);
  ResetPluginState();
  test::WriteFile(data / "Settings.ini", "[FaceGen]\r\niQueuedActorTime=75\r\n[Debug]\r\nbLogging=1\r\n");
  test::LogCapture log;
  ReloadINISettings(true);
  fs::current_path(game.path());
  EXPECT_EQ(PluginSettings.iQueuedActorTime, 75);
  EXPECT_TRUE(PluginSettings.bLogging);
  EXPECT_TRUE(std::ranges::none_of(
      log.lines(), [](const std::string& line) { return line.find("couldn't read") != std::string::npos; }));
  EXPECT_TRUE(log.contains("info|[ReloadINISettings] iQueuedActorTime = 75"));
  EXPECT_TRUE(log.contains("info|[ReloadINISettings] fFaceGenMaxDistance = 120.0"));
  // The missing keys were written into the file itself, beside the player's.
  const auto lines = NonBlankLines(test::ReadFile(data / "Settings.ini"));
  EXPECT_NE(std::ranges::find(lines, "iQueuedActorTime=75"), lines.end());
  EXPECT_NE(std::ranges::find(lines, "fFaceGenMaxDistance=120.0"), lines.end());
  // The short copies the profile calls worked on are gone.
  for (const auto& entry : fs::directory_iterator(fs::temp_directory_path()))
    EXPECT_FALSE(entry.path().filename().string().starts_with("bwi")) << entry.path().string();
}

TEST(Settings, ParsesEachKindAndFallsBackOnBadNumbers) {
  struct Case {
    const char *key, *text;
    double expected;
  };
  const Case cases[] = {
      {"iAllowedCellChangeTime", "0042", 42},
      {"iAllowedCellChangeTime", "", 3000},
      {"iAllowedCellChangeTime", "-5", 3000},
      {"iAllowedCellChangeTime", "12a", 3000},
      {"iAllowedCellChangeTime", "+7", 3000},
      {"iAllowedCellChangeTime", "1 2", 3000},
      {"iAllowedCellChangeTime", "2147483647", 2147483647.0},
      {"iAllowedCellChangeTime", "2147483648", 3000},
      {"iEncounterPointMinPlayerDist", "x", 5},
      {"iEncounterPointMaxPlayerDist", "99999999999", 220},
      {"iEncounterPointMinPlayerDist", "300", 300},  // above the maximum, yet kept
      {"iQueuedActorTime", "12a", 12},
      {"iQueuedActorTime", "-5", -5},
      {"iQueuedActorTime", "25ms", 25},
      {"iQueuedActorTime", "true", 50},
      {"iQueuedActorTime", "-2147483649", 50},
      {"iFaceGenActorUpdateTime", "abc", 80},
      {"iTESLoadGameEventTimeTicks", "3000000000", 30},
      {"fFaceGenCloseDistance", "nope", 18},
      {"fFaceGenFarDistance", "2.5e1", 25},
      {"fFaceGenFarDistance", "x1", 45},
      {"fFaceGenFarDistance", "1e39", 45},
      {"fFaceGenMaxDistance", "-3.5m", -3.5},
      {"bExtraOptimized", "true", 0},
      {"bExtraOptimized", "1", 1},
      {"bExtraOptimized", "01", 0},
      {"bFaceGenProcessor", "0", 0},
      {"bFaceGenProcessor", "yes", 0},
      {"bDynamicCleanUpUniqueNPCs", "1", 1},
      // An empty or absent key is written back first, so its default text is parsed, not the fallback.
      {"bFaceGenProcessor", "", 1},
      {"bEnableOutfitPhysics", nullptr, 1},
      {"bLogging", "", 0},
      {"iQueuedActorTime", "", 100},
      {"fFaceGenMaxDistance", nullptr, 120},
      {"fFaceGenFarDistance", "", 70},
  };
  test::LogCapture quiet;
  for (const auto& c : cases) {
    test::GameFolder game;  // a fresh file each time, so no cached copy is read
    ResetPluginState();
    Named(c.key).set(c.expected == 0 ? 1 : 0);
    test::WriteFile(game.dataFolder() / "Settings.ini", SettingsText({{c.key, c.text}}));
    ReloadINISettings(true);
    EXPECT_DOUBLE_EQ(Named(c.key).get(), c.expected) << c.key << "=" << (c.text ? c.text : "(absent)");
  }
}

TEST(Settings, LoggingTransitionsAcrossRuns) {
  test::GameFolder game;
  ResetPluginState();
  test::WriteFile(game.dataFolder() / "Settings.ini", SettingsText({{"iQueuedActorTime", "12a"}}));
  // The summary shows the raw text, not the parsed number.
  const auto raw = [](const Key& key) { return std::string(key.name == "iQueuedActorTime"sv ? "12a" : key.written); };
  auto offRun = Summary(raw, false);
  offRun.push_back(kTurnedOff);
  auto onRun = Summary(raw, true);
  onRun.insert(onRun.begin(), Line("logging was requested to be turned on"));
  test::LogCapture log;
  const auto run = [&log] { return log.clear(), ReloadINISettings(true), log.lines(); };
  EXPECT_EQ(run(), offRun);  // on from load, requested off
  EXPECT_FALSE(PluginSettings.bLogging);
  // Already off: the summary still appears, and no "turned on". The switch stays off while it is
  // written, or every game thread would log meanwhile.
  bool switchSeenOn = false;
  log.onLine([&](const std::string&) { switchSeenOn |= static_cast<bool>(PluginSettings.bLogging); });
  EXPECT_EQ(run(), offRun);
  EXPECT_FALSE(switchSeenOn);
  log.onLine({});
  EXPECT_FALSE(PluginSettings.bLogging);
  ASSERT_TRUE(Ini::WriteIniValue("Settings", "Debug", "bLogging", "1", Ini::kDataFolder));
  EXPECT_EQ(run(), onRun);
  EXPECT_TRUE(PluginSettings.bLogging);
  EXPECT_EQ(run(), std::vector(onRun.begin() + 1, onRun.end()));  // already on: no transition line
  ASSERT_TRUE(Ini::WriteIniValue("Settings", "Debug", "bLogging", "true", Ini::kDataFolder));
  EXPECT_EQ(run(), offRun);
  EXPECT_FALSE(PluginSettings.bLogging);
}

TEST(Ini, ReadWriteAndBadArguments) {
  test::GameFolder game;
  const auto dir = Ini::kDataFolder;
  const auto read = [dir](const char* sect, const char* key) { return Ini::ReadIniValue("Town", sect, key, dir); };
  const auto write = [dir](const char* key, std::string v) { return Ini::WriteIniValue("Town", "Main", key, v, dir); };
  EXPECT_FALSE(Ini::IniFileExists("Town", dir));
  EXPECT_EQ(read("Main", "Key"), "");
  EXPECT_TRUE(write("Key", "Value 1"));  // creates the file and its section
  EXPECT_TRUE(Ini::IniFileExists("Town", dir));
  EXPECT_EQ(read("Main", "Key"), "Value 1");
  EXPECT_EQ(read("Main", "Other"), "");
  EXPECT_EQ(read("Other", "Key"), "");
  EXPECT_TRUE(write("Blank", ""));
  EXPECT_EQ(read("Main", "Blank"), "");

  // Read-back differs: the reader drops the quotes, and returns at most 9,999 characters.
  EXPECT_FALSE(write("Quoted", "\"q\""));
  EXPECT_EQ(read("Main", "Quoted"), "q");
  EXPECT_FALSE(write("Long", std::string(10000, 'v')));
  EXPECT_EQ(read("Main", "Long"), std::string(9999, 'v'));
  EXPECT_TRUE(write("Fits", std::string(9999, 'w')));

  // Empty names: an empty file name must not reach a file called ".ini".
  const std::string hidden = "Key=anon\r\n[Main]\r\nKey=hidden\r\n=blank\r\n";
  test::WriteFile(game.dataFolder() / ".ini", hidden);
  EXPECT_FALSE(Ini::IniFileExists("", dir));
  EXPECT_EQ(Ini::ReadIniValue("", "Main", "Key", dir), "");
  EXPECT_FALSE(Ini::WriteIniValue("", "Main", "Key", "x", dir));
  EXPECT_EQ(test::ReadFile(game.dataFolder() / ".ini"), hidden);
  test::WriteFile(game.dataFolder() / "Odd.ini", hidden);
  EXPECT_EQ(Ini::ReadIniValue("Odd", "", "Key", dir), "");
  EXPECT_EQ(Ini::ReadIniValue("Odd", "Main", "", dir), "");
  EXPECT_FALSE(write("", "x"));
  EXPECT_FALSE(Ini::WriteIniValue("Town", "", "Key", "x", dir));

  // An empty folder is the plug-in folder; missing folders are not created.
  EXPECT_TRUE(Ini::WriteIniValue("Base", "Main", "Key", "b", ""));
  EXPECT_TRUE(fs::exists(game.path() / "Data" / "SFSE" / "Plugins" / "Base.ini"));
  EXPECT_TRUE(Ini::IniFileExists("Base", ""));
  EXPECT_EQ(Ini::ReadIniValue("Base", "Main", "Key", ""), "b");
  EXPECT_FALSE(Ini::WriteIniValue("Town", "Main", "Key", "x", ".\\Data\\Missing\\"));
  EXPECT_FALSE(fs::exists(game.path() / "Data" / "Missing"));
}

TEST(Ini, ComposedPathsAreLimitedTo255Characters) {
  test::GameFolder game;
  // ".\" steps lengthen the composed path while the real one stays short.
  std::wstring folder;
  while (folder.size() + Ini::kDataFolder.size() + "Limit.ini"sv.size() < Ini::kMaxPathLength) folder += L".\\";
  folder += Ini::kDataFolder;
  ASSERT_EQ(folder.size() + "Limit.ini"sv.size(), 255u);
  EXPECT_TRUE(Ini::WriteIniValue("Limit", "Main", "Key", "near", folder));
  EXPECT_TRUE(Ini::IniFileExists("Limit", folder));
  EXPECT_EQ(Ini::ReadIniValue("Limit", "Main", "Key", folder), "near");
  EXPECT_TRUE(fs::exists(game.dataFolder() / "Limit.ini"));

  // One more character: refused whole, even though the file is there.
  const std::string beyond = "[Main]\r\nKey=far\r\n";
  test::WriteFile(game.dataFolder() / "Limitx.ini", beyond);
  EXPECT_FALSE(Ini::IniFileExists("Limitx", folder));
  EXPECT_EQ(Ini::ReadIniValue("Limitx", "Main", "Key", folder), "");
  EXPECT_FALSE(Ini::WriteIniValue("Limitx", "Main", "Key", "x", folder));
  EXPECT_EQ(test::ReadFile(game.dataFolder() / "Limitx.ini"), beyond);
  EXPECT_EQ(std::distance(fs::directory_iterator(game.dataFolder()), fs::directory_iterator{}), 2);
}

// The shipped file explains every key in comment lines; the plug-in must read it as the bare file,
// and filling in a key a player deleted must keep every comment.
TEST(Settings, ShippedCommentedFileReadsAsTheBareOneAndKeepsItsCommentsWhenFilledIn) {
  test::GameFolder game;
  const auto shipped = test::ReadFile(test::BinaryDirectory() / "data" / "Quillmere" / "Settings.ini");
  std::vector<std::string> comments;
  for (const auto& line : NonBlankLines(shipped))
    if (line.starts_with(";")) comments.push_back(line);
  for (const auto& key : kKeys)  // each key has its own explanation, the default among it
    EXPECT_NE(shipped.find("\r\n" + std::string(key.name) + "=" + key.written + "\r\n"), std::string::npos) << key.name;
  EXPECT_GE(comments.size(), std::size(kKeys));

  const auto readAll = [&](const std::string& text) {
    test::WriteFile(game.dataFolder() / "Settings.ini", text);
    ResetPluginState();
    test::LogCapture log;
    ReloadINISettings(true);
    std::vector<double> values;
    for (const auto& key : kKeys) values.push_back(key.get());
    return std::pair{values, log.lines()};
  };
  EXPECT_EQ(readAll(shipped), readAll(SettingsText()));
  EXPECT_FALSE(S.bLogging) << "players get the log off";

  auto withoutKey = shipped;
  const std::string removed = "\r\niQueuedActorTime=100";
  withoutKey.erase(withoutKey.find(removed), removed.size());
  test::WriteFile(game.dataFolder() / "Settings.ini", withoutKey);
  ReloadINISettings(true);
  const auto filled = test::ReadFile(game.dataFolder() / "Settings.ini");
  EXPECT_NE(filled.find("iQueuedActorTime=100"), std::string::npos);
  std::vector<std::string> commentsAfter;
  for (const auto& line : NonBlankLines(filled))
    if (line.starts_with(";")) commentsAfter.push_back(line);
  EXPECT_EQ(commentsAfter, comments);
}
