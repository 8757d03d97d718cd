#include "SFSE/MemoryRegions.h"

#include <windows.h>

#include <algorithm>

#include <spdlog/spdlog.h>

namespace SFSE {

std::uintptr_t AlignUp(std::uintptr_t value, std::uint64_t granularity) noexcept {
  return granularity ? (value + granularity - 1) / granularity * granularity : 0;
}
std::uintptr_t AlignDown(std::uintptr_t value, std::uint64_t granularity) noexcept {
  return granularity ? value / granularity * granularity : 0;
}

void* FindFreeBlock(const SearchWindow& window, std::uint64_t granularity, std::size_t size, const RegionQuery& query,
                    const RegionReserve& reserve) {
  for (std::uintptr_t address = window.lowest; address < window.highest;) {
    const auto region = query(address);
    if (!region) return nullptr;
    const std::uintptr_t next = region->base + region->size;
    if (next <= address) return nullptr;  // a region that does not move the walk on would loop forever
    if (region->free) {
      const std::uintptr_t aligned = AlignUp(region->base, granularity);
      if (aligned < next && next - aligned >= size) {
        if (void* block = reserve(aligned, size)) return block;
      }
    }
    address = next;
  }
  return nullptr;
}

// A free region's answer starts at the page asked about and runs up to the next allocation, so the
// walk down tries the highest aligned spot below the current address and asks about it.
void* FindFreeBlockBelow(const SearchWindow& window, std::uint64_t granularity, std::size_t size,
                         const RegionQuery& query, const RegionReserve& reserve) {
  for (std::uintptr_t address = window.highest; address >= size && address - size >= window.lowest;) {
    const std::uintptr_t candidate = AlignDown(address - size, granularity);
    if (candidate < window.lowest) return nullptr;
    const auto region = query(candidate);
    if (!region) return nullptr;
    if (region->free) {
      if (region->base + region->size >= candidate + size) {
        if (void* block = reserve(candidate, size)) return block;
      }
      address = candidate;  // something lies above the spot: try below it
    } else {
      address = std::min(region->base, candidate);
    }
    if (address == 0) return nullptr;
  }
  return nullptr;
}

std::optional<MemoryRegion> QueryRegion(std::uintptr_t address) {
  MEMORY_BASIC_INFORMATION info{};
  if (VirtualQuery(reinterpret_cast<void*>(address), &info, sizeof(info)) == 0) {
    SPDLOG_ERROR("VirtualQuery failed with code: 0x{:08X}", GetLastError());
    return std::nullopt;
  }
  return MemoryRegion{reinterpret_cast<std::uintptr_t>(info.BaseAddress), info.RegionSize, info.State == MEM_FREE};
}

RegionReserve ReserveWithProtection(std::uint32_t protection) {
  return [protection](std::uintptr_t address, std::size_t size) -> void* {
    void* memory = VirtualAlloc(reinterpret_cast<void*>(address), size, MEM_COMMIT | MEM_RESERVE, protection);
    if (!memory) SPDLOG_WARN("VirtualAlloc failed with code: 0x{:08X}", GetLastError());
    return memory;
  };
}

std::uint64_t AllocationGranularity() {
  SYSTEM_INFO system{};
  GetSystemInfo(&system);
  return system.dwAllocationGranularity;
}

}  // namespace SFSE
