#pragma once
// These game types derive from others, so they are not standard layout and offsetof is only
// conditionally supported for them; GCC supports it and lays single inheritance out as MSVC does,
// which is what the offset checks below pin down.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
#include <cstddef>
#include <cstdint>

#include "RE/B/BGSLocation.h"
#include "RE/B/BSLock.h"
#include "RE/E/ExtraDataList.h"
#include "RE/N/NiPoint3.h"
#include "RE/T/TESForm.h"

namespace RE {

struct TESObjectCELL;

// What the game holds of a reference's loaded 3D; the 3D itself is null until it is loaded.
struct LoadedReferenceData {
  std::uint8_t pad00[0x08];
  void* root3D;
};
static_assert(offsetof(LoadedReferenceData, root3D) == 0x08);

// A placed reference.
struct TESObjectREFR : TESForm {
  std::uint8_t pad30[0x8C - 0x30];
  NiPoint3 position;
  TESForm* baseObject;
  std::uint8_t padA0[0xB0 - 0xA0];
  TESObjectCELL* parentCell;
  LoadedReferenceData* loadedData;  // 3D holder, guarded by loadedLock
  BSReadWriteLock loadedLock;
  ExtraDataList* extraList;
  std::uint8_t padD0[0x228 - 0xD0];

  bool Is3DLoaded() {
    BSReadLockGuard guard(loadedLock);
    return loadedData && loadedData->root3D;
  }
  // The location the game places the reference in now, or null.
  BGSLocation* GetCurrentLocation() {
    using Fn = BGSLocation* (*)(TESObjectREFR*);
    return reinterpret_cast<Fn>(REL::GameAddress<ID::GetRefCurrentLocation>())(this);
  }
};
static_assert(offsetof(TESObjectREFR, position) == 0x8C);
static_assert(offsetof(TESObjectREFR, baseObject) == 0x98);
static_assert(offsetof(TESObjectREFR, parentCell) == 0xB0);
static_assert(offsetof(TESObjectREFR, loadedData) == 0xB8);
static_assert(offsetof(TESObjectREFR, loadedLock) == 0xC0);
static_assert(offsetof(TESObjectREFR, extraList) == 0xC8);

}  // namespace RE

#pragma GCC diagnostic pop
