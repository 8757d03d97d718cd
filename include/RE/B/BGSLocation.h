#pragma once
#include <cstddef>
#include <cstdint>

#include "RE/T/TESForm.h"

namespace RE {

struct BGSLocation : TESForm {
  std::uint8_t pad30[0x168 - 0x30];
  std::int32_t loadedCount;  // activity counter: above 0 while the location is loaded
  std::uint8_t pad16C[0x170 - 0x16C];
};
static_assert(offsetof(BGSLocation, loadedCount) == 0x168);

}  // namespace RE
