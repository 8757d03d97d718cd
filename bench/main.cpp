// brindlewick-bench: measures the plug-in's hot and start-up paths under wine.
#include <cstdio>

#include <filesystem>

#include "GameModule.h"
#include "WorldFile.h"

void RunAddressLibraryBenchmarks();
void RunDataBaseBenchmarks();
void RunApplyDataBenchmarks();
void RunCitizenIdentityBenchmarks();
void RunUniqueNPCBenchmarks();
void RunActorBackgroundProcessBenchmarks();

int main() {
  // The bench is the game's main module, started in a folder of its own.
  const auto game = std::filesystem::temp_directory_path() / "bw-bench-game";
  std::filesystem::remove_all(game);
  std::filesystem::create_directories(game);
  std::filesystem::current_path(game);
  sim::StartGame();
  sim::LoadPluginMasterOnly();

  std::puts(
      "benchmark                                            median (ms)   [min .. max]       per item    items/s");
  RunAddressLibraryBenchmarks();
  RunDataBaseBenchmarks();
  RunApplyDataBenchmarks();
  RunCitizenIdentityBenchmarks();
  RunUniqueNPCBenchmarks();
  RunActorBackgroundProcessBenchmarks();
  return 0;
}
