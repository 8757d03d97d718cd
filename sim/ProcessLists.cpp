#include "ProcessLists.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "GameForms.h"
#include "GameHeap.h"
#include "GameWorld.h"

namespace sim {
namespace {

// Game threads walk the lists while the main thread adds and removes actors.
struct Lists {
  std::mutex lock;
  std::uint32_t capacity = 0;
  std::map<const RE::Actor*, std::uint32_t> handles;
};
Lists& State() {
  static Lists lists;
  return lists;
}

}  // namespace

void AddToProcessLists(RE::Actor* actor) {
  auto* lists = GameProcessLists();
  auto& state = State();
  std::scoped_lock guard(state.lock);
  if (!lists || !actor || state.handles.contains(actor)) return;
  const auto handle = CreateHandle(actor);
  if (lists->highActorHandleCount == state.capacity) {
    const std::uint32_t capacity = state.capacity ? state.capacity * 2 : 64;
    auto* array = static_cast<std::uint32_t*>(GameAllocate(capacity * sizeof(std::uint32_t)));
    if (lists->highActorHandleCount)
      std::memcpy(array, lists->highActorHandles, lists->highActorHandleCount * sizeof(std::uint32_t));
    lists->highActorHandles = array;
    state.capacity = capacity;
  }
  lists->highActorHandles[lists->highActorHandleCount++] = handle;
  state.handles[actor] = handle;
}

void RemoveFromProcessLists(RE::Actor* actor) {
  auto* lists = GameProcessLists();
  std::scoped_lock guard(State().lock);
  const auto it = State().handles.find(actor);
  if (!lists || it == State().handles.end()) return;
  auto* end = lists->highActorHandles + lists->highActorHandleCount;
  auto* kept = std::remove(lists->highActorHandles, end, it->second);
  lists->highActorHandleCount = static_cast<std::uint32_t>(kept - lists->highActorHandles);
  State().handles.erase(it);
}

std::vector<RE::Actor*> ActorsInProcessLists() {
  std::vector<RE::Actor*> actors;
  std::scoped_lock guard(State().lock);
  for (const auto& [actor, handle] : State().handles) actors.push_back(const_cast<RE::Actor*>(actor));
  return actors;
}

}  // namespace sim

namespace sim {

bool IsInProcessLists(const RE::Actor* actor) {
  std::scoped_lock guard(State().lock);
  return State().handles.contains(actor);
}

}  // namespace sim
