// Applying one city's data with large databases, logging off: what start-up and every game reset pay.
#include <filesystem>
#include <fstream>

#include "GameForms.h"
#include "Harness.h"
#include "Helpers/PluginSettings.h"
#include "Main/Cities/ApplyDataToLocation.h"
#include "Main/LeveledLists/LeveledLists.h"

namespace {

constexpr int kFacesPerSex = 125;  // 250 faces in all: the list's limit allows no more than 255
constexpr int kClothingPerSex = 250;
constexpr int kNamesPerSex = 5000;

}  // namespace

void RunApplyDataBenchmarks() {
  PluginSettings.bLogging = false;
  const auto city = std::filesystem::current_path() / "Data/SFSE/Plugins/Quillmere/Cydonia";
  sim::AddPluginFile("BenchCitizens.esm", 1, 0x30);
  char text[40];
  auto formLine = [&](std::uint32_t local) {
    std::snprintf(text, sizeof(text), "%06X_BenchCitizens.esm", local);
    return std::string(text);
  };
  for (const bool female : {true, false}) {
    const std::string sex = female ? "Female" : "Male";
    const std::uint32_t base = female ? 0x1000 : 0x2000;
    bench::WriteLines(city / (sex + "FaceNPCs.txt"), kFacesPerSex, [&](int i) {
      sim::AddNPC(0x30000000u + base + i, female);
      return formLine(base + i);
    });
    bench::WriteLines(city / (sex + "Clothing.txt"), kClothingPerSex, [&](int i) {
      sim::AddForm(0x30000000u + base + 0x800 + i, RE::FormType::kArmor);
      return formLine(base + 0x800 + i);
    });
    bench::WriteLines(city / (sex + "Anims.txt"), 10, [&](int i) {
      sim::AddForm(0x30000000u + base + 0xC00 + i, RE::FormType::kKeyword);
      return formLine(base + 0xC00 + i);
    });
    bench::WriteLines(city / (sex + "Voices.txt"), 10, [&](int i) {
      sim::AddForm(0x30000000u + base + 0xD00 + i, RE::FormType::kVoiceType);
      return formLine(base + 0xD00 + i);
    });
    bench::WriteLines(city / (sex + "Names.txt"), kNamesPerSex,
                      [&](int i) { return sex + "Name" + std::to_string(i); });
    bench::WriteLines(city / (sex + "LastNames.txt"), kNamesPerSex,
                      [&](int i) { return "Lastname" + std::to_string(i); });
  }
  std::ofstream(city / "LocationData.ini") << "[General]\r\niFemalePercent=30\r\n";

  bool applied = false;
  const auto result = bench::Measure("ApplyDataToLocation: 250 faces, 500 clothes, 10k names", 5, [&] {
    applied = ApplyDataToLocation(CityRecordOf(City::Cydonia));
    ClearSavedLeveledLists();  // as a game reset does between two applications
  });
  bench::Print(result, 1, "city");
  if (!applied) std::puts("ApplyDataToLocation failed");
}
