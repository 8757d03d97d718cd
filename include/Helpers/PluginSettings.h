#pragma once
#include <cstdint>

// The settings every part of the plug-in reads; rewritten in place by ReloadINISettings.
struct PluginSettingsRecord {
  bool bFaceGenProcessor = true;
  bool bExtraOptimized = false;
  std::int32_t iAllowedCellChangeTime = 3000;
  std::int32_t iEncounterPointMinPlayerDist = 5;
  std::int32_t iEncounterPointMaxPlayerDist = 220;
  bool bOptimizeFullyInitializedActorsMaxCount = true;
  bool bOptimizeFullyInitializedActorsMaxDistance = true;
  bool bEnableOutfitPhysics = true;
  bool bDynamicCleanUpUniqueNPCs = true;
  std::int32_t iQueuedActorTime = 100;
  std::int32_t iFaceGenActorUpdateTime = 20;
  float fFaceGenCloseDistance = 18.0f;
  float fFaceGenFarDistance = 70.0f;
  float fFaceGenMaxDistance = 120.0f;
  std::int32_t iTESLoadGameEventTimeTicks = 300;
  bool bLogging = true;  // the run-time logging switch
};

extern PluginSettingsRecord PluginSettings;
