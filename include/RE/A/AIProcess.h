#pragma once
#include <cstddef>
#include <cstdint>

namespace RE {

// An actor's process object as far as the appearance process reads it: its type table (whose entry at
// byte 0x10 a live object fills) and its high-level data.
struct AIProcess {
  static constexpr std::size_t kLiveEntryOffset = 0x10;

  const void* const* typeTable;
  std::uint8_t pad08[0x10 - 0x08];
  void* highProcessData;  // null while the actor has no high-level process
};
static_assert(offsetof(AIProcess, typeTable) == 0x00);
static_assert(offsetof(AIProcess, highProcessData) == 0x10);

}  // namespace RE
