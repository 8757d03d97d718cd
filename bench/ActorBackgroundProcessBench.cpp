// The appearance hook runs on the game's hot path, for every actor the game processes, many times a
// frame: when it has nothing to do it must cost a few reads next to the game's own call, and allocate
// nothing.
#include <cstdint>
#include <cstdio>

#include "Actors.h"
#include "Appearance.h"
#include "GameForms.h"
#include "Harness.h"
#include "Helpers/PluginSettings.h"
#include "Main/Appearance/ActorBackgroundProcess.h"
#include "Main/Game/GameObjectCache.h"

void RunActorBackgroundProcessBenchmarks() {
  using Target = char (*)(RE::Actor*, std::uint64_t);
  PluginSettings.bLogging = false;
  ActorBackgroundProcess::AppearanceHook::savedTarget = sim::AppearanceTargetAddress();
  auto* target = reinterpret_cast<Target>(sim::AppearanceTargetAddress());
  auto* city = sim::CityLocation(1);
  city->loadedCount = 1;
  sim::PlacePlayer({0.0f, 0.0f, 0.0f});
  RefreshGameObjectCache();
  auto* base = sim::AddNPC(0x3E100001, true);
  RE::Actor* actors[16];
  for (int i = 0; i < 16; ++i)
    actors[i] = sim::CreateActor(sim::NextRuntimeFormID(), base, {10.0f + 3.0f * i, 0.0f, 0.0f}, city);

  constexpr int kCalls = 200'000;
  int sink = 0;
  const auto game = bench::Measure("the game's own call alone", 5, [&] {
    for (int i = 0; i < kCalls; ++i) sink += target(actors[i & 15], static_cast<std::uint64_t>(i));
  });
  bench::Print(game, kCalls, "call");
  const auto hooked = [&](const char* name) {
    const auto result = bench::Measure(name, 5, [&] {
      for (int i = 0; i < kCalls; ++i)
        sink += ActorBackgroundProcess::AppearanceHook::Process(actors[i & 15], static_cast<std::uint64_t>(i));
    });
    bench::Print(result, kCalls, "call");
    std::printf("%-52s %.2fx the game's call, %.3f allocations per call\n", "", result.medianNs / game.medianNs,
                result.allocationsPerRepetition / kCalls);
  };

  PluginSettings.bFaceGenProcessor = false;
  hooked("hook, process off");
  PluginSettings.bFaceGenProcessor = true;
  PluginSettings.iTESLoadGameEventTimeTicks = 1 << 30;
  AppearanceProcessState.Ticks = 0;
  hooked("hook, waiting for ticks");
  // All sixteen queued and updated; the pass is skipped inside the update interval.
  PluginSettings.iTESLoadGameEventTimeTicks = 0;
  PluginSettings.iQueuedActorTime = 0;
  PluginSettings.iFaceGenActorUpdateTime = 0;
  AppearanceProcessState.Ticks = 1;
  for (int i = 0; i < 64; ++i) ActorBackgroundProcess::AppearanceHook::Process(actors[i & 15], 0);
  PluginSettings.iFaceGenActorUpdateTime = 1 << 30;
  hooked("hook, 16 queued, inside the update interval");
  std::printf("%-52s (checksum %d)\n", "", sink & 1);
  AppearanceProcessState.Reset();
  city->loadedCount = 0;
}
