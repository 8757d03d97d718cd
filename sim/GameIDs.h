#pragma once
// The game's address library IDs of everything the sim models, with the game's names for them.
// The game's own list, kept apart from any plug-in's: the address library file is written from it,
// so a plug-in that asks for a wrong number finds nothing there or something else.
#include <cstdint>

namespace sim::game_id {

// Functions
inline constexpr std::uint64_t LookupFormByID = 86125;
inline constexpr std::uint64_t RegisterEventSink = 34452;
inline constexpr std::uint64_t FixedStringCreate = 198219;
inline constexpr std::uint64_t FixedStringRelease = 36754;
inline constexpr std::uint64_t ScriptObjectBind = 195981;
inline constexpr std::uint64_t ScriptObjectBindHandle = 196032;
inline constexpr std::uint64_t ScriptObjectRelease = 196057;
inline constexpr std::uint64_t ScriptObjectPolicy = 196579;
inline constexpr std::uint64_t MemoryManagerGet = 33961;
inline constexpr std::uint64_t MemoryManagerAllocate = 33962;
inline constexpr std::uint64_t MemoryManagerDeallocate = 34032;
inline constexpr std::uint64_t ScrapHeapGet = 36848;
inline constexpr std::uint64_t ScrapHeapAllocate = 37879;
inline constexpr std::uint64_t RefHasKeyword = 80343;
inline constexpr std::uint64_t SetRefDisplayName = 83539;
inline constexpr std::uint64_t GetExtraDataByType = 83208;
inline constexpr std::uint64_t ReadLock = 178605;
inline constexpr std::uint64_t ReadUnlock = 178609;
inline constexpr std::uint64_t LookupRefByHandle = 72986;
inline constexpr std::uint64_t ReleaseRefHandle = 35164;
inline constexpr std::uint64_t GetNativeFullName = 86218;
inline constexpr std::uint64_t RuntimeDynamicCast = 211916;
inline constexpr std::uint64_t RTTI_TESForm = 786265;
inline constexpr std::uint64_t RTTI_TESFullName = 786269;
inline constexpr std::uint64_t GetRefCurrentLocation = 106554;
inline constexpr std::uint64_t GetActorVoiceType = 106683;
inline constexpr std::uint64_t UpdateActorAppearance = 151216;
inline constexpr std::uint64_t ConsolePrint = 166358;

// Singletons: the address holds the object's pointer
inline constexpr std::uint64_t DataHandler = 825890;
inline constexpr std::uint64_t PlayerCharacter = 865059;
inline constexpr std::uint64_t ProcessLists = 878338;
inline constexpr std::uint64_t GameVM = 878371;
inline constexpr std::uint64_t UI = 878339;
inline constexpr std::uint64_t ConsoleLog = 879277;
inline constexpr std::uint64_t INISettingCollection = 885862;
inline constexpr std::uint64_t ConsoleCommandTable = 841465;

// Functions that hand out an event source
inline constexpr std::uint64_t Reference3DSetEventSource = 88599;
inline constexpr std::uint64_t SaveLoadEventSource = 129747;
inline constexpr std::uint64_t TESLoadGameEventSource = 1868757;
inline constexpr std::uint64_t ActorCellChangeEventSource = 107081;
inline constexpr std::uint64_t CellFullyLoadedEventSource = 107143;

// Functions whose calls plug-ins patch, and a flag
inline constexpr std::uint64_t ResetGame = 148887;
inline constexpr std::uint64_t ActorAppearanceProcess = 151393;
inline constexpr std::uint64_t AppearanceFlag = 830206;

struct Named {
  std::uint64_t id;
  const char* name;
};

// Every ID above, each in the address library file from the start.
inline constexpr Named kAll[] = {
    {LookupFormByID, "LookupFormByID"},
    {RegisterEventSink, "RegisterEventSink"},
    {FixedStringCreate, "FixedStringCreate"},
    {FixedStringRelease, "FixedStringRelease"},
    {ScriptObjectBind, "ScriptObjectBind"},
    {ScriptObjectBindHandle, "ScriptObjectBindHandle"},
    {ScriptObjectRelease, "ScriptObjectRelease"},
    {ScriptObjectPolicy, "ScriptObjectPolicy"},
    {MemoryManagerGet, "MemoryManagerGet"},
    {MemoryManagerAllocate, "MemoryManagerAllocate"},
    {MemoryManagerDeallocate, "MemoryManagerDeallocate"},
    {ScrapHeapGet, "ScrapHeapGet"},
    {ScrapHeapAllocate, "ScrapHeapAllocate"},
    {RefHasKeyword, "RefHasKeyword"},
    {SetRefDisplayName, "SetRefDisplayName"},
    {GetExtraDataByType, "GetExtraDataByType"},
    {ReadLock, "ReadLock"},
    {ReadUnlock, "ReadUnlock"},
    {LookupRefByHandle, "LookupRefByHandle"},
    {ReleaseRefHandle, "ReleaseRefHandle"},
    {GetNativeFullName, "GetNativeFullName"},
    {RuntimeDynamicCast, "RuntimeDynamicCast"},
    {RTTI_TESForm, "RTTI_TESForm"},
    {RTTI_TESFullName, "RTTI_TESFullName"},
    {GetRefCurrentLocation, "GetRefCurrentLocation"},
    {GetActorVoiceType, "GetActorVoiceType"},
    {UpdateActorAppearance, "UpdateActorAppearance"},
    {ConsolePrint, "ConsolePrint"},
    {DataHandler, "DataHandler"},
    {PlayerCharacter, "PlayerCharacter"},
    {ProcessLists, "ProcessLists"},
    {GameVM, "GameVM"},
    {UI, "UI"},
    {ConsoleLog, "ConsoleLog"},
    {INISettingCollection, "INISettingCollection"},
    {ConsoleCommandTable, "ConsoleCommandTable"},
    {Reference3DSetEventSource, "Reference3DSetEventSource"},
    {SaveLoadEventSource, "SaveLoadEventSource"},
    {TESLoadGameEventSource, "TESLoadGameEventSource"},
    {ActorCellChangeEventSource, "ActorCellChangeEventSource"},
    {CellFullyLoadedEventSource, "CellFullyLoadedEventSource"},
    {ResetGame, "ResetGame"},
    {ActorAppearanceProcess, "ActorAppearanceProcess"},
    {AppearanceFlag, "AppearanceFlag"},
};

}  // namespace sim::game_id
