#include "Main/Cities/FemaleMaleConditions.h"

#include "Helpers/FormResolution.h"
#include "Helpers/Log.h"
#include "Helpers/Naming.h"
#include "Main/Game/Cities.h"
#include "Main/LeveledLists/LeveledLists.h"

RE::TESCondition* GetFemaleMaleCondition(City city, ConditionKind kind, bool female) {
  constexpr const char* kOp = "GetFemaleMaleCondition";
  const auto& forms = InfoOf(city);
  auto* holder = GetFormFromFile(
      kind == ConditionKind::Ratio ? forms.ratioConditionHolder : forms.outfitConditionHolder, kPluginMasterFile);
  auto* dummy = GetFormFromFile(female ? forms.femaleDummyNPC : forms.maleDummyNPC, kPluginMasterFile);
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
  RE::TESCondition* found = nullptr;
  WalkLeveledList(list, kOp, [&](const RE::LEVELED_OBJECT& entry, std::uint8_t i) {
    if (!entry.form) {
      Log::Error(kOp, "LeleveledListEntry->form is nullptr");
      return true;
    }
    if (entry.form->formID != dummy->formID) return true;
    if (!entry.condition) {
      Log::Error(kOp, "found TESCondition [{}] at ({}) is nullptr", HexAddress{&entry}, i);
      return true;
    }
    Log::Info(kOp, "found TESCondition [{}] at ({})", HexAddress{&entry}, i);
    found = entry.condition;
    return false;
  });
  if (found) return found;
  Log::Error(kOp, "couldn't find dummy Female [{}] / Male [{}] NPC on ConditionHolder {}", female ? 1 : 0,
             female ? 1 : 0, holderAddress);
  return nullptr;
}
