#include "Cells.h"

#include <array>

#include "EventSources.h"
#include "GameForms.h"
#include "RE/A/ActorCellChangeEvent.h"
#include "GameIDs.h"
#include "RE/T/TESCellFullyLoadedEvent.h"

namespace sim {
namespace {

constexpr std::uint32_t kDefaultOutsideCell = 0x0000E000;  // city cells follow at +1 to +4

struct CellState {
  RE::TESObjectCELL* outside = nullptr;
  std::array<RE::TESObjectCELL*, 5> cities{};  // index 1 to 4
  RE::BSTEventSource cellChangeSource;
  RE::BSTEventSource cellFullyLoadedSource;
};
CellState& State() {
  static CellState state;
  return state;
}

RE::BSTEventSource* GetCellChangeSource() { return &State().cellChangeSource; }
RE::BSTEventSource* GetCellFullyLoadedSource() { return &State().cellFullyLoadedSource; }

}  // namespace

void CreateCells() {
  auto& state = State();
  NameEventSource(&state.cellChangeSource, "ActorCellChange");
  NameEventSource(&state.cellFullyLoadedSource, "CellFullyLoaded");
  state.outside = CellWithID(kDefaultOutsideCell);
  for (int city = 1; city <= 4; ++city) state.cities[city] = CellWithID(kDefaultOutsideCell + city);
  SetPlayerCell(state.outside);
}

RE::TESObjectCELL* CellWithID(std::uint32_t formID) {
  if (auto* form = FindForm(formID)) return form->Is(kCellFormType) ? static_cast<RE::TESObjectCELL*>(form) : nullptr;
  return static_cast<RE::TESObjectCELL*>(AddFormOfSize(formID, kCellFormType, sizeof(RE::TESObjectCELL)));
}

void SetCityCell(int city, RE::TESObjectCELL* cell) {
  if (city >= 1 && city <= 4) State().cities[static_cast<std::size_t>(city)] = cell;
}

void SetOutsideCell(RE::TESObjectCELL* cell) {
  if (Player() && Player()->parentCell == State().outside) SetPlayerCell(cell);
  State().outside = cell;
}

RE::TESObjectCELL* CityCell(int city) {
  return city >= 1 && city <= 4 ? State().cities[static_cast<std::size_t>(city)] : nullptr;
}
RE::TESObjectCELL* OutsideCell() { return State().outside; }

void SetPlayerCell(RE::TESObjectCELL* cell) {
  if (auto* player = Player()) player->parentCell = cell;
}

void RaiseActorCellChange(RE::TESObjectREFR* actor, RE::TESObjectCELL* cell) {
  const RE::Events::ActorCellChangeEvent::Event event{actor, cell};
  RaiseEvent(State().cellChangeSource, &event);
}

void RaiseCellFullyLoaded(RE::TESObjectCELL* cell) {
  const RE::Events::TESCellFullyLoadedEvent event{cell};
  RaiseEvent(State().cellFullyLoadedSource, &event);
}

std::size_t CellChangeSinkCount() { return State().cellChangeSource.sinks.size(); }
std::size_t CellFullyLoadedSinkCount() { return State().cellFullyLoadedSource.sinks.size(); }

std::vector<ModelledAddress> CellModelAddresses() {
  auto address = [](auto* p) { return reinterpret_cast<std::uintptr_t>(p); };
  return {
      {game_id::ActorCellChangeEventSource, address(&GetCellChangeSource)},
      {game_id::CellFullyLoadedEventSource, address(&GetCellFullyLoadedSource)},
  };
}

}  // namespace sim
