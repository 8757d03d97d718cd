#include "Main/LeveledListArena.h"

#include <windows.h>

#include <cstring>
#include <mutex>

#include "Main/PluginState.h"
#include "SFSE/MemoryRegions.h"

namespace {

constexpr std::size_t kBlockSize = 256 * 1024;

struct Arena {
  std::mutex lock;
  std::byte* next = nullptr;
  std::byte* end = nullptr;
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

void* AllocateFromLeveledListArena(std::size_t bytes) {
  auto& arena = GetArena();
  std::scoped_lock guard(arena.lock);
  bytes = (bytes + 15) & ~std::size_t{15};
  if (static_cast<std::size_t>(arena.end - arena.next) < bytes && !ReserveBlock(arena, bytes)) return nullptr;
  void* result = arena.next;
  arena.next += bytes;
  std::memset(result, 0, bytes);
  return result;
}
