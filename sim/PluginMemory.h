#pragma once
// What the plug-in holds of the process's memory: the host counts the blocks the plug-in takes from
// the C runtime's heap and the pages it reserves from the system, through the plug-in's own imports.
#include <windows.h>

#include <cstdint>

namespace sim {

struct PluginMemoryFigures {
  std::int64_t heapBytes = 0;  // C runtime blocks taken and not given back
  std::int64_t pageBytes = 0;  // pages reserved and not released
  std::int64_t Total() const { return heapBytes + pageBytes; }
};

// Counts from now on; blocks taken before are counted when given back, so only growth is exact.
void WatchPluginMemory(HMODULE module);
PluginMemoryFigures PluginMemoryNow();

}  // namespace sim
