#include "ArgumentObjects.h"

#include <map>
#include <mutex>

#include <fmt/format.h>

#include "GameRules.h"
#include "ImportPatch.h"

namespace sim {
namespace {

enum class Owner { kMachine, kCaller };

struct Tracking {
  std::mutex lock;
  std::map<const void*, Owner> live;
  void (*free)(void*) = nullptr;  // the C runtime's own, as the first watched module imported it
};
Tracking& State() {
  static Tracking tracking;
  return tracking;
}

// Set while the machine releases an object it owns, on the releasing thread.
thread_local const void* machineReleasing = nullptr;
// The tracking's own allocations go through the watched free as well: they are not looked at.
thread_local bool insideWatch = false;

void WatchedFree(void* block) {
  auto& state = State();
  if (block && !insideWatch) {
    insideWatch = true;
    std::unique_lock guard(state.lock);
    const auto it = state.live.find(block);
    if (it != state.live.end()) {
      if (it->second == Owner::kMachine && machineReleasing != block) {
        guard.unlock();
        StopOnBrokenRule(
            fmt::format("the argument object at {:X} was released by its caller although the script "
                        "machine owns it since its dispatch was accepted: it would be released twice",
                        reinterpret_cast<std::uintptr_t>(block)));
      }
      state.live.erase(it);
    }
    insideWatch = false;
  }
  state.free(block);
}

void Track(const void* object, Owner owner) {
  auto& state = State();
  insideWatch = true;
  std::unique_lock guard(state.lock);
  const auto [it, added] = state.live.try_emplace(object, owner);
  if (!added && it->second == Owner::kMachine) {
    guard.unlock();
    StopOnBrokenRule(fmt::format("the argument object at {:X} was dispatched again while the script machine owns it",
                                 reinterpret_cast<std::uintptr_t>(object)));
  }
  it->second = owner;
  guard.unlock();
  insideWatch = false;
}

}  // namespace

void WatchArgumentObjectReleases(HMODULE module) {
  auto* watch = reinterpret_cast<void*>(&WatchedFree);
  auto* previous = PatchImport(module, "free", watch);
  if (!previous || previous == watch) return;  // no such import, or watched already
  auto& state = State();
  if (!state.free) state.free = reinterpret_cast<void (*)(void*)>(previous);
  // A module of another C runtime keeps its own free: a block must go back where it came from.
  if (previous != reinterpret_cast<void*>(state.free)) PatchImport(module, "free", previous);
}

void ArgumentObjectTaken(const RE::BSScript::IFunctionArguments* object) { Track(object, Owner::kMachine); }
void ArgumentObjectHandedBack(const RE::BSScript::IFunctionArguments* object) { Track(object, Owner::kCaller); }

void ReleaseArgumentObject(RE::BSScript::IFunctionArguments* object) {
  using DestroyFn = void* (*)(RE::BSScript::IFunctionArguments*, std::uint32_t);
  machineReleasing = object;
  reinterpret_cast<DestroyFn>(object->vtable[0])(object, 1);
  machineReleasing = nullptr;
  // Without a watch on the caller's module its free is not seen: the machine's release counts anyway.
  auto& state = State();
  insideWatch = true;
  {
    std::scoped_lock guard(state.lock);
    state.live.erase(object);
  }
  insideWatch = false;
}

std::size_t LiveArgumentObjects() {
  auto& state = State();
  insideWatch = true;
  std::size_t count = 0;
  {
    std::scoped_lock guard(state.lock);
    count = state.live.size();
  }
  insideWatch = false;
  return count;
}

}  // namespace sim
