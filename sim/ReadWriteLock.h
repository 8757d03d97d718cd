#pragma once
// A reader-writer lock on the system's slim lock. Not std::shared_mutex: with this toolchain it rests
// on winpthreads, whose read lock now and then returns without excluding a writer (libstdc++ ignores
// the error), and a game thread read an actor the main thread was freeing.

namespace sim {

class ReadWriteLock {
 public:
  ReadWriteLock() = default;
  ReadWriteLock(const ReadWriteLock&) = delete;
  ReadWriteLock& operator=(const ReadWriteLock&) = delete;

  void lock();
  bool try_lock();
  void unlock();
  void lock_shared();
  bool try_lock_shared();
  void unlock_shared();

 private:
  void* slimLock_ = nullptr;  // an SRWLOCK, kept out of this header with windows.h
};

}  // namespace sim
