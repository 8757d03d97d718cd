#include "Citizens.h"

#include <map>
#include <set>

#include "Actors.h"
#include "EventSources.h"
#include "GameForms.h"
#include "GameHeap.h"
#include "PluginMaster.h"

namespace sim {
namespace {

std::vector<Citizen> citizens;
std::map<const RE::TESObjectREFR*, std::set<const RE::TESForm*>> referenceKeywords;

bool Passes(const RE::TESCondition* condition, int roll) {
  if (!condition) return true;
  switch (condition->kind) {
    case RE::TESCondition::Kind::kFemaleRatio: return static_cast<float>(roll) < condition->global->value;
    case RE::TESCondition::Kind::kMaleRatio: return static_cast<float>(roll) >= condition->global->value;
    default: return true;
  }
}

}  // namespace

RE::TESForm* PickFromList(const RE::TESLeveledList& list, std::mt19937& random) {
  const int roll = static_cast<int>(random() % 100);
  std::vector<RE::TESForm*> passing;
  for (std::uint8_t i = 0; i < list.entryCount; ++i)
    if (Passes(list.entries[i].condition, roll)) passing.push_back(list.entries[i].form);
  if (passing.empty()) return nullptr;
  return passing[random() % passing.size()];
}

void SpawnCitizens(int city, int count, std::mt19937& random) {
  const auto& forms = MasterForms(city);
  for (int n = 0; n < count; ++n) {
    auto* picked = PickFromList(forms.citizenList->leveledList, random);
    if (!picked || !picked->Is(RE::FormType::kNPC)) continue;
    auto* npc = static_cast<RE::TESNPC*>(picked);
    auto* face = npc->faceNPC ? npc->faceNPC : npc;
    const bool female = face->IsFemale();
    auto* outfits = female ? forms.femaleOutfitList : forms.maleOutfitList;
    auto* clothing = PickFromList(outfits->leveledList, random);

    auto* actor = CreateActor(NextRuntimeFormID(), npc, NextSpotAround(city), CityLocation(city));
    referenceKeywords[actor].insert(forms.citizenKeyword);
    citizens.push_back({city, actor, face, female, clothing});
    RaiseReferenceSet3d(actor);
  }
}

const std::vector<Citizen>& Citizens() { return citizens; }

bool ReferenceHasKeyword(const RE::TESObjectREFR* reference, const RE::TESForm* keyword) {
  const auto it = referenceKeywords.find(reference);
  return it != referenceKeywords.end() && it->second.contains(keyword);
}

}  // namespace sim
