// The background appearance process, driven through its hook as the game's threads call it.
#include <gtest/gtest.h>

#include "FormsBack.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "Actors.h"
#include "Appearance.h"
#include "GameFolder.h"
#include "GameForms.h"
#include "Helpers/Ini.h"
#include "Helpers/PluginSettings.h"
#include "LogCapture.h"
#include "Main/Appearance/ActorBackgroundProcess.h"
#include "Main/Game/CellChangeGate.h"
#include "Main/Game/GameObjectCache.h"
#include "Main/Startup/PluginState.h"
#include "Main/Settings/Settings.h"
#include "Main/Events/SaveLoadEvents.h"
#include "RE/VirtualCall.h"

using Process = ActorBackgroundProcess;
using Lines = std::vector<std::string>;

namespace {

// The plug-in after start-up with the process warmed up, the player at the origin in New Atlantis.
struct Appearance {
  test::GameFolder game;
  FormsBack restore;
  std::vector<RE::Actor*> actors;
  std::uint64_t nextArgument = 1;

  Appearance() {
    ResetPluginState();
    Process::AppearanceHook::savedTarget = sim::AppearanceTargetAddress();
    sim::PlacePlayer({0, 0, 0});
    SetCityActive(true);
    RefreshGameObjectCache();
    AppearanceProcessState.Ticks = PluginSettings.iTESLoadGameEventTimeTicks + 1;
    PluginSettings.iQueuedActorTime = 20;
    PluginSettings.iFaceGenActorUpdateTime = 0;
  }
  ~Appearance() {
    for (auto* actor : actors)
      if (!sim::WasFreed(actor)) sim::DeleteActor(actor);
    SetCityActive(false);
    ResetPluginState();
    RefreshGameObjectCache();
  }
  static void SetCityActive(bool active) { sim::CityLocation(1)->loadedCount = active ? 1 : 0; }

  RE::Actor* Spawn(float x) {
    auto* base = static_cast<RE::TESNPC*>(sim::AddNPC(0x00F00000 + static_cast<std::uint32_t>(actors.size()), true));
    actors.push_back(sim::CreateActor(sim::NextRuntimeFormID(), base, {x, 0, 0}, sim::CityLocation(1)));
    return actors.back();
  }
  // One hooked call, as the game makes it; the game's own result must come back unchanged.
  void Call(RE::Actor* actor) {
    const auto argument = nextArgument++ * 0x9E3779B97F4A7C15ull;
    const auto before = sim::AppearanceCallTotals().targetCalls;
    EXPECT_EQ(Process::AppearanceHook::Process(actor, argument), sim::AppearanceOwnResult(actor, argument));
    EXPECT_EQ(sim::AppearanceCallTotals().targetCalls, before + 1);
  }
  static std::size_t Queued() { return AppearanceProcessState.queue.size(); }
  static void WaitQueued() { std::this_thread::sleep_for(std::chrono::milliseconds(30)); }
};

std::string Hex(const void* p) { return fmt::format("{:X}", reinterpret_cast<std::uintptr_t>(p)); }
std::string Data(RE::Actor* actor, float distance) {
  return fmt::format("[{}] | [{:08X}] | Distance [{:.6f}]", Hex(actor), actor->formID, distance);
}

}  // namespace

TEST(ActorBackgroundProcess, WaitsForTicksOutsideTheFaderThenStartsWithItsLine) {
  Appearance world;
  test::LogCapture log;
  AppearanceProcessState.Ticks = 0;
  PluginSettings.iTESLoadGameEventTimeTicks = 300;
  auto* actor = world.Spawn(30);
  for (int i = 0; i < 300; ++i) world.Call(actor);
  // Nothing counts or runs while the fader, a loading screen or the end credits are shown, or while off.
  for (Relaxed<bool>* flag : {&CellEventState.menus.bFaderMenu, &CellEventState.menus.bLoadingMenu,
                              &CellEventState.menus.bEndCredits, &PluginSettings.bFaceGenProcessor}) {
    const bool before = *flag;
    *flag = !before;
    for (int i = 0; i < 20; ++i) world.Call(actor);
    *flag = before;
  }
  world.Call(actor);
  EXPECT_EQ(AppearanceProcessState.Ticks, 301);
  EXPECT_TRUE(log.lines().empty());
  EXPECT_EQ(world.Queued(), 0u);

  world.Call(actor);
  const auto lines = log.lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[0].starts_with("info|[ProcessActorQueue] FaceGenProcessorInitialized ---> [")) << lines[0];
  EXPECT_TRUE(lines[0].ends_with(" | Ticks: 301]")) << lines[0];
  EXPECT_EQ(lines[1],
            "info|[QueueUpdate] queuing actor " + Data(actor, 30) + " | Close [0] | Distant [1] | VeryFar [0]");
  world.Call(actor);  // seen twice, queued once
  EXPECT_EQ(world.Queued(), 1u);
  EXPECT_EQ(log.lines().size(), 2u);

  // A save loaded from the pause menu and a loaded game make it wait again.
  CellEventState.menus.bPauseMenu = true;
  RE::VirtualCall<RE::BSEventNotifyControl>(Events::QuillmereSaveLoadEventClass::GetSingleton(), 1,
                                            static_cast<const RE::Events::SaveLoadEvent*>(nullptr),
                                            static_cast<RE::BSTEventSource*>(nullptr));
  EXPECT_FALSE(AppearanceProcessState.FaceGenProcessorInitialized);
  EXPECT_EQ(AppearanceProcessState.Ticks, 0);
  AppearanceProcessState.Ticks = 5;
  RE::VirtualCall<RE::BSEventNotifyControl>(Events::QuillmereTESLoadGameEventClass::GetSingleton(), 1,
                                            static_cast<const RE::Events::TESLoadGameEvent*>(nullptr),
                                            static_cast<RE::BSTEventSource*>(nullptr));
  EXPECT_EQ(AppearanceProcessState.Ticks, 0);
}

TEST(ActorBackgroundProcess, EvaluationCodesInOrder) {
  Appearance world;
  auto* player = RE::PlayerCharacter::GetSingleton();
  float d = -1.0f;
  EXPECT_EQ(Process::EvalSupportedActor(nullptr, 0, &d), 1);
  EXPECT_EQ(Process::EvalSupportedActor(player, 0, &d), 2);

  auto* editorPlaced = world.Spawn(30);
  sim::RemoveForm(editorPlaced->formID);
  editorPlaced->formID = 0x00012345;
  editorPlaced->formFlags |= RE::TESForm::kDeleted;  // code 3 is tested first
  EXPECT_EQ(Process::EvalSupportedActor(editorPlaced, 0, &d), 3);

  auto* actor = world.Spawn(30);
  const auto check = [&](std::uint8_t code, std::uint32_t expected = 0) {
    d = -1.0f;
    EXPECT_EQ(Process::EvalSupportedActor(actor, expected, &d), code);
    EXPECT_EQ(d, code == 12 ? 30.0f : -1.0f);
  };
  check(12, actor->formID);
  actor->formFlags |= RE::TESForm::kDeleted;
  check(4);
  actor->formFlags &= ~RE::TESForm::kDeleted;
  auto* process = actor->currentProcess;
  actor->currentProcess = reinterpret_cast<RE::AIProcess*>(std::uintptr_t{0xFFFFFFFF});
  check(4);
  actor->currentProcess = process;
  const auto* table = process->typeTable;
  const void* const dead[] = {nullptr, nullptr, reinterpret_cast<const void*>(std::uintptr_t{0x1000}), nullptr};
  process->typeTable = dead;
  check(5);
  process->typeTable = table;
  auto* high = process->highProcessData;
  process->highProcessData = nullptr;
  check(6);
  process->highProcessData = high;
  // The form table maps another ID to this very object: alive, but not the actor that was queued.
  sim::GetWorld().forms[0xFF0FFFFF] = actor;
  check(7, 0xFF0FFFFF);
  actor->stateFlags &= ~RE::Actor::kSetUpState;
  check(8);
  actor->stateFlags |= RE::Actor::kSetUpState;
  actor->position = {0, 0, 0};
  check(10);
  actor->position = {PluginSettings.fFaceGenMaxDistance + 0.5f, 0, 0};
  check(10);
  actor->position = {30, 0, 0};
  check(12);

  // An ID that no longer leads to the actor: it is not read, and the caller is told so.
  test::LogCapture log;
  check(1, 0xFF0FFFFE);
  EXPECT_EQ(log.lines(),
            Lines{"warning|[EvalSupportedActor]   --> unsupported actor [" + Hex(actor) + "] | exception (iCode: 1)"});
  EXPECT_EQ(Process::GetActorLogData(actor), Data(actor, 30));
  EXPECT_FALSE(Process::UpdateAppearance(nullptr, false, 0, false));
}

TEST(ActorBackgroundProcess, UpdatesOnceThenOnlyOnDistantToCloseAndDropsOutOfRange) {
  Appearance world;
  test::LogCapture log;
  auto* player = RE::PlayerCharacter::GetSingleton();
  auto* actor = world.Spawn(30);
  world.Call(actor);
  world.Call(player);  // the player is never queued; before the wait nothing is updated
  EXPECT_EQ(sim::AppearanceUpdatesOf(actor->formID), 0);
  EXPECT_EQ(log.lines().back(),
            "warning|[QueueUpdate] cannot evaluate queued actor " + Data(player, 0) + " | unsupported (code: 2)");
  Appearance::WaitQueued();
  log.clear();
  world.Call(player);
  EXPECT_EQ(log.linesOf("ProcessActorQueue"),
            Lines{"info|[ProcessActorQueue] updating (recently queued) actor " + Data(actor, 30) +
                  " | Close [0/0] | Distant [1/1] | VeryFar [0/0]"});
  world.Call(player);
  EXPECT_EQ(sim::AppearanceUpdatesOf(actor->formID), 1);

  actor->position = {15, 0, 0};
  log.clear();
  world.Call(player);
  EXPECT_EQ(log.linesOf("ProcessActorQueue"),
            Lines{"info|[ProcessActorQueue] updating (close proximity entered) actor " + Data(actor, 15) +
                  " | Close [1/0] | Distant [0/1] | VeryFar [0/0]"});
  EXPECT_EQ(sim::AppearanceUpdatesOf(actor->formID), 2);
  actor->position = {100, 0, 0};
  world.Call(player);
  actor->position = {15, 0, 0};
  world.Call(player);
  EXPECT_EQ(sim::AppearanceUpdatesOf(actor->formID), 2);  // VeryFar to Close is no reason

  actor->position = {PluginSettings.fFaceGenMaxDistance + 1, 0, 0};
  log.clear();
  world.Call(player);
  EXPECT_EQ(log.linesOf("ProcessActorQueue"), Lines{"warning|[ProcessActorQueue] cannot evaluate queued actor " +
                                                    Data(actor, 121) + " | unsupported (code: 10)"});
  EXPECT_EQ(world.Queued(), 0u);
}

TEST(ActorBackgroundProcess, OnePassUpdatesOneActorSortsFromFortyAndCleansUpWithoutACity) {
  for (const std::size_t count : {39u, 40u}) {
    Appearance world;
    PluginSettings.bLogging = false;
    for (std::size_t i = 0; i < count; ++i) world.Call(world.Spawn(100.0f - static_cast<float>(i)));
    Appearance::WaitQueued();
    world.Call(RE::PlayerCharacter::GetSingleton());
    const auto updated = std::count_if(world.actors.begin(), world.actors.end(),
                                       [](RE::Actor* a) { return sim::AppearanceUpdatesOf(a->formID) == 1; });
    EXPECT_EQ(updated, 1);
    // Below forty the queue keeps its order (the first queued, the farthest, comes first); from
    // forty it is sorted nearest first.
    auto* first = count < 40 ? world.actors.front() : world.actors.back();
    EXPECT_EQ(sim::AppearanceUpdatesOf(first->formID), 1) << count;

    PluginSettings.bLogging = true;
    test::LogCapture log;
    Appearance::SetCityActive(false);
    world.Call(RE::PlayerCharacter::GetSingleton());
    world.Call(RE::PlayerCharacter::GetSingleton());
    EXPECT_EQ(log.linesOf("ProcessActorQueue"),
              Lines{fmt::format("error|[ProcessActorQueue] clean up (initial size: {})", count)});
    EXPECT_EQ(world.Queued(), 0u);
  }
}

TEST(ActorBackgroundProcess, BusyQueueSkipsThePhaseButNotTheGamesCall) {
  Appearance world;
  test::LogCapture log;
  auto* actor = world.Spawn(30);
  std::atomic<bool> held{false}, release{false};
  std::thread holder([&] {
    std::scoped_lock guard(AppearanceProcessState.queueLock);
    held = true;
    while (!release) std::this_thread::yield();
  });
  while (!held) std::this_thread::yield();
  world.Call(actor);
  release = true;
  holder.join();
  EXPECT_EQ(log.lines(), Lines{"warning|[Process] could not lock array, skipping phase"});
  EXPECT_EQ(world.Queued(), 0u);
  EXPECT_FALSE(AppearanceProcessState.FaceGenProcessorInitialized);
}

TEST(ActorBackgroundProcess, FreedAndReusedActorsAreDroppedWithoutBeingRead) {
  Appearance world;
  auto* freed = world.Spawn(30);
  auto* reused = world.Spawn(40);
  const auto freedID = freed->formID;
  world.Call(freed);
  world.Call(reused);
  ASSERT_EQ(world.Queued(), 2u);
  sim::FreeActor(freed, false);
  auto* other = sim::FreeActor(reused, true);
  ASSERT_EQ(other, reused);
  const auto otherID = other->formID;
  Appearance::WaitQueued();
  test::LogCapture log;
  // A read of the freed actor would stop this process.
  world.Call(RE::PlayerCharacter::GetSingleton());
  EXPECT_EQ(
      log.linesOf("ProcessActorQueue"),
      (Lines{"warning|[ProcessActorQueue] cannot evaluate queued actor [" + Hex(freed) + "] | unsupported (code: 1)",
             "warning|[ProcessActorQueue] cannot evaluate queued actor [" + Hex(other) + "] | unsupported (code: 1)"}));
  EXPECT_EQ(log.linesOf("GetActorLogData"),
            (Lines{"error|[GetActorLogData] exception while getting log data [" + Hex(freed) + "] (iError: 2)",
                   "error|[GetActorLogData] exception while getting log data [" + Hex(other) + "] (iError: 2)"}));
  EXPECT_EQ(world.Queued(), 0u);
  EXPECT_EQ(sim::AppearanceUpdatesOf(freedID), 0);
  EXPECT_EQ(sim::AppearanceUpdatesOf(otherID), 0);
}

TEST(ActorBackgroundProcess, FourThreadsWithReloadsLoseNothingAndKeepTheFilesLoggingSwitch) {
  Appearance world;
  PluginSettings.bLogging = false;
  const std::filesystem::path data = Ini::kDataFolder;
  for (const auto& [key, value] :
       {std::pair{"iFaceGenActorUpdateTime", "2"}, {"iQueuedActorTime", "1"}, {"iTESLoadGameEventTimeTicks", "0"}})
    Ini::WriteIniValue("Settings", "FaceGen", key, value, data);
  Ini::WriteIniValue("Settings", "Debug", "bLogging", "0", data);
  ReloadINISettings(true);
  for (int i = 0; i < 12; ++i) world.Spawn(10.0f + 4.0f * static_cast<float>(i));
  const auto totalsBefore = sim::AppearanceCallTotals();
  std::vector<std::int64_t> passTimes;  // written under the queue lock the plug-in holds while it updates
  sim::OnAppearanceUpdate([&] { passTimes.push_back(AppearanceProcessState.LastUpdateTime); });

  std::atomic<bool> done{false};
  bool lastWritten = false;
  std::thread reloader([&] {
    for (int i = 0; !done; ++i) {
      lastWritten = i % 2 == 1;
      Ini::WriteIniValue("Settings", "Debug", "bLogging", lastWritten ? "1" : "0", data);
      ReloadINISettings(true);
    }
  });
  constexpr int kThreads = 4, kCalls = 250'000;
  std::atomic<int> altered{0};
  std::vector<std::thread> game;
  for (int t = 0; t < kThreads; ++t)
    game.emplace_back([&, t] {
      for (int i = 0; i < kCalls; ++i) {
        auto* actor = world.actors[static_cast<std::size_t>(i + t) % world.actors.size()];
        if (i % 1000 == 0) actor->position.x = 10.0f + static_cast<float>((i / 1000 + t) % 50);  // walks about
        const auto argument = static_cast<std::uint64_t>(i) * 31 + static_cast<std::uint64_t>(t);
        if (Process::AppearanceHook::Process(actor, argument) != sim::AppearanceOwnResult(actor, argument)) ++altered;
      }
    });
  for (auto& thread : game) thread.join();
  done = true;
  reloader.join();

  EXPECT_EQ(altered, 0);
  EXPECT_EQ(PluginSettings.iFaceGenActorUpdateTime, 2);
  EXPECT_EQ(PluginSettings.iQueuedActorTime, 1);
  EXPECT_EQ(sim::AppearanceCallTotals().targetCalls - totalsBefore.targetCalls, std::uint64_t{kThreads * kCalls});
  std::set<RE::Actor*> queued;
  for (const auto& entry : AppearanceProcessState.queue) EXPECT_TRUE(queued.insert(entry.actor).second);
  EXPECT_EQ(queued, std::set<RE::Actor*>(world.actors.begin(), world.actors.end()));
  sim::OnAppearanceUpdate(nullptr);
  // Each update sees the time the previous pass took for its own update.
  ASSERT_GE(passTimes.size(), world.actors.size());
  for (std::size_t i = 2; i < passTimes.size(); ++i) EXPECT_GT(passTimes[i] - passTimes[i - 1], 2'000'000) << i;
  EXPECT_EQ(PluginSettings.bLogging, lastWritten);
}

// The game's update may call its appearance function again on the same thread, with the queue lock
// held by the pass that asked for the update: that call goes straight to the game's own.
TEST(ActorBackgroundProcess, AGameUpdateCallingBackIntoTheHookGoesStraightToTheGame) {
  Appearance world;
  auto* actor = world.Spawn(30);
  auto* other = world.Spawn(40);
  world.Call(actor);
  Appearance::WaitQueued();
  int nested = 0;
  bool nestedResultKept = true;
  sim::OnAppearanceUpdate([&] {
    ++nested;
    const std::uint64_t argument = 0xABCDEF;
    nestedResultKept = nestedResultKept &&
                       Process::AppearanceHook::Process(other, argument) == sim::AppearanceOwnResult(other, argument);
  });
  test::LogCapture log;
  const auto before = sim::AppearanceCallTotals().targetCalls;
  EXPECT_EQ(Process::AppearanceHook::Process(other, 77), sim::AppearanceOwnResult(other, 77));
  sim::OnAppearanceUpdate(nullptr);
  EXPECT_EQ(sim::AppearanceCallTotals().targetCalls, before + 2) << "the outer call and the nested one";
  EXPECT_EQ(nested, 1);
  EXPECT_TRUE(nestedResultKept);
  EXPECT_FALSE(log.contains("warning|[Process] could not lock array, skipping phase"));
  // The nested call queued nothing: only the outer pass's own actor was added.
  EXPECT_EQ(world.Queued(), 2u);
}

// The process never touches the logging switch: watched while the game's threads run, with the
// switch on and off.
TEST(ActorBackgroundProcess, TheLoggingSwitchIsNeverChangedWhileTheGamesThreadsRun) {
  Appearance world;
  for (int i = 0; i < 8; ++i) world.Spawn(10.0f + 6.0f * static_cast<float>(i));
  test::LogCapture log;
  for (const bool logging : {true, false}) {
    SCOPED_TRACE(logging);
    PluginSettings.bLogging = logging;
    std::atomic<bool> done{false};
    std::atomic<int> flips{0};
    std::thread watcher([&] {
      while (!done)
        if (PluginSettings.bLogging != logging) ++flips;
    });
    std::vector<std::thread> game;
    for (int t = 0; t < 4; ++t)
      game.emplace_back([&, t] {
        for (int i = 0; i < 20'000; ++i) {
          auto* actor = world.actors[static_cast<std::size_t>(i + t) % world.actors.size()];
          Process::AppearanceHook::Process(actor, static_cast<std::uint64_t>(i));
        }
      });
    for (auto& thread : game) thread.join();
    done = true;
    watcher.join();
    EXPECT_EQ(flips, 0);
  }
}

// The game frees and reuses queued actors on its own thread while its other threads run passes. The
// game gives no hold on an actor from the pointer its call hands over, so a lookup proves an actor
// alive only at that moment. Freed memory stays mapped, as the game's heap keeps it: the test counts
// the frees that landed during a pass (a run that never overlapped cannot pass for one that did) and
// records the updates the game was asked to make on freed memory, the window that remains.
TEST(ActorBackgroundProcess, ActorsFreedAndReusedDuringPassesAreDroppedWithoutBeingRead) {
  Appearance world;
  PluginSettings.iQueuedActorTime = 0;
  std::vector<RE::Actor*> steady;
  for (int i = 0; i < 4; ++i) steady.push_back(world.Spawn(12.0f + 5.0f * static_cast<float>(i)));
  int freesDuringPasses = 0;
  for (int round = 0; round < 20; ++round) {
    std::vector<RE::Actor*> passing;
    for (int i = 0; i < 8; ++i) {
      passing.push_back(world.Spawn(15.0f + 3.0f * static_cast<float>(i)));
      world.Call(passing.back());
    }
    std::atomic<int> inFlight{0};
    std::atomic<bool> done{false};
    std::vector<std::thread> game;
    for (int t = 0; t < 4; ++t)
      game.emplace_back([&, t] {
        for (std::uint64_t i = 0; !done; ++i) {
          ++inFlight;
          Process::AppearanceHook::Process(steady[static_cast<std::size_t>(t)], i);
          --inFlight;
        }
      });
    for (std::size_t i = 0; i < passing.size(); ++i) {
      while (inFlight == 0) std::this_thread::yield();
      if (auto* reused = sim::FreeActorWhileRunning(passing[i], i % 2 == 0)) world.actors.push_back(reused);
      if (inFlight > 0) ++freesDuringPasses;
    }
    done = true;
    for (auto& thread : game) thread.join();
    world.Call(steady[0]);
    for (const auto& entry : AppearanceProcessState.queue)
      EXPECT_TRUE(std::find(passing.begin(), passing.end(), entry.actor) == passing.end() ||
                  RE::LookupFormByID(entry.formID) == entry.actor);
  }
  RecordProperty("freesDuringPasses", freesDuringPasses);
  RecordProperty("updatesOfFreedActors", sim::AppearanceUpdatesOf(0));
  EXPECT_GT(freesDuringPasses, 0);
}
