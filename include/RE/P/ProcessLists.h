#pragma once
#include <cstddef>
#include <cstdint>

#include "RE/IDs.h"
#include "REL/ID.h"

namespace RE {

struct ProcessLists {
  std::uint8_t pad00[0x58];
  std::uint32_t highActorHandleCount;
  std::uint8_t pad5C[0x60 - 0x5C];
  std::uint32_t* highActorHandles;

  static ProcessLists* GetSingleton() {
    return *reinterpret_cast<ProcessLists**>(REL::GameAddress<ID::ProcessLists>());
  }
};
static_assert(offsetof(ProcessLists, highActorHandleCount) == 0x58);
static_assert(offsetof(ProcessLists, highActorHandles) == 0x60);

}  // namespace RE
