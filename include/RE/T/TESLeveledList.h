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

struct TESCondition;  // the game's condition: the plug-in only moves pointers to it

// One entry of a leveled list, 32 bytes, stored back to back.
struct LEVELED_OBJECT {
  TESForm* form;
  std::uint64_t itemExtra;
  TESCondition* condition;
  std::uint16_t count;
  std::uint16_t level;
  std::uint16_t pad1C;
  std::uint16_t pad1E;
};
static_assert(sizeof(LEVELED_OBJECT) == 32);
static_assert(offsetof(LEVELED_OBJECT, condition) == 16);
static_assert(offsetof(LEVELED_OBJECT, count) == 24);
static_assert(offsetof(LEVELED_OBJECT, level) == 26);

// The leveled-list component of a leveled character or item list.
struct TESLeveledList {
  std::uint8_t pad00[0x38];
  LEVELED_OBJECT* entries;
  std::uint8_t pad40[0x52 - 0x40];
  std::uint8_t entryCount;  // a list holds at most 255 entries
  std::uint8_t pad53[0x60 - 0x53];
};
static_assert(offsetof(TESLeveledList, entries) == 0x38);
static_assert(offsetof(TESLeveledList, entryCount) == 0x52);

// TESLevCharacter (type 51) and TESLevItem (type 63) carry the component 0xE8 bytes in.
struct TESLeveledForm : TESForm {
  std::uint8_t pad30[0xE8 - 0x30];
  TESLeveledList leveledList;
};
static_assert(offsetof(TESLeveledForm, leveledList) == 0xE8);

struct TESLevCharacter : TESLeveledForm {};
struct TESLevItem : TESLeveledForm {};

}  // namespace RE

#pragma GCC diagnostic pop
