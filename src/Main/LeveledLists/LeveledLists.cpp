#include "Main/LeveledLists/LeveledLists.h"

#include <cctype>
#include <cstring>
#include <deque>

#include "Helpers/Log.h"
#include "Helpers/Naming.h"
#include "Main/LeveledLists/LeveledListArena.h"

namespace {

// In the order of saving. A deque: a record found by name stays where it is when more are saved.
std::deque<SavedLeveledListData> savedLists;

template <class Form>
bool AddForms(RE::TESLeveledList* list, const std::vector<Form*>* formsToAdd, bool replace,
              RE::TESCondition* condition) {
  constexpr const char* kOp = "AddFormsToLeveledList";
  if (!list) {
    Log::Error(kOp, "leveledList is nullptr");
    return false;
  }
  if (!formsToAdd) {
    Log::Error(kOp, "formsToAdd is nullptr");
    return false;
  }
  const HexAddress listAddress{list};
  const auto& forms = *formsToAdd;
  Log::Info(kOp, "attempting to add {} forms to leveledList {}", forms.size(), listAddress);

  const auto oldEntries = replace ? std::vector<RE::LEVELED_OBJECT>{} : GetLeveledListEntries(list);
  const std::size_t total = forms.size() + oldEntries.size();
  if (total > kMaxLeveledListEntries) {
    Log::Error(kOp, "leveledList size cannot exceed 255, given value: {}", total);
    return false;
  }
  // Prepared apart from the game's memory, so that a failure below leaves nothing behind.
  std::vector<RE::LEVELED_OBJECT> prepared(total);
  for (std::size_t k = 0; k < forms.size(); ++k) {
    prepared[k] = {forms[k], 0, condition, 1, 1, 0, 0};
    const HexFormID formID{forms[k] ? forms[k]->formID : 0};
    if (condition)
      Log::Info(kOp, "adding new form [{}] to leveledList {}  at ({}), Condition [{}]", formID, listAddress, k,
                HexAddress{condition});
    else
      Log::Info(kOp, "adding new form [{}] to leveledList {}  at ({})", formID, listAddress, k);
  }
  for (std::size_t j = 0; j < oldEntries.size(); ++j) {
    if (!oldEntries[j].form) {
      Log::Error(kOp, "oldLeveledListEntries->form is nullptr at: {}", j);
      return false;
    }
    Log::Info(kOp, "adding (back) old form [{}] to leveledList {}  at ({})", HexFormID{oldEntries[j].form->formID},
              listAddress, j);
    prepared[forms.size() + j] = oldEntries[j];
  }

  static_assert(sizeof(RE::LEVELED_OBJECT) * kLeveledListArrayEntries <= 255 * 32);
  auto* entries = static_cast<RE::LEVELED_OBJECT*>(total ? LeveledListArrayFor(list, list->entries) : nullptr);
  if (total && !entries) {
    Log::Error(kOp, "couldn't allocate {} entries for leveledList {}", total, listAddress);
    return false;
  }
  if (total) std::memcpy(entries, prepared.data(), total * sizeof(RE::LEVELED_OBJECT));

  // The array it replaces is left alone: the game's own stays for its saved record, the plug-in's
  // other array is written only at a later refill.
  list->entries = entries;
  list->entryCount = static_cast<std::uint8_t>(total);
  Log::Info(kOp, "complete");
  return true;
}

}  // namespace

void WalkLeveledList(const RE::TESLeveledList& list, const char* operation,
                     const std::function<bool(const RE::LEVELED_OBJECT&, std::uint8_t)>& visit) {
  const std::uint8_t count = list.entryCount;
  for (std::uint8_t i = 0; i < count; ++i) {
    const auto* entry = list.entries + i;
    Log::Info(operation, "LeleveledListEntry [{}] at ({})", HexAddress{entry}, i);
    if (!IsPlausibleEntryAddress(entry)) {
      Log::Error(operation, "LeleveledListEntryAddr is out of range");
      continue;
    }
    if (!visit(*entry, i)) return;
  }
}

std::vector<RE::LEVELED_OBJECT> GetLeveledListEntries(RE::TESLeveledList* list) {
  constexpr const char* kOp = "GetLeveledListEntries";
  std::vector<RE::LEVELED_OBJECT> result;
  if (!list) {
    Log::Error(kOp, "leveledList is nullptr");
    return result;
  }
  Log::Info(kOp, "EditorSetFormCount of leveledList {} is: {}", HexAddress{list}, list->entryCount);
  WalkLeveledList(*list, kOp, [&](const RE::LEVELED_OBJECT& entry, std::uint8_t) {
    result.push_back(entry);
    return true;
  });
  return result;
}

bool ClearAllFormsFromLeveledList(RE::TESLeveledList* list) {
  if (!list) {
    Log::Error("ClearAllFormsFromLeveledList", "leveledList is nullptr");
    return false;
  }
  list->entries = nullptr;
  list->entryCount = 0;
  Log::Info("ClearAllFormsFromLeveledList", "cleared leveledList {}", HexAddress{list});
  return true;
}

bool AddFormsToLeveledList(RE::TESLeveledList* list, const std::vector<RE::TESNPC*>* formsToAdd, bool replace,
                           RE::TESCondition* condition) {
  return AddForms(list, formsToAdd, replace, condition);
}

bool AddFormsToLeveledList(RE::TESLeveledList* list, const std::vector<RE::TESForm*>* formsToAdd, bool replace,
                           RE::TESCondition* condition) {
  return AddForms(list, formsToAdd, replace, condition);
}

bool SaveLeveledList(RE::TESLeveledList* list, const std::string& name) {
  constexpr const char* kOp = "SaveLeveledList";
  if (!list) {
    Log::Error(kOp, "leveledList is nullptr");
    return false;
  }
  if (name.empty()) {
    Log::Error(kOp, "sLeveledListName cannot be empty");
    return false;
  }
  savedLists.push_back({name, list->entryCount, list->entries});
  Log::Info(kOp, "saving leveledList {} named [{}]. New SavedLeveledLists.size = {}", HexAddress{list}, name,
            savedLists.size());
  return true;
}

SavedLeveledListData* GetSavedLeveledListDataByName(const std::string& name) {
  constexpr const char* kOp = "GetSavedLeveledListDataByName";
  if (name.empty()) {
    Log::Error(kOp, "sLeveledListName cannot be empty");
    return nullptr;
  }
  if (savedLists.empty()) {
    Log::Error(kOp, "std::vector SavedLeveledLists is empty, no saved leveled lists");
    return nullptr;
  }
  if (auto* record = FindSavedLeveledList(name)) {
    Log::Info(kOp, "returning leveledList {} with name [{}]", HexAddress{record}, name);
    return record;
  }
  Log::Error(kOp, "no saved leveledList was found with name [{}], returning nullptr", name);
  return nullptr;
}

SavedLeveledListData* FindSavedLeveledList(std::string_view name) {
  for (auto& record : savedLists)
    if (EqualIgnoringCase(record.name, name)) return &record;
  return nullptr;
}

void RestoreLeveledList(RE::TESLeveledList* list, const SavedLeveledListData& saved) {
  list->entries = saved.entries;
  list->entryCount = static_cast<std::uint8_t>(saved.count);
}

std::string SavedListName(std::string_view cityName, std::string_view role) {
  return std::string(cityName).append("_").append(role);
}

void ClearSavedLeveledLists() { savedLists.clear(); }

const std::deque<SavedLeveledListData>& SavedLeveledLists() noexcept { return savedLists; }
