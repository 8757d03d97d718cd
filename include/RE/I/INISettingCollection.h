#pragma once
#include <cstddef>
#include <cstdint>

#include "RE/IDs.h"
#include "REL/ID.h"

namespace RE {

// One of the game's INI settings. Its name is the setting and its section joined by a colon
// ("fCrowdInhibitDistMax:AI"); the value is a float or a one-byte flag, as the name's prefix says.
struct Setting {
  std::uint8_t pad00[0x08];
  union {
    float f;
    std::uint8_t b;
  } value;
  std::uint8_t pad0C[0x18 - 0x0C];
  const char* name;
};
static_assert(offsetof(Setting, value) == 0x08);
static_assert(offsetof(Setting, name) == 0x18);

// The game's collection of INI settings: a singly linked list whose first node is embedded.
struct INISettingCollection {
  struct Node {
    Setting* setting;
    Node* next;
  };
  static_assert(offsetof(Node, next) == 0x08);

  std::uint8_t pad000[0x118];
  Node settings;  // both fields null: no setting at all

  // The collection the game keeps in its singleton, or null.
  static INISettingCollection* GetSingleton() {
    return *reinterpret_cast<INISettingCollection**>(REL::GameAddress<ID::INISettingCollection>());
  }
};
static_assert(offsetof(INISettingCollection, settings) == 0x118);

}  // namespace RE
