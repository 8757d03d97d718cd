#pragma once
// An evening of play at machine speed: a seeded random stream of game events against the real
// plug-in, with its promises checked after every event.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Scenario.h"

namespace sim {

struct SoakOptions {
  ScenarioOptions game;  // the game folder, data, world and report files, and the seed
  std::optional<double> seconds;
  std::optional<std::uint64_t> events;
  int threads = 4;                                     // game threads on the appearance function
  std::optional<std::filesystem::path> writeScenario;  // the events played, as a scenario file
  bool checkAtEnd = false;                             // the promises only once the stream has ended
  // Faults the stand-in plays on purpose, to show that a check fires: "leak-object",
  // "duplicate-unique", "overfill-list", "free-unannounced".
  std::vector<std::string> faults;
};

// Returns the process exit code: 0 when no promise was broken, 5 when one was.
int RunSoak(const SoakOptions& options);

}  // namespace sim
