// brindlewick-bench: measures the plug-in's hot and start-up paths under wine.
#include <cstdio>

void RunAddressLibraryBenchmarks();

int main() {
  std::puts("benchmark                                            median (ms)   [min .. max]       per item    items/s");
  RunAddressLibraryBenchmarks();
  return 0;
}
