#include "Main/LeveledLists/LeveledListArena.h"

#include <windows.h>

#include <cstring>
#include <map>
#include <mutex>

#include "Main/Game/GameObjectCache.h"
#include "SFSE/MemoryRegions.h"

namespace {

constexpr std::size_t kBlockSize = 256 * 1024;

constexpr std::size_t kEntrySize = 32;  // the game's LEVELED_OBJECT

struct ListArrays {
  void* arrays[2] = {nullptr, nullptr};
  int lastGiven = 1;
};

struct Arena {
  std::mutex lock;
  std::byte* next = nullptr;
  std::byte* end = nullptr;
  std::map<const void*, ListArrays> lists;
};

Arena& GetArena() {
  static Arena arena;
  return arena;
}

// A new block as high as possible below the game's module, walking down from its base.
bool ReserveBlock(Arena& arena, std::size_t atLeast) {
  const auto granularity = SFSE::AllocationGranularity();
  const std::size_t size = SFSE::AlignUp(std::max(atLeast, kBlockSize), granularity);
  const SFSE::SearchWindow window{kLowestPlausibleEntryAddress, GameModuleBase()};
  void* block = SFSE::FindFreeBlockBelow(window, granularity, size, SFSE::QueryRegion,
                                         SFSE::ReserveWithProtection(PAGE_READWRITE));
  if (!block) return false;
  // Arrays handed out earlier stay where they are: game lists point at them.
  arena.next = static_cast<std::byte*>(block);
  arena.end = arena.next + size;
  return true;
}

}  // namespace

bool IsPlausibleEntryAddress(const void* address) noexcept {
  const auto value = reinterpret_cast<std::uintptr_t>(address);
  return value > kLowestPlausibleEntryAddress && value < GameModuleBase();
}

namespace {

void* Allocate(Arena& arena, std::size_t bytes) {
  bytes = (bytes + 15) & ~std::size_t{15};
  if (static_cast<std::size_t>(arena.end - arena.next) < bytes && !ReserveBlock(arena, bytes)) return nullptr;
  void* result = arena.next;
  arena.next += bytes;
  std::memset(result, 0, bytes);
  return result;
}

}  // namespace

void* AllocateFromLeveledListArena(std::size_t bytes) {
  auto& arena = GetArena();
  std::scoped_lock guard(arena.lock);
  return Allocate(arena, bytes);
}

void* LeveledListArrayFor(const void* list, const void* current) {
  constexpr std::size_t kBytes = kLeveledListArrayEntries * kEntrySize;
  auto& arena = GetArena();
  std::scoped_lock guard(arena.lock);
  auto& arrays = arena.lists[list];
  int turn = 1 - arrays.lastGiven;
  if (current && current == arrays.arrays[0]) turn = 1;
  if (current && current == arrays.arrays[1]) turn = 0;
  if (!arrays.arrays[turn] && !(arrays.arrays[turn] = Allocate(arena, kBytes))) return nullptr;
  arrays.lastGiven = turn;
  std::memset(arrays.arrays[turn], 0, kBytes);
  return arrays.arrays[turn];
}
