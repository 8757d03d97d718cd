// The background appearance process in the game: warm-up after a load, one update per nearby
// citizen, the game's threads at once, and actors the game frees while they are queued.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "GameFolder.h"
#include "SimRun.h"

TEST(AppearanceScenario, CitizensAreUpdatedOnceAfterTheWarmUpAndFreedOnesAreNeverRead) {
  // Citizens spawn first so that they hold the first run-time IDs, FF000800 on.
  std::string scenario = "start\nspawn NewAtlantis 6\nenter NewAtlantis\nload-save\nappearance 60\n";
  for (int i = 0; i < 12; ++i) scenario += "wait 30\nappearance 2 threads 4\n";
  scenario += "free FF000800\nfree FF000801 reuse\nmove FF000802 500 0 0\nwait 30\nappearance 20 threads 4\nreport\n";
  const auto run = test::RunSim(scenario);
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;

  const auto& citizens = run.report["cities"][0]["citizens"];
  ASSERT_EQ(citizens.size(), 4u) << "the two freed citizens are gone";
  for (const auto& citizen : citizens) EXPECT_EQ(citizen["appearanceUpdates"], 1) << citizen;
  const auto& appearance = run.report["appearance"];
  EXPECT_EQ(appearance["targetCalls"], appearance["calls"]);
  EXPECT_EQ(appearance["resultsAltered"], 0);
  EXPECT_EQ(appearance["updatesWithOtherArguments"], 0);

  int started = 0, dropped = 0;
  for (const auto& entry : run.entries) {
    if (entry.find("[ProcessActorQueue] FaceGenProcessorInitialized ---> [") != std::string::npos) {
      ++started;
      EXPECT_TRUE(entry.ends_with(" | Ticks: 301]")) << entry;
    }
    if (entry.find("[ProcessActorQueue] cannot evaluate queued actor") != std::string::npos &&
        entry.ends_with("| unsupported (code: 1)"))
      ++dropped;
  }
  EXPECT_EQ(started, 1);
  EXPECT_EQ(dropped, 2);
}

// The demo as a player's machine plays it: two game threads, the save loaded after the reset, the
// player in Neon. Every Neon citizen still standing is updated exactly once; the stray copies the
// script removed never are, and the cities the player left behind are out of range.
// The game then runs on a little, one thread at a time. With two threads, one that is descheduled
// while it holds the queue makes the other's calls pass over whole rows of actors, so on a busy
// machine some are queued only by the demo's last calls and have not yet waited iQueuedActorTime. A
// lone thread never finds the queue held: its first round queues everyone in range, and after a
// wait that can only be longer than asked, its second updates all of them, however busy the machine.
TEST(AppearanceScenario, TheDemoUpdatesEachNearbyCitizenOnceAfterTheWarmUp) {
  auto scenario = test::ReadFile(test::BinaryDirectory() / "data" / "scenarios" / "demo.txt");
  const auto report = scenario.rfind("\nreport");
  ASSERT_NE(report, std::string::npos) << "the demo ends with its report";
  scenario.insert(report + 1, "appearance 1\nwait 150\nappearance 1\n");
  const auto run = test::RunSim(scenario);
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
  std::set<std::string> removed;
  for (const auto& actor : run.report["removedActors"]) removed.insert(actor["formID"].get<std::string>());
  EXPECT_FALSE(removed.empty());
  for (const auto& city : run.report["cities"]) {
    const bool nearby = city["name"] == "Neon";
    for (const auto& citizen : city["citizens"]) {
      const bool stray = removed.contains(citizen["formID"].get<std::string>());
      EXPECT_EQ(citizen["appearanceUpdates"], nearby && !stray ? 1 : 0)
          << city["name"] << (nearby && !stray ? " citizen in range" : " citizen out of range or removed") << ": "
          << citizen;
    }
  }
  const auto started = run.EntriesWith("[ProcessActorQueue] FaceGenProcessorInitialized ---> [");
  ASSERT_EQ(started.size(), 1u);
  EXPECT_TRUE(started[0].ends_with(" | Ticks: 301]")) << started[0];
}
