#pragma once
// Where the game's objects live: a heap of the sim's own between 10,000,000,000 and the game
// module's base, as a real game's heap lies (wine's C runtime heap lies below 4 GiB).
#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

namespace sim {

inline constexpr std::uintptr_t kGameHeapLowest = 10'000'000'000ull;

void* GameAllocate(std::size_t size, std::size_t alignment = 16);

// Whole pages of their own, zeroed, so that the game can free what they hold and make them
// inaccessible (an object the game has freed cannot be read) without touching a neighbour.
void* GameAllocatePages(std::size_t size);
void SetPagesAccessible(void* pages, std::size_t size, bool accessible);

// A zeroed object of the game, never freed: the game owns it for the life of the process.
template <class T, class... Args>
T* GameNew(Args&&... args) {
  return new (GameAllocate(sizeof(T), alignof(T) < 16 ? 16 : alignof(T))) T(std::forward<Args>(args)...);
}

}  // namespace sim
