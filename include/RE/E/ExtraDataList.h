#pragma once
// These game types derive from others, so they are not standard layout and offsetof is only
// conditionally supported for them; GCC supports it and lays single inheritance out as MSVC does,
// which is what the offset checks below pin down.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
#include <cstddef>
#include <cstdint>

#include "RE/B/BSFixedString.h"
#include "RE/B/BSLock.h"
#include "RE/IDs.h"
#include "RE/T/TESForm.h"
#include "REL/ID.h"

namespace RE {

enum class ExtraDataType : std::uint32_t {
  kLeveledCreature = 0x2B,
  kAliasInstanceArray = 0x80,
  kDisplayName = 0x96,
};

struct BSExtraData {
  void* vtable;
  BSExtraData* next;
  std::uint32_t type;  // the sim's own bookkeeping; the game's lookup decides
  std::uint8_t pad14[0x18 - 0x14];
};

struct ExtraTextDisplayData : BSExtraData {
  BSFixedString displayName;
};
static_assert(offsetof(ExtraTextDisplayData, displayName) == 0x18);

// An actor made from a template: the form it was made from.
struct ExtraLeveledCreature : BSExtraData {
  TESForm* templateForm;
};
static_assert(offsetof(ExtraLeveledCreature, templateForm) == 0x18);

// The quest aliases holding a reference; non-zero while any does.
struct ExtraAliasInstanceArray : BSExtraData {
  std::uintptr_t aliases;
};
static_assert(offsetof(ExtraAliasInstanceArray, aliases) == 0x18);

// The game's extra data of a reference: a list object, guarded by the lock at 0x20.
struct ExtraDataList {
  void* vtable;
  BSExtraData* data;  // the list object the game's lookup takes
  std::uint8_t pad10[0x20 - 0x10];
  BSReadWriteLock lock;

  // The extra data of that type. The game searches the list only under its lock, and what the
  // result points to may change once the lock is released: the caller's guard of this list's lock
  // must live until the caller is done with the result. Null with a guard of another lock.
  BSExtraData* GetByType(const BSReadLockGuard& held, ExtraDataType type) {
    if (!held.Guards(lock)) return nullptr;
    using Fn = BSExtraData* (*)(void* list, std::uint32_t type);
    return reinterpret_cast<Fn>(REL::GameAddress<ID::GetExtraDataByType>())(&data, static_cast<std::uint32_t>(type));
  }
};
static_assert(offsetof(ExtraDataList, data) == 0x08);
static_assert(offsetof(ExtraDataList, lock) == 0x20);

// Shows name as the reference's display name; the game keeps its own copy of the text.
inline void SetRefDisplayName(ExtraDataList* list, const char* name) {
  using Fn = void (*)(ExtraDataList*, const char*);
  reinterpret_cast<Fn>(REL::GameAddress<ID::SetRefDisplayName>())(list, name);
}

}  // namespace RE

#pragma GCC diagnostic pop
