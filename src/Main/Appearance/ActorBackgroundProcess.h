#pragma once
// The background appearance process: nearby run-time actors that pass through the game's appearance
// call are queued and get their appearance updated one at a time, by distance tier.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "Helpers/PluginSettings.h"
#include "RE/P/PlayerCharacter.h"
#include "SFSE/Trampoline.h"

struct QueuedActor {
  RE::Actor* actor;  // not owned; read only while a lookup of formID still gives this pointer
  std::uint32_t formID;
  bool close, distant, veryFar;
  bool updated;
  float distance;           // when queued
  std::int64_t queuedTime;  // steady clock, nanoseconds
};

struct AppearanceProcessRecord {
  // Guards queue and LastUpdateTime; only ever tried, so the game's thread never waits.
  std::mutex queueLock;
  std::vector<QueuedActor> queue;
  std::int64_t LastUpdateTime = 0;  // steady clock, nanoseconds
  // Written by the load, save and reset handlers on other threads, without the lock.
  std::atomic<bool> FaceGenProcessorInitialized{false};
  std::atomic<std::int32_t> Ticks{0};

  void Reset();
};

extern AppearanceProcessRecord AppearanceProcessState;

struct ActorBackgroundProcess {
  // Replaces the call at ActorAppearanceProcess+0x4F; always ends in the game's own call.
  struct AppearanceHook {
    static char Process(RE::Actor* actor, std::uint64_t argument);
    // Stored before the call is patched: a game thread may reach the patched call at once.
    static inline SFSE::SavedTarget<char(RE::Actor*, std::uint64_t)> savedTarget;
  };

  // The caller holds queueLock; settings is the pass's one snapshot.
  static void QueueUpdate(RE::Actor* actor, const PluginSettingsRecord& settings);
  static void ProcessActorQueue(const PluginSettingsRecord& settings);

  // 12 when the actor may be queued or updated; the table of codes is in the .cpp. With a non-zero
  // expectedFormID the actor is read only after a lookup of that ID gives the same pointer. The game
  // offers no way to hold an actor from the pointer its call hands us, so a lookup proves it alive
  // only at that moment: the reads that follow are kept few.
  static std::uint8_t EvalSupportedActor(RE::Actor* actor, std::uint32_t expectedFormID, float* distance);
  static std::string GetActorLogData(RE::Actor* actor);
  static bool UpdateAppearance(RE::Actor* actor, bool param02, std::uint32_t flags, bool bRace);
};
