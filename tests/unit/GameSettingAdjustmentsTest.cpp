// The game's INI settings read and written by name, and the crowd setting adjustments.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "GameINISettings.h"
#include "Helpers/GameSettings.h"
#include "Helpers/PluginSettings.h"
#include "LogCapture.h"
#include "Main/Settings/GameSettingAdjustments.h"
#include "Main/Startup/PluginState.h"

using Lines = std::vector<std::string>;

namespace {

const std::string kMaxActor = "fCrowdInhibitThresholdMaxActor:AI";
const std::string kDistMax = "fCrowdInhibitDistMax:AI";
const std::string kCloth = "bCrowdActorsDisableCloth:General";
const std::string kInfo = "info|[ApplyOptimizations] ";

// The game's settings as it starts (200, 70, cloth 1), the plug-in's settings at their defaults.
struct FreshGame {
  FreshGame() { Reset(); }
  ~FreshGame() { Reset(); }
  static void Reset() {
    sim::ResetGameINISettings();
    ResetPluginState();
  }
};

double Game(const std::string& name) { return sim::GameSettingValue(name).value(); }

// Its result is always true; what it did shows in the game's settings and the log.
Lines Apply() {
  test::LogCapture log;
  ApplyOptimizations(true, false);
  return log.lines();
}

}  // namespace

TEST(GameSettings, AreFoundByTheirWholeNameAndReadAsTheirType) {
  FreshGame game;
  EXPECT_EQ(GetGameINISettingValue(kMaxActor, 1), "200.000000") << "not fCrowdInhibitThresholdMax:AI, listed before";
  EXPECT_EQ(GetGameINISettingValue(kDistMax, 1), "70.000000");
  EXPECT_EQ(GetGameINISettingValue(kCloth, 3), "1");
  EXPECT_EQ(GetGameINISettingValue("bAlwaysActive:General", 3), "1") << "the setting in the embedded node";
  EXPECT_EQ(GetGameINISettingValue("fDefaultWorldFOV:Display", 1), "85.000000") << "the last node";
  for (const std::string name : {"fcrowdinhibitdistmax:ai", "fCrowdInhibitDistMax", "fCrowdInhibitDistMax:AI ", ""})
    EXPECT_EQ(GetGameINISettingValue(name, 1), "") << "'" << name << "'";
  EXPECT_EQ(GetGameINISettingValue(kDistMax, 2), "");
  EXPECT_EQ(GetGameINISettingValue(kDistMax, 0), "");

  sim::ClearGameINISettings();
  EXPECT_EQ(GetGameINISettingValue(kDistMax, 1), "") << "an empty collection";
  EXPECT_FALSE(SetGameINISetting(kDistMax, "60", 1));
}

TEST(GameSettings, WritesConvertTheTextAndReportWhatDidNotConvert) {
  FreshGame game;
  test::LogCapture log;
  EXPECT_TRUE(SetGameINISetting(kDistMax, "62.5", 1));
  EXPECT_EQ(Game(kDistMax), 62.5);
  EXPECT_EQ(GetGameINISettingValue(kDistMax, 1), "62.500000");
  EXPECT_TRUE(SetGameINISetting(kDistMax, " 12abc", 1)) << "the conversion stops at the first non-digit";
  EXPECT_EQ(Game(kDistMax), 12.0);

  // Flags: any non-zero whole number is 1.
  for (const auto& [text, stored] : std::vector<std::pair<std::string, double>>{
           {"0", 0}, {"2", 1}, {"-1", 1}, {"0x1", 0}, {" 7 apples", 1}, {"00", 0}}) {
    EXPECT_TRUE(SetGameINISetting(kCloth, text, 3)) << text;
    EXPECT_EQ(Game(kCloth), stored) << text;
  }

  EXPECT_FALSE(SetGameINISetting(kDistMax, "nan", 1)) << "NaN is no value to report as set";
  EXPECT_TRUE(std::isnan(Game(kDistMax)));
  EXPECT_TRUE(SetGameINISetting(kDistMax, "70", 1));
  EXPECT_TRUE(log.lines().empty()) << log.lines()[0];

  // Unknown settings and other types: false, without a line, the game untouched.
  EXPECT_FALSE(SetGameINISetting("fCrowdInhibitDistMax:ai", "10", 1));
  EXPECT_FALSE(SetGameINISetting("", "10", 1));
  EXPECT_FALSE(SetGameINISetting(kDistMax, "10", 2));
  EXPECT_FALSE(SetGameINISetting(kDistMax, "10", 0));
  EXPECT_EQ(Game(kDistMax), 70.0);
  EXPECT_TRUE(log.lines().empty());

  // Conversions that throw are caught with one line each; the setting keeps its value.
  EXPECT_FALSE(SetGameINISetting(kDistMax, "abc", 1));
  EXPECT_FALSE(SetGameINISetting(kDistMax, "1e40", 1));
  EXPECT_FALSE(SetGameINISetting(kDistMax, "", 1));
  EXPECT_FALSE(SetGameINISetting(kCloth, "99999999999", 3));
  EXPECT_FALSE(SetGameINISetting(kCloth, "on", 3));
  EXPECT_EQ(Game(kDistMax), 70.0);
  EXPECT_EQ(Game(kCloth), 0.0) << "as the last good write left it";
  const std::string error = "error|[SetGameINISetting] exception: sSetting [";
  EXPECT_EQ(log.lines(), (Lines{error + kDistMax + "] sValue [abc] iSettingType [1]",
                                error + kDistMax + "] sValue [1e40] iSettingType [1]",
                                error + kDistMax + "] sValue [] iSettingType [1]",
                                error + kCloth + "] sValue [99999999999] iSettingType [3]",
                                error + kCloth + "] sValue [on] iSettingType [3]"}));
}

TEST(ApplyOptimizations, LowersAThresholdOnceAndPutsTheGameValueBackWhenSwitchedOff) {
  FreshGame game;
  EXPECT_EQ(Apply(),
            (Lines{kInfo + "called", kInfo + "Setting 'bCrowdActorsDisableCloth' has been successfully changed ? 1",
                   kInfo + "Storing vanilla 'fCrowdInhibitThresholdMaxActor' value: 200.000000",
                   kInfo + "Setting 'fCrowdInhibitThresholdMaxActor' has been successfully changed ? 1",
                   kInfo + "Setting 'fCrowdInhibitDistMax' does not need to be changed because it does not exceed "
                           "the target threshold: 75.000000"}));
  EXPECT_EQ(Game(kMaxActor), 175.0);
  EXPECT_EQ(Game(kDistMax), 70.0) << "below its target: left as is";
  EXPECT_EQ(Game(kCloth), 0.0);
  EXPECT_EQ(GameSettingAdjustmentState.StoredVanillaThresholdMaxActor, 200.0f);
  EXPECT_EQ(GameSettingAdjustmentState.StoredVanillaDistMax, -1.0f);

  // Again: the setting is at its target now, the game's value stays stored; the cloth is written anyway.
  sim::SetGameSetting(kCloth, 1);
  const auto again = Apply();
  EXPECT_EQ(again.at(1), kInfo + "Setting 'bCrowdActorsDisableCloth' has been successfully changed ? 1");
  EXPECT_EQ(again.at(2), kInfo +
                             "Setting 'fCrowdInhibitThresholdMaxActor' does not need to be changed because it does not "
                             "exceed the target threshold: 175.000000");
  EXPECT_EQ(again.size(), 4u);
  EXPECT_EQ(Game(kCloth), 0.0);
  EXPECT_EQ(GameSettingAdjustmentState.StoredVanillaThresholdMaxActor, 200.0f);

  // Switched off: the game's value goes back and is forgotten; the next run has nothing to put back.
  PluginSettings.bOptimizeFullyInitializedActorsMaxCount = false;
  EXPECT_EQ(Apply().at(2),
            kInfo +
                "Setting 'fCrowdInhibitThresholdMaxActor' is found but "
                "'bOptimizeFullyInitializedActorsMaxCount' is false. Could restore its vanilla value ? 1");
  EXPECT_EQ(GetGameINISettingValue(kMaxActor, 1), "200.000000");
  EXPECT_EQ(GameSettingAdjustmentState.StoredVanillaThresholdMaxActor, -1.0f);
  EXPECT_EQ(Apply().at(2),
            kInfo +
                "Setting 'fCrowdInhibitThresholdMaxActor' is found but "
                "'bOptimizeFullyInitializedActorsMaxCount' is false. Could not restore its vanilla value: "
                "no stored vanilla value found.");
  EXPECT_EQ(Game(kMaxActor), 200.0);

  // On again, after the player changed the game's value: the new one is the game's own.
  PluginSettings.bOptimizeFullyInitializedActorsMaxCount = true;
  sim::SetGameSetting(kMaxActor, 190);
  EXPECT_EQ(Apply().at(2), kInfo + "Storing vanilla 'fCrowdInhibitThresholdMaxActor' value: 190.000000");
  EXPECT_EQ(Game(kMaxActor), 175.0);
}

TEST(ApplyOptimizations, TargetsFollowExtraOptimizationAndTheTestIsStrictlyAbove) {
  FreshGame game;
  sim::SetGameSetting(kMaxActor, 175);
  auto lines = Apply();
  EXPECT_EQ(lines.at(2), kInfo +
                             "Setting 'fCrowdInhibitThresholdMaxActor' does not need to be changed because it does not "
                             "exceed the target threshold: 175.000000");
  EXPECT_EQ(GameSettingAdjustmentState.StoredVanillaThresholdMaxActor, -1.0f);

  // Extra: 145 and 65. The distance is now above its target and is lowered, its game value stored.
  PluginSettings.bExtraOptimized = true;
  lines = Apply();
  EXPECT_EQ(lines,
            (Lines{kInfo + "called", kInfo + "Setting 'bCrowdActorsDisableCloth' has been successfully changed ? 1",
                   kInfo + "Storing vanilla 'fCrowdInhibitThresholdMaxActor' value: 175.000000",
                   kInfo + "Setting 'fCrowdInhibitThresholdMaxActor' has been successfully changed ? 1",
                   kInfo + "Storing vanilla 'fCrowdInhibitDistMax' value: 70.000000",
                   kInfo + "Setting 'fCrowdInhibitDistMax' has been successfully changed ? 1"}));
  EXPECT_EQ(Game(kMaxActor), 145.0);
  EXPECT_EQ(Game(kDistMax), 65.0);
  EXPECT_EQ(GameSettingAdjustmentState.StoredVanillaDistMax, 70.0f);

  // Extra switched off while the options stay on: 65 is below 75, nothing changes, 70 stays stored.
  PluginSettings.bExtraOptimized = false;
  lines = Apply();
  EXPECT_EQ(lines.at(3),
            kInfo +
                "Setting 'fCrowdInhibitDistMax' does not need to be changed because it does not exceed the "
                "target threshold: 75.000000");
  EXPECT_EQ(Game(kDistMax), 65.0);
  EXPECT_EQ(GameSettingAdjustmentState.StoredVanillaDistMax, 70.0f);

  // From the normal target to the extra one: lowered again, the game's own value kept.
  FreshGame::Reset();
  Apply();
  PluginSettings.bExtraOptimized = true;
  lines = Apply();
  EXPECT_EQ(lines.at(2), kInfo + "Setting 'fCrowdInhibitThresholdMaxActor' has been successfully changed ? 1");
  EXPECT_EQ(Game(kMaxActor), 145.0);
  EXPECT_EQ(GameSettingAdjustmentState.StoredVanillaThresholdMaxActor, 200.0f);

  // Outfit physics off: crowd actors lose their cloth simulation; a NaN threshold is never above a target.
  PluginSettings.bEnableOutfitPhysics = false;
  sim::SetGameSetting(kDistMax, std::nan(""));
  lines = Apply();
  EXPECT_EQ(Game(kCloth), 1.0);
  EXPECT_TRUE(lines.back().starts_with(kInfo + "Setting 'fCrowdInhibitDistMax' does not need to be changed"))
      << lines.back();
}

TEST(ApplyOptimizations, AMissingSettingIsReportedOnceAndTheOthersAreStillHandled) {
  FreshGame game;
  sim::RemoveGameSetting(kDistMax);
  sim::RemoveGameSetting(kCloth);
  const std::string error = "error|[ApplyOptimizations] ";
  auto lines = Apply();
  EXPECT_EQ(lines, (Lines{kInfo + "called",
                          error + "Setting 'bCrowdActorsDisableCloth' couldn't be found. Cannot change its value.",
                          kInfo + "Storing vanilla 'fCrowdInhibitThresholdMaxActor' value: 200.000000",
                          kInfo + "Setting 'fCrowdInhibitThresholdMaxActor' has been successfully changed ? 1",
                          error + "Setting 'fCrowdInhibitDistMax' couldn't be found. Cannot change its value."}));
  EXPECT_EQ(Game(kMaxActor), 175.0);

  // Missing with its option off: still only the missing line, nothing restored or forgotten.
  sim::RemoveGameSetting(kMaxActor);
  PluginSettings.bOptimizeFullyInitializedActorsMaxCount = false;
  lines = Apply();
  EXPECT_EQ(lines.at(2),
            error + "Setting 'fCrowdInhibitThresholdMaxActor' couldn't be found. Cannot change its value.");
  EXPECT_EQ(GameSettingAdjustmentState.StoredVanillaThresholdMaxActor, 200.0f);

  // The same work without logging; the flags of the call change nothing.
  FreshGame::Reset();
  PluginSettings.bLogging = false;
  test::LogCapture log;
  ApplyOptimizations(false, true);
  EXPECT_TRUE(log.lines().empty());
  EXPECT_EQ(Game(kMaxActor), 175.0);
  EXPECT_EQ(Game(kCloth), 0.0);
  EXPECT_EQ(GameSettingAdjustmentState.StoredVanillaThresholdMaxActor, 200.0f);
}
