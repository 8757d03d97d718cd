#include "Main/Appearance/ActorBackgroundProcess.h"

#include <algorithm>
#include <chrono>

#include <fmt/chrono.h>

#include "Helpers/Boundary.h"
#include "Helpers/Geometry.h"
#include "Helpers/Log.h"
#include "Helpers/Naming.h"
#include "Main/Game/CellChangeGate.h"
#include "Main/Game/GameObjectCache.h"

// EvalSupportedActor codes, tested in this order:
//   1 no actor or form ID 0          5 process object not live         8 state bit 21 clear
//   2 the player                      6 no high-level process data      10 distance 0 or less, or beyond the maximum
//   3 not created at run time         7 form ID differs from expected   12 supported
//   4 deleted, or no plausible process pointer
// 9 and 11 only mark progress. An actor found unreadable returns the step in progress.

AppearanceProcessRecord AppearanceProcessState;

void AppearanceProcessRecord::Reset() {
  std::scoped_lock guard(queueLock);
  queue.clear();
  queue.shrink_to_fit();
  LastUpdateTime = 0;
  FaceGenProcessorInitialized = false;
  Ticks = 0;
}

namespace {

constexpr std::uint8_t kSupported = 12;
constexpr std::uintptr_t kHighestImplausibleAddress = 0xFFFFFFFF;

bool Plausible(const void* address) noexcept {
  return reinterpret_cast<std::uintptr_t>(address) > kHighestImplausibleAddress;
}

// The actor's memory may be read: the game gave it to us in this call (expectedFormID 0), or the form
// table still maps the ID it had when queued to this very object. A freed actor is out of the table;
// one whose memory holds another actor is there under another ID.
bool ProvenAlive(RE::Actor* actor, std::uint32_t expectedFormID) {
  if (!actor) return false;
  return expectedFormID == 0 || RE::LookupFormByID(expectedFormID) == actor;
}

float DistanceToPlayer(const RE::Actor* actor) {
  const RE::PlayerCharacter* player = CachedPlayer();
  if (!player) return -1.0f;
  return DistanceBetween(actor->position, player->position);
}

struct Tiers {
  bool close = false, distant = false, veryFar = false;
  bool InRange() const { return close || distant || veryFar; }
};

Tiers TiersOf(float distance, const PluginSettingsRecord& settings) {
  Tiers tiers;
  tiers.close = distance <= settings.fFaceGenCloseDistance;
  tiers.distant = !tiers.close && distance <= settings.fFaceGenFarDistance;
  tiers.veryFar = !tiers.close && !tiers.distant && distance <= settings.fFaceGenMaxDistance;
  return tiers;
}

// The evaluation; quiet for the queue's own callers, which must not touch the shared logging switch.
std::uint8_t Evaluate(RE::Actor* actor, std::uint32_t expectedFormID, float* distance, bool quiet,
                      const PluginSettingsRecord& settings) {
  std::uint8_t step = 1;
  if (!actor) return 1;
  if (!ProvenAlive(actor, expectedFormID)) {
    if (!quiet)
      Log::Warn("EvalSupportedActor", "  --> unsupported actor [{}] | exception (iCode: {})", HexAddress{actor}, step);
    return step;
  }
  const std::uint32_t formID = actor->formID;
  if (formID == 0) return 1;
  step = 2;
  if (formID == RE::kPlayerReferenceFormID) return 2;
  step = 3;
  if (formID < 0xFF000000 || formID == 0xFFFFFFFF) return 3;
  step = 4;
  const auto* process = actor->currentProcess;
  if ((actor->formFlags & RE::TESForm::kDeleted) || !Plausible(process)) return 4;
  step = 5;
  if (!Plausible(process->typeTable) || !Plausible(process->typeTable[RE::AIProcess::kLiveEntryOffset / 8])) return 5;
  step = 6;
  if (!process->highProcessData) return 6;
  step = 7;
  if (expectedFormID != 0 && formID != expectedFormID) return 7;
  step = 8;
  if (!(actor->stateFlags & RE::Actor::kSetUpState)) return 8;
  step = 9;
  const float d = DistanceToPlayer(actor);
  step = 10;
  if (!(d > 0.0f) || d > settings.fFaceGenMaxDistance) return 10;
  step = 11;
  if (distance) *distance = d;
  return kSupported;
}

// GetActorLogData for an actor read only when proven alive (see ProvenAlive).
std::string ActorLogData(RE::Actor* actor, std::uint32_t expectedFormID) {
  int step = 1;
  std::string text = fmt::format("[{}]", GetAddressAsHex(actor, false));
  step = 2;
  if (ProvenAlive(actor, expectedFormID)) {
    text += fmt::format(" | [{}]", GetFormIDAsHex(actor->formID));
    step = 3;
    text += fmt::format(" | Distance [{:.6f}]", DistanceToPlayer(actor));
    return text;
  }
  Log::Error("GetActorLogData", "exception while getting log data {} (iError: {})", text, step);
  return text;
}

std::string TierPairs(const Tiers& now, const Tiers& before) {
  return fmt::format(" | Close [{}/{}] | Distant [{}/{}] | VeryFar [{}/{}]", int{now.close}, int{before.close},
                     int{now.distant}, int{before.distant}, int{now.veryFar}, int{before.veryFar});
}

bool AnyCityActive() {
  for (const City city : kCities) {
    const RE::BGSLocation* location = CachedCityLocation(city);
    if (location && location->loadedCount != 0) return true;
  }
  return false;
}

}  // namespace

std::uint8_t ActorBackgroundProcess::EvalSupportedActor(RE::Actor* actor, std::uint32_t expectedFormID,
                                                        float* distance) {
  return Evaluate(actor, expectedFormID, distance, false, SettingsSnapshot());
}

std::string ActorBackgroundProcess::GetActorLogData(RE::Actor* actor) { return ActorLogData(actor, 0); }

bool ActorBackgroundProcess::UpdateAppearance(RE::Actor* actor, bool param02, std::uint32_t flags, bool bRace) {
  if (!actor) return false;
  actor->UpdateAppearance(param02, flags, bRace);
  return true;
}

void ActorBackgroundProcess::QueueUpdate(RE::Actor* actor, const PluginSettingsRecord& settings) {
  constexpr const char* kOp = "QueueUpdate";
  float distance = -1.0f;
  const auto code = Evaluate(actor, 0, &distance, true, settings);
  if (code != kSupported) {
    if (Log::Enabled())
      Log::Warn(kOp, "cannot evaluate queued actor {} | unsupported (code: {})", ActorLogData(actor, 0), code);
    return;
  }
  auto& queue = AppearanceProcessState.queue;
  if (std::any_of(queue.begin(), queue.end(), [&](const QueuedActor& entry) { return entry.actor == actor; })) return;
  const auto tiers = TiersOf(distance, settings);
  queue.push_back(
      {actor, actor->formID, tiers.close, tiers.distant, tiers.veryFar, false, distance, SteadyClockNanoseconds()});
  if (Log::Enabled())
    Log::Info(kOp, "queuing actor {} | Close [{}] | Distant [{}] | VeryFar [{}]", ActorLogData(actor, 0),
              int{tiers.close}, int{tiers.distant}, int{tiers.veryFar});
}

void ActorBackgroundProcess::ProcessActorQueue(const PluginSettingsRecord& settings) {
  constexpr const char* kOp = "ProcessActorQueue";
  auto& state = AppearanceProcessState;
  if (!state.FaceGenProcessorInitialized.load(std::memory_order_relaxed)) {
    if (Log::Enabled())
      Log::Info(kOp, "FaceGenProcessorInitialized ---> [{:L%F %T} | Ticks: {}]", std::chrono::system_clock::now(),
                state.Ticks.load(std::memory_order_relaxed));
    state.FaceGenProcessorInitialized.store(true, std::memory_order_relaxed);
  }
  auto& queue = state.queue;
  if (queue.empty()) return;
  if (!AnyCityActive()) {
    Log::Error(kOp, "clean up (initial size: {})", queue.size());
    queue.clear();
    return;
  }
  const auto now = SteadyClockNanoseconds();
  if (now - state.LastUpdateTime <= std::int64_t{settings.iFaceGenActorUpdateTime} * 1'000'000) return;
  if (queue.size() >= 40)
    std::sort(queue.begin(), queue.end(),
              [](const QueuedActor& a, const QueuedActor& b) { return a.distance < b.distance; });

  const auto queuedWait = std::int64_t{settings.iQueuedActorTime} * 1'000'000;
  for (std::size_t i = 0; i < queue.size();) {
    auto& entry = queue[i];
    if (now - entry.queuedTime <= queuedWait) {
      ++i;
      continue;
    }
    float distance = -1.0f;
    const auto code = Evaluate(entry.actor, entry.formID, &distance, true, settings);
    if (code != kSupported) {
      if (Log::Enabled())
        Log::Warn(kOp, "cannot evaluate queued actor {} | unsupported (code: {})",
                  ActorLogData(entry.actor, entry.formID), code);
      queue.erase(queue.begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    const Tiers before{entry.close, entry.distant, entry.veryFar};
    const Tiers tiers = TiersOf(distance, settings);
    if (!tiers.InRange()) {
      if (Log::Enabled())
        Log::Warn(kOp, "cannot evaluate (and removing) queued actor {}{} | out of range",
                  ActorLogData(entry.actor, entry.formID), TierPairs(tiers, before));
      queue.erase(queue.begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    entry.close = tiers.close;
    entry.distant = tiers.distant;
    entry.veryFar = tiers.veryFar;
    const char* reason = nullptr;
    if (!entry.updated)
      reason = "recently queued";
    else if (tiers.close && before.distant)
      reason = "close proximity entered";
    if (!reason) {
      ++i;
      continue;
    }
    if (Log::Enabled())
      Log::Info(kOp, "updating ({}) actor {}{}", reason, ActorLogData(entry.actor, entry.formID),
                TierPairs(tiers, before));
    UpdateAppearance(entry.actor, false, 0, false);
    state.LastUpdateTime = now;
    entry.updated = true;
    return;
  }
}

namespace {

// Set while this thread runs a pass: the game's update may call its appearance function again, and
// that nested call must not try the queue lock this thread already holds.
thread_local bool insidePass = false;

void RunPass(RE::Actor* actor) {
  const auto& menus = CellEventState.menus;
  const auto settings = SettingsSnapshot();
  if (!settings.bFaceGenProcessor || menus.bEndCredits || menus.bLoadingMenu) return;
  auto& state = AppearanceProcessState;
  if (state.Ticks.load(std::memory_order_relaxed) > settings.iTESLoadGameEventTimeTicks) {
    insidePass = true;
    Boundary::Guarded("Process", [&] {
      std::unique_lock lock(state.queueLock, std::try_to_lock);
      if (!lock) {
        Log::Warn("Process", "could not lock array, skipping phase");
        return;
      }
      ActorBackgroundProcess::ProcessActorQueue(settings);
      ActorBackgroundProcess::QueueUpdate(actor, settings);
    });
    insidePass = false;
  } else if (!menus.bFaderMenu) {
    state.Ticks.fetch_add(1, std::memory_order_relaxed);
  }
}

}  // namespace

char ActorBackgroundProcess::AppearanceHook::Process(RE::Actor* actor, std::uint64_t argument) {
  if (!insidePass) RunPass(actor);
  return savedTarget(actor, argument);
}
