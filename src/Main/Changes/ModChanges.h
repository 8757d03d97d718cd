#pragma once
// The steps that put the plug-in's changes into the game: start-up runs them once, and a finished game
// reset runs them again, each under its own operation name in the log.
#include <cstdint>

// BuildUniqueNPCsDB over every file, then one line saying what it built. An empty database leaves
// the cities without unique NPCs; the caller goes on either way.
void BuildUniqueNPCDatabase(const char* operation);

// ApplyDataToLocation for cities 1 to 4 in order, stopping at the first that fails (the cities before
// it stay applied). True when all four were applied.
bool ApplyDataToAllLocations();

// ApplyOptimizations, then one warning saying how it went; the caller goes on either way (a failed
// adjustment leaves the game's own settings).
void AdjustGameSettings(const char* operation);

// The game's own appearance-processing flag (one byte). A game without it cannot run the custom
// FaceGen processor: the fatal box ends the game.
std::uint8_t* GameAppearanceFlagOrExit();
