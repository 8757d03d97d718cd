#include "ForeignPatch.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

#include "GameWorld.h"

namespace sim {

bool ApplyForeignPatch(const std::string& site) {
  std::uintptr_t call = 0;
  if (site == "reset-begin")
    call = ResetGameAddress() + 0x132F;
  else if (site == "reset-finish")
    call = ResetGameAddress() + 0x18D3;
  else if (site == "appearance")
    call = AppearanceProcessAddress() + 0x4F;
  else
    return false;
  // E8 rel32 becomes E9 rel32: the same target, reached by a jump the plug-in must not take for a call.
  DWORD previous = 0;
  if (!VirtualProtect(reinterpret_cast<void*>(call), 1, PAGE_EXECUTE_READWRITE, &previous)) return false;
  *reinterpret_cast<std::uint8_t*>(call) = 0xE9;
  VirtualProtect(reinterpret_cast<void*>(call), 1, previous, &previous);
  FlushInstructionCache(GetCurrentProcess(), reinterpret_cast<void*>(call), 1);
  return true;
}

}  // namespace sim
