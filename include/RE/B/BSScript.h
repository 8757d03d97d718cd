#pragma once
// The game's script virtual machine as the plug-in calls it: fixed strings, script variables, the
// argument packer the machine calls back, and the global function dispatch.
#include <cstddef>
#include <cstdint>

#include "RE/B/BSFixedString.h"
#include "RE/IDs.h"
#include "RE/T/TESForm.h"
#include "RE/VirtualCall.h"
#include "REL/ID.h"

namespace RE {

// Makes and releases game strings through the game's string pool.
inline void CreateFixedString(BSFixedString& string, const char* text) {
  using Fn = BSFixedString* (*)(BSFixedString*, const char*, std::uint32_t);
  reinterpret_cast<Fn>(REL::GameAddress<ID::FixedStringCreate>())(&string, text, 0);
}
inline void ReleaseFixedString(BSFixedString& string) {
  using Fn = void (*)(BSFixedString*);
  reinterpret_cast<Fn>(REL::GameAddress<ID::FixedStringRelease>())(&string);
}

namespace BSScript {

struct Object;

// One script value: its type, then the value.
struct Variable {
  enum class Type : std::uint64_t { kNone = 0, kObject = 1, kString = 2, kInt = 3, kFloat = 4, kBool = 5 };

  Type type;
  union {
    Object* object;
    BSFixedString string;
    std::int64_t integer;
    float number;
    bool flag;
  } value;
};
static_assert(sizeof(Variable) == 16);
static_assert(offsetof(Variable, value) == 8);

// The array the machine hands the packer; the packer sizes it from the thread's scrap heap.
struct ScrapArrayOfVariables {
  Variable* data;
  std::uint32_t capacity;
  std::uint32_t size;
};

// Allocates from the calling thread's scrap heap of the game.
inline void* ScrapAllocate(std::size_t size, std::uint32_t alignment) {
  using GetFn = void* (*)();
  using AllocateFn = void* (*)(void* heap, std::size_t size, std::uint32_t alignment);
  void* heap = reinterpret_cast<GetFn>(REL::GameAddress<ID::ScrapHeapGet>())();
  return reinterpret_cast<AllocateFn>(REL::GameAddress<ID::ScrapHeapAllocate>())(heap, size, alignment);
}

struct IVirtualMachine {
  static constexpr std::size_t kDispatchStaticCallSlot = 47;

  // Binds a form as a script object; false when the form cannot be bound.
  bool BindForm(TESForm* form, Object*& out) {
    using Fn = bool (*)(IVirtualMachine*, TESForm*, Object**);
    return reinterpret_cast<Fn>(REL::GameAddress<ID::ScriptObjectBind>())(this, form, &out);
  }
  // Gives back the reference the binding took.
  static void ReleaseObject(Object* object) {
    using Fn = void (*)(Object*);
    reinterpret_cast<Fn>(REL::GameAddress<ID::ScriptObjectRelease>())(object);
  }
};

// The packer the machine calls when it runs a queued call: slot 0 the destructor (flags 1: delete),
// slot 1 fills the array of variables. The machine owns it once it accepted the dispatch and
// releases it through slot 0; a refused packer stays its caller's.
struct IFunctionArguments {
  const void* const* vtable;
};

// Queues a call of a script's global function; it runs later, on the machine's schedule.
inline bool DispatchStaticCall(IVirtualMachine* vm, const BSFixedString& scriptName, const BSFixedString& functionName,
                               IFunctionArguments* arguments) {
  void* noCallback = nullptr;  // an empty smart pointer: nobody waits for the result
  return VirtualCall<bool>(vm, IVirtualMachine::kDispatchStaticCallSlot, &scriptName, &functionName, arguments,
                           &noCallback, std::int32_t{0});
}

}  // namespace BSScript
}  // namespace RE
