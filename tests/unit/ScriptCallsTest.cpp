// Script calls through the game's machine: a refused dispatch is logged and reported as a failure,
// and what was prepared for a call is released exactly once, by whoever owns it under the game's
// rule (the machine what it accepted, the caller what was refused).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ArgumentObjects.h"
#include "FixedStrings.h"
#include "FormsBack.h"
#include "GameForms.h"
#include "Helpers/PluginSettings.h"
#include "Helpers/ScriptCalls.h"
#include "LogCapture.h"
#include "ScriptMachine.h"

namespace {

using Lines = std::vector<std::string>;

// The machine as the game starts it, whatever a test switched; the plug-in's frees seen.
struct Machine {
  FormsBack forms;
  Machine() {
    PluginSettings = PluginSettingsRecord{};
    sim::WatchArgumentObjectReleases(GetModuleHandleW(nullptr));
    sim::RunQueuedScriptCalls();
  }
  ~Machine() { sim::ConfigureScriptMachine({}), sim::RunQueuedScriptCalls(); }
};

struct Alive {
  std::size_t arguments = sim::LiveArgumentObjects();
  std::size_t strings = sim::LiveFixedStrings();
  int objects = sim::LiveScriptObjects();
  bool operator==(const Alive&) const = default;
};

TEST(ScriptCalls, ARefusedDispatchIsLoggedFailsAndLeavesNothingBehind) {
  Machine machine;
  auto* actor = sim::AddTyped<RE::Actor>(0x7D000101, RE::FormType::kActor);
  auto* keyword = sim::AddForm(0x7D000102, RE::FormType::kKeyword);
  const Alive before;
  test::LogCapture log;

  sim::ConfigureScriptMachine({.refuseDispatch = true});
  EXPECT_FALSE(CallStaticScriptFunction(kHandlerScript, "SetFacialAnim", actor, keyword));
  EXPECT_FALSE(CallStaticScriptFunction(kHandlerScript, "SetActorScale", actor, 1.25f));
  EXPECT_EQ(log.lines(), (Lines{"error|[CallStaticScriptFunction] the script machine refused the call of "
                                "Quillmere:Handler.SetFacialAnim",
                                "error|[CallStaticScriptFunction] the script machine refused the call of "
                                "Quillmere:Handler.SetActorScale"}));
  EXPECT_EQ(sim::QueuedScriptCalls(), 0u);
  EXPECT_TRUE(Alive{} == before) << "the caller released its argument object and its names";
  ASSERT_GE(sim::ScriptCallsRefused().size(), 2u);
  EXPECT_EQ(sim::ScriptCallsRefused().back().function, "SetActorScale");

  // Refused without logging: still a failure, still nothing left behind.
  PluginSettings.bLogging = false;
  log.clear();
  EXPECT_FALSE(CallStaticScriptFunction(kHandlerScript, "SetActorScale", actor, 0.5f));
  EXPECT_TRUE(log.lines().empty());
  EXPECT_TRUE(Alive{} == before);

  // Accepted: the machine holds the object and the packed values until the call has run.
  sim::ConfigureScriptMachine({});
  EXPECT_TRUE(CallStaticScriptFunction("Test:Script", "Everything", actor, keyword, std::string("Ada"), 2.0f));
  EXPECT_EQ(sim::LiveArgumentObjects(), before.arguments + 1);
  EXPECT_EQ(sim::LiveFixedStrings(), before.strings) << "the names are released at once";
  EXPECT_EQ(sim::RunQueuedScriptCalls(), 1u);
  EXPECT_TRUE(Alive{} == before) << "the machine released the object, the bound forms and the packed string";
  EXPECT_TRUE(log.lines().empty());
}

TEST(ScriptCalls, ForgottenBindingsPassNoneAndLeaveNoObjectAlive) {
  Machine machine;
  auto* actor = sim::AddTyped<RE::Actor>(0x7D000111, RE::FormType::kActor);
  auto* voice = sim::AddForm(0x7D000112, RE::FormType::kVoiceType);
  const Alive before;
  test::LogCapture log;
  sim::ConfigureScriptMachine({.refuseBinding = true});
  EXPECT_TRUE(CallStaticScriptFunction(kHandlerScript, "SetOverrideVoice", actor, voice));
  sim::RunQueuedScriptCalls();
  ASSERT_FALSE(sim::ScriptCallsRun().empty());
  EXPECT_EQ(sim::ScriptCallsRun().back().arguments, (Lines{"none", "none"}));
  EXPECT_EQ(log.lines(), (Lines{"error|[CallStaticScriptFunction] failed to pack variable",
                                "error|[CallStaticScriptFunction] failed to pack variable"}));
  EXPECT_TRUE(Alive{} == before);
}

TEST(ScriptCalls, TheEngineRefusesArgumentsThatDoNotFitTheHandlersParameters) {
  Machine machine;
  auto* actor = sim::AddTyped<RE::Actor>(0x7D000121, RE::FormType::kActor);
  auto* keyword = sim::AddForm(0x7D000122, RE::FormType::kKeyword);
  auto* voice = sim::AddForm(0x7D000123, RE::FormType::kVoiceType);
  auto* npc = sim::AddNPC(0x7D000124, true);
  auto* marker = sim::AddReference(0x7D000125, npc, {});
  auto* outfit = sim::AddForm(0x7D000126, RE::FormType::kOutfit);
  auto* placed = sim::AddTyped<RE::Actor>(0x7D000127, RE::FormType::kActor);
  auto* none = static_cast<RE::TESForm*>(nullptr);
  const Alive before;
  const auto refusedBefore = sim::ScriptCallsRefused().size();
  const auto ranBefore = sim::ScriptCallsRun().size();

  struct Call {
    const char* function;
    bool dispatched;
    std::string refusal;  // empty: the call runs
  };
  auto call = [](const char* function, auto... arguments) {
    return CallStaticScriptFunction(kHandlerScript, function, arguments...);
  };
  const std::vector<Call> calls = {
      {"SetFacialAnim", call("SetFacialAnim", actor, voice),
       "argument 2 of SetFacialAnim is a form of type 112 where the parameter type is Keyword"},
      {"SetOverrideVoice", call("SetOverrideVoice", actor, keyword),
       "argument 2 of SetOverrideVoice is a form of type 4 where the parameter type is VoiceType"},
      {"SetActorScale", call("SetActorScale", actor, keyword),
       "argument 2 of SetActorScale is a form of type 4 where the parameter type is Float"},
      {"SetFacialAnim", call("SetFacialAnim", npc, keyword),
       "argument 1 of SetFacialAnim is a form of type 50 where the parameter type is Actor"},
      {"SetActorScale", call("SetActorScale", actor, std::string("1.0")),
       "argument 2 of SetActorScale is a string where the parameter type is Float"},
      {"SetFacialAnim", call("SetFacialAnim", actor), "SetFacialAnim takes 2 arguments, not 1"},
      {"Dance", call("Dance", actor), "Quillmere:Handler has no global function Dance"},
      {"PlaceUniqueNPC", call("PlaceUniqueNPC", marker, npc, keyword, voice, outfit, std::string("Ada"), 1.0f),
       "argument 3 of PlaceUniqueNPC is a form of type 4 where the parameter type is VoiceType"},
      {"PlaceUniqueNPC", call("PlaceUniqueNPC", marker, npc, voice, keyword, none, std::string("Ada"), -1.0f), ""},
      // An actor is an object reference too; none fits every object parameter.
      {"PlaceUniqueNPC", call("PlaceUniqueNPC", placed, npc, voice, keyword, outfit, std::string("Bo"), 0.9f), ""},
      {"DeleteUniqueNPC", call("DeleteUniqueNPC", marker),
       "argument 1 of DeleteUniqueNPC is a form of type 74 where the parameter type is Actor"},
      {"DeleteUniqueNPC", call("DeleteUniqueNPC", placed), ""},
      {"SetFacialAnim", call("SetFacialAnim", actor, none), ""},
      {"SetFacialAnim", call("SetFacialAnim", actor, keyword), ""},
  };
  sim::RunQueuedScriptCalls();
  Lines refused, ran, expectedRefused, expectedRan;
  for (auto i = refusedBefore; i < sim::ScriptCallsRefused().size(); ++i) {
    const auto& record = sim::ScriptCallsRefused()[i];
    refused.push_back(record.function + ": " + record.refusal);
  }
  for (auto i = ranBefore; i < sim::ScriptCallsRun().size(); ++i) ran.push_back(sim::ScriptCallsRun()[i].function);
  for (const auto& c : calls) {
    EXPECT_TRUE(c.dispatched) << "the machine takes the call and checks it when it runs: " << c.function;
    if (c.refusal.empty())
      expectedRan.push_back(c.function);
    else
      expectedRefused.push_back(c.function + std::string(": ") + c.refusal);
  }
  EXPECT_EQ(refused, expectedRefused);
  EXPECT_EQ(ran, expectedRan);
  // The refused calls did nothing to the actor; the last one set its animation.
  ASSERT_NE(sim::LookOf(actor), nullptr);
  EXPECT_EQ(sim::LookOf(actor)->facialAnim, keyword);
  EXPECT_EQ(sim::LookOf(actor)->voice, nullptr);
  EXPECT_FALSE(sim::LookOf(actor)->scaled);
  EXPECT_TRUE(Alive{} == before) << "refused calls release what was packed for them too";
}

}  // namespace
