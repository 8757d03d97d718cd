// Building a city's databases from large files with logging off, and resolving one form reference.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "GameForms.h"
#include "Harness.h"
#include "Helpers/FormResolution.h"
#include "Helpers/PluginSettings.h"
#include "Main/Cities/DataBase.h"
#include "Main/Cities/LocationData.h"

namespace {

constexpr int kNames = 100'000;
constexpr int kFaces = 10'000;

}  // namespace

void RunDataBaseBenchmarks() {
  PluginSettings.bLogging = false;
  const auto city = std::filesystem::current_path() / "Data/SFSE/Plugins/Quillmere/NewAtlantis";
  std::mt19937 random(3);
  bench::WriteLines(city / "FemaleNames.txt", kNames,
                    [&](int) { return "Name" + std::to_string(random() % 50000) + "a"; });

  sim::AddPluginFile("BenchFaces.esm", 1, 0x20);
  char text[32];
  bench::WriteLines(city / "FemaleFaceNPCs.txt", kFaces, [&](int i) {
    const std::uint32_t local = 0x1000 + static_cast<std::uint32_t>(i);
    sim::AddNPC(0x20000000u + local, true);
    std::snprintf(text, sizeof(text), "%06X_BenchFaces.esm ; face", local);
    return std::string(text);
  });

  int count = 0;
  auto allocationsBefore = bench::AllocationCount();
  const auto names = bench::Measure("BuildDataBase: 100k-line names file, logging off", 5, [&] {
    count = BuildDataBase(DataBaseKind::Names, true, CityRecordOf(City::NewAtlantis));
  });
  bench::Print(names, kNames, "line");
  std::printf("%-52s %d entries, %.2f allocations per line\n", "", count,
              static_cast<double>(bench::AllocationCount() - allocationsBefore) / (6.0 * kNames));

  allocationsBefore = bench::AllocationCount();
  const auto faces = bench::Measure("BuildDataBase: 10k-line face file, logging off", 5, [&] {
    count = BuildDataBase(DataBaseKind::FaceNPCs, true, CityRecordOf(City::NewAtlantis));
  });
  bench::Print(faces, kFaces, "line");
  std::printf("%-52s %d entries, %.2f allocations per line\n", "", count,
              static_cast<double>(bench::AllocationCount() - allocationsBefore) / (6.0 * kFaces));

  constexpr int kLookups = 100'000;
  RE::TESForm* sink = nullptr;
  const auto lookups = bench::Measure("GetFormFromFile: 100k calls, logging off", 5, [&] {
    for (int i = 0; i < kLookups; ++i) sink = GetFormFromFile("1234", "BenchFaces.esm");
  });
  bench::Print(lookups, kLookups, "call");
  if (!sink) std::puts("GetFormFromFile found nothing");
}
