#pragma once
// A run without --game-dir plays in a fresh temporary game folder, removed once the game has ended.
// The game runs as a child process of the sim: a game process holds its plug-in DLL, the folders it
// watches and its current directory open until it ends, however it ends, so only a process that
// outlives it can remove the folder, after a crash as after a played scenario.

namespace sim {

// Plays this process's own command line again with --game-dir naming a new temporary folder, and
// returns the game's exit code. keep: the folder stays and its path is printed on standard error;
// otherwise it is removed, and what could not be removed is named on standard error.
int RunInTemporaryGameFolder(bool keep);

}  // namespace sim
