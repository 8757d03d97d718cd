#pragma once
// The plug-in's promises to players and data authors, checked against the game's state as the
// stand-in holds it. A check names the promise it found broken and what it saw.
#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "PluginMemory.h"
#include "Scenario.h"

namespace sim {

struct BrokenPromise {
  std::string name;
  std::string detail;
};

struct PromiseLimits {
  // Events before the plug-in's memory is taken as warmed up.
  std::uint64_t warmUpEvents = 500;
  // Lines a single event may add to the log while logging is on, and lines for each call of the
  // appearance function the game threads made meanwhile (each call is the game calling the plug-in).
  std::uint64_t logLinesPerEvent = 20000;
  std::uint64_t logLinesPerAppearanceCall = 3;
};

struct MemoryTotals {
  PluginMemoryFigures start, peak, end;
};

class PromiseChecks {
 public:
  // Takes the game's own lists as they are now, before the plug-in has touched them.
  explicit PromiseChecks(PromiseLimits limits);

  // A step has been played: what it tells of the game (the plug-in loaded, the data files changed,
  // logging switched in the settings and read again) is noted before any check.
  void Played(const Step& step, const std::string& pluginName);

  // Every check that applies after this step; the first broken promise, if any.
  std::optional<BrokenPromise> AfterEvent(const Step& step);
  // Every check there is, whatever the step (for a run that checks only at its end).
  std::optional<BrokenPromise> AtEnd();

  std::uint64_t ChecksMade() const { return checks_; }
  MemoryTotals Memory() const { return memory_; }
  std::uint64_t LogBytes() const { return logOffset_; }

 private:
  struct GameLists {
    std::vector<std::uint32_t> citizen, femaleOutfit, maleOutfit;
  };
  std::optional<BrokenPromise> ListsHoldTheirKinds();
  std::optional<BrokenPromise> ListsAfterReset();
  std::optional<BrokenPromise> UniqueNPCCopies();
  std::optional<BrokenPromise> CitizensGotIdentity();
  std::optional<BrokenPromise> ScriptValuesReleased();
  std::optional<BrokenPromise> MemoryBounded();
  std::optional<BrokenPromise> LogBounded(bool settingsReread);
  void DataFilesChanged();
  void LoggingSwitched(std::optional<bool> on);

  PromiseLimits limits_;
  std::array<GameLists, 4> gamesOwn_;
  // Per city, per database name: every form its files have named since the start.
  std::array<std::map<std::string, std::set<const RE::TESForm*>>, 4> everListed_;
  std::size_t citizensChecked_ = 0;
  std::uint64_t events_ = 0, checks_ = 0;
  std::int64_t dataBytes_ = 0;
  MemoryTotals memory_;
  PluginMemoryFigures warmUpPeak_;
  std::filesystem::path log_;
  std::uint64_t logOffset_ = 0;
  std::uint64_t appearanceCalls_ = 0;
  std::optional<bool> logging_ = false;
  // The local time logging went off, as the log writes it: a line stamped before was in flight.
  std::string loggingOffSince_;
};

}  // namespace sim
