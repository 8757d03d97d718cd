#include "Main/FemaleMaleConditions.h"

#include "Helpers/FormResolution.h"
#include "Helpers/Log.h"
#include "Helpers/Naming.h"
#include "Main/Cities.h"
#include "Main/LeveledListArena.h"

namespace {}  // namespace

RE::TESCondition* GetFemaleMaleCondition(int location, int kind, bool female) {
  constexpr const char* kOp = "GetFemaleMaleCondition";
  RE::TESForm* holder = nullptr;
  RE::TESForm* dummy = nullptr;
  if (const auto city = CityFromIndex(location)) {
    const auto& forms = InfoOf(*city);
    const char* holderID = kind == kRatioCondition    ? forms.ratioConditionHolder
                           : kind == kOutfitCondition ? forms.outfitConditionHolder
                                                      : nullptr;
    if (holderID) holder = GetFormFromFile(holderID, kPluginMasterFile);
    dummy = GetFormFromFile(female ? forms.femaleDummyNPC : forms.maleDummyNPC, kPluginMasterFile);
  }
  if (!holder) {
    Log::Error(kOp, "ConditionHolderForm is nullptr");
    return nullptr;
  }
  if (!dummy) {
    Log::Error(kOp, "DummyNPC is nullptr");
    return nullptr;
  }

  // The master file supplies leveled character lists here; the holder is read as one.
  auto& list = static_cast<RE::TESLeveledForm*>(holder)->leveledList;
  const HexAddress holderAddress{holder};
  Log::Info(kOp, "EditorSetFormCount of ConditionHolder {} is: {}", holderAddress, list.entryCount);
  for (std::uint8_t i = 0; i < list.entryCount; ++i) {
    const auto* entry = list.entries + i;
    Log::Info(kOp, "LeleveledListEntry [{}] at ({})", HexAddress{entry}, i);
    if (!IsPlausibleEntryAddress(entry)) {
      Log::Error(kOp, "LeleveledListEntryAddr is out of range");
      continue;
    }
    if (!entry->form) {
      Log::Error(kOp, "LeleveledListEntry->form is nullptr");
      continue;
    }
    if (entry->form->formID != dummy->formID) continue;
    if (!entry->condition) {
      Log::Error(kOp, "found TESCondition [{}] at ({}) is nullptr", HexAddress{entry}, i);
      continue;
    }
    Log::Info(kOp, "found TESCondition [{}] at ({})", HexAddress{entry}, i);
    return entry->condition;
  }
  Log::Error(kOp, "couldn't find dummy Female [{}] / Male [{}] NPC on ConditionHolder {}", female ? 1 : 0,
             female ? 1 : 0, holderAddress);
  return nullptr;
}
