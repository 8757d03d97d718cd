#include "Main/PluginState.h"

#include <windows.h>

#include "Helpers/PluginSettings.h"
#include "Main/ActorBackgroundProcess.h"
#include "Main/CellChangeGate.h"
#include "Main/CityFolderCache.h"
#include "Main/GameSettingAdjustments.h"
#include "Main/UniqueNPCDefinitions.h"

PluginStateRecord PluginState;

void ResetPluginState() {
  PluginState = PluginStateRecord{};
  PluginSettings = PluginSettingsRecord{};
  UniqueNPCState.Reset();
  CellEventState.Reset();
  GameSettingAdjustmentState.Reset();
  AppearanceProcessState.Reset();
  CityFolderCacheState.Reset();
}

std::uintptr_t GameModuleBase() noexcept {
  return PluginState.gameModuleBase ? PluginState.gameModuleBase
                                    : reinterpret_cast<std::uintptr_t>(GetModuleHandleW(nullptr));
}
