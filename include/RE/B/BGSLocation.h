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

struct BGSLocation : TESForm {
  std::uint8_t pad30[0x168 - 0x30];
  std::int32_t loadedCount;  // activity counter: above 0 while the location is loaded
  std::uint8_t pad16C[0x170 - 0x16C];
};
static_assert(offsetof(BGSLocation, loadedCount) == 0x168);

}  // namespace RE

#pragma GCC diagnostic pop
