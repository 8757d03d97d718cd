#pragma once
// Memory for the entry arrays the plug-in installs into game leveled lists. It lies where the
// game's own heap does (above 10,000,000,000 and below the game's module), so that the arrays pass
// the same plausibility test as the game's; under wine the C runtime heap lies below 4 GiB.
#include <cstddef>
#include <cstdint>

inline constexpr std::uintptr_t kLowestPlausibleEntryAddress = 10'000'000'000ull;

// True for an address in the window where game data lives.
bool IsPlausibleEntryAddress(const void* address) noexcept;

// bytes of zeroed memory, 16-byte aligned, never released; null when no block can be reserved.
void* AllocateFromLeveledListArena(std::size_t bytes);

// The array a refill of list writes, where current is the array the list points at now. Each list
// gets two arrays of its own, each large enough for the most a list holds (255 entries), used by
// turns: the one the list does not point at, and after a restore the one not installed last. So the
// memory stays the same however often the lists are refilled (resets, loads, the console), and an
// array is written again only two refills after the list was pointed at it. Zeroed; null when no
// block can be reserved.
void* LeveledListArrayFor(const void* list, const void* current);
inline constexpr std::size_t kLeveledListArrayEntries = 255;
