#pragma once
// Change notifications on folders, waited for on a thread of its own, so that asking whether a
// folder changed costs one atomic read instead of a wait call (a round trip to wineserver under
// wine, far longer than the rebuild it guards).
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class FolderWatcher {
 public:
  struct Watch {
    std::atomic<bool> changed{false};    // raised by the thread once the notification is armed again
    std::atomic<bool> broken{false};     // the notification cannot be armed again: do not trust it
    std::atomic<std::uint64_t> seen{0};  // changes noticed so far
  };

  // Watches the folder (file names, sizes and writes, not its subfolders). Null when it cannot be
  // watched; error then holds the Windows error code.
  std::shared_ptr<Watch> Add(const std::wstring& path, unsigned long& error);
  // Stops watching; the handle is closed by the thread, which may be waiting on it.
  void Remove(const std::shared_ptr<Watch>& watch);
  // Stops the thread and closes every handle before it returns.
  void Stop();

  // Takes the raised flag down; true when it was raised.
  static bool TakeChange(Watch& watch);

  struct State;  // what the thread shares with this object

 private:
  std::shared_ptr<State> state_;
  std::mutex lock_;  // guards state_
  std::shared_ptr<State> Started(unsigned long& error);
};
