#include "Main/Events/SaveLoadEvents.h"

#include "Helpers/Boundary.h"
#include "Helpers/Log.h"
#include "Main/Appearance/ActorBackgroundProcess.h"
#include "Main/Game/CellChangeGate.h"
#include "Main/Game/GameObjectCache.h"
#include "Main/Settings/GameSettingAdjustments.h"
#include "Main/Settings/Settings.h"

namespace Events {
namespace {

constexpr const char* kOp = "ProcessEvent";

void HandleSaveLoad() {
  RefreshGameObjectCache();
  const auto& menus = CellEventState.menus;
  if (!menus.bMainMenu && !menus.bPauseMenu) return;
  // The background appearance process waits again before it resumes.
  AppearanceProcessState.FaceGenProcessorInitialized = false;
  AppearanceProcessState.Ticks = 0;
  if (menus.bMainMenu) {
    // The player may have edited the settings file while in the main menu.
    ReloadINISettings(true);
    ApplyOptimizations(true, false);
  }
}

void HandleGameLoaded() {
  if (Log::Enabled()) Log::Info(kOp, "[TESLoadGameEvent] ---> [{}]", CurrentUtcTimeText());
  AppearanceProcessState.Ticks = 0;
}

}  // namespace

QuillmereSaveLoadEventClass* QuillmereSaveLoadEventClass::GetSingleton() {
  return RE::ProcessWideSink<QuillmereSaveLoadEventClass>();
}

QuillmereTESLoadGameEventClass* QuillmereTESLoadGameEventClass::GetSingleton() {
  return RE::ProcessWideSink<QuillmereTESLoadGameEventClass>();
}

RE::BSEventNotifyControl QuillmereSaveLoadEventClass::ProcessEvent(QuillmereSaveLoadEventClass*,
                                                                   const RE::Events::SaveLoadEvent*,
                                                                   RE::BSTEventSource*) noexcept {
  Boundary::Guarded(kOp, HandleSaveLoad);
  return RE::BSEventNotifyControl::kContinue;
}

RE::BSEventNotifyControl QuillmereTESLoadGameEventClass::ProcessEvent(QuillmereTESLoadGameEventClass*,
                                                                      const RE::Events::TESLoadGameEvent*,
                                                                      RE::BSTEventSource*) noexcept {
  Boundary::Guarded(kOp, HandleGameLoaded);
  return RE::BSEventNotifyControl::kContinue;
}

}  // namespace Events
