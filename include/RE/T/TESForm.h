#pragma once
#include <cstddef>
#include <cstdint>

#include "RE/IDs.h"
#include "RE/VirtualCall.h"
#include "REL/ID.h"

namespace RE {

// The game's form type codes, as a form reports them.
enum class FormType : std::uint8_t {
  kKeyword = 4,
  kGlobal = 10,
  kArmor = 34,
  kNPC = 50,
  kLeveledCharacter = 51,
  kLeveledItem = 63,
  kReference = 74,
  kActor = 75,
  kVoiceType = 112,
  kOutfit = 138,
};

// The part of every game form the plug-in reads. The vtable belongs to the game.
struct TESForm {
  static constexpr std::uint32_t kDeleted = 1u << 5;
  // Forms the game creates while it runs have IDs from here up.
  static constexpr std::uint32_t kFirstRuntimeFormID = 0xFF000000;
  static constexpr std::size_t kGetFormTypeSlot = 34;

  void* vtable;
  std::uint8_t pad08[0x20 - 0x08];
  std::uint32_t formFlags;
  std::uint8_t pad24[0x28 - 0x24];
  std::uint32_t formID;
  std::uint8_t pad2C[0x2E - 0x2C];
  std::uint8_t formType;
  std::uint8_t pad2F[0x30 - 0x2F];

  FormType GetFormType() const noexcept { return static_cast<FormType>(formType); }
  bool Is(FormType type) const noexcept { return GetFormType() == type; }
  // The game's own answer, through the form's table.
  FormType QueryFormType() { return static_cast<FormType>(VirtualCall<std::uint8_t>(this, kGetFormTypeSlot)); }
};
static_assert(offsetof(TESForm, formFlags) == 0x20);
static_assert(offsetof(TESForm, formID) == 0x28);
static_assert(offsetof(TESForm, formType) == 0x2E);

// Form lookup by runtime form ID; null when the game has no such form.
inline TESForm* LookupFormByID(std::uint32_t formID) {
  using Fn = TESForm* (*)(std::uint32_t);
  return reinterpret_cast<Fn>(REL::GameAddress<ID::LookupFormByID>())(formID);
}

}  // namespace RE
