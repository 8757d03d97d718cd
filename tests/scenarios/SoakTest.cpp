// The soak: an evening of random play against the real DLL, its promise checks, and the faults it
// found, kept as scenarios that replay them.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "GameFolder.h"
#include "SimRun.h"
#include "TempFolder.h"

namespace {

struct SoakRun {
  test::ChildResult process;
  nlohmann::json report;
};

SoakRun Soak(const test::TempFolder& work, std::vector<std::string> arguments) {
  const auto json = work.path() / "soak.json";
  arguments.insert(arguments.begin(), {"soak", "--game-dir", (work.path() / "game").string(), "--json", json.string()});
  SoakRun run{test::RunProcess(test::BinaryDirectory() / "brindlewick-sim.exe", arguments), nullptr};
  const auto text = test::ReadFile(json);
  if (!text.empty()) run.report = nlohmann::json::parse(text, nullptr, false);
  return run;
}

TEST(Soak, AnEveningKeepsEveryPromiseReportsItsFiguresAndReplaysFromItsScenario) {
  test::TempFolder work(L"bw-soak-");
  const auto scenario = work.path() / "evening.txt";
  const auto run =
      Soak(work, {"--events", "400", "--seed", "5", "--threads", "2", "--write-scenario", scenario.string()});
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
  EXPECT_NE(run.process.output.find("brindlewick-sim soak: seed 5"), std::string::npos);
  const auto& report = run.report;
  ASSERT_TRUE(report.is_object());
  EXPECT_EQ(report["seed"], 5);
  EXPECT_GE(report["events"].get<int>(), 400);
  int played = 0;
  for (const auto& [kind, count] : report["eventsByKind"].items()) played += count.get<int>();
  EXPECT_EQ(played, report["events"].get<int>());
  for (const char* kind : {"wait", "spawn", "console", "write-file", "reset", "menu", "free"})
    EXPECT_GT(report["eventsByKind"].value(kind, 0), 0) << kind;
  EXPECT_GT(report["promiseChecks"].get<int>(), 3 * 400);
  EXPECT_GT(report["pluginMemory"]["peak"].get<long long>(), 0);
  EXPECT_GE(report["pluginMemory"]["peak"], report["pluginMemory"]["end"]);
  EXPECT_GT(report["appearanceCalls"].get<long long>(), 0);
  EXPECT_TRUE(report["brokenPromise"].is_null());

  // The events as played make an ordinary scenario, which the same checks pass step by step.
  const auto replay =
      test::RunProcess(test::BinaryDirectory() / "brindlewick-sim.exe",
                       {"run", scenario.string(), "--check-promises", "--game-dir", (work.path() / "replay").string()});
  EXPECT_EQ(replay.exitCode, 0u) << replay.output;
}

// A check that cannot fire is no check: each fault the stand-in plays on purpose breaks the promise
// its check watches, and the run ends naming it, with the seed and the events that led there.
TEST(Soak, EachPromiseCheckFiresWhenTheStandInBreaksItsPromiseOnPurpose) {
  const struct {
    const char* fault;
    const char* promise;
    std::uint32_t exitCode;  // a read of freed memory stays the crash it is
  } cases[] = {{"leak-object", "script-values-released", 5},
               {"duplicate-unique", "unique-npc-copies", 5},
               {"overfill-list", "leveled-lists", 5},
               {"free-unannounced", "appearance-queue-reads-freed-actor", 4}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    test::TempFolder work(L"bw-soak-");
    const auto run = Soak(work, {"--events", "3000", "--seed", "11", "--fault", c.fault});
    EXPECT_EQ(run.process.exitCode, c.exitCode) << run.process.output;
    const auto& out = run.process.output;
    EXPECT_NE(out.find(std::string("promise broken: ") + c.promise + ": "), std::string::npos) << out;
    EXPECT_NE(out.find("seed: 11"), std::string::npos) << out;
    EXPECT_NE(out.find("event: "), std::string::npos) << out;
    EXPECT_NE(out.find("last events:"), std::string::npos) << out;
  }
}

// Every fault the soak found, as the scenario that plays it, checked step by step.
TEST(Soak, FoundFaultsStayFixed) {
  const auto folder = test::BinaryDirectory() / "regressions";
  int played = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    SCOPED_TRACE(entry.path().filename().string());
    test::SimOptions options;
    options.arguments = {"--check-promises"};
    const auto run = test::RunSim(test::ReadFile(entry.path()), options);
    EXPECT_EQ(run.process.exitCode, 0u) << run.process.output;
    ++played;
    if (entry.path().stem().string().starts_with("UniqueNPCPlacedAgain")) {
      // Something was placed at all, each unique NPC once.
      ASSERT_TRUE(run.report.is_object());
      std::set<std::string> names;
      for (const auto& placed : run.report["uniqueNPCs"]) EXPECT_TRUE(names.insert(placed["name"]).second);
      EXPECT_FALSE(names.empty());
    }
    if (entry.path().stem() == "ScriptCallsForACitizenFreedBeforeTheyRan") {
      EXPECT_FALSE(run.EntriesWith("is gone since the call was queued, passed as none").empty());
    }
  }
  EXPECT_EQ(played, 3);
}

}  // namespace
