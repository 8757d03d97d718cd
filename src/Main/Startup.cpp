#include "Main/Startup.h"

#include <cstring>

#include "Helpers/Log.h"
#include "Main/ActorBackgroundProcess.h"
#include "Main/ApplyDataToLocation.h"
#include "Main/CellChangeGate.h"
#include "Main/CellEvents.h"
#include "Main/CitizenIdentity.h"
#include "Main/FatalErrorBox.h"
#include "Main/GameObjectCache.h"
#include "Main/LocationData.h"
#include "Main/ResetHooks.h"
#include "Main/Settings.h"
#include "Main/UniqueNPCDefinitions.h"
#include "RE/IDs.h"
#include "REL/ID.h"
#include "SFSE/Trampoline.h"

namespace {

constexpr const char* kOp = "HandleOnPostDataLoad";
constexpr std::size_t kTrampolineSize = 256;

// Redirects the 5-byte call at site to destination; returns the call's previous target.
std::uintptr_t PatchCall(std::uintptr_t site, std::uintptr_t destination) {
  std::int32_t displacement = 0;
  std::memcpy(&displacement, reinterpret_cast<const void*>(site + 1), sizeof(displacement));
  const std::uintptr_t previous = site + 5 + static_cast<std::intptr_t>(displacement);
  SFSE::GetTrampoline().write_5branch(site, destination);
  return previous;
}

void InstallResetHooks() {
  const auto resetGame = REL::ResolveAddressLibraryID(RE::ID::ResetGame);
  HandleGameResetBegin::savedTarget =
      PatchCall(resetGame + RE::Offset::ResetGameBeginCall,
                reinterpret_cast<std::uintptr_t>(&HandleGameResetBegin::HandleGameResetBeginFunc));
  Log::Info(kOp, "successfully patched Vanilla::ResetGame() (HandleGameResetBegin)");
  HandleGameResetFinish::savedTarget =
      PatchCall(resetGame + RE::Offset::ResetGameFinishCall,
                reinterpret_cast<std::uintptr_t>(&HandleGameResetFinish::HandleGameResetFinishFunc));
  Log::Info(kOp, "successfully patched Vanilla::ResetGame() (HandleGameResetFinish)");
}

void InstallFaceGenProcessor() {
  if (!PluginSettings.bFaceGenProcessor) {
    Log::Warn(kOp, "custom FaceGen processor is inactive");
    return;
  }
  auto* appearanceFlag = reinterpret_cast<std::uint8_t*>(REL::ResolveAddressLibraryID(RE::ID::AppearanceFlag));
  if (!appearanceFlag) ShowFatalErrorAndExit("Error: custom FaceGen processor couldn't be initialized");
  if (*appearanceFlag != 0) *appearanceFlag = 0;
  ActorBackgroundProcess::TargetFuncStruct::savedTarget =
      PatchCall(REL::ResolveAddressLibraryID(RE::ID::ActorAppearanceProcess) + RE::Offset::AppearanceProcessCall,
                reinterpret_cast<std::uintptr_t>(&ActorBackgroundProcess::TargetFuncStruct::Process));
  Log::Info(kOp, "successfully initialized custom FaceGen processor");
}

// An empty database leaves the cities without unique NPCs; the sequence goes on.
void BuildUniqueNPCDatabase() {
  const auto [uniqueNPCs, records] = BuildUniqueNPCsDB({});
  if (uniqueNPCs < 1 || records < 1)
    Log::Error(kOp, "Couldn't build UniqueNPCsDB. UniqueNPCCount: {}. UniqueNPCsLocationsCount: {}. Unique NPCs will not be encountered with.",
               uniqueNPCs, records);
  else
    Log::Info(kOp, "UniqueNPCsDB has been built. UniqueNPCCount: {}. UniqueNPCsLocationsCount: {}", uniqueNPCs, records);
}

// Steps whose operations arrive with later work. Each stands at its place in the sequence and
// does nothing yet, so the order never changes when one is filled in.
void AdjustGameSettings() {}
bool InstallConsoleCommand() { return true; }
// The save/load, game-loaded and menu handlers arrive with later work, at their places here.
void RegisterEventHandlers(RE::UI*) {
  RE::RegisterEventSink(RE::GetEventSource<RE::ID::Reference3DSetEventSource>(),
                        Events::QuillmereReferenceSet3dClass::GetSingleton());
  RE::RegisterEventSink(RE::GetEventSource<RE::ID::ActorCellChangeEventSource>(),
                        Events::QuillmereActorCellChangeEventClass::GetSingleton());
  RE::RegisterEventSink(RE::GetEventSource<RE::ID::CellFullyLoadedEventSource>(),
                        Events::QuillmereTESCellFullyLoadedEventClass::GetSingleton());
}

void RunStartupSequence() {
  Log::Info(kOp, "kPostDataLoad");
  RefreshGameObjectCache();
  SFSE::AllocTrampoline(kTrampolineSize);
  InstallResetHooks();
  ReloadINISettings(true);
  InstallFaceGenProcessor();
  SaveAllowedCellChangeTime();
  BuildUniqueNPCDatabase();
  auto* ui = RefreshGameObjectCache();
  for (int city = kFirstLocationIndex; city <= kLastLocationIndex; ++city) {
    if (!ApplyDataToLocation(city)) {
      Log::Error(kOp, "apply data error, shutting down");
      return;
    }
  }
  AdjustGameSettings();
  if (!InstallConsoleCommand()) {
    Log::Error(kOp, "command couldn't be registered, shutting down");
    return;
  }
  RegisterEventHandlers(ui);
  Log::Info(kOp, "installation complete");
}

}  // namespace

void HandleOnPostDataLoad(SFSE::MessagingInterface::Message* message) noexcept {
  if (!message || message->type != SFSE::MessagingInterface::kPostDataLoad) return;
  try {
    RunStartupSequence();
  } catch (...) {
    // Nothing may unwind into the host; a failed step leaves the game as it is.
  }
}
