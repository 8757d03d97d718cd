#include "Main/Startup.h"

#include "Helpers/Boundary.h"
#include "Helpers/Log.h"
#include "Main/ActorBackgroundProcess.h"
#include "Main/ConsoleCommand.h"
#include "Main/CellChangeGate.h"
#include "Main/CellEvents.h"
#include "Main/CitizenIdentity.h"
#include "Main/GameObjectCache.h"
#include "Main/MenuEvents.h"
#include "Main/ModChanges.h"
#include "Main/ResetHooks.h"
#include "Main/SaveLoadEvents.h"
#include "Main/Settings.h"
#include "RE/IDs.h"
#include "REL/ID.h"
#include "SFSE/Trampoline.h"

namespace {

constexpr const char* kOp = "HandleOnPostDataLoad";
constexpr std::size_t kTrampolineSize = 256;

// A call inside a game function that one of our hooks takes over.
struct HookSite {
  const char* name;  // as the log names it
  std::uint64_t function;
  std::uintptr_t callOffset;
  std::uintptr_t hook;
  std::uintptr_t& savedTarget;
};

// Redirects the site's call to its hook and keeps the call's previous target; a site that could not
// be patched is logged by name and left as the game has it.
bool InstallHook(const HookSite& site) {
  const auto address = REL::ResolveAddressLibraryID(site.function) + site.callOffset;
  const auto patch = SFSE::GetTrampoline().patch_call(address, site.hook);
  switch (patch.result) {
    case SFSE::CallPatch::kPatched: site.savedTarget = patch.previousTarget; return true;
    case SFSE::CallPatch::kNotACall:
      Log::Error(kOp,
                 "couldn't patch {}: the code at +0x{:X} is not a relative call (another mod's patch?), left alone",
                 site.name, site.callOffset);
      return false;
    case SFSE::CallPatch::kNotWritable:
      Log::Error(kOp, "couldn't patch {}: the code at +0x{:X} could not be made writable", site.name, site.callOffset);
      return false;
  }
  return false;
}

void InstallResetHooks() {
  if (InstallHook({"Vanilla::ResetGame() (HandleGameResetBegin)", RE::ID::ResetGame, RE::Offset::ResetGameBeginCall,
                   reinterpret_cast<std::uintptr_t>(&HandleGameResetBegin::HandleGameResetBeginFunc),
                   HandleGameResetBegin::savedTarget}))
    Log::Info(kOp, "successfully patched Vanilla::ResetGame() (HandleGameResetBegin)");
  if (InstallHook({"Vanilla::ResetGame() (HandleGameResetFinish)", RE::ID::ResetGame, RE::Offset::ResetGameFinishCall,
                   reinterpret_cast<std::uintptr_t>(&HandleGameResetFinish::HandleGameResetFinishFunc),
                   HandleGameResetFinish::savedTarget}))
    Log::Info(kOp, "successfully patched Vanilla::ResetGame() (HandleGameResetFinish)");
}

void InstallFaceGenProcessor() {
  if (!PluginSettings.bFaceGenProcessor) {
    Log::Warn(kOp, "custom FaceGen processor is inactive");
    return;
  }
  auto* appearanceFlag = GameAppearanceFlagOrExit();
  const std::uint8_t gameSetting = *appearanceFlag;
  if (gameSetting != 0) *appearanceFlag = 0;
  if (!InstallHook({"Vanilla::ActorAppearanceProcess() (FaceGen processor)", RE::ID::ActorAppearanceProcess,
                    RE::Offset::AppearanceProcessCall,
                    reinterpret_cast<std::uintptr_t>(&ActorBackgroundProcess::TargetFuncStruct::Process),
                    ActorBackgroundProcess::TargetFuncStruct::savedTarget})) {
    // Nothing of ours runs in its place: the game's own processing must not stay switched off.
    *appearanceFlag = gameSetting;
    return;
  }
  Log::Info(kOp, "successfully initialized custom FaceGen processor");
}

void RegisterEventHandlers(RE::UI* ui) {
  RE::RegisterEventSink(RE::GetEventSource<RE::ID::Reference3DSetEventSource>(),
                        Events::QuillmereReferenceSet3dClass::GetSingleton());
  RE::RegisterEventSink(RE::GetEventSource<RE::ID::SaveLoadEventSource>(),
                        Events::QuillmereSaveLoadEventClass::GetSingleton());
  RE::RegisterEventSink(RE::GetEventSource<RE::ID::TESLoadGameEventSource>(),
                        Events::QuillmereTESLoadGameEventClass::GetSingleton());
  RE::RegisterEventSink(RE::GetEventSource<RE::ID::ActorCellChangeEventSource>(),
                        Events::QuillmereActorCellChangeEventClass::GetSingleton());
  RE::RegisterEventSink(RE::GetEventSource<RE::ID::CellFullyLoadedEventSource>(),
                        Events::QuillmereTESCellFullyLoadedEventClass::GetSingleton());
  if (!ui) {
    Log::Error(kOp, "the UI is missing: menu events will not be handled");
    return;
  }
  RE::RegisterEventSink(ui->MenuOpenCloseEventSource(), Events::QuillmereMenuOpenCloseEventClass::GetSingleton());
}

void RunStartupSequence() {
  Log::Info(kOp, "kPostDataLoad");
  RefreshGameObjectCache();
  SFSE::AllocTrampoline(kTrampolineSize);
  InstallResetHooks();
  ReloadINISettings(true);
  InstallFaceGenProcessor();
  SaveAllowedCellChangeTime();
  BuildUniqueNPCDatabase(kOp);
  auto* ui = RefreshGameObjectCache();
  if (!ApplyDataToAllLocations()) {
    Log::Error(kOp, "apply data error, shutting down");
    return;
  }
  AdjustGameSettings(kOp);
  if (!Install_Command_Quillmere()) {
    Log::Error(kOp, "command couldn't be registered, shutting down");
    return;
  }
  RegisterEventHandlers(ui);
  Log::Info(kOp, "installation complete");
}

}  // namespace

void HandleOnPostDataLoad(SFSE::MessagingInterface::Message* message) noexcept {
  if (!message || message->type != SFSE::MessagingInterface::kPostDataLoad) return;
  // A failed step leaves the game as it is.
  Boundary::Guarded(kOp, RunStartupSequence);
}
