#pragma once
// Game threads that run the appearance function for the player and every actor in the process
// lists, round after round, while the main thread plays the game: the plug-in's hook is reached from
// several threads at once, all the time, as in a real evening of play.
#include <cstdint>

namespace sim {

// Starts threads (1 to 64) that run until StopAppearanceThreads; starting again replaces them.
void StartAppearanceThreads(int threads, std::uint64_t seed);
void StopAppearanceThreads();
// Calls of the appearance function those threads made so far.
std::uint64_t AppearanceThreadCalls();

}  // namespace sim
