#pragma once
// The game's cells: each city's cell, the outside cell where the player starts, the player's parent
// cell, and the two cell event sources (an actor changed cell, a cell finished loading).
#include <cstdint>
#include <vector>

#include "GameWorld.h"
#include "RE/T/TESObjectCELL.h"
#include "RE/T/TESObjectREFR.h"

namespace sim {

inline constexpr auto kCellFormType = static_cast<RE::FormType>(60);  // no database accepts cells

// The outside cell and a cell for each city at their default IDs, the player in the outside cell.
void CreateCells();

// The cell of that runtime form ID, created when the game has no form of it yet; null when the ID
// names a form of another kind.
RE::TESObjectCELL* CellWithID(std::uint32_t formID);

// The world file's cells; each replaces the default.
void SetCityCell(int city, RE::TESObjectCELL* cell);
void SetOutsideCell(RE::TESObjectCELL* cell);
RE::TESObjectCELL* CityCell(int city);
RE::TESObjectCELL* OutsideCell();

// The player's parent cell; null leaves the player without one.
void SetPlayerCell(RE::TESObjectCELL* cell);

// The game raises the events as it does: through slot 1 of every sink on the source.
void RaiseActorCellChange(RE::TESObjectREFR* actor, RE::TESObjectCELL* cell);
void RaiseCellFullyLoaded(RE::TESObjectCELL* cell);
std::size_t CellChangeSinkCount();
std::size_t CellFullyLoadedSinkCount();

std::vector<ModelledAddress> CellModelAddresses();

}  // namespace sim
