#pragma once
#include <cstdint>

#include "Helpers/Relaxed.h"

// The settings every part of the plug-in reads. The game's threads read them while a reload writes
// them, so each value is atomic; a reload publishes a whole record with PublishSettings, and a reader
// that needs several values that belong together takes a SettingsSnapshot.
struct PluginSettingsRecord {
  Relaxed<bool> bFaceGenProcessor = true;
  Relaxed<bool> bExtraOptimized = false;
  Relaxed<std::int32_t> iAllowedCellChangeTime = 3000;
  Relaxed<std::int32_t> iEncounterPointMinPlayerDist = 5;
  Relaxed<std::int32_t> iEncounterPointMaxPlayerDist = 220;
  Relaxed<bool> bOptimizeFullyInitializedActorsMaxCount = true;
  Relaxed<bool> bOptimizeFullyInitializedActorsMaxDistance = true;
  Relaxed<bool> bEnableOutfitPhysics = true;
  Relaxed<bool> bDynamicCleanUpUniqueNPCs = true;
  Relaxed<std::int32_t> iQueuedActorTime = 100;
  Relaxed<std::int32_t> iFaceGenActorUpdateTime = 20;
  Relaxed<float> fFaceGenCloseDistance = 18.0f;
  Relaxed<float> fFaceGenFarDistance = 70.0f;
  Relaxed<float> fFaceGenMaxDistance = 120.0f;
  Relaxed<std::int32_t> iTESLoadGameEventTimeTicks = 300;
  Relaxed<bool> bLogging = true;  // the run-time logging switch
};

extern PluginSettingsRecord PluginSettings;

// Replaces every value at once: a SettingsSnapshot taken meanwhile sees the old record or the new one.
void PublishSettings(const PluginSettingsRecord& record) noexcept;
PluginSettingsRecord SettingsSnapshot() noexcept;
