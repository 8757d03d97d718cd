#include "Actors.h"

#include <cmath>
#include <map>

#include "GameForms.h"
#include "GameHeap.h"
#include "ProcessLists.h"
#include "RE/IDs.h"
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
  auto* actor = AddTyped<RE::Actor>(formID, RE::FormType::kActor);
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

std::vector<ModelledAddress> ActorModelAddresses() {
  auto address = [](auto* p) { return reinterpret_cast<std::uintptr_t>(p); };
  return {
      {RE::ID::GetRefCurrentLocation, address(&GetRefCurrentLocation)},
      {RE::ID::GetActorVoiceType, address(&GetActorVoiceType)},
  };
}

}  // namespace sim
