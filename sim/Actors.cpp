#include "Actors.h"

#include <cmath>
#include <cstring>
#include <map>
#include <set>

#include "GameForms.h"
#include "GameHeap.h"
#include "ProcessLists.h"
#include "GameIDs.h"
#include "ScriptMachine.h"

namespace sim {
namespace {

constexpr std::uint32_t kFirstRuntimeFormID = 0xFF000800;
constexpr float kGoldenAngle = 2.39996323f;
constexpr float kInnerRadius = 8.0f;
constexpr float kSpacing = 6.0f;

struct ActorState {
  std::uint32_t nextFormID = kFirstRuntimeFormID;
  std::map<int, int> spawnedAround;  // per city
  std::map<const RE::TESObjectREFR*, RE::BGSLocation*> locations;
  std::map<const RE::Actor*, RE::TESForm*> voices;
  std::set<const RE::Actor*> freed;       // memory the game freed once (and may have reused)
  std::set<std::uintptr_t> inaccessible;  // freed, not reused: reading there crashes
};
ActorState& State() {
  static ActorState state;
  return state;
}

// The game functions.
RE::BGSLocation* GetRefCurrentLocation(RE::TESObjectREFR* reference) { return CurrentLocation(reference); }

RE::TESForm* GetActorVoiceType(RE::Actor* actor, std::uint64_t) { return actor ? ActorVoice(actor) : nullptr; }

}  // namespace

std::uint32_t NextRuntimeFormID() { return State().nextFormID++; }

RE::Actor* CreateActor(std::uint32_t formID, RE::TESNPC* base, RE::NiPoint3 position, RE::BGSLocation* location) {
  return BuildActor(GameAllocatePages(sizeof(RE::Actor)), formID, base, position, location);
}

namespace {

// A live process object's type table: its entry at byte 0x10 points into the game's code.
void LiveProcessEntry() {}
const void* const kLiveProcessTable[] = {nullptr, nullptr, reinterpret_cast<const void*>(&LiveProcessEntry), nullptr};

}  // namespace

RE::Actor* BuildActor(void* memory, std::uint32_t formID, RE::TESNPC* base, RE::NiPoint3 position,
                      RE::BGSLocation* location) {
  auto* actor = static_cast<RE::Actor*>(AddFormAt(memory, formID, RE::FormType::kActor));
  auto* process = GameNew<RE::AIProcess>();
  process->typeTable = kLiveProcessTable;
  process->highProcessData = GameAllocate(64);
  actor->currentProcess = process;
  actor->baseObject = base;
  actor->position = position;
  actor->extraList = GameNew<RE::ExtraDataList>();
  actor->stateFlags = 1u << 21;  // set up by the game
  SetLoaded3D(actor, true);
  SetCurrentLocation(actor, location);
  AddToProcessLists(actor);
  return actor;
}

RE::NiPoint3 NextSpotAround(int city) {
  const int n = State().spawnedAround[city]++;
  RE::NiPoint3 center = Player() ? Player()->position : RE::NiPoint3{};
  for (const auto& info : kCities) {
    const auto spot = GetWorld().citySpots.find(info.name);
    if (info.index == city && spot != GetWorld().citySpots.end()) center = spot->second;
  }
  const float radius = kInnerRadius + kSpacing * std::sqrt(static_cast<float>(n));
  const float angle = kGoldenAngle * static_cast<float>(n);
  return {center.x + radius * std::cos(angle), center.y + radius * std::sin(angle), center.z};
}

RE::BGSLocation* CityLocation(int city) {
  for (const auto& info : kCities)
    if (info.index == city) return static_cast<RE::BGSLocation*>(FindForm(info.locationFormID));
  return nullptr;
}

int CityOfLocation(const RE::BGSLocation* location) {
  for (const auto& info : kCities)
    if (location && location->formID == info.locationFormID) return info.index;
  return 0;
}

void SetCurrentLocation(RE::TESObjectREFR* reference, RE::BGSLocation* location) {
  State().locations[reference] = location;
}

RE::BGSLocation* CurrentLocation(const RE::TESObjectREFR* reference) {
  const auto it = State().locations.find(reference);
  return it == State().locations.end() ? nullptr : it->second;
}

void SetActorVoice(RE::Actor* actor, RE::TESForm* voice) { State().voices[actor] = voice; }

RE::TESForm* ActorVoice(const RE::Actor* actor) {
  if (const auto* look = LookOf(actor); look && look->voice) return const_cast<RE::TESForm*>(look->voice);
  const auto it = State().voices.find(actor);
  return it == State().voices.end() ? nullptr : it->second;
}

void SetTemplateForm(RE::TESObjectREFR* reference, RE::TESForm* form) {
  auto* extra = static_cast<RE::ExtraLeveledCreature*>(
      AddExtraData(reference->extraList, RE::ExtraDataType::kLeveledCreature, sizeof(RE::ExtraLeveledCreature)));
  extra->templateForm = form;
}

void HoldInAlias(RE::TESObjectREFR* reference) {
  auto* extra = static_cast<RE::ExtraAliasInstanceArray*>(
      AddExtraData(reference->extraList, RE::ExtraDataType::kAliasInstanceArray, sizeof(RE::ExtraAliasInstanceArray)));
  extra->aliases = 1;
}

void DeleteActor(RE::Actor* actor) {
  actor->formFlags |= RE::TESForm::kDeleted;
  RemoveFromProcessLists(actor);
  DropHandle(actor);
  if (FindForm(actor->formID) == actor) RemoveForm(actor->formID);
}

namespace {

RE::Actor* Free(RE::Actor* actor, bool reuse, bool keepMapped, bool keepFormEntry = false) {
  std::unique_lock lifetime(ActorLifetimeLock());
  auto& state = State();
  const RE::NiPoint3 position = actor->position;
  auto* base = static_cast<RE::TESNPC*>(actor->baseObject);
  auto* location = CurrentLocation(actor);
  if (keepFormEntry) {
    actor->formFlags |= RE::TESForm::kDeleted;
    RemoveFromProcessLists(actor);
    DropHandle(actor);
  } else {
    DeleteActor(actor);
  }
  state.locations.erase(actor);
  state.voices.erase(actor);
  state.freed.insert(actor);
  // The game's allocator hands the block out again; in between it is nobody's.
  if (keepMapped) {
    std::memset(static_cast<void*>(actor), 0, sizeof(RE::Actor));
  } else {
    std::memset(static_cast<void*>(actor), 0xDD, sizeof(RE::Actor));
    SetPagesAccessible(actor, sizeof(RE::Actor), false);
    state.inaccessible.insert(reinterpret_cast<std::uintptr_t>(actor));
  }
  if (!reuse) return nullptr;
  state.inaccessible.erase(reinterpret_cast<std::uintptr_t>(actor));
  SetPagesAccessible(actor, sizeof(RE::Actor), true);
  std::memset(static_cast<void*>(actor), 0, sizeof(RE::Actor));
  return BuildActor(actor, NextRuntimeFormID(), base, {position.x + 40.0f, position.y, position.z}, location);
}

}  // namespace

ReadWriteLock& ActorLifetimeLock() {
  static ReadWriteLock lock;
  return lock;
}

RE::Actor* FreeActor(RE::Actor* actor, bool reuse) { return Free(actor, reuse, false); }
void FreeActorKeepingFormEntry(RE::Actor* actor) { Free(actor, false, false, true); }

bool IsInFreedActor(std::uintptr_t address) {
  const auto& inaccessible = State().inaccessible;
  auto it = inaccessible.upper_bound(address);
  if (it == inaccessible.begin()) return false;
  --it;
  return address - *it < sizeof(RE::Actor);
}
RE::Actor* FreeActorWhileRunning(RE::Actor* actor, bool reuse) { return Free(actor, reuse, true); }

bool WasFreed(const RE::Actor* actor) { return State().freed.contains(actor); }

std::vector<ModelledAddress> ActorModelAddresses() {
  auto address = [](auto* p) { return reinterpret_cast<std::uintptr_t>(p); };
  return {
      {game_id::GetRefCurrentLocation, address(&GetRefCurrentLocation)},
      {game_id::GetActorVoiceType, address(&GetActorVoiceType)},
  };
}

}  // namespace sim
