#pragma once
// The game's actors as the unique NPC placement reads them: where they stand, the location the
// game places them in, the voice they speak with, the template they were made from, whether a
// quest alias holds them, and their deletion.
#include <cstdint>
#include "ReadWriteLock.h"
#include <vector>

#include "GameWorld.h"
#include "RE/P/PlayerCharacter.h"
#include "RE/T/TESNPC.h"

namespace sim {

// Run-time form IDs, from 0xFF000800 up, one for each actor the game creates while it runs.
std::uint32_t NextRuntimeFormID();

// An actor made from base, standing at position in location, set up by the game (state bit 21),
// with a handle and a place in the process lists.
RE::Actor* CreateActor(std::uint32_t formID, RE::TESNPC* base, RE::NiPoint3 position, RE::BGSLocation* location);

// The same in memory the caller provides (whole pages of their own, zeroed).
RE::Actor* BuildActor(void* memory, std::uint32_t formID, RE::TESNPC* base, RE::NiPoint3 position,
                      RE::BGSLocation* location);

// The game frees the actor: deleted (as DeleteActor), then its memory is nobody's and inaccessible,
// so reading it stops the process. With reuse the game builds a new actor with the next run-time
// form ID in the same memory, 40 units away, and returns it.
RE::Actor* FreeActor(RE::Actor* actor, bool reuse);
// The same, done by the game on its own thread while its other threads run: the memory goes back
// to the game's heap, as a real heap keeps it mapped, zeroed; a late read there finds no actor, and a
// late appearance update counts for form ID 0.
RE::Actor* FreeActorWhileRunning(RE::Actor* actor, bool reuse);
// Held shared by a game thread while it works on an actor it took from the process lists, and
// exclusively while the game frees one: the game never frees an actor under its own threads' hands.
ReadWriteLock& ActorLifetimeLock();
// The actor's memory is freed and inaccessible, but the game forgot to take it out of its form
// table: a lookup of its form ID still gives the pointer (a fault the soak plays on purpose).
void FreeActorKeepingFormEntry(RE::Actor* actor);
// Whether the address lies in the memory of an actor that was freed and not reused.
bool IsInFreedActor(std::uintptr_t address);
// Whether the memory of this actor was freed once (reused or not): what stood there is gone.
bool WasFreed(const RE::Actor* actor);

// Distinct places around a city's spot (1 to 4), one for each actor the game spawns there: at least
// eight units from the spot, on a spiral that keeps them apart and inside the city.
RE::NiPoint3 NextSpotAround(int city);

// The city's location form (1 to 4), or null.
RE::BGSLocation* CityLocation(int city);
// The city (1 to 4) whose location form this is; 0 for none.
int CityOfLocation(const RE::BGSLocation* location);

void SetCurrentLocation(RE::TESObjectREFR* reference, RE::BGSLocation* location);
RE::BGSLocation* CurrentLocation(const RE::TESObjectREFR* reference);

// The actor's own voice; a voice the script overrides it with comes first.
void SetActorVoice(RE::Actor* actor, RE::TESForm* voice);
RE::TESForm* ActorVoice(const RE::Actor* actor);

// Extra data 0x2B naming the form the actor was made from; extra data 0x80 holding it in an alias.
void SetTemplateForm(RE::TESObjectREFR* reference, RE::TESForm* form);
void HoldInAlias(RE::TESObjectREFR* reference);

// The game deletes the actor: flagged deleted, out of the process lists, its handles and the form
// table. Its memory stays, as the game's does until it is reused.
void DeleteActor(RE::Actor* actor);

std::vector<ModelledAddress> ActorModelAddresses();

}  // namespace sim
