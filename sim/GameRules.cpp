#include "GameRules.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "ExitCodes.h"
#include "LastWords.h"

namespace sim {
namespace {

// A thread may take the same read lock more than once; each release gives back one.
thread_local std::vector<const void*> heldReadLocks;

}  // namespace

void StopOnBrokenRule(const std::string& what) {
  std::fprintf(stderr, "brindlewick-sim: game rule broken: %s\n", what.c_str());
  PrintLastWords(0);
  std::fflush(stderr);
  TerminateProcess(GetCurrentProcess(), exit_code::kGameStopped);
  __builtin_unreachable();
}

void NoteReadLockTaken(const void* lock) { heldReadLocks.push_back(lock); }

void NoteReadLockReleased(const void* lock) {
  const auto it = std::find(heldReadLocks.rbegin(), heldReadLocks.rend(), lock);
  if (it == heldReadLocks.rend()) StopOnBrokenRule("a read lock released by a thread that does not hold it");
  heldReadLocks.erase(std::next(it).base());
}

bool ReadLockHeldByThisThread(const void* lock) {
  return std::find(heldReadLocks.begin(), heldReadLocks.end(), lock) != heldReadLocks.end();
}

}  // namespace sim
