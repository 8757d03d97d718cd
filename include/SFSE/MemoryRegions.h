#pragma once
// Walks over the process's address space to find room for a block of our own near a given place.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

namespace SFSE {

// The addresses a block may lie between.
struct SearchWindow {
  std::uintptr_t lowest;
  std::uintptr_t highest;
};

// One step of a walk: what VirtualQuery says of a region.
struct MemoryRegion {
  std::uintptr_t base;
  std::size_t size;
  bool free;
};
using RegionQuery = std::function<std::optional<MemoryRegion>(std::uintptr_t address)>;
using RegionReserve = std::function<void*(std::uintptr_t address, std::size_t size)>;

std::uintptr_t AlignUp(std::uintptr_t value, std::uint64_t granularity) noexcept;
std::uintptr_t AlignDown(std::uintptr_t value, std::uint64_t granularity) noexcept;

// Walks regions upwards from window.lowest and reserves size bytes at the first granularity-aligned
// free spot; logs and gives up when a query fails. Returns null when nothing was found.
void* FindFreeBlock(const SearchWindow& window, std::uint64_t granularity, std::size_t size, const RegionQuery& query,
                    const RegionReserve& reserve);

// The same walk downwards from window.highest: the highest free spot below it.
void* FindFreeBlockBelow(const SearchWindow& window, std::uint64_t granularity, std::size_t size,
                         const RegionQuery& query, const RegionReserve& reserve);

// The system's answers: VirtualQuery (a failure is logged), and VirtualAlloc reserving and committing
// pages with the given protection (a failure is logged as a warning).
std::optional<MemoryRegion> QueryRegion(std::uintptr_t address);
RegionReserve ReserveWithProtection(std::uint32_t protection);
std::uint64_t AllocationGranularity();

}  // namespace SFSE
