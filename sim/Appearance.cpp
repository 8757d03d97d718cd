#include "Appearance.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "Actors.h"
#include "GameForms.h"
#include "ProcessLists.h"
#include "GameIDs.h"

extern "C" char sim_ActorAppearanceProcess(RE::Actor* actor, std::uint64_t argument);

namespace sim {
namespace {

std::atomic<std::uint64_t> calls{0}, targetCalls{0}, resultsAltered{0}, otherArguments{0};
std::mutex updatesLock;
std::map<std::uint32_t, int> updates;
std::function<void()> updateObserver;

// The result of the game's own call depends on both arguments, so a hook that alters either or the
// result is seen.
char OwnResult(RE::Actor* actor, std::uint64_t argument) {
  return static_cast<char>((argument * 7 + 3) ^ (reinterpret_cast<std::uintptr_t>(actor) >> 4));
}

std::uint64_t Mix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// ID 151216. The game reads the actor: a freed one is inaccessible and stops the process here.
void UpdateActorAppearance(RE::Actor* actor, bool param02, std::uint32_t flags, bool bRace) {
  const auto formID = actor->formID;
  if (updateObserver) updateObserver();
  if (param02 || flags || bRace) ++otherArguments;
  std::scoped_lock guard(updatesLock);
  ++updates[formID];
}

}  // namespace
}  // namespace sim

extern "C" char sim_AppearanceTarget(RE::Actor* actor, std::uint64_t argument) {
  ++sim::targetCalls;
  return sim::OwnResult(actor, argument);
}

namespace sim {

void RunAppearanceFunction(std::uint64_t rounds, int threads, std::uint64_t seed) {
  std::vector<RE::Actor*> actors{Player()};
  for (auto* actor : ActorsInProcessLists())
    if (actor != Player()) actors.push_back(actor);
  const std::uint64_t total = rounds * actors.size();
  const auto work = [&](std::uint64_t first) {
    for (std::uint64_t i = first; i < total; i += static_cast<std::uint64_t>(threads)) {
      auto* actor = actors[i % actors.size()];
      const auto argument = Mix(seed + i);
      const char seen = sim_ActorAppearanceProcess(actor, argument);
      ++calls;
      if (seen != OwnResult(actor, argument)) ++resultsAltered;
    }
  };
  std::vector<std::thread> running;
  for (int t = 1; t < threads; ++t) running.emplace_back(work, static_cast<std::uint64_t>(t));
  work(0);
  for (auto& thread : running) thread.join();
}

std::uintptr_t AppearanceTargetAddress() { return reinterpret_cast<std::uintptr_t>(&sim_AppearanceTarget); }
char AppearanceOwnResult(RE::Actor* actor, std::uint64_t argument) { return OwnResult(actor, argument); }

void OnAppearanceUpdate(std::function<void()> observer) { updateObserver = std::move(observer); }

AppearanceTotals AppearanceCallTotals() { return {calls, targetCalls, resultsAltered, otherArguments}; }

int AppearanceUpdatesOf(std::uint32_t formID) {
  std::scoped_lock guard(updatesLock);
  const auto it = updates.find(formID);
  return it == updates.end() ? 0 : it->second;
}

std::vector<ModelledAddress> AppearanceModelAddresses() {
  return {{game_id::UpdateActorAppearance, reinterpret_cast<std::uintptr_t>(&UpdateActorAppearance)},
          {game_id::ActorAppearanceProcess, reinterpret_cast<std::uintptr_t>(&sim_ActorAppearanceProcess)}};
}

}  // namespace sim
