#include "PluginMemory.h"

#include <atomic>
#include <map>
#include <mutex>

#include "ImportPatch.h"

namespace sim {
namespace {

struct Originals {
  void* (*malloc)(std::size_t) = nullptr;
  void* (*calloc)(std::size_t, std::size_t) = nullptr;
  void* (*realloc)(void*, std::size_t) = nullptr;
  void (*free)(void*) = nullptr;
  std::size_t (*msize)(void*) = nullptr;
  LPVOID(WINAPI* virtualAlloc)(LPVOID, SIZE_T, DWORD, DWORD) = nullptr;
  BOOL(WINAPI* virtualFree)(LPVOID, SIZE_T, DWORD) = nullptr;
};
Originals original;
std::atomic<std::int64_t> heapBytes{0}, pageBytes{0};
std::mutex regionsLock;
std::map<std::uintptr_t, std::size_t> regions;  // reserved by the plug-in, by base

std::int64_t SizeOf(void* block) {
  return block && original.msize ? static_cast<std::int64_t>(original.msize(block)) : 0;
}

void* CountedMalloc(std::size_t size) {
  void* block = original.malloc(size);
  heapBytes += SizeOf(block);
  return block;
}
void* CountedCalloc(std::size_t count, std::size_t size) {
  void* block = original.calloc(count, size);
  heapBytes += SizeOf(block);
  return block;
}
void* CountedRealloc(void* block, std::size_t size) {
  const auto before = SizeOf(block);
  void* moved = original.realloc(block, size);
  if (moved || size == 0) heapBytes += SizeOf(moved) - before;
  return moved;
}
void CountedFree(void* block) {
  heapBytes -= SizeOf(block);
  original.free(block);
}

LPVOID WINAPI CountedVirtualAlloc(LPVOID address, SIZE_T size, DWORD type, DWORD protect) {
  LPVOID result = original.virtualAlloc(address, size, type, protect);
  if (result && (type & MEM_RESERVE)) {
    std::scoped_lock guard(regionsLock);
    regions[reinterpret_cast<std::uintptr_t>(result)] = size;
    pageBytes += static_cast<std::int64_t>(size);
  }
  return result;
}
BOOL WINAPI CountedVirtualFree(LPVOID address, SIZE_T size, DWORD type) {
  const BOOL freed = original.virtualFree(address, size, type);
  if (freed && type == MEM_RELEASE) {
    std::scoped_lock guard(regionsLock);
    if (const auto it = regions.find(reinterpret_cast<std::uintptr_t>(address)); it != regions.end()) {
      pageBytes -= static_cast<std::int64_t>(it->second);
      regions.erase(it);
    }
  }
  return freed;
}

template <class Function>
void Redirect(HMODULE module, const char* name, Function replacement, Function& saved) {
  if (void* previous = PatchImport(module, name, reinterpret_cast<void*>(replacement)))
    saved = reinterpret_cast<Function>(previous);
}

}  // namespace

void WatchPluginMemory(HMODULE module) {
  Redirect(module, "malloc", &CountedMalloc, original.malloc);
  Redirect(module, "calloc", &CountedCalloc, original.calloc);
  Redirect(module, "realloc", &CountedRealloc, original.realloc);
  Redirect(module, "free", &CountedFree, original.free);
  Redirect(module, "VirtualAlloc", &CountedVirtualAlloc, original.virtualAlloc);
  Redirect(module, "VirtualFree", &CountedVirtualFree, original.virtualFree);
  // The block sizes come from the C runtime the plug-in allocates from.
  HMODULE runtime = nullptr;
  if (original.malloc &&
      GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(original.malloc), &runtime))
    original.msize =
        reinterpret_cast<std::size_t (*)(void*)>(reinterpret_cast<void*>(GetProcAddress(runtime, "_msize")));
}

PluginMemoryFigures PluginMemoryNow() { return {heapBytes.load(), pageBytes.load()}; }

}  // namespace sim
