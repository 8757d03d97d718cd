#pragma once
// These game types derive from others, so they are not standard layout and offsetof is only
// conditionally supported for them; GCC supports it and lays single inheritance out as MSVC does,
// which is what the offset checks below pin down.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
#include <cstddef>
#include <cstdint>

#include "RE/A/AIProcess.h"
#include "RE/B/BGSVoiceType.h"
#include "RE/IDs.h"
#include "RE/T/TESObjectREFR.h"
#include "REL/ID.h"

namespace RE {

// The player's base NPC and its reference.
inline constexpr std::uint32_t kPlayerCharacterFormID = 0x00000007;
inline constexpr std::uint32_t kPlayerReferenceFormID = 0x00000014;

struct Actor : TESObjectREFR {
  static constexpr std::uint32_t kSetUpState = 1u << 21;  // the game has fully set the actor up

  AIProcess* currentProcess;
  std::uint8_t pad230[0x37C - 0x230];
  std::uint32_t stateFlags;  // bit 21: set for actors the game has fully set up
  std::uint8_t pad380[0x400 - 0x380];

  // The game refreshes the actor's appearance (face, body, equipment).
  void UpdateAppearance(bool param02, std::uint32_t flags, bool bRace) {
    using Fn = void (*)(Actor*, bool, std::uint32_t, bool);
    reinterpret_cast<Fn>(REL::GameAddress<ID::UpdateActorAppearance>())(this, param02, flags, bRace);
  }
  // The voice the game gives the actor now, or null.
  BGSVoiceType* GetVoiceType() {
    using Fn = BGSVoiceType* (*)(Actor*, std::uint64_t);
    return reinterpret_cast<Fn>(REL::GameAddress<ID::GetActorVoiceType>())(this, 0);
  }
};
static_assert(offsetof(Actor, currentProcess) == 0x228);
static_assert(offsetof(Actor, stateFlags) == 0x37C);

struct PlayerCharacter : Actor {
  static PlayerCharacter* GetSingleton() {
    return *reinterpret_cast<PlayerCharacter**>(REL::GameAddress<ID::PlayerCharacter>());
  }
};

}  // namespace RE

#pragma GCC diagnostic pop
