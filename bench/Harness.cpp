#include "Harness.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>

namespace {
std::atomic<std::uint64_t> allocations{0};
}

void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace bench {

std::uint64_t AllocationCount() noexcept { return allocations.load(std::memory_order_relaxed); }

Result Measure(const std::string& name, int repetitions, const std::function<void()>& body) {
  body();  // warm-up
  std::vector<double> times;
  const auto allocationsBefore = AllocationCount();
  for (int i = 0; i < repetitions; ++i) {
    const auto start = std::chrono::steady_clock::now();
    body();
    times.push_back(std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count());
  }
  const auto allocationsAfter = AllocationCount();
  std::sort(times.begin(), times.end());
  return {name, times[times.size() / 2], times.front(), times.back(),
          static_cast<double>(allocationsAfter - allocationsBefore) / repetitions};
}

void Print(const Result& r, double items, const char* itemName) {
  std::printf("%-52s median %10.3f ms  [%9.3f .. %9.3f]  %8.2f ns/%s  %12.0f %s/s  allocs/rep %.1f\n", r.name.c_str(),
              r.medianNs / 1e6, r.minNs / 1e6, r.maxNs / 1e6, r.medianNs / items, itemName, items / (r.medianNs / 1e9),
              itemName, r.allocationsPerRepetition);
}

void WriteLines(const std::filesystem::path& path, int count, const std::function<std::string(int)>& line) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  for (int i = 0; i < count; ++i) out << line(i) << "\r\n";
}

}  // namespace bench
