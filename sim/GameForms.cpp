#include "GameForms.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <shared_mutex>
#include <utility>

#include <fmt/format.h>

#include "Citizens.h"
#include "ExitCodes.h"
#include "GameHeap.h"
#include "GameRules.h"
#include "GameIDs.h"

namespace sim {
namespace {

constexpr std::size_t kTableSlots = 64;

// A call through a slot the sim does not model stops the process and names the slot.
template <std::size_t Slot>
void UnmodelledSlot() {
  std::fprintf(stderr, "brindlewick-sim: virtual slot %zu of a game object is not modelled yet\n", Slot);
  std::fflush(stderr);
  TerminateProcess(GetCurrentProcess(), exit_code::kGameStopped);
}

template <std::size_t... Slots>
std::array<void*, kTableSlots> UnmodelledTable(std::index_sequence<Slots...>) {
  return {reinterpret_cast<void*>(&UnmodelledSlot<Slots>)...};
}

// Slot 34 answers the form type; the byte at 0x2E says the same.
std::uint8_t FormGetFormType(RE::TESForm* form) { return form->formType; }
const char* FullNameGetFullName(RE::TESFullName* component) {
  const auto text = component->fullName.view();
  return text.empty() ? nullptr : text.data();
}

struct Tables {
  std::array<void*, kTableSlots> form = UnmodelledTable(std::make_index_sequence<kTableSlots>{});
  std::array<void*, kTableSlots> fullName = UnmodelledTable(std::make_index_sequence<kTableSlots>{});
  std::array<void*, kTableSlots> extraData = UnmodelledTable(std::make_index_sequence<kTableSlots>{});
  Tables() {
    form[34] = reinterpret_cast<void*>(&FormGetFormType);
    fullName[RE::TESFullName::kGetFullNameSlot] = reinterpret_cast<void*>(&FullNameGetFullName);
  }
};
Tables& GetTables() {
  static Tables tables;
  return tables;
}

// The game's type descriptors: only their addresses matter.
alignas(16) std::uint8_t typeDescriptorTESForm[16];
alignas(16) std::uint8_t typeDescriptorTESFullName[16];

struct FormExtras {
  std::string nativeName;
  bool hasNativeName = false;
  RE::TESFullName* component = nullptr;
};

struct FormState {
  RE::TESDataHandler* dataHandler = nullptr;
  std::map<const RE::TESForm*, FormExtras> extras;
  std::map<std::uint32_t, RE::TESObjectREFR*> handles;  // handle -> reference
  std::map<const RE::TESObjectREFR*, int> holders;
  std::uint32_t nextHandle = 0x100001;
  int heldLocks = 0;
  RE::PlayerCharacter* player = nullptr;
};
FormState& State() {
  static FormState state;
  return state;
}

// The data handler's singleton: the address library hands out this pointer's address.
RE::TESDataHandler* dataHandlerSingleton = nullptr;

void Append(RE::BSTArray<RE::TESFile*>& array, RE::TESFile* file) {
  if (array.size == array.capacity) {
    const std::uint32_t capacity = array.capacity ? array.capacity * 2 : 8;
    auto* data = static_cast<RE::TESFile**>(GameAllocate(capacity * sizeof(RE::TESFile*)));
    if (array.size) std::memcpy(data, array.data, array.size * sizeof(RE::TESFile*));
    array.data = data;
    array.capacity = capacity;
  }
  array.data[array.size++] = file;
}

RE::TESDataHandler& DataHandler() {
  auto& state = State();
  if (!state.dataHandler) {
    state.dataHandler = GameNew<RE::TESDataHandler>();
    dataHandlerSingleton = state.dataHandler;
  }
  return *state.dataHandler;
}

template <class T>
T* NewForm(std::uint32_t formID, RE::FormType type) {
  auto* form = GameNew<T>();
  form->vtable = GetTables().form.data();
  form->formID = formID;
  form->formType = static_cast<std::uint8_t>(type);
  SetFormEntry(formID, form);
  return form;
}

void Name(RE::TESForm* form, const std::optional<std::string>& name, bool withComponent) {
  if (!name) return;
  auto& extras = State().extras[form];
  extras.nativeName = *name;
  extras.hasNativeName = true;
  if (withComponent) {
    extras.component = GameNew<RE::TESFullName>();
    extras.component->vtable = GetTables().fullName.data();
    extras.component->fullName.data = MakeStringEntry(*name);
  }
}

// The game functions.
const char* NativeFullName(RE::TESForm* form) {
  const auto it = State().extras.find(form);
  if (it != State().extras.end() && it->second.hasNativeName) return it->second.nativeName.c_str();
  // A reference answers with its base object's name, as the game's own query does.
  if (form && form->Is(RE::FormType::kReference)) {
    if (auto* base = static_cast<RE::TESObjectREFR*>(form)->baseObject) return NativeFullName(base);
  }
  return nullptr;
}

void* RuntimeDynamicCast(void* object, std::int32_t, void* sourceType, void* targetType, std::int32_t) {
  if (!object || sourceType != typeDescriptorTESForm || targetType != typeDescriptorTESFullName) return nullptr;
  const auto it = State().extras.find(static_cast<RE::TESForm*>(object));
  return it == State().extras.end() ? nullptr : it->second.component;
}

RE::BSExtraData* FindExtraData(void* list, std::uint32_t type) {
  for (auto* data = *static_cast<RE::BSExtraData**>(list); data; data = data->next)
    if (data->type == type) return data;
  return nullptr;
}

// The game's lookup: the list object lies at byte 8 of the extra data list, whose lock at byte 0x20
// must be held while the list is searched, or another thread may change it under the search.
RE::BSExtraData* GetExtraDataByType(void* list, std::uint32_t type) {
  constexpr std::ptrdiff_t kListObjectOffset = 0x08, kLockOffset = 0x20;
  const auto* lock = static_cast<const std::uint8_t*>(list) - kListObjectOffset + kLockOffset;
  if (!ReadLockHeldByThisThread(lock))
    StopOnBrokenRule(fmt::format("extra data of type 0x{:X} looked up in the list at {:X} without the list's lock held",
                                 type, reinterpret_cast<std::uintptr_t>(list) - kListObjectOffset));
  return FindExtraData(list, type);
}

void ReadLock(RE::BSReadWriteLock* lock) {
  ++lock->lockCount;
  ++State().heldLocks;
  NoteReadLockTaken(lock);
}
void ReadUnlock(RE::BSReadWriteLock* lock) {
  NoteReadLockReleased(lock);
  --lock->lockCount;
  --State().heldLocks;
}

void LookupRefByHandle(const std::uint32_t* handle, RE::TESObjectREFR** out) {
  const auto it = State().handles.find(*handle);
  *out = it == State().handles.end() ? nullptr : it->second;
  if (*out) ++State().holders[*out];
}
// Sets the display name in the list, adding its extra data when there is none yet.
void SetRefDisplayName(RE::ExtraDataList* list, const char* name) {
  if (!list || !name) return;
  auto* extra = static_cast<RE::ExtraTextDisplayData*>(
      FindExtraData(&list->data, static_cast<std::uint32_t>(RE::ExtraDataType::kDisplayName)));
  if (!extra)
    extra = static_cast<RE::ExtraTextDisplayData*>(
        AddExtraData(list, RE::ExtraDataType::kDisplayName, sizeof(RE::ExtraTextDisplayData)));
  extra->displayName.data = MakeStringEntry(name);
}

bool RefHasKeyword(RE::TESObjectREFR* reference, RE::TESForm* keyword) {
  return reference && keyword && ReferenceHasKeyword(reference, keyword);
}

void ReleaseRefHandle(RE::TESObjectREFR* reference) {
  if (reference) --State().holders[reference];
}

}  // namespace

RE::TESFile* AddPluginFile(const std::string& name, int kind, std::uint8_t compileIndex, std::uint16_t kindIndex) {
  auto* file = GameNew<RE::TESFile>();
  std::snprintf(file->fileName, sizeof(file->fileName), "%s", name.c_str());
  file->compileIndex = compileIndex;
  auto& handler = DataHandler();
  if (kind == 2) {
    file->smallFileIndex = kindIndex;
    Append(handler.smallFiles, file);
  } else if (kind == 3) {
    file->mediumFileIndex = static_cast<std::uint8_t>(kindIndex);
    Append(handler.mediumFiles, file);
  } else {
    Append(handler.files, file);
  }
  return file;
}

void ClearPluginFiles() {
  auto& handler = DataHandler();
  handler.files.size = handler.smallFiles.size = handler.mediumFiles.size = 0;
}

void AddNullPluginFileEntry(int kind) {
  auto& handler = DataHandler();
  Append(kind == 2 ? handler.smallFiles : kind == 3 ? handler.mediumFiles : handler.files, nullptr);
}

RE::TESFile* FindPluginFile(const std::string& name) {
  auto& handler = DataHandler();
  for (auto* list : {&handler.files, &handler.smallFiles, &handler.mediumFiles})
    for (auto* file : *list)
      if (file && name == file->fileName) return file;
  return nullptr;
}

std::uint32_t RuntimeFormID(const RE::TESFile& file, std::uint32_t localID) {
  auto& handler = DataHandler();
  const bool medium =
      std::find(handler.mediumFiles.begin(), handler.mediumFiles.end(), &file) != handler.mediumFiles.end();
  const std::uint32_t index = medium ? static_cast<std::uint32_t>(file.mediumFileIndex) << 16
                                     : static_cast<std::uint32_t>(file.smallFileIndex) << 12;
  return (static_cast<std::uint32_t>(file.compileIndex) << 24) + index + localID;
}

RE::TESForm* AddForm(std::uint32_t formID, RE::FormType type, std::optional<std::string> name, bool withComponent) {
  auto* form = NewForm<RE::TESForm>(formID, type);
  Name(form, name, withComponent);
  return form;
}

RE::TESNPC* AddNPC(std::uint32_t formID, bool female, std::optional<std::string> name) {
  auto* npc = NewForm<RE::TESNPC>(formID, RE::FormType::kNPC);
  npc->baseDataFlags = female ? RE::TESNPC::kFemale : 0;
  npc->faceNPC = npc;
  Name(npc, name, true);
  return npc;
}

RE::TESObjectREFR* AddReference(std::uint32_t formID, RE::TESForm* base, RE::NiPoint3 position,
                                std::optional<std::string> displayName) {
  auto* reference = NewForm<RE::TESObjectREFR>(formID, RE::FormType::kReference);
  reference->baseObject = base;
  reference->position = position;
  reference->extraList = GameNew<RE::ExtraDataList>();
  if (displayName) SetDisplayName(reference, *displayName);
  SetLoaded3D(reference, true);
  CreateHandle(reference);
  return reference;
}

RE::TESForm* AddFormOfSize(std::uint32_t formID, RE::FormType type, std::size_t size) {
  return AddFormAt(GameAllocate(std::max(size, sizeof(RE::TESForm))), formID, type);
}

RE::TESForm* AddFormAt(void* memory, std::uint32_t formID, RE::FormType type) {
  auto* form = static_cast<RE::TESForm*>(memory);
  form->vtable = GetTables().form.data();
  form->formID = formID;
  form->formType = static_cast<std::uint8_t>(type);
  SetFormEntry(formID, form);
  return form;
}

RE::BGSLocation* AddLocation(std::uint32_t formID) {
  constexpr auto kLocation = static_cast<RE::FormType>(71);  // no database accepts locations
  return NewForm<RE::BGSLocation>(formID, kLocation);
}

void SetFormEntry(std::uint32_t formID, RE::TESForm* form) {
  auto& world = GetWorld();
  std::unique_lock guard(world.formsLock);
  world.forms[formID] = form;
}

void RemoveForm(std::uint32_t formID) {
  auto& world = GetWorld();
  std::unique_lock guard(world.formsLock);
  world.forms.erase(formID);
}

RE::TESForm* FindForm(std::uint32_t formID) {
  auto& world = GetWorld();
  std::shared_lock guard(world.formsLock);
  const auto it = world.forms.find(formID);
  return it == world.forms.end() ? nullptr : it->second;
}

RE::TESDataHandler& GameDataHandler() { return DataHandler(); }

std::optional<std::string> FormName(const RE::TESForm* form) {
  const char* name = NativeFullName(const_cast<RE::TESForm*>(form));
  if (!name) return std::nullopt;
  return std::string(name);
}

RE::BSStringPoolEntry* MakeStringEntry(const std::string& text) {
  auto* entry =
      static_cast<RE::BSStringPoolEntry*>(GameAllocate(offsetof(RE::BSStringPoolEntry, text) + text.size() + 1));
  entry->length = static_cast<std::uint32_t>(text.size());
  std::memcpy(entry->text, text.c_str(), text.size() + 1);
  return entry;
}

RE::BSStringPoolEntry* MakeProxyEntry(RE::BSStringPoolEntry* target) {
  auto* entry = static_cast<RE::BSStringPoolEntry*>(GameAllocate(sizeof(RE::BSStringPoolEntry)));
  entry->flags = RE::BSStringPoolEntry::kProxy;
  entry->next = target;
  return entry;
}

std::uint32_t HandleOf(RE::TESObjectREFR* reference) {
  for (const auto& [handle, held] : State().handles)
    if (held == reference) return handle;
  return 0;
}

int ReferenceHolders(const RE::TESObjectREFR* reference) {
  const auto it = State().holders.find(reference);
  return it == State().holders.end() ? 0 : it->second;
}

int HeldLocks() { return State().heldLocks; }

std::uint32_t CreateHandle(RE::TESObjectREFR* reference) {
  const auto handle = State().nextHandle++;
  State().handles[handle] = reference;
  return handle;
}

void DropHandle(RE::TESObjectREFR* reference) {
  std::erase_if(State().handles, [&](const auto& entry) { return entry.second == reference; });
}

RE::BSExtraData* AddExtraData(RE::ExtraDataList* list, RE::ExtraDataType type, std::size_t size) {
  auto* extra = static_cast<RE::BSExtraData*>(GameAllocate(std::max(size, sizeof(RE::BSExtraData))));
  extra->vtable = GetTables().extraData.data();
  extra->type = static_cast<std::uint32_t>(type);
  extra->next = list->data;
  list->data = extra;
  return extra;
}

void SetDisplayName(RE::TESObjectREFR* reference, const std::string& name) {
  sim::SetRefDisplayName(reference->extraList, name.c_str());
}

std::optional<std::string> DisplayName(const RE::TESObjectREFR* reference) {
  if (!reference->extraList) return std::nullopt;
  for (auto* extra = reference->extraList->data; extra; extra = extra->next) {
    if (extra->type != static_cast<std::uint32_t>(RE::ExtraDataType::kDisplayName)) continue;
    const auto name = static_cast<const RE::ExtraTextDisplayData*>(extra)->displayName.view();
    if (!name.empty()) return std::string(name);
  }
  return std::nullopt;
}

void SetLoaded3D(RE::TESObjectREFR* reference, bool loaded) {
  if (!reference->loadedData) reference->loadedData = GameNew<RE::LoadedReferenceData>();
  static std::uint8_t root3D[16];  // the game's scene graph node: only its presence matters
  reference->loadedData->root3D = loaded ? root3D : nullptr;
}

void CreatePlayer() {
  auto& state = State();
  state.player = GameNew<RE::PlayerCharacter>();
  state.player->vtable = GetTables().form.data();
  state.player->formID = 0x14;
  state.player->formType = static_cast<std::uint8_t>(RE::FormType::kReference);
  state.player->extraList = GameNew<RE::ExtraDataList>();
  SetFormEntry(0x14, state.player);
  DataHandler();
}

RE::PlayerCharacter* Player() { return State().player; }
void PlacePlayer(RE::NiPoint3 position) { State().player->position = position; }

std::vector<ModelledAddress> FormModelAddresses() {
  auto address = [](auto* p) { return reinterpret_cast<std::uintptr_t>(p); };
  return {
      {game_id::DataHandler, address(&dataHandlerSingleton)},
      {game_id::GetNativeFullName, address(&NativeFullName)},
      {game_id::RuntimeDynamicCast, address(&RuntimeDynamicCast)},
      {game_id::RTTI_TESForm, address(&typeDescriptorTESForm)},
      {game_id::RTTI_TESFullName, address(&typeDescriptorTESFullName)},
      {game_id::GetExtraDataByType, address(&GetExtraDataByType)},
      {game_id::ReadLock, address(&ReadLock)},
      {game_id::ReadUnlock, address(&ReadUnlock)},
      {game_id::LookupRefByHandle, address(&LookupRefByHandle)},
      {game_id::ReleaseRefHandle, address(&ReleaseRefHandle)},
      {game_id::RefHasKeyword, address(&RefHasKeyword)},
      {game_id::SetRefDisplayName, address(&SetRefDisplayName)},
  };
}

}  // namespace sim
