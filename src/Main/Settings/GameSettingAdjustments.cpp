#include "Main/Settings/GameSettingAdjustments.h"

#include <exception>
#include <string>

#include <fmt/format.h>

#include "Helpers/GameSettings.h"
#include "Helpers/Log.h"
#include "Helpers/PluginSettings.h"

GameSettingAdjustmentStateRecord GameSettingAdjustmentState;

namespace {

constexpr const char* kOp = "ApplyOptimizations";

// A crowd threshold, the option that lowers it and the store for the game's own value.
struct Threshold {
  const char* setting;  // the game's full name
  const char* shortName;
  const char* option;
  bool enabled;
  float target;
  float& stored;
};

void AdjustCloth() {
  const std::string name = "bCrowdActorsDisableCloth:General";
  if (GetGameINISettingValue(name, GameSettings::kBool).empty()) {
    Log::Error(kOp, "Setting 'bCrowdActorsDisableCloth' couldn't be found. Cannot change its value.");
    return;
  }
  const bool changed = SetGameINISetting(name, PluginSettings.bEnableOutfitPhysics ? "0" : "1", GameSettings::kBool);
  Log::Info(kOp, "Setting 'bCrowdActorsDisableCloth' has been successfully changed ? {}", changed ? 1 : 0);
}

void LowerToTarget(const Threshold& threshold, const std::string& text) {
  float value = 0.0f;
  try {
    value = std::stof(text);
  } catch (const std::exception&) {
    Log::Error(kOp, "std::stof thrown when changing setting '{}'. Its value (in std::string) is: {}",
               threshold.shortName, text);
  }
  if (!(value > threshold.target)) {
    Log::Info(kOp, "Setting '{}' does not need to be changed because it does not exceed the target threshold: {:f}",
              threshold.shortName, threshold.target);
    return;
  }
  // Only the first lowering finds the game's own value; later runs find the target.
  if (threshold.stored == GameSettingAdjustmentStateRecord::kNothingStored) {
    threshold.stored = value;
    Log::Info(kOp, "Storing vanilla '{}' value: {:f}", threshold.shortName, value);
  }
  const bool changed =
      SetGameINISetting(threshold.setting, fmt::format("{:f}", threshold.target), GameSettings::kFloat);
  Log::Info(kOp, "Setting '{}' has been successfully changed ? {}", threshold.shortName, changed ? 1 : 0);
}

void RestoreVanilla(const Threshold& threshold) {
  if (threshold.stored == GameSettingAdjustmentStateRecord::kNothingStored) {
    Log::Info(
        kOp,
        "Setting '{}' is found but '{}' is false. Could not restore its vanilla value: no stored vanilla value found.",
        threshold.shortName, threshold.option);
    return;
  }
  const bool restored =
      SetGameINISetting(threshold.setting, fmt::format("{:f}", threshold.stored), GameSettings::kFloat);
  Log::Info(kOp, "Setting '{}' is found but '{}' is false. Could restore its vanilla value ? {}", threshold.shortName,
            threshold.option, restored ? 1 : 0);
  // Forgotten whether or not the write took: the next lowering stores the game's value anew.
  threshold.stored = GameSettingAdjustmentStateRecord::kNothingStored;
}

void Adjust(const Threshold& threshold) {
  const auto text = GetGameINISettingValue(threshold.setting, GameSettings::kFloat);
  if (text.empty()) {
    Log::Error(kOp, "Setting '{}' couldn't be found. Cannot change its value.", threshold.shortName);
    return;
  }
  if (threshold.enabled)
    LowerToTarget(threshold, text);
  else
    RestoreVanilla(threshold);
}

}  // namespace

bool ApplyOptimizations(bool, bool) {
  Log::Info(kOp, "called");
  AdjustCloth();
  const bool extra = PluginSettings.bExtraOptimized;
  Adjust({"fCrowdInhibitThresholdMaxActor:AI", "fCrowdInhibitThresholdMaxActor",
          "bOptimizeFullyInitializedActorsMaxCount", PluginSettings.bOptimizeFullyInitializedActorsMaxCount,
          extra ? 145.0f : 175.0f, GameSettingAdjustmentState.StoredVanillaThresholdMaxActor});
  Adjust({"fCrowdInhibitDistMax:AI", "fCrowdInhibitDistMax", "bOptimizeFullyInitializedActorsMaxDistance",
          PluginSettings.bOptimizeFullyInitializedActorsMaxDistance, extra ? 65.0f : 75.0f,
          GameSettingAdjustmentState.StoredVanillaDistMax});
  return true;
}
