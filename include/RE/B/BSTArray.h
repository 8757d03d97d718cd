#pragma once
#include <cstdint>

namespace RE {

// A game array as this game version lays it out for the plug-in: data, capacity, size.
template <class T>
struct BSTArray {
  T* data;
  std::uint32_t capacity;
  std::uint32_t size;

  T* begin() const noexcept { return data; }
  T* end() const noexcept { return data + size; }
  bool empty() const noexcept { return size == 0; }
};
static_assert(sizeof(BSTArray<void*>) == 16);

}  // namespace RE
