#include "AppearanceThreads.h"

#include <windows.h>

#include <atomic>
#include <mutex>
#include <shared_mutex>
#include <thread>
#include <vector>

#include "Actors.h"
#include "GameForms.h"
#include "ProcessLists.h"

extern "C" char sim_ActorAppearanceProcess(RE::Actor* actor, std::uint64_t argument);

namespace sim {
namespace {

struct Threads {
  std::atomic<bool> stop{false};
  std::atomic<std::uint64_t> calls{0};
  std::vector<std::thread> running;
};
Threads& State() {
  static Threads threads;
  return threads;
}

std::uint64_t Mix(std::uint64_t x) {
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

void Work(std::uint64_t seed) {
  auto& state = State();
  for (std::uint64_t round = 0; !state.stop; ++round) {
    std::vector<RE::Actor*> actors{Player()};
    for (auto* actor : ActorsInProcessLists())
      if (actor != Player()) actors.push_back(actor);
    for (std::size_t i = 0; i < actors.size() && !state.stop; ++i) {
      // The game works only on actors it still holds: one freed since the walk began is skipped.
      std::shared_lock lifetime(ActorLifetimeLock());
      if (actors[i] != Player() && !IsInProcessLists(actors[i])) continue;
      sim_ActorAppearanceProcess(actors[i], Mix(seed + round * 7919 + i));
      ++state.calls;
    }
    Sleep(1);  // a frame's other work
  }
}

}  // namespace

void StartAppearanceThreads(int threads, std::uint64_t seed) {
  StopAppearanceThreads();
  auto& state = State();
  state.stop = false;
  for (int t = 0; t < threads; ++t) state.running.emplace_back(Work, Mix(seed + static_cast<std::uint64_t>(t)));
}

void StopAppearanceThreads() {
  auto& state = State();
  state.stop = true;
  for (auto& thread : state.running) thread.join();
  state.running.clear();
}

std::uint64_t AppearanceThreadCalls() { return State().calls; }

}  // namespace sim
