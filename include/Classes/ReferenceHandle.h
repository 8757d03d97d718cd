#pragma once
#include <cstdint>

#include "RE/T/TESObjectREFR.h"

// A counted pointer to a reference, as the game's lookup by handle fills it.
struct ReferencePointer {
  RE::TESObjectREFR* reference = nullptr;

  explicit operator bool() const noexcept { return reference != nullptr; }
  RE::TESObjectREFR* get() const noexcept { return reference; }
};

// Asks the game for the reference behind a handle; out must be empty and the handle non-zero.
// An out still empty afterwards means there is no such reference.
void LookupREFRByHandle(std::uint32_t& handle, ReferencePointer& out);

// Gives the game's count back and empties out.
void ReleaseReference(ReferencePointer& out);
