#pragma once
// The game's appearance work: its appearance function, which the game's threads run for every actor
// they process (the plug-in patches a call inside it), and the appearance update of one actor.
#include <cstdint>
#include <functional>
#include <vector>

#include "GameWorld.h"
#include "RE/P/PlayerCharacter.h"

namespace sim {

// What the game's appearance function calls so far came to.
struct AppearanceTotals {
  std::uint64_t calls = 0;                      // the appearance function ran
  std::uint64_t targetCalls = 0;                // its own call inside (at +0x4F) ran
  std::uint64_t resultsAltered = 0;             // the function saw another result than its own call returned
  std::uint64_t updatesWithOtherArguments = 0;  // appearance updates not asked with false, 0, false
};

// The game's appearance function runs rounds times for the player and for every actor in the process
// lists, the calls spread over threads running at once; seed draws each call's second argument.
void RunAppearanceFunction(std::uint64_t rounds, int threads, std::uint64_t seed);
AppearanceTotals AppearanceCallTotals();

// The address of the game's own call inside its appearance function, and what it returns.
std::uintptr_t AppearanceTargetAddress();
char AppearanceOwnResult(RE::Actor* actor, std::uint64_t argument);

// Runs at the start of every appearance update, on the updating thread (for tests).
void OnAppearanceUpdate(std::function<void()> observer);

// How many times the game updated this actor's appearance (by form ID).
int AppearanceUpdatesOf(std::uint32_t formID);

std::vector<ModelledAddress> AppearanceModelAddresses();

}  // namespace sim
