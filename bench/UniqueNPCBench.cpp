// Counting a unique NPC's copies walks every actor in high process; the cell-change handler runs on
// every cell change of every actor, so its early returns (here: the gate) must cost a few reads and
// allocate nothing.
#include <cstdio>
#include <vector>

#include "Actors.h"
#include "Cells.h"
#include "GameForms.h"
#include "Harness.h"
#include "Helpers/PluginSettings.h"
#include "Main/Game/CellChangeGate.h"
#include "Main/Events/CellEvents.h"
#include "Main/Game/GameObjectCache.h"
#include "Main/UniqueNPCs/UniqueNPCPlacement.h"
#include "ProcessLists.h"
#include "RE/VirtualCall.h"

void RunUniqueNPCBenchmarks() {
  PluginSettings.bLogging = false;
  PluginSettings.bDynamicCleanUpUniqueNPCs = true;
  auto* look = sim::AddNPC(0x3E000001, false);
  auto* other = sim::AddNPC(0x3E000002, false);
  auto* city = sim::CityLocation(1);
  sim::PlacePlayer({0.0f, 0.0f, 0.0f});
  sim::SetCurrentLocation(sim::Player(), city);
  RefreshGameObjectCache();

  // Actors near and far, in the city and elsewhere; one in ten wears the look.
  for (int i = static_cast<int>(sim::ActorsInProcessLists().size()); i < 200; ++i) {
    const float distance = static_cast<float>((i * 37) % 1200);
    sim::CreateActor(sim::NextRuntimeFormID(), i % 10 == 0 ? look : other, {distance, 0.0f, 0.0f},
                     i % 3 == 0 ? nullptr : city);
  }
  const auto actors = sim::ActorsInProcessLists().size();

  std::vector<RE::Actor*> found;
  found.reserve(64);
  int sink = 0;
  constexpr int kCounts = 1'000;
  const auto counting = bench::Measure("GetSpawnedUniqueNPCCount: actors in high process", 5, [&] {
    for (int i = 0; i < kCounts; ++i) {
      found.clear();
      sink += GetSpawnedUniqueNPCCount(look, &found);
    }
  });
  bench::Print(counting, static_cast<double>(kCounts) * static_cast<double>(actors), "actor");
  std::printf("%-52s %zu actors, %zu copies found, %.3f allocations per count\n", "", actors, found.size(),
              counting.allocationsPerRepetition / kCounts);

  // A cell change in an active city that the gate turns away.
  city->loadedCount = 1;
  sim::SetPlayerCell(sim::CellWithID(0x3E000010));
  const RE::Events::ActorCellChangeEvent::Event event{sim::Player(), sim::CellWithID(0x3E000011)};
  PluginSettings.iAllowedCellChangeTime = 3000;
  CellEventState.cellChangeTime = SteadyClockNanoseconds();
  constexpr int kEvents = 100'000;
  const auto gated = bench::Measure("cell change turned away by the gate", 5, [&] {
    for (int i = 0; i < kEvents; ++i)
      RE::VirtualCall<RE::BSEventNotifyControl>(Events::QuillmereActorCellChangeEventClass::GetSingleton(), 1, &event,
                                                static_cast<RE::BSTEventSource*>(nullptr));
  });
  bench::Print(gated, kEvents, "event");
  std::printf("%-52s %.3f allocations per event\n", "", gated.allocationsPerRepetition / kEvents);
  city->loadedCount = 0;
  if (sink == -1) std::puts("");
}
