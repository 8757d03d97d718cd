#pragma once
// Rules of the game that the sim enforces on the plug-in: breaking one stops the game with
//   brindlewick-sim: game rule broken: <what>
// and exit code 3, so that a plug-in mistake is never played on as if the game allowed it.
#include <string>

namespace sim {

[[noreturn]] void StopOnBrokenRule(const std::string& what);

// The game's read locks, held per thread.
void NoteReadLockTaken(const void* lock);
void NoteReadLockReleased(const void* lock);
bool ReadLockHeldByThisThread(const void* lock);

}  // namespace sim
