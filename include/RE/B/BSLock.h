#pragma once
#include <cstdint>

#include "RE/IDs.h"
#include "REL/ID.h"

namespace RE {

// The game's read/write lock; taken and released through the game's own operations.
struct BSReadWriteLock {
  std::uint32_t writerThread;
  std::uint32_t lockCount;

  void LockRead() {
    using Fn = void (*)(BSReadWriteLock*);
    reinterpret_cast<Fn>(REL::GameAddress<ID::ReadLock>())(this);
  }
  void UnlockRead() {
    using Fn = void (*)(BSReadWriteLock*);
    reinterpret_cast<Fn>(REL::GameAddress<ID::ReadUnlock>())(this);
  }
};
static_assert(sizeof(BSReadWriteLock) == 8);

// Holds a game lock for a scope.
class BSReadLockGuard {
 public:
  explicit BSReadLockGuard(BSReadWriteLock& lock) : lock_(lock) { lock_.LockRead(); }
  ~BSReadLockGuard() { lock_.UnlockRead(); }
  BSReadLockGuard(const BSReadLockGuard&) = delete;
  BSReadLockGuard& operator=(const BSReadLockGuard&) = delete;

  bool Guards(const BSReadWriteLock& lock) const noexcept { return &lock_ == &lock; }

 private:
  BSReadWriteLock& lock_;
};

}  // namespace RE
