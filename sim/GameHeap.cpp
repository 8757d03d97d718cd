#include "GameHeap.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <mutex>

#include "ExitCodes.h"

namespace sim {
namespace {

constexpr std::size_t kChunkSize = 64ull << 20;

struct Chunk {
  std::byte* next = nullptr;
  std::byte* end = nullptr;
};

// Reserves a chunk at the lowest free place at or above kGameHeapLowest, below the module base.
Chunk ReserveChunk(std::size_t atLeast) {
  const auto moduleBase = reinterpret_cast<std::uintptr_t>(GetModuleHandleW(nullptr));
  const std::size_t size = atLeast > kChunkSize ? (atLeast + 0xFFFF) & ~std::size_t{0xFFFF} : kChunkSize;
  for (std::uintptr_t address = (kGameHeapLowest + 0xFFFF) & ~std::uintptr_t{0xFFFF}; address + size < moduleBase;) {
    MEMORY_BASIC_INFORMATION info{};
    if (!VirtualQuery(reinterpret_cast<void*>(address), &info, sizeof(info))) break;
    const auto regionEnd = reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize;
    if (info.State == MEM_FREE && regionEnd - address >= size) {
      if (void* memory =
              VirtualAlloc(reinterpret_cast<void*>(address), size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE)) {
        return {static_cast<std::byte*>(memory), static_cast<std::byte*>(memory) + size};
      }
    }
    address = (regionEnd + 0xFFFF) & ~std::uintptr_t{0xFFFF};
  }
  std::fprintf(stderr, "brindlewick-sim: no room for the game heap below the module base\n");
  TerminateProcess(GetCurrentProcess(), exit_code::kGameStopped);
  return {};
}

}  // namespace

void* GameAllocate(std::size_t size, std::size_t alignment) {
  static std::mutex lock;
  static Chunk chunk;
  std::scoped_lock guard(lock);
  auto align = [&](std::byte* p) {
    return reinterpret_cast<std::byte*>((reinterpret_cast<std::uintptr_t>(p) + alignment - 1) & ~(alignment - 1));
  };
  if (!chunk.next || align(chunk.next) + size > chunk.end) chunk = ReserveChunk(size + alignment);
  std::byte* result = align(chunk.next);
  chunk.next = result + size;
  std::memset(result, 0, size);
  return result;
}

void* GameAllocatePages(std::size_t size) {
  constexpr std::size_t kPage = 4096;
  return GameAllocate((size + kPage - 1) & ~(kPage - 1), kPage);
}

void SetPagesAccessible(void* pages, std::size_t size, bool accessible) {
  DWORD previous = 0;
  if (!VirtualProtect(pages, size, accessible ? PAGE_READWRITE : PAGE_NOACCESS, &previous)) {
    std::fprintf(stderr, "brindlewick-sim: cannot change the protection of the game's memory at %p\n", pages);
    TerminateProcess(GetCurrentProcess(), exit_code::kGameStopped);
  }
}

}  // namespace sim
