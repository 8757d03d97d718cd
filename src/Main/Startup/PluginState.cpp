#include "Main/Startup/PluginState.h"

#include "Helpers/PluginSettings.h"
#include "Main/Appearance/ActorBackgroundProcess.h"
#include "Main/Cities/CityFolderCache.h"
#include "Main/Cities/CityRecord.h"
#include "Main/Game/CellChangeGate.h"
#include "Main/Game/GameObjectCache.h"
#include "Main/LeveledLists/LeveledLists.h"
#include "Main/Settings/GameSettingAdjustments.h"

void ResetPluginState() {
  ResetCityRecords();
  PluginSettings = PluginSettingsRecord{};
  ClearSavedLeveledLists();
  ForgetGameObjectCache();
  SetGameModuleBase(0);
  CellEventState.Reset();
  GameSettingAdjustmentState.Reset();
  AppearanceProcessState.Reset();
  CityFolderCacheState.Reset();
}
