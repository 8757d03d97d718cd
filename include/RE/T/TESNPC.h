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

struct TESNPC : TESForm {
  static constexpr std::uint8_t kFemale = 1 << 0;

  std::uint8_t pad30[0xF0 - 0x30];
  std::uint8_t baseDataFlags;  // bit 0: female
  std::uint8_t padF1[0x348 - 0xF1];
  TESNPC* faceNPC;
  std::uint8_t pad350[0x360 - 0x350];

  bool IsFemale() const noexcept { return (baseDataFlags & kFemale) != 0; }
};
static_assert(offsetof(TESNPC, baseDataFlags) == 0xF0);
static_assert(offsetof(TESNPC, faceNPC) == 0x348);

}  // namespace RE

#pragma GCC diagnostic pop
