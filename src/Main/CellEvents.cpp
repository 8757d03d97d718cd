#include "Main/CellEvents.h"

#include "Helpers/Boundary.h"
#include "Helpers/Log.h"
#include "Main/ActiveCity.h"
#include "Main/CellChangeGate.h"
#include "Main/GameObjectCache.h"
#include "Main/PluginState.h"
#include "Main/LocationData.h"
#include "Main/UniqueNPCPlacement.h"

namespace Events {
namespace {

constexpr const char* kOp = "ProcessEvent";

// The player's cell now, or null.
RE::TESObjectCELL* PlayerCell() noexcept {
  RE::PlayerCharacter* player = PluginState.GameObjectCache.player;
  return player ? player->parentCell : nullptr;
}

void HandleCellChange(const RE::Events::ActorCellChangeEvent::Event* event) {
  auto* cell = event ? event->cell : nullptr;
  if (!cell) return;
  const auto& menus = CellEventState.menus;
  if (menus.bEndCredits || menus.bLoadingMenu || menus.bFaderMenu || menus.bMainMenu || menus.bPauseMenu) return;
  if (cell->formID == 0 || cell->formID == kCellHandledWhenFullyLoaded) return;
  auto* playerCell = PlayerCell();
  if (!playerCell || playerCell->formID == cell->formID) return;
  const int city = GetActiveLocationIndex();
  if (city == 0 || !IsCellChangeGateOpen()) return;
  SaveAllowedCellChangeTime();
  Log::Info(kOp, "ActorCellChangeEvent: calling 'PlaceUniqueNPCs' for location [{}].", GetLocationNameByIndex(city));
  PlaceUniqueNPCs(city);
}

void HandleCellFullyLoaded(const RE::Events::TESCellFullyLoadedEvent* event) {
  auto* cell = event ? event->cell : nullptr;
  if (!cell) return;
  const auto& menus = CellEventState.menus;
  if (menus.bEndCredits || menus.bMainMenu || menus.bPauseMenu) return;
  auto* playerCell = PlayerCell();
  if (!playerCell) return;
  const int city = GetActiveLocationIndex();
  if (city == 0) return;
  if (cell->formID != kCellHandledWhenFullyLoaded || playerCell->formID != kCellHandledWhenFullyLoaded) return;
  if (!IsCellChangeGateOpen()) return;
  SaveAllowedCellChangeTime();
  Log::Info(kOp, "TESCellFullyLoadedEvent: calling 'PlaceUniqueNPCs' for [{}].", GetLocationNameByIndex(city));
  PlaceUniqueNPCs(city);
}

const void* const kCellChangeTable[] = {
    reinterpret_cast<const void*>(&RE::DestroyProcessWideSink<QuillmereActorCellChangeEventClass>),
    reinterpret_cast<const void*>(&QuillmereActorCellChangeEventClass::ProcessEvent)};
const void* const kCellFullyLoadedTable[] = {
    reinterpret_cast<const void*>(&RE::DestroyProcessWideSink<QuillmereTESCellFullyLoadedEventClass>),
    reinterpret_cast<const void*>(&QuillmereTESCellFullyLoadedEventClass::ProcessEvent)};

}  // namespace

QuillmereActorCellChangeEventClass* QuillmereActorCellChangeEventClass::GetSingleton() {
  static QuillmereActorCellChangeEventClass sink{{kCellChangeTable}};
  return &sink;
}

QuillmereTESCellFullyLoadedEventClass* QuillmereTESCellFullyLoadedEventClass::GetSingleton() {
  static QuillmereTESCellFullyLoadedEventClass sink{{kCellFullyLoadedTable}};
  return &sink;
}

RE::BSEventNotifyControl QuillmereActorCellChangeEventClass::ProcessEvent(
    QuillmereActorCellChangeEventClass*, const RE::Events::ActorCellChangeEvent::Event* event,
    RE::BSTEventSource*) noexcept {
  Boundary::Guarded(kOp, [event] { HandleCellChange(event); });
  return RE::BSEventNotifyControl::kContinue;
}

RE::BSEventNotifyControl QuillmereTESCellFullyLoadedEventClass::ProcessEvent(
    QuillmereTESCellFullyLoadedEventClass*, const RE::Events::TESCellFullyLoadedEvent* event,
    RE::BSTEventSource*) noexcept {
  Boundary::Guarded(kOp, [event] { HandleCellFullyLoaded(event); });
  return RE::BSEventNotifyControl::kContinue;
}

}  // namespace Events
