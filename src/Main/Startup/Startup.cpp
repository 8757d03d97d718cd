#include "Main/Startup/Startup.h"

#include <atomic>
#include <span>
#include <vector>

#include "Helpers/Boundary.h"
#include "Helpers/Log.h"
#include "Main/Appearance/ActorBackgroundProcess.h"
#include "Main/Console/ConsoleCommand.h"
#include "Main/Game/CellChangeGate.h"
#include "Main/Events/CellEvents.h"
#include "Main/Citizens/CitizenIdentity.h"
#include "Main/Game/GameObjectCache.h"
#include "Main/Events/MenuEvents.h"
#include "Main/Changes/ModChanges.h"
#include "Main/Startup/ResetHooks.h"
#include "Main/Events/SaveLoadEvents.h"
#include "Main/Settings/Settings.h"
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
  std::atomic<std::uintptr_t>& savedTarget;  // a SavedTarget's address
};

void LogRefusal(const HookSite& site, SFSE::CallPatch::Result result) {
  switch (result) {
    case SFSE::CallPatch::kNotACall:
      Log::Error(kOp,
                 "couldn't patch {}: the code at +0x{:X} is not a relative call (another mod's patch?), left alone",
                 site.name, site.callOffset);
      break;
    case SFSE::CallPatch::kNotWritable:
      Log::Error(kOp, "couldn't patch {}: the code at +0x{:X} could not be made writable", site.name, site.callOffset);
      break;
    case SFSE::CallPatch::kChangedMeanwhile:
      Log::Error(kOp, "couldn't patch {}: the code at +0x{:X} changed while it was being patched, left alone",
                 site.name, site.callOffset);
      break;
    case SFSE::CallPatch::kPatched:
    case SFSE::CallPatch::kNotAttempted: break;
  }
}

// Redirects every site's call to its hook, or none of them: hooks that only work together are never
// half installed. Each call's previous target is stored before its site is written. Refused sites are
// logged by name and left as the game has them.
bool InstallHooks(std::span<const HookSite> sites) {
  std::vector<SFSE::CallRedirect> redirects;
  for (const auto& site : sites)
    redirects.push_back({REL::ResolveAddressLibraryID(site.function) + site.callOffset, site.hook, &site.savedTarget});
  const auto results = SFSE::GetTrampoline().patch_calls(redirects);
  bool patched = true;
  for (std::size_t i = 0; i < sites.size(); ++i) {
    LogRefusal(sites[i], results[i].result);
    patched = patched && results[i].result == SFSE::CallPatch::kPatched;
  }
  return patched;
}

void InstallResetHooks() {
  const HookSite sites[] = {
      {"Vanilla::ResetGame() (HandleGameResetBegin)", RE::ID::ResetGame, RE::Offset::ResetGameBeginCall,
       reinterpret_cast<std::uintptr_t>(&HandleGameResetBegin::HandleGameResetBeginFunc),
       HandleGameResetBegin::savedTarget.address()},
      {"Vanilla::ResetGame() (HandleGameResetFinish)", RE::ID::ResetGame, RE::Offset::ResetGameFinishCall,
       reinterpret_cast<std::uintptr_t>(&HandleGameResetFinish::HandleGameResetFinishFunc),
       HandleGameResetFinish::savedTarget.address()},
  };
  // Begin alone would re-apply the cities over our own arrays at every reset; finish alone would
  // revert them and never apply them again.
  if (!InstallHooks(sites)) {
    Log::Error(kOp, "couldn't patch both {} and {}: neither is patched, game resets keep the leveled lists as they are",
               sites[0].name, sites[1].name);
    return;
  }
  for (const auto& site : sites) Log::Info(kOp, "successfully patched {}", site.name);
}

void InstallFaceGenProcessor() {
  if (!PluginSettings.bFaceGenProcessor) {
    Log::Warn(kOp, "custom FaceGen processor is inactive");
    return;
  }
  auto* appearanceFlag = GameAppearanceFlagOrExit();
  const std::uint8_t gameSetting = *appearanceFlag;
  if (gameSetting != 0) *appearanceFlag = 0;
  const HookSite site{"Vanilla::ActorAppearanceProcess() (FaceGen processor)", RE::ID::ActorAppearanceProcess,
                      RE::Offset::AppearanceProcessCall,
                      reinterpret_cast<std::uintptr_t>(&ActorBackgroundProcess::AppearanceHook::Process),
                      ActorBackgroundProcess::AppearanceHook::savedTarget.address()};
  if (!InstallHooks({&site, 1})) {
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
