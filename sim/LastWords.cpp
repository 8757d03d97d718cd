#include "LastWords.h"

#include <atomic>
#include <cstdio>

namespace sim {
namespace {

std::atomic<LastWordsFunction> lastWords{nullptr};
std::atomic_flag printed = ATOMIC_FLAG_INIT;  // once, whichever thread stops first

}  // namespace

void SetLastWords(LastWordsFunction words) { lastWords = words; }

void PrintLastWords(std::uintptr_t faultAddress) {
  const auto words = lastWords.load();
  if (!words || printed.test_and_set()) return;
  std::fputs(words(faultAddress).c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace sim
