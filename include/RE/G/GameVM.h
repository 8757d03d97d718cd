#pragma once
#include <cstddef>
#include <cstdint>

#include "RE/IDs.h"
#include "REL/ID.h"

namespace RE {

namespace BSScript {
struct IVirtualMachine;
}

// The game's script-VM holder; the virtual machine itself is a member of it.
struct GameVM {
  void* vtable;
  std::uint8_t pad08[0xD8 - 0x08];
  BSScript::IVirtualMachine* impl;

  // The holder the game keeps in its singleton, or null before scripts exist.
  static GameVM* GetSingleton() { return *reinterpret_cast<GameVM**>(REL::GameAddress<ID::GameVM>()); }
};
static_assert(offsetof(GameVM, impl) == 0xD8);

}  // namespace RE
