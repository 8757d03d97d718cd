#pragma once
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
