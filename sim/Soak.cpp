#include "Soak.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <fstream>
#include <iostream>
#include <map>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "Actors.h"
#include "AppearanceThreads.h"
#include "ExitCodes.h"
#include "GameHeap.h"
#include "GameForms.h"
#include "LastWords.h"
#include "PluginMaster.h"
#include "ProcessLists.h"
#include "Promises.h"
#include "Report.h"
#include "SoakEvents.h"
#include "Text.h"
#include "UniqueNPCScript.h"

namespace sim {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kLastEvents = 50;

// What the run has played so far, for the words a stop leaves.
struct Played {
  std::uint64_t seed = 0;
  std::uint64_t index = 0;  // of the event being played, from 1
  std::deque<std::string> last;
};
Played played;

std::string Shortened(const std::string& line) {
  return line.size() > 200 ? line.substr(0, 200) + fmt::format("... ({} characters)", line.size()) : line;
}

std::string Context() {
  std::string text = fmt::format("seed: {}\nevent: {}\nlast events:\n", played.seed, played.index);
  for (const auto& line : played.last) text += "  " + Shortened(line) + "\n";
  return text;
}

std::string StopWords(std::uintptr_t faultAddress) {
  std::string text;
  if (faultAddress && IsInFreedActor(faultAddress))
    text = "brindlewick-sim: promise broken: appearance-queue-reads-freed-actor: the read at " +
           fmt::format("0x{:X}", faultAddress) + " lies in an actor the game freed\n";
  return text + Context();
}

// The run-time actor nearest the player: the one the appearance queue most likely holds.
RE::Actor* NearestActor() {
  RE::Actor* nearest = nullptr;
  float best = 0;
  for (auto* actor : ActorsInProcessLists()) {
    if (actor == Player() || actor->formID < 0xFF000000) continue;
    const float dx = actor->position.x - Player()->position.x, dy = actor->position.y - Player()->position.y;
    if (!nearest || dx * dx + dy * dy < best) nearest = actor, best = dx * dx + dy * dy;
  }
  return nearest;
}

struct Figures {
  std::map<std::string, std::uint64_t> byKind;
  double longestMs = 0;
  std::string longestLine;
};

}  // namespace

int RunSoak(const SoakOptions& options) {
  const auto has = [&](const char* fault) {
    return std::find(options.faults.begin(), options.faults.end(), fault) != options.faults.end();
  };
  for (const auto& fault : options.faults)
    if (fault != "leak-object" && fault != "duplicate-unique" && fault != "overfill-list" &&
        fault != "free-unannounced")
      throw std::runtime_error("--fault: unknown fault '" + fault + "'");
  auto gameOptions = options.game;
  gameOptions.scenario = "soak";
  gameOptions.scripts.leakOneObject = has("leak-object");
  played.seed = gameOptions.seed;
  std::cout << "brindlewick-sim soak: seed " << gameOptions.seed << std::endl;

  PrepareGame(gameOptions);
  PlaceEachUniqueNPCTwice(has("duplicate-unique"));
  const auto dataFolder = fs::current_path() / "Data" / "SFSE" / "Plugins" / "Quillmere";
  SoakEvents events(gameOptions.seed, dataFolder);
  PromiseChecks checks({});
  ScenarioRunner runner(gameOptions);
  SetLastWords(&StopWords);

  std::ofstream scenario;
  if (options.writeScenario) {
    scenario.open(*options.writeScenario, std::ios::binary | std::ios::trunc);
    if (!scenario) throw std::runtime_error("cannot write " + PathText(*options.writeScenario));
    scenario << "# brindlewick-sim soak --seed " << gameOptions.seed << " --threads " << options.threads << "\n";
  }

  Figures figures;
  std::optional<BrokenPromise> broken;
  bool overfilled = false;
  const auto start = Clock::now();
  const auto finished = [&] {
    if (options.events && played.index >= *options.events) return true;
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    return options.seconds && elapsed >= *options.seconds;
  };
  auto opening = events.Opening(options.threads);
  std::size_t openingLeft = opening.size();
  // The evening ends quietly: the script engine runs what is still queued before the last look.
  bool closed = false;
  while (!broken && (openingLeft || !closed)) {
    const bool closing = !openingLeft && finished();
    const auto line = openingLeft ? opening[opening.size() - openingLeft--] : closing ? "wait 0" : events.Next();
    closed = closing;
    ++played.index;
    played.last.push_back(line);
    if (played.last.size() > kLastEvents) played.last.pop_front();
    if (scenario.is_open()) scenario << line << "\n";
    const auto steps = ParseScenario(line, fmt::format("soak event {}", played.index));
    if (steps.empty()) continue;
    const auto& step = steps.front();

    const auto began = Clock::now();
    RE::Actor* unannounced = step.name == "free" && has("free-unannounced") ? NearestActor() : nullptr;
    if (unannounced)
      FreeActorKeepingFormEntry(unannounced);
    else
      runner.Run(step);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - began).count();
    ++figures.byKind[step.name];
    if (ms > figures.longestMs) figures.longestMs = ms, figures.longestLine = Shortened(line);

    checks.Played(step, runner.Context().pluginName);
    if (step.name == "reset" && has("overfill-list") && !overfilled) {
      overfilled = true;
      auto& list = MasterForms(4).citizenList->leveledList;
      const RE::LEVELED_OBJECT first = list.entries[0];
      std::vector<RE::LEVELED_OBJECT> entries(256, first);
      list.entries = static_cast<RE::LEVELED_OBJECT*>(GameAllocate(entries.size() * sizeof(first)));
      std::copy(entries.begin(), entries.end(), list.entries);
      list.entryCount = static_cast<std::uint8_t>(entries.size());
    }
    if (!options.checkAtEnd) broken = checks.AfterEvent(step);
  }
  if (!broken) broken = checks.AtEnd();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  StopAppearanceThreads();
  if (scenario.is_open()) scenario.close();

  const auto memory = checks.Memory();
  nlohmann::json report{
      {"seed", gameOptions.seed},
      {"events", played.index},
      {"seconds", seconds},
      {"eventsPerSecond", played.index / std::max(seconds, 1e-9)},
      {"eventsByKind", figures.byKind},
      {"longestEventMs", figures.longestMs},
      {"longestEvent", figures.longestLine},
      {"pluginMemory", {{"start", memory.start.Total()}, {"peak", memory.peak.Total()}, {"end", memory.end.Total()}}},
      {"logBytes", checks.LogBytes()},
      {"promiseChecks", checks.ChecksMade()},
      {"appearanceCalls", AppearanceThreadCalls()},
      {"brokenPromise",
       broken ? nlohmann::json{{"name", broken->name}, {"detail", broken->detail}} : nlohmann::json()}};
  std::cout << fmt::format("brindlewick-sim soak: {} events in {:.1f} s ({:.0f} a second), {} promise checks\n",
                           played.index, seconds, report["eventsPerSecond"].get<double>(), checks.ChecksMade());
  std::string kinds;
  for (const auto& [kind, count] : figures.byKind) kinds += fmt::format(" {} {}", kind, count);
  std::cout << "events by kind:" << kinds << "\n"
            << fmt::format("longest event: {:.1f} ms ({})\n", figures.longestMs, figures.longestLine)
            << fmt::format("plug-in memory: {} bytes at the start, {} at the peak, {} at the end\n",
                           memory.start.Total(), memory.peak.Total(), memory.end.Total())
            << fmt::format("log: {} bytes; appearance calls on the game threads: {}\n", checks.LogBytes(),
                           AppearanceThreadCalls())
            << std::flush;
  if (gameOptions.json) {
    std::ofstream out(*gameOptions.json, std::ios::trunc);
    out << report.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
  }
  if (!broken) return exit_code::kPlayed;
  std::cerr << "brindlewick-sim: promise broken: " << broken->name << ": " << broken->detail << "\n"
            << Context() << std::flush;
  return exit_code::kPromiseBroken;
}

}  // namespace sim
