#pragma once
// A value the game's threads read while another thread may write it. Only the value matters, not
// what was written before it, so relaxed order is enough; the atomic keeps the compiler from holding a
// stale copy in a register and makes the race defined.
#include <atomic>

template <class T>
class Relaxed {
 public:
  constexpr Relaxed() noexcept : value_{} {}
  constexpr Relaxed(T value) noexcept : value_(value) {}  // NOLINT: reads like the plain value it replaces
  Relaxed(const Relaxed& other) noexcept : value_(other.load()) {}
  Relaxed& operator=(const Relaxed& other) noexcept {
    store(other.load());
    return *this;
  }
  Relaxed& operator=(T value) noexcept {
    store(value);
    return *this;
  }

  T load() const noexcept { return value_.load(std::memory_order_relaxed); }
  void store(T value) noexcept { value_.store(value, std::memory_order_relaxed); }
  operator T() const noexcept { return load(); }  // NOLINT: as above
  T operator->() const noexcept { return load(); }

 private:
  std::atomic<T> value_;
};
