#include "Win/FolderWatcher.h"

#include <windows.h>

#include <algorithm>
#include <utility>

namespace {

constexpr DWORD kChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE;
// One wait covers at most MAXIMUM_WAIT_OBJECTS handles, the wake event among them.
constexpr std::size_t kMostWatches = MAXIMUM_WAIT_OBJECTS - 1;
constexpr SIZE_T kStackReserve = 64 * 1024;

}  // namespace

struct FolderWatcher::State {
  std::mutex lock;
  HANDLE wake = nullptr;  // auto-reset: the list changed, or the thread must stop
  HANDLE thread = nullptr;
  bool stop = false;
  std::vector<std::pair<HANDLE, std::shared_ptr<Watch>>> watches;
  std::vector<HANDLE> retired;  // closed by the thread, never while it waits on them

  // Moves the watch's handle to the retired ones; false when it is not in the list.
  bool Retire(const Watch* watch) {
    const auto found =
        std::find_if(watches.begin(), watches.end(), [&](auto& entry) { return entry.second.get() == watch; });
    if (found == watches.end()) return false;
    retired.push_back(found->first);
    watches.erase(found);
    return true;
  }
};

namespace {

void Raise(FolderWatcher::Watch& watch) {
  watch.seen.fetch_add(1, std::memory_order_relaxed);
  watch.changed.store(true, std::memory_order_release);
}

DWORD WINAPI Run(void* parameter) {
  // The thread shares the state, so that it never outlives what it reads.
  const std::unique_ptr<std::shared_ptr<FolderWatcher::State>> owned(
      static_cast<std::shared_ptr<FolderWatcher::State>*>(parameter));
  auto& state = **owned;
  std::vector<HANDLE> handles;
  std::vector<std::shared_ptr<FolderWatcher::Watch>> watches;
  for (;;) {
    {
      std::scoped_lock guard(state.lock);
      for (const HANDLE retired : state.retired) FindCloseChangeNotification(retired);
      state.retired.clear();
      if (state.stop) return 0;
      handles.assign(1, state.wake);
      watches.assign(1, nullptr);
      for (const auto& [handle, watch] : state.watches) {
        handles.push_back(handle);
        watches.push_back(watch);
      }
    }
    const DWORD result = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, INFINITE);
    if (result == WAIT_OBJECT_0) continue;
    if (result > WAIT_OBJECT_0 && result < WAIT_OBJECT_0 + handles.size()) {
      const auto index = result - WAIT_OBJECT_0;
      auto& watch = *watches[index];
      // Armed again before the flag goes up, so that a change after the reading the flag leads to
      // fires once more.
      if (!FindNextChangeNotification(handles[index])) {
        watch.broken.store(true, std::memory_order_release);
        std::scoped_lock guard(state.lock);
        state.Retire(&watch);
      }
      Raise(watch);
      continue;
    }
    // The wait itself failed: no watch can be trusted any more.
    std::scoped_lock guard(state.lock);
    for (auto& [handle, watch] : state.watches) {
      watch->broken.store(true, std::memory_order_release);
      Raise(*watch);
      state.retired.push_back(handle);
    }
    state.watches.clear();
  }
}

}  // namespace

std::shared_ptr<FolderWatcher::State> FolderWatcher::Started(unsigned long& error) {
  std::scoped_lock guard(lock_);
  if (state_) return state_;
  auto state = std::make_shared<State>();
  state->wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!state->wake) {
    error = GetLastError();
    return nullptr;
  }
  auto* shared = new std::shared_ptr<State>(state);
  state->thread = CreateThread(nullptr, kStackReserve, Run, shared, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (!state->thread) {
    error = GetLastError();
    delete shared;
    CloseHandle(state->wake);
    return nullptr;
  }
  state_ = state;
  return state_;
}

std::shared_ptr<FolderWatcher::Watch> FolderWatcher::Add(const std::wstring& path, unsigned long& error) {
  const auto state = Started(error);
  if (!state) return nullptr;
  const HANDLE change = FindFirstChangeNotificationW(path.c_str(), FALSE, kChanges);
  if (change == INVALID_HANDLE_VALUE) {
    error = GetLastError();
    return nullptr;
  }
  auto watch = std::make_shared<Watch>();
  {
    std::scoped_lock guard(state->lock);
    if (state->watches.size() >= kMostWatches) {
      FindCloseChangeNotification(change);
      error = ERROR_TOO_MANY_OPEN_FILES;
      return nullptr;
    }
    state->watches.emplace_back(change, watch);
  }
  SetEvent(state->wake);
  return watch;
}

void FolderWatcher::Remove(const std::shared_ptr<Watch>& watch) {
  if (!watch) return;
  std::shared_ptr<State> state;
  {
    std::scoped_lock guard(lock_);
    state = state_;
  }
  if (!state) return;
  bool retired = false;
  {
    std::scoped_lock guard(state->lock);
    retired = state->Retire(watch.get());
  }
  if (retired) SetEvent(state->wake);
}

void FolderWatcher::Stop() {
  std::scoped_lock guard(lock_);
  if (!state_) return;
  {
    std::scoped_lock stateGuard(state_->lock);
    state_->stop = true;
  }
  SetEvent(state_->wake);
  WaitForSingleObject(state_->thread, INFINITE);
  CloseHandle(state_->thread);
  for (auto& [handle, watch] : state_->watches) {
    watch->broken.store(true, std::memory_order_release);
    FindCloseChangeNotification(handle);
  }
  for (const HANDLE retired : state_->retired) FindCloseChangeNotification(retired);
  CloseHandle(state_->wake);
  state_.reset();
}

bool FolderWatcher::TakeChange(Watch& watch) {
  // Cheap when nothing changed: a plain read, and the exchange only once the flag is up.
  if (!watch.changed.load(std::memory_order_acquire)) return false;
  return watch.changed.exchange(false, std::memory_order_acq_rel);
}
