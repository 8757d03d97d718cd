#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace RE {

// An entry of the game's string pool. A proxy entry (flag value 2) forwards to another entry through
// the same field that holds a real entry's length.
struct BSStringPoolEntry {
  static constexpr std::uint8_t kProxy = 2;

  std::uint8_t pad00[0x08];
  union {
    std::uint32_t length;
    BSStringPoolEntry* next;
  };
  std::uint8_t pad10[0x14 - 0x10];
  std::uint8_t flags;
  std::uint8_t pad15[0x18 - 0x15];
  char text[1];  // zero-terminated, the entry's length long

  // The text as the game resolves it: proxies followed, empty when there is none.
  static std::string_view Resolve(const BSStringPoolEntry* entry) noexcept {
    while (entry && (entry->flags & kProxy)) entry = entry->next;
    if (!entry || entry->length == 0) return {};
    return entry->text;
  }
};
static_assert(offsetof(BSStringPoolEntry, length) == 0x08);
static_assert(offsetof(BSStringPoolEntry, next) == 0x08);
static_assert(offsetof(BSStringPoolEntry, flags) == 0x14);
static_assert(offsetof(BSStringPoolEntry, text) == 0x18);

// A game string: one pointer to its pool entry.
struct BSFixedString {
  BSStringPoolEntry* data;

  std::string_view view() const noexcept { return BSStringPoolEntry::Resolve(data); }
};
static_assert(sizeof(BSFixedString) == 8);

}  // namespace RE
