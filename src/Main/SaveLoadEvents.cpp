#include "Main/SaveLoadEvents.h"

#include "Helpers/Boundary.h"
#include "Helpers/Log.h"
#include "Main/ActorBackgroundProcess.h"
#include "Main/CellChangeGate.h"
#include "Main/GameObjectCache.h"
#include "Main/GameSettingAdjustments.h"
#include "Main/Settings.h"

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

const void* const kSaveLoadTable[] = {
    reinterpret_cast<const void*>(&RE::DestroyProcessWideSink<QuillmereSaveLoadEventClass>),
    reinterpret_cast<const void*>(&QuillmereSaveLoadEventClass::ProcessEvent)};
const void* const kLoadGameTable[] = {
    reinterpret_cast<const void*>(&RE::DestroyProcessWideSink<QuillmereTESLoadGameEventClass>),
    reinterpret_cast<const void*>(&QuillmereTESLoadGameEventClass::ProcessEvent)};

}  // namespace

QuillmereSaveLoadEventClass* QuillmereSaveLoadEventClass::GetSingleton() {
  static QuillmereSaveLoadEventClass sink{{kSaveLoadTable}};
  return &sink;
}

QuillmereTESLoadGameEventClass* QuillmereTESLoadGameEventClass::GetSingleton() {
  static QuillmereTESLoadGameEventClass sink{{kLoadGameTable}};
  return &sink;
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
