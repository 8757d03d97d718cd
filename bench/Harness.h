#pragma once
// A small benchmark harness: warm-up, repetitions, median and spread, and heap allocations
// counted through the replaced global operator new.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace bench {

std::uint64_t AllocationCount() noexcept;

struct Result {
  std::string name;
  double medianNs;      // per repetition
  double minNs, maxNs;  // spread over the repetitions
  double allocationsPerRepetition;
};

// Runs body once to warm up, then repetitions times; items is what one repetition processes,
// for the per-item figures.
Result Measure(const std::string& name, int repetitions, const std::function<void()>& body);

void Print(const Result& result, double items, const char* itemName);

// A data file of count CRLF lines, line(i) each, creating its folder.
void WriteLines(const std::filesystem::path& path, int count, const std::function<std::string(int)>& line);

}  // namespace bench
