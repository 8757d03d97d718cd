// The stand-in's own rules that decide test outcomes: the one-roll ratio condition, the scenario
// parser's and the world file's errors, the game rules it enforces on the plug-in, and how a crash
// or broken text is reported.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <mutex>
#include <random>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

#include "ArgumentObjects.h"
#include "ChildActions.h"
#include "Citizens.h"
#include "CrashReport.h"
#include "FixedStrings.h"
#include "FormsBack.h"
#include "GameFolder.h"
#include "GameForms.h"
#include "GameHeap.h"
#include "GameModule.h"
#include "PluginMaster.h"
#include "ReadWriteLock.h"
#include "RE/B/BSScript.h"
#include "RE/B/BSTEvent.h"
#include "RE/E/ExtraDataList.h"
#include "REL/ID.h"
#include "Scenario.h"
#include "Text.h"
#include "WorldFile.h"

namespace {

using Kind = RE::TESCondition::Kind;

// The game started in a folder of the child's own, as the test executable's main does it.
struct ChildGame {
  test::GameFolder folder;
  ChildGame() {
    sim::StartGame();
    REL::ResolveAddressLibraryID(RE::ID::LookupFormByID);
  }
};

TEST(SimRules, EachPickRollsOnceAndTheRatioGlobalSplitsTheSexes) {
  FormsBack restore;
  auto* female = sim::AddNPC(0x7D000001, true);
  auto* male = sim::AddNPC(0x7D000002, false);
  auto* plain = sim::AddNPC(0x7D000003, false);
  auto* global = sim::AddTyped<RE::TESGlobal>(0x7D000004, RE::FormType::kGlobal);
  auto* womenBelow = sim::GameNew<RE::TESCondition>(RE::TESCondition{Kind::kFemaleRatio, global});
  auto* menOtherwise = sim::GameNew<RE::TESCondition>(RE::TESCondition{Kind::kMaleRatio, global});
  RE::TESLevCharacter list{};
  auto entry = [](RE::TESForm* form, RE::TESCondition* condition) {
    return RE::LEVELED_OBJECT{form, 0, condition, 1, 1, 0, 0};
  };
  std::mt19937 random{7};
  // How often each form is picked in n picks; a null pick counts as nullptr.
  auto picks = [&](int n) {
    std::map<const RE::TESForm*, int> counts;
    for (int i = 0; i < n; ++i) ++counts[sim::PickFromList(list.leveledList, random)];
    return counts;
  };

  // One roll decides both entries: exactly one of them passes each time, whatever the global.
  sim::SetListEntries(list.leveledList, {entry(female, womenBelow), entry(male, menOtherwise)});
  for (const float percent : {0.0f, 1.0f, 55.0f, 99.0f, 100.0f}) {
    global->value = percent;
    auto counts = picks(4000);
    SCOPED_TRACE(percent);
    EXPECT_EQ(counts[nullptr], 0);
    EXPECT_EQ(counts[female] + counts[male], 4000);
    const double share = counts[female] / 4000.0;
    EXPECT_NEAR(share, percent / 100.0, 0.025);
    if (percent == 0.0f) {
      EXPECT_EQ(counts[female], 0) << "no roll is below 0";
    }
    if (percent == 100.0f) {
      EXPECT_EQ(counts[male], 0) << "every roll from 0 to 99 is below 100";
    }
    if (percent == 1.0f) {
      EXPECT_GT(counts[female], 0) << "a roll of 0 is below 1";
    }
  }

  // Entries without a condition always take part; conditioned ones only when the roll lets them.
  sim::SetListEntries(list.leveledList, {entry(female, womenBelow), entry(plain, nullptr)});
  global->value = 0.0f;
  EXPECT_EQ(picks(200)[plain], 200);
  sim::SetListEntries(list.leveledList, {entry(male, menOtherwise), entry(plain, nullptr)});
  global->value = 100.0f;
  EXPECT_EQ(picks(200)[plain], 200);
  sim::SetListEntries(list.leveledList, {entry(male, menOtherwise)});
  EXPECT_EQ(picks(50)[nullptr], 50) << "nothing passes: no pick";
}

TEST(SimRules, ScenarioParserNamesTheLineAndTheReason) {
  const auto steps = sim::ParseScenario("# a comment\n\nstart   # begins\n  spawn NewAtlantis 3\nreport", "s.txt");
  ASSERT_EQ(steps.size(), 3u);
  EXPECT_TRUE(steps[0].line == 3 && steps[0].name == "start" && steps[0].arguments.empty());
  EXPECT_TRUE(steps[1].line == 4 && steps[1].arguments == (std::vector<std::string>{"NewAtlantis", "3"}));
  EXPECT_EQ(steps[2].line, 5);

  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"start\nfly away\n", "s.txt:2: unknown step 'fly'"},
      {"start now\n", "s.txt:1: expected 'start'"},
      {"# only\nspawn NewAtlantis\n", "s.txt:2: expected 'spawn CITY N'"},
      {"spawn NewAtlantis 1 2\n", "s.txt:1: expected 'spawn CITY N'"},
      {"\n\n\nwait\n", "s.txt:4: expected 'wait MS'"},
      {"Start\n", "s.txt:1: unknown step 'Start'"},
  };
  for (const auto& c : cases) {
    try {
      sim::ParseScenario(c.text, "s.txt");
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const std::runtime_error& error) {
      EXPECT_EQ(std::string(error.what()), c.error);
    }
  }
}

TEST(SimRules, WorldFileErrorsNameTheFileTheFormAndTheReason) {
  FormsBack restore;
  test::GameFolder folder;
  const std::string files = R"("files": [{"name": "A.esm", "kind": "full", "compileIndex": 0}])";
  auto forms = [&](const std::string& list) { return "{" + files + R"(, "forms": [)" + list + "]}"; };
  const struct {
    std::string json;
    std::string error;  // the message contains this
  } cases[] = {
      {"{ \"files\": [", "world.json: [json.exception.parse_error"},
      {R"({"files": [{"name": "A.esm", "kind": "huge", "compileIndex": 0}], "forms": []})",
       "world.json: file A.esm: kind must be full, small or medium, not 'huge'"},
      {forms(R"({"file": "B.esm", "id": "801", "type": "Keyword"})"),
       "world.json: form 801 of B.esm: its file is not declared"},
      {forms(R"({"file": "A.esm", "id": "80Z", "type": "Keyword"})"),
       "world.json: form 80Z of A.esm: '80Z' is not a hexadecimal ID"},
      {forms(R"({"file": "A.esm", "id": "801", "type": "Dragon"})"),
       "world.json: form 801 of A.esm: unknown type 'Dragon'"},
      {forms(R"({"file": "A.esm", "id": "802", "type": "Reference", "base": "999", "position": [0, 0, 0]})"),
       "world.json: form 802 of A.esm: its base form is not declared"},
      {forms(R"({"file": "A.esm", "id": "803", "type": "Keyword"},
                {"file": "A.esm", "id": "804", "type": "NPC", "female": true, "faceNPC": "803"})"),
       "world.json: form 804 of A.esm: faceNPC is no NPC declared before it"},
      {forms(R"({"file": "A.esm", "id": "805", "type": "NPC"})"),
       "world.json: [json.exception.out_of_range.403] key 'female' not found"},
  };
  for (const auto& c : cases) {
    test::WriteFile(folder.path() / "world.json", c.json);
    sim::ClearPluginFiles();
    try {
      sim::LoadWorld(folder.path() / "world.json");
      ADD_FAILURE() << "accepted: " << c.json;
    } catch (const std::runtime_error& error) {
      EXPECT_NE(std::string(error.what()).find(c.error), std::string::npos) << error.what();
    }
  }
  try {
    sim::LoadWorld(folder.path() / "missing.json");
    ADD_FAILURE() << "a missing world file was accepted";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(std::string(error.what()), "cannot read world file " + sim::PathText(folder.path() / "missing.json"));
  }
  sim::ClearPluginFiles();
}

TEST(SimRules, ReportTextIsValidUtf8WithInvalidBytesReplaced) {
  const std::string replacement = "\xEF\xBF\xBD";
  const struct {
    std::string in, out;
  } cases[] = {
      {"Zo\xC3\xAB \xE3\x82\xB2\xF0\x9F\x98\x80", "Zo\xC3\xAB \xE3\x82\xB2\xF0\x9F\x98\x80"},  // valid: unchanged
      {"Zo\xEB", "Zo" + replacement},                             // the Windows code page's e with diaeresis
      {"\xC0\xAF", replacement + replacement},                    // an overlong slash
      {"\xED\xA0\x80", replacement + replacement + replacement},  // a lone surrogate
      {"\xF4\x90\x80\x80", replacement + replacement + replacement + replacement},  // above U+10FFFF
      {"ab\xE3\x82", "ab" + replacement + replacement},                             // cut off at the end
      {"\xE3\x82"
       "x",
       replacement + replacement + "x"},  // cut off in the middle
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const auto& c : cases) EXPECT_EQ(sim::ValidUtf8(c.in), c.out) << c.in;
  EXPECT_EQ(sim::PathText(sim::PathFromUtf8("C:\\Игры\\ゲーム\\Zoë")), "C:\\Игры\\ゲーム\\Zoë");
}

CHILD_ACTION(LookUpExtraDataWithoutTheLock) {
  ChildGame game;
  auto* base = sim::AddNPC(0x7D000011, false);
  auto* reference = sim::AddReference(0x7D000012, base, {}, "Ada");
  using Fn = RE::BSExtraData* (*)(void*, std::uint32_t);
  reinterpret_cast<Fn>(REL::GameAddress<RE::ID::GetExtraDataByType>())(&reference->extraList->data, 0x96);
}

TEST(SimRules, ExtraDataIsLookedUpOnlyUnderTheListsLock) {
  FormsBack restore;
  auto* base = sim::AddNPC(0x7D000021, false);
  auto* reference = sim::AddReference(0x7D000022, base, {}, "Ada");
  auto* other = sim::AddReference(0x7D000023, base, {}, "Bo");
  auto& list = *reference->extraList;
  {
    RE::BSReadLockGuard guard(list.lock);
    auto* found = list.GetByType(guard, RE::ExtraDataType::kDisplayName);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(static_cast<RE::ExtraTextDisplayData*>(found)->displayName.view(), "Ada");
    // Another list's guard proves nothing about this list.
    RE::BSReadLockGuard otherGuard(other->extraList->lock);
    EXPECT_EQ(list.GetByType(otherGuard, RE::ExtraDataType::kDisplayName), nullptr);
  }
  EXPECT_EQ(list.lock.lockCount, 0u);

  const auto child = test::RunChild("LookUpExtraDataWithoutTheLock");
  EXPECT_EQ(child.exitCode, 3u) << child.output;
  EXPECT_NE(child.output.find("brindlewick-sim: game rule broken: extra data of type 0x96 looked up in the list at "),
            std::string::npos)
      << child.output;
  EXPECT_NE(child.output.find(" without the list's lock held"), std::string::npos) << child.output;
}

// The lock that keeps a game thread's actor alive for one call: a reader must never overlap a
// writer. std::shared_mutex failed this with this toolchain a few times in ten thousand.
TEST(SimRules, TheActorLifetimeLockKeepsReadersAndTheWriterApart) {
  sim::ReadWriteLock lock;
  std::atomic<bool> writing{false}, stop{false};
  std::atomic<long> overlaps{0}, reads{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 3; ++t)
    readers.emplace_back([&] {
      while (!stop) {
        std::shared_lock guard(lock);
        if (writing) ++overlaps;
        std::this_thread::yield();
        if (writing) ++overlaps;
        ++reads;
      }
    });
  for (int i = 0; i < 20000; ++i) {
    std::unique_lock guard(lock);
    writing = true;
    std::this_thread::yield();
    writing = false;
  }
  stop = true;
  for (auto& reader : readers) reader.join();
  EXPECT_GT(reads, 0);
  EXPECT_EQ(overlaps, 0);
}

// An argument object as a caller makes one: its release goes through the C runtime's free.
struct CallerArguments {
  const void* const* vtable;
};
void* DestroyCallerArguments(CallerArguments* self, std::uint32_t flags) {
  if (flags & 1) std::free(self);
  return self;
}
bool PackNothing(CallerArguments*, RE::BSScript::ScrapArrayOfVariables*) { return true; }
const void* const kCallerTable[] = {reinterpret_cast<const void*>(&DestroyCallerArguments),
                                    reinterpret_cast<const void*>(&PackNothing)};

CHILD_ACTION(ReleaseAnArgumentObjectTheMachineOwns) {
  ChildGame game;
  sim::WatchArgumentObjectReleases(GetModuleHandleW(nullptr));
  auto* arguments = static_cast<CallerArguments*>(std::malloc(sizeof(CallerArguments)));
  arguments->vtable = kCallerTable;
  RE::BSFixedString script{}, function{};
  RE::CreateFixedString(script, "Test:Script");
  RE::CreateFixedString(function, "Run");
  auto* vm = RE::GameVM::GetSingleton()->impl;
  if (!RE::BSScript::DispatchStaticCall(vm, script, function,
                                        reinterpret_cast<RE::BSScript::IFunctionArguments*>(arguments)))
    std::exit(5);
  std::free(arguments);  // the caller's mistake: the machine took it
}

CHILD_ACTION(ReleaseAFixedStringTwice) {
  ChildGame game;
  RE::BSFixedString name{};
  RE::CreateFixedString(name, "Quillmere:Handler");
  auto copy = name;  // a copy without a reference of its own
  RE::ReleaseFixedString(name);
  RE::ReleaseFixedString(copy);
}

TEST(SimRules, DoubleReleasesOfWhatTheGameCountsStopTheGame) {
  auto child = test::RunChild("ReleaseAnArgumentObjectTheMachineOwns");
  EXPECT_EQ(child.exitCode, 3u) << child.output;
  EXPECT_NE(child.output.find("game rule broken: the argument object at "), std::string::npos) << child.output;
  EXPECT_NE(child.output.find("was released by its caller although the script machine owns it since its dispatch "
                              "was accepted: it would be released twice"),
            std::string::npos)
      << child.output;

  child = test::RunChild("ReleaseAFixedStringTwice");
  EXPECT_EQ(child.exitCode, 3u) << child.output;
  EXPECT_NE(child.output.find("game rule broken: the fixed string \"Quillmere:Handler\" was released twice"),
            std::string::npos)
      << child.output;
}

// A sink as the plug-in builds one: a table of the destructor and the event handler.
void* DestroySink(RE::BSTEventSink* self, std::uint32_t) { return self; }
RE::BSEventNotifyControl IgnoreEvent(RE::BSTEventSink*, const void*, RE::BSTEventSource*) {
  return RE::BSEventNotifyControl::kContinue;
}
const void* const kSinkTable[] = {reinterpret_cast<const void*>(&DestroySink),
                                  reinterpret_cast<const void*>(&IgnoreEvent)};

CHILD_ACTION(RegisterOneSinkWithTwoSources) {
  ChildGame game;
  static RE::BSTEventSink sink{kSinkTable};
  RE::RegisterEventSink(RE::GetEventSource<RE::ID::SaveLoadEventSource>(), &sink);
  RE::RegisterEventSink(RE::GetEventSource<RE::ID::TESLoadGameEventSource>(), &sink);
}
CHILD_ACTION(RegisterOneSinkTwice) {
  ChildGame game;
  static RE::BSTEventSink sink{kSinkTable};
  RE::RegisterEventSink(RE::GetEventSource<RE::ID::Reference3DSetEventSource>(), &sink);
  RE::RegisterEventSink(RE::GetEventSource<RE::ID::Reference3DSetEventSource>(), &sink);
}

TEST(SimRules, AnEventSinkServesOneSourceOnce) {
  auto child = test::RunChild("RegisterOneSinkWithTwoSources");
  EXPECT_EQ(child.exitCode, 3u) << child.output;
  EXPECT_NE(child.output.find("game rule broken: the event sink registered with the TESLoadGame event source is "
                              "already registered with the SaveLoad event source"),
            std::string::npos)
      << child.output;
  child = test::RunChild("RegisterOneSinkTwice");
  EXPECT_EQ(child.exitCode, 3u) << child.output;
  EXPECT_NE(child.output.find("game rule broken: the event sink registered with the ReferenceSet3d event source is "
                              "already registered with the ReferenceSet3d event source"),
            std::string::npos)
      << child.output;
}

CHILD_ACTION(CrashWritingToUnmappedMemory) {
  sim::InstallCrashReport();
  volatile std::uintptr_t unmapped = 0x10;
  *reinterpret_cast<volatile int*>(unmapped) = 1;
}
CHILD_ACTION(CrashDividingByZero) {
  sim::InstallCrashReport();
  RaiseException(EXCEPTION_INT_DIVIDE_BY_ZERO, 0, 0, nullptr);
}
CHILD_ACTION(CrashThroughAbort) {
  sim::InstallCrashReport();
  std::abort();
}

TEST(SimRules, ACrashEndsTheGameWithItsOwnLineAndExitCode4) {
  const struct {
    const char* action;
    const char* line;  // what the output holds
  } cases[] = {
      {"CrashWritingToUnmappedMemory",
       "brindlewick-sim: crash: access violation (0xC0000005) writing address 0x0000000000000010 at 0x"},
      {"CrashDividingByZero", "brindlewick-sim: crash: integer divide by zero (0xC0000094) at 0x"},
      {"CrashThroughAbort", "brindlewick-sim: crash: abort (the C runtime's abort"},
  };
  for (const auto& c : cases) {
    const auto child = test::RunChild(c.action);
    EXPECT_EQ(child.exitCode, 4u) << c.action << ": " << child.output;
    EXPECT_NE(child.output.find(c.line), std::string::npos) << child.output;
  }
  // The faulting code is named by its module and the offset in it.
  const auto child = test::RunChild("CrashWritingToUnmappedMemory");
  EXPECT_NE(child.output.find(" (brindlewick-unit-tests.exe+0x"), std::string::npos) << child.output;
}

}  // namespace
