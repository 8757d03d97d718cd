#include "PluginMaster.h"

#include <array>
#include <cstring>

#include "GameForms.h"
#include "GameHeap.h"

namespace sim {
namespace {

struct CityIDs {
  std::uint32_t femaleOutfitList, maleOutfitList, citizenList, ratioGlobal, citizenKeyword;
  std::uint32_t ratioHolder, outfitHolder, femaleDummy, maleDummy;
};
constexpr std::array<CityIDs, 4> kIDs = {{
    {0x837, 0x844, 0x82F, 0x82B, 0x84B, 0x83D, 0x80E, 0x846, 0x848},
    {0x85F, 0x860, 0x861, 0x851, 0x862, 0x84A, 0x852, 0x854, 0x855},
    {0x863, 0x864, 0x865, 0x853, 0x866, 0x856, 0x857, 0x859, 0x858},
    {0x867, 0x868, 0x869, 0x85D, 0x86A, 0x85E, 0x85C, 0x85A, 0x85B},
}};

// The game's own generic citizens and clothes, which the lists hold before the plug-in touches them.
constexpr std::uint32_t kVanillaCitizenBase = 0xA00;
constexpr std::uint32_t kVanillaClothingBase = 0xB00;

std::array<CityMasterForms, 4> cities{};

RE::TESCondition* NewCondition(RE::TESCondition::Kind kind, RE::TESGlobal* global) {
  auto* condition = GameNew<RE::TESCondition>();
  condition->kind = kind;
  condition->global = global;
  return condition;
}

RE::LEVELED_OBJECT Entry(RE::TESForm* form, RE::TESCondition* condition = nullptr) {
  return {form, 0, condition, 1, 1, 0, 0};
}

}  // namespace

void SetListEntries(RE::TESLeveledList& list, std::initializer_list<RE::LEVELED_OBJECT> entries) {
  auto* array = static_cast<RE::LEVELED_OBJECT*>(
      GameAllocate(sizeof(RE::LEVELED_OBJECT) * std::max<std::size_t>(entries.size(), 1)));
  std::copy(entries.begin(), entries.end(), array);
  list.entries = entries.size() ? array : nullptr;
  list.entryCount = static_cast<std::uint8_t>(entries.size());
}

void CreatePluginMasterForms(const RE::TESFile& master) {
  const auto id = [&](std::uint32_t local) { return RuntimeFormID(master, local); };
  auto* vanillaFemale = AddNPC(id(kVanillaCitizenBase), true, "Citizen");
  auto* vanillaMale = AddNPC(id(kVanillaCitizenBase + 1), false, "Citizen");
  auto* vanillaFemaleClothes = AddForm(id(kVanillaClothingBase), RE::FormType::kArmor, "Citizen's Clothes");
  auto* vanillaMaleClothes = AddForm(id(kVanillaClothingBase + 1), RE::FormType::kArmor, "Citizen's Clothes");

  for (std::size_t i = 0; i < kIDs.size(); ++i) {
    const auto& ids = kIDs[i];
    auto& city = cities[i];
    city.citizenList = AddTyped<RE::TESLevCharacter>(id(ids.citizenList), RE::FormType::kLeveledCharacter);
    city.femaleOutfitList = AddTyped<RE::TESLevItem>(id(ids.femaleOutfitList), RE::FormType::kLeveledItem);
    city.maleOutfitList = AddTyped<RE::TESLevItem>(id(ids.maleOutfitList), RE::FormType::kLeveledItem);
    city.ratioGlobal = AddTyped<RE::TESGlobal>(id(ids.ratioGlobal), RE::FormType::kGlobal);
    city.ratioGlobal->value = 50.0f;
    city.citizenKeyword = AddTyped<RE::BGSKeyword>(id(ids.citizenKeyword), RE::FormType::kKeyword);
    city.femaleDummy = AddNPC(id(ids.femaleDummy), true, "Dummy Female");
    city.maleDummy = AddNPC(id(ids.maleDummy), false, "Dummy Male");
    city.ratioHolder = AddTyped<RE::TESLevCharacter>(id(ids.ratioHolder), RE::FormType::kLeveledCharacter);
    city.outfitHolder = AddTyped<RE::TESLevCharacter>(id(ids.outfitHolder), RE::FormType::kLeveledCharacter);

    using Kind = RE::TESCondition::Kind;
    SetListEntries(city.ratioHolder->leveledList,
                   {Entry(city.femaleDummy, NewCondition(Kind::kFemaleRatio, city.ratioGlobal)),
                    Entry(city.maleDummy, NewCondition(Kind::kMaleRatio, city.ratioGlobal))});
    SetListEntries(city.outfitHolder->leveledList,
                   {Entry(city.femaleDummy, NewCondition(Kind::kFemaleOutfit, city.ratioGlobal)),
                    Entry(city.maleDummy, NewCondition(Kind::kMaleOutfit, city.ratioGlobal))});
    SetListEntries(city.citizenList->leveledList, {Entry(vanillaFemale), Entry(vanillaMale)});
    SetListEntries(city.femaleOutfitList->leveledList, {Entry(vanillaFemaleClothes)});
    SetListEntries(city.maleOutfitList->leveledList, {Entry(vanillaMaleClothes)});
  }
}

const CityMasterForms& MasterForms(int city) { return cities.at(static_cast<std::size_t>(city - 1)); }

}  // namespace sim
