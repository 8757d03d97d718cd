#pragma once
// What a run prints after the reason it stopped early (a crash, a broken game rule): a soak adds its
// seed and the events that led there, so the stop can be played again.
#include <cstdint>
#include <string>

namespace sim {

// faultAddress: the address a crash read or wrote, 0 for none.
using LastWordsFunction = std::string (*)(std::uintptr_t faultAddress);
void SetLastWords(LastWordsFunction words);
// Prints them on standard error, when set.
void PrintLastWords(std::uintptr_t faultAddress);

}  // namespace sim
