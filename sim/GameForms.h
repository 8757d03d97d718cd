#pragma once
// The game's forms, names, extra data, references by handle and loaded plug-in files, with the
// game functions the plug-in calls on them.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "GameWorld.h"
#include "RE/B/BGSLocation.h"
#include "RE/P/PlayerCharacter.h"
#include "RE/T/TESDataHandler.h"
#include "RE/T/TESFullName.h"
#include "RE/T/TESNPC.h"

namespace sim {

// Loaded plug-in files: kind 1 full, 2 small, 3 medium.
RE::TESFile* AddPluginFile(const std::string& name, int kind, std::uint8_t compileIndex, std::uint16_t kindIndex = 0);
RE::TESFile* FindPluginFile(const std::string& name);
// Empties the data handler's three lists (and lets a list hold a null entry, as a game's may).
void ClearPluginFiles();
void AddNullPluginFileEntry(int kind);
// The runtime form ID of a local ID in file, composed as the game does.
std::uint32_t RuntimeFormID(const RE::TESFile& file, std::uint32_t localID);

// Forms. A name gives the form a full-name component, unless withComponent is false (the game's
// own name query still answers it).
RE::TESForm* AddForm(std::uint32_t formID, RE::FormType type, std::optional<std::string> name = {},
                     bool withComponent = true);
RE::TESNPC* AddNPC(std::uint32_t formID, bool female, std::optional<std::string> name = {});
RE::TESObjectREFR* AddReference(std::uint32_t formID, RE::TESForm* base, RE::NiPoint3 position,
                                std::optional<std::string> displayName = {});
RE::BGSLocation* AddLocation(std::uint32_t formID);
// A form of a game type with a layout of its own (lists, globals, keywords).
RE::TESForm* AddFormOfSize(std::uint32_t formID, RE::FormType type, std::size_t size);
// A form built in zeroed memory the caller provides (at least the type's size).
RE::TESForm* AddFormAt(void* memory, std::uint32_t formID, RE::FormType type);
template <class T>
T* AddTyped(std::uint32_t formID, RE::FormType type) {
  return static_cast<T*>(AddFormOfSize(formID, type, sizeof(T)));
}
// The form table, as the game guards it: any thread may look up while another adds or removes.
void SetFormEntry(std::uint32_t formID, RE::TESForm* form);
void RemoveForm(std::uint32_t formID);
RE::TESForm* FindForm(std::uint32_t formID);
RE::TESDataHandler& GameDataHandler();
// The name the game gives the form (a reference answers with its base's), if any.
std::optional<std::string> FormName(const RE::TESForm* form);

// Game strings: a pool entry for text, and a proxy entry that forwards to another.
RE::BSStringPoolEntry* MakeStringEntry(const std::string& text);
RE::BSStringPoolEntry* MakeProxyEntry(RE::BSStringPoolEntry* target);

// References by handle: the handle the game gives a reference, and its count of holders.
std::uint32_t HandleOf(RE::TESObjectREFR* reference);
int ReferenceHolders(const RE::TESObjectREFR* reference);
// How many game locks are taken and not released.
int HeldLocks();
// Gives a reference a handle of its own / takes every handle of it back.
std::uint32_t CreateHandle(RE::TESObjectREFR* reference);
void DropHandle(RE::TESObjectREFR* reference);

// Extra data of a type at the front of a reference's list, zeroed, size bytes in all.
RE::BSExtraData* AddExtraData(RE::ExtraDataList* list, RE::ExtraDataType type, std::size_t size);
void SetDisplayName(RE::TESObjectREFR* reference, const std::string& name);
// The name the game shows for a reference: its display-name extra data, when it has a non-empty one.
std::optional<std::string> DisplayName(const RE::TESObjectREFR* reference);
// Whether the reference's 3D is loaded; a reference the world adds has its 3D loaded.
void SetLoaded3D(RE::TESObjectREFR* reference, bool loaded);

RE::PlayerCharacter* Player();
void PlacePlayer(RE::NiPoint3 position);

std::vector<ModelledAddress> FormModelAddresses();
void CreatePlayer();

}  // namespace sim
