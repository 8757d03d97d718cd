#include "Classes/ReferenceHandle.h"

#include "Helpers/Log.h"
#include "RE/IDs.h"
#include "REL/ID.h"

void LookupREFRByHandle(std::uint32_t& handle, ReferencePointer& out) {
  if (handle == 0 || out) {
    Log::Error("LookupREFRByHandle", "function parameter error");
    return;
  }
  using Fn = void (*)(const std::uint32_t* handle, RE::TESObjectREFR** out);
  reinterpret_cast<Fn>(REL::ResolveAddressLibraryID(RE::ID::LookupRefByHandle))(&handle, &out.reference);
}

void ReleaseReference(ReferencePointer& out) {
  if (!out) return;
  using Fn = void (*)(RE::TESObjectREFR*);
  reinterpret_cast<Fn>(REL::ResolveAddressLibraryID(RE::ID::ReleaseRefHandle))(out.reference);
  out.reference = nullptr;
}
