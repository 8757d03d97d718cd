#pragma once
// std::mt19937's outputs for one seed, bit for bit, for an engine that is seeded, asked for a value
// or two and thrown away: it computes the state words those outputs read (about 400 of the 624)
// and twists only the words it returns, where std::mt19937 initialises and twists all 624 first.
#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>

class LazyMt19937 {
 public:
  using result_type = std::uint32_t;
  static constexpr result_type min() { return 0; }
  static constexpr result_type max() { return std::numeric_limits<result_type>::max(); }

  explicit LazyMt19937(result_type seed) : seed_(seed) { state_[0] = seed; }

  result_type operator()() {
    if (next_ >= kLazyOutputs) return Fallback();
    const unsigned k = next_++;
    Initialise(k + kShift);
    const std::uint32_t y = (state_[k] & kUpper) | (state_[k + 1] & kLower);
    return Temper(state_[k + kShift] ^ (y >> 1) ^ ((y & 1u) ? kMatrix : 0u));
  }

 private:
  static constexpr unsigned kWords = 624, kShift = 397;
  // Outputs 0 to 226 twist words from the seeded state alone; later ones read twisted words.
  static constexpr unsigned kLazyOutputs = kWords - kShift;
  static constexpr std::uint32_t kMatrix = 0x9908B0DFu, kUpper = 0x80000000u, kLower = 0x7FFFFFFFu;

  static std::uint32_t Temper(std::uint32_t y) {
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    return y ^ (y >> 18);
  }

  // The seeded state up to word `last`.
  void Initialise(unsigned last) {
    for (; initialised_ < last; ++initialised_)
      state_[initialised_ + 1] = 1812433253u * (state_[initialised_] ^ (state_[initialised_] >> 30)) + initialised_ + 1;
  }

  // Never reached by a uniform draw in practice; exact all the same.
  result_type Fallback() {
    if (!full_) {
      full_.emplace(seed_);
      full_->discard(next_);
    }
    ++next_;
    return (*full_)();
  }

  result_type seed_;
  std::array<std::uint32_t, kWords> state_;  // only the words up to initialised_ are ever read
  unsigned initialised_ = 0;                 // state_[0..initialised_] hold the seeded state
  unsigned next_ = 0;                        // outputs given so far
  std::optional<std::mt19937> full_;
};
