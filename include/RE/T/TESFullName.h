#pragma once
#include <cstdint>

#include "RE/B/BSFixedString.h"
#include "RE/IDs.h"
#include "RE/T/TESForm.h"
#include "RE/VirtualCall.h"
#include "REL/ID.h"

namespace RE {

// The game's full-name component; its name query is slot 12 of its table.
struct TESFullName {
  static constexpr std::size_t kGetFullNameSlot = 12;

  void* vtable;
  BSFixedString fullName;

  const char* GetFullName() { return VirtualCall<const char*>(this, kGetFullNameSlot); }
};

// The game's own name query for a form: text or null.
inline const char* GetNativeFullName(TESForm* form) {
  using Fn = const char* (*)(TESForm*);
  return reinterpret_cast<Fn>(REL::GameAddress<ID::GetNativeFullName>())(form);
}

// The game's run-time cast from TESForm to its TESFullName component, or null.
inline TESFullName* CastToFullName(TESForm* form) {
  using Fn =
      void* (*)(void* object, std::int32_t vfDelta, void* sourceType, void* targetType, std::int32_t isReference);
  const auto cast = reinterpret_cast<Fn>(REL::GameAddress<ID::RuntimeDynamicCast>());
  auto* source = reinterpret_cast<void*>(REL::GameAddress<ID::RTTI_TESForm>());
  auto* target = reinterpret_cast<void*>(REL::GameAddress<ID::RTTI_TESFullName>());
  return static_cast<TESFullName*>(cast(form, 0, source, target, 0));
}

}  // namespace RE
