#include "Main/Events/CellEvents.h"

#include "Helpers/Boundary.h"
#include "Helpers/Log.h"
#include "Main/Cities/ActiveCity.h"
#include "Main/Game/CellChangeGate.h"
#include "Main/Game/GameObjectCache.h"
#include "Main/Cities/CityRecord.h"
#include "Main/UniqueNPCs/UniqueNPCPlacement.h"

namespace Events {
namespace {

constexpr const char* kOp = "ProcessEvent";

// The player's cell now, or null.
RE::TESObjectCELL* PlayerCell() noexcept {
  RE::PlayerCharacter* player = CachedPlayer();
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
  const auto city = ActiveCity();
  if (!city || !IsCellChangeGateOpen()) return;
  SaveAllowedCellChangeTime();
  auto& record = CityRecordOf(*city);
  Log::Info(kOp, "ActorCellChangeEvent: calling 'PlaceUniqueNPCs' for location [{}].", record.name());
  PlaceUniqueNPCs(record);
}

void HandleCellFullyLoaded(const RE::Events::TESCellFullyLoadedEvent* event) {
  auto* cell = event ? event->cell : nullptr;
  if (!cell) return;
  const auto& menus = CellEventState.menus;
  if (menus.bEndCredits || menus.bMainMenu || menus.bPauseMenu) return;
  auto* playerCell = PlayerCell();
  if (!playerCell) return;
  const auto city = ActiveCity();
  if (!city) return;
  if (cell->formID != kCellHandledWhenFullyLoaded || playerCell->formID != kCellHandledWhenFullyLoaded) return;
  if (!IsCellChangeGateOpen()) return;
  SaveAllowedCellChangeTime();
  auto& record = CityRecordOf(*city);
  Log::Info(kOp, "TESCellFullyLoadedEvent: calling 'PlaceUniqueNPCs' for [{}].", record.name());
  PlaceUniqueNPCs(record);
}

}  // namespace

QuillmereActorCellChangeEventClass* QuillmereActorCellChangeEventClass::GetSingleton() {
  return RE::ProcessWideSink<QuillmereActorCellChangeEventClass>();
}

QuillmereTESCellFullyLoadedEventClass* QuillmereTESCellFullyLoadedEventClass::GetSingleton() {
  return RE::ProcessWideSink<QuillmereTESCellFullyLoadedEventClass>();
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
