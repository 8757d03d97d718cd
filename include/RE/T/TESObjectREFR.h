#pragma once
#include <cstddef>
#include <cstdint>

#include "RE/B/BSLock.h"
#include "RE/E/ExtraDataList.h"
#include "RE/N/NiPoint3.h"
#include "RE/T/TESForm.h"

namespace RE {

// A placed reference.
struct TESObjectREFR : TESForm {
  std::uint8_t pad30[0x8C - 0x30];
  NiPoint3 position;
  TESForm* baseObject;
  std::uint8_t padA0[0xB8 - 0xA0];
  void* loadedData;  // 3D holder
  BSReadWriteLock loadedLock;
  ExtraDataList* extraList;
  std::uint8_t padD0[0x228 - 0xD0];
};
static_assert(offsetof(TESObjectREFR, position) == 0x8C);
static_assert(offsetof(TESObjectREFR, baseObject) == 0x98);
static_assert(offsetof(TESObjectREFR, loadedData) == 0xB8);
static_assert(offsetof(TESObjectREFR, loadedLock) == 0xC0);
static_assert(offsetof(TESObjectREFR, extraList) == 0xC8);

}  // namespace RE
