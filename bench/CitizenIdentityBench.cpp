// The 3D-set handler runs for every actor whose 3D the game sets: the path for actors that are no
// citizens must cost only its few reads and keyword tests, and allocate nothing; a citizen's small
// databases are rebuilt every few events, without reading the city folder while it is unchanged.
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "Citizens.h"
#include "GameForms.h"
#include "Harness.h"
#include "Helpers/PluginSettings.h"
#include "Main/Citizens/CitizenIdentity.h"
#include "Main/Cities/CityFolderCache.h"
#include "Main/Cities/DataBase.h"
#include "Main/Cities/LocationData.h"
#include "Main/Cities/RandomDraws.h"
#include "RE/VirtualCall.h"

namespace {

RE::BSEventNotifyControl Raise(RE::TESObjectREFR* reference) {
  const RE::Events::ReferenceSet3d event{reference};
  return RE::VirtualCall<RE::BSEventNotifyControl>(Events::QuillmereReferenceSet3dClass::GetSingleton(), 1, &event,
                                                   static_cast<RE::BSTEventSource*>(nullptr));
}

// The city's lists at the shipped sample's sizes (5 animations, 7 voices) with the given number of
// names and last names a list (the sample has about 270), from the forms the city benchmarks made.
void UseListsWithNames(int names) {
  const auto city = std::filesystem::current_path() / "Data/SFSE/Plugins/Quillmere/Cydonia";
  const char* syllables[] = {"Al", "ber", "Cas", "dan", "El", "ric", "Mo", "ra", "Tev", "in", "Ysa", "bel", "o"};
  for (const bool female : {true, false}) {
    const std::string sex = female ? "Female" : "Male";
    const std::uint32_t base = female ? 0x1000 : 0x2000;
    auto formLine = [](std::uint32_t local) {
      char text[40];
      std::snprintf(text, sizeof(text), "%06X_BenchCitizens.esm", local);
      return std::string(text);
    };
    bench::WriteLines(city / (sex + "Anims.txt"), 5, [&](int i) { return formLine(base + 0xC00 + i); });
    bench::WriteLines(city / (sex + "Voices.txt"), 7, [&](int i) { return formLine(base + 0xD00 + i); });
    auto name = [&](int i) {  // names of two to four syllables, so that lengths differ as real names do
      std::string text = syllables[i % 13];
      for (int rest = i / 13, count = 1 + i % 3; count > 0; --count, rest /= 13) text += syllables[rest % 13];
      return text;
    };
    bench::WriteLines(city / (sex + "Names.txt"), names, name);
    bench::WriteLines(city / (sex + "LastNames.txt"), names, [&](int i) { return name(i + 300); });
  }
  ForgetCityFolders();
  auto& record = CityRecordOf(City::Cydonia);
  for (auto* list : {&record.FemaleNames, &record.MaleNames, &record.FemaleLastNames, &record.MaleLastNames})
    list->clear();
  record.FemaleAnims.clear(), record.MaleAnims.clear(), record.FemaleVoices.clear(), record.MaleVoices.clear();
}

}  // namespace

// Runs after the city benchmarks, which applied Cydonia's data and so published its keyword.
void RunCitizenIdentityBenchmarks() {
  PluginSettings.bLogging = false;
  constexpr int kEvents = 100'000;

  auto* npc = sim::AddNPC(0x3F000001, true);
  auto* stranger = sim::AddTyped<RE::Actor>(0x3F000002, RE::FormType::kActor);
  stranger->baseObject = npc;
  stranger->stateFlags = 1u << 21;
  const auto allocationsBefore = bench::AllocationCount();
  const auto strangers = bench::Measure("3D set: an actor of no city, logging off", 5, [&] {
    for (int i = 0; i < kEvents; ++i) Raise(stranger);
  });
  bench::Print(strangers, kEvents, "event");
  std::printf("%-52s %.3f allocations per event\n", "",
              static_cast<double>(bench::AllocationCount() - allocationsBefore) / (6.0 * kEvents) -
                  strangers.allocationsPerRepetition / kEvents);

  std::mt19937 random(5);
  sim::SpawnCitizens(3, 1, random);
  auto* citizen = sim::Citizens().back().actor;
  constexpr int kCitizenEvents = 2'000;
  // A draw takes a random name and removes the first copy of it: its cost must not grow with the list.
  for (const int names : {100, 5'000, 100'000}) {
    UseListsWithNames(names);
    const auto label = "3D set: a Cydonia citizen, " + std::to_string(names) + " names a list";
    const auto citizens = bench::Measure(label, 9, [&] {
      for (int i = 0; i < kCitizenEvents; ++i) Raise(citizen);
    });
    bench::Print(citizens, kCitizenEvents, "event");
  }
  UseListsWithNames(272);
  // Rebuilds read the city folder only when Windows reports a change in it.
  int touching = 0;
  for (int i = 0; i < kCitizenEvents; ++i) {
    const auto before = CityFolderCacheState.diskReads.load();
    Raise(citizen);
    touching += CityFolderCacheState.diskReads.load() != before;
  }
  std::printf("%-52s %.2f%% of events read the city folder (%d of %d)\n", "", 100.0 * touching / kCitizenEvents,
              touching, kCitizenEvents);

  // Each draw seeds a fresh engine from the platform's random device: the bulk of a citizen's cost.
  int sink = 0;
  const auto draws = bench::Measure("GetRandomIntInRange: fresh engine per call", 5, [&] {
    for (int i = 0; i < kCitizenEvents; ++i) sink += GetRandomIntInRange(0, 99);
  });
  bench::Print(draws, kCitizenEvents, "call");

  // A small database runs empty every few citizens and is rebuilt from its files.
  const auto rebuilds = bench::Measure("BuildDataBase: 10-line keyword file (a rebuild)", 5, [&] {
    for (int i = 0; i < 100; ++i) sink += BuildDataBase(DataBaseKind::Anims, true, CityRecordOf(City::Cydonia));
  });
  bench::Print(rebuilds, 100, "rebuild");
  const auto freshRebuilds = bench::Measure("BuildDataBase: the same, its folder read afresh", 5, [&] {
    for (int i = 0; i < 100; ++i) {
      ForgetCityFolders();
      sink += BuildDataBase(DataBaseKind::Anims, true, CityRecordOf(City::Cydonia));
    }
  });
  bench::Print(freshRebuilds, 100, "rebuild");
  if (sink == -1) std::puts("");
}
