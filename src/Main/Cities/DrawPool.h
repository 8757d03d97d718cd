#pragma once
// A city's database of names, voices or facial animations, drawn from one entry at a time: a draw
// takes the entry at a given position among those left and removes the first entry equal to it, the
// others keeping their order. A tree of counts over the positions finds the position's entry, and each
// distinct value knows its first position left and each position the next one of the same value, so a
// draw costs the logarithm of the list's size instead of moving half of it.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

template <class T>
class DrawPool {
 public:
  using value_type = T;

  DrawPool() = default;
  // A copy holds the entries left, and indexes them on its own first draw: the index's keys point
  // into the entries they were made from.
  DrawPool(const DrawPool& other) : entries_(other.Entries()) {}
  DrawPool& operator=(const DrawPool& other) {
    if (this != &other) assign(other.Entries());
    return *this;
  }
  // Moving keeps the entries where they are, so the index moves along; the pool left behind is empty.
  DrawPool(DrawPool&& other) noexcept { *this = std::move(other); }
  DrawPool& operator=(DrawPool&& other) noexcept {
    if (this == &other) return *this;
    entries_ = std::move(other.entries_), taken_ = std::move(other.taken_), tree_ = std::move(other.tree_);
    nextSame_ = std::move(other.nextSame_), firstLeft_ = std::move(other.firstLeft_);
    left_ = std::exchange(other.left_, 0);
    indexed_ = std::exchange(other.indexed_, false);
    other.entries_.clear();
    return *this;
  }

  void push_back(T entry) {
    Unindex();
    entries_.push_back(std::move(entry));
  }
  void assign(std::size_t count, const T& value) {
    clear();
    entries_.assign(count, value);
  }
  void assign(std::vector<T> entries) {
    clear();
    entries_ = std::move(entries);
  }
  void clear() noexcept {
    Unindex();
    entries_.clear();
  }
  std::size_t size() const noexcept { return indexed_ ? left_ : entries_.size(); }
  bool empty() const noexcept { return size() == 0; }

  // The entries left, in order.
  std::vector<T> Entries() const {
    if (!indexed_) return entries_;
    std::vector<T> left;
    left.reserve(left_);
    for (std::size_t i = 0; i < entries_.size(); ++i)
      if (!taken_[i]) left.push_back(entries_[i]);
    return left;
  }

  // The entry at position (0 to size() - 1) among those left; the first entry equal to it is removed.
  T TakeAt(std::size_t position) {
    Index();
    const T entry = entries_[PositionOfLeft(position)];
    const auto first = firstLeft_.find(KeyOf(entry));
    const auto taken = first->second;
    if (nextSame_[taken] == kNone)
      firstLeft_.erase(first);
    else
      first->second = nextSame_[taken];
    taken_[taken] = 1;
    for (auto i = taken + 1; i <= entries_.size(); i += i & (0 - i)) --tree_[i];
    if (--left_ == 0) clear();
    return entry;
  }

 private:
  static constexpr std::uint32_t kNone = UINT32_MAX;
  using Key = std::conditional_t<std::is_same_v<T, std::string>, std::string_view, T>;
  static Key KeyOf(const T& entry) noexcept { return Key(entry); }

  // The tree and the chains are built on the first draw after the entries changed.
  void Index() {
    if (indexed_) return;
    const auto n = entries_.size();
    tree_.assign(n + 1, 0);
    for (std::size_t i = 1; i <= n; ++i) {
      ++tree_[i];
      if (const auto parent = i + (i & (0 - i)); parent <= n) tree_[parent] += tree_[i];
    }
    taken_.assign(n, 0);
    nextSame_.assign(n, kNone);
    firstLeft_.clear();
    firstLeft_.reserve(n);
    for (std::size_t i = n; i-- > 0;) {
      auto [slot, added] = firstLeft_.try_emplace(KeyOf(entries_[i]), static_cast<std::uint32_t>(i));
      if (!added) nextSame_[i] = std::exchange(slot->second, static_cast<std::uint32_t>(i));
    }
    left_ = n;
    indexed_ = true;
  }

  // Before the entries change: the drawn ones go, the rest keep their order.
  void Unindex() {
    if (!indexed_) return;
    indexed_ = false;
    firstLeft_.clear();
    std::size_t kept = 0;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      if (taken_[i]) continue;
      if (kept != i) entries_[kept] = std::move(entries_[i]);  // a string moved onto itself is emptied
      ++kept;
    }
    entries_.resize(kept);
    tree_.clear(), taken_.clear(), nextSame_.clear();
  }

  // The index in entries_ of the position-th entry left: a descent through the tree of counts to the
  // last prefix holding no more than position entries left.
  std::size_t PositionOfLeft(std::size_t position) const noexcept {
    std::size_t prefix = 0;
    auto before = position;  // entries left that the prefix may still take in
    for (auto step = std::bit_floor(entries_.size()); step > 0; step >>= 1) {
      if (prefix + step <= entries_.size() && tree_[prefix + step] <= before) {
        prefix += step;
        before -= tree_[prefix];
      }
    }
    return prefix;  // the entry right after the prefix
  }

  std::vector<T> entries_;
  std::vector<std::uint8_t> taken_;
  std::vector<std::uint32_t> tree_;      // 1-based: tree_[i] counts the entries left in (i - lowbit(i), i]
  std::vector<std::uint32_t> nextSame_;  // the next position holding an equal entry
  std::unordered_map<Key, std::uint32_t> firstLeft_;
  std::size_t left_ = 0;
  bool indexed_ = false;
};
