#include "ReadWriteLock.h"

#include <windows.h>

namespace sim {
namespace {

static_assert(sizeof(SRWLOCK) == sizeof(void*));
PSRWLOCK Slim(void*& storage) { return reinterpret_cast<PSRWLOCK>(&storage); }

}  // namespace

void ReadWriteLock::lock() { AcquireSRWLockExclusive(Slim(slimLock_)); }
bool ReadWriteLock::try_lock() { return TryAcquireSRWLockExclusive(Slim(slimLock_)) != 0; }
void ReadWriteLock::unlock() { ReleaseSRWLockExclusive(Slim(slimLock_)); }
void ReadWriteLock::lock_shared() { AcquireSRWLockShared(Slim(slimLock_)); }
bool ReadWriteLock::try_lock_shared() { return TryAcquireSRWLockShared(Slim(slimLock_)) != 0; }
void ReadWriteLock::unlock_shared() { ReleaseSRWLockShared(Slim(slimLock_)); }

}  // namespace sim
