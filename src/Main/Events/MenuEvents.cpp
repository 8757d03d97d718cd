#include "Main/Events/MenuEvents.h"

#include <string_view>

#include "Helpers/Boundary.h"
#include "Helpers/Log.h"
#include "Main/Game/CellChangeGate.h"
#include "Main/Game/GameObjectCache.h"
#include "Main/Settings/GameSettingAdjustments.h"
#include "Main/Changes/ModChanges.h"
#include "Main/UniqueNPCs/UniqueNPCDefinitions.h"

namespace Events {
namespace {

constexpr const char* kOp = "ProcessEvent";

// The game's state was put back to what the credits left: every city and the unique NPCs again.
void ReapplyAfterEndCredits() {
  RefreshGameObjectCache();
  ApplyDataToAllLocations();  // stops at a failing city, which has logged why
  BuildUniqueNPCsDB({});
}

void HandleMenu(const RE::MenuOpenCloseEvent* event) {
  const std::string_view name = event ? event->menuName.view() : std::string_view{};
  if (name.empty()) return;
  auto& menus = CellEventState.menus;
  const bool opening = event->opening;
  if (name == "FaderMenu")
    menus.bFaderMenu = opening;
  else if (name == "LoadingMenu")
    menus.bLoadingMenu = opening;
  else if (name == "PauseMenu")
    menus.bPauseMenu = opening;
  else if (name == "MainMenu")
    menus.bMainMenu = opening;
  else if (name == "EndGameCreditsMenu") {
    if (opening)
      menus.bEndCredits = true;  // cleared when the game's reset finishes
    else
      ReapplyAfterEndCredits();
  }

  // Any menu event while playing may follow a change of the game's settings: ours go back on top.
  if (!menus.bPauseMenu) {
    Log::Info(kOp, "--> PauseMenu closing");
    ApplyOptimizations(true, false);
  } else if (!menus.bMainMenu) {
    Log::Info(kOp, "--> MainMenu closing");
    ApplyOptimizations(true, false);
  }
}

}  // namespace

QuillmereMenuOpenCloseEventClass* QuillmereMenuOpenCloseEventClass::GetSingleton() {
  return RE::ProcessWideSink<QuillmereMenuOpenCloseEventClass>();
}

RE::BSEventNotifyControl QuillmereMenuOpenCloseEventClass::ProcessEvent(QuillmereMenuOpenCloseEventClass*,
                                                                        const RE::MenuOpenCloseEvent* event,
                                                                        RE::BSTEventSource*) noexcept {
  Boundary::Guarded(kOp, [event] { HandleMenu(event); });
  return RE::BSEventNotifyControl::kContinue;
}

}  // namespace Events
