#pragma once
#include <cstddef>

namespace RE {

// Calls slot N of a game object's table (byte offset 8 x N) with the object first, as MSVC lays it out.
template <class Result, class Object, class... Args>
Result VirtualCall(Object* object, std::size_t slot, Args... args) {
  using Fn = Result (*)(Object*, Args...);
  auto* const* table = *reinterpret_cast<void* const* const*>(object);
  return reinterpret_cast<Fn>(table[slot])(object, args...);
}

}  // namespace RE
