#pragma once
// These game types derive from others, so they are not standard layout and offsetof is only
// conditionally supported for them; GCC supports it and lays single inheritance out as MSVC does,
// which is what the offset checks below pin down.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
#include <cstddef>
#include <cstdint>

#include "RE/T/TESForm.h"

namespace RE {

// A game global (form type 10): its value is a float 0x48 bytes in.
struct TESGlobal : TESForm {
  std::uint8_t pad30[0x48 - 0x30];
  float value;
  std::uint8_t pad4C[0x50 - 0x4C];
};
static_assert(offsetof(TESGlobal, value) == 0x48);

}  // namespace RE

#pragma GCC diagnostic pop
