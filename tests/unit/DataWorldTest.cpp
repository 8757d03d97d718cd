// The world the sim makes from an author's data folder when no world file is given: the forms the
// files name exist with the kind each file expects, and what the plug-in refuses stays refused.
#include <gtest/gtest.h>

#include "FormsBack.h"

#include <cmath>
#include <filesystem>

#include "Actors.h"
#include "ChildProcess.h"
#include "DataWorld.h"
#include "GameFolder.h"
#include "GameForms.h"
#include "GameWorld.h"
#include "Helpers/PluginSettings.h"
#include "LogCapture.h"
#include "Main/Cities/DataBase.h"
#include "Main/Cities/LocationData.h"
#include "RE/T/TESNPC.h"
#include "WorldFile.h"

namespace {

RE::TESForm* FormOf(const char* file, std::uint32_t localID) {
  auto* plugin = sim::FindPluginFile(file);
  return plugin ? sim::FindForm(sim::RuntimeFormID(*plugin, localID)) : nullptr;
}

bool IsOfKind(const RE::TESForm* form, RE::FormType type) { return form && form->Is(type); }

bool IsNPCOfSex(const RE::TESForm* form, bool female) {
  return form && form->Is(RE::FormType::kNPC) && static_cast<const RE::TESNPC*>(form)->IsFemale() == female;
}

struct DataWorld : testing::Test {
  test::GameFolder game;
  FormsBack restore;

  void SetUp() override {
    PluginSettings = PluginSettingsRecord{};
    sim::ClearPluginFiles();
  }
  void TearDown() override {
    sim::ClearPluginFiles();
    sim::LoadWorld(test::BinaryDirectory() / "data" / "world" / "SampleWorld.json");
  }
  void Write(const std::string& file, const std::string& text) const {
    test::WriteFile(game.dataFolder() / std::filesystem::u8path(file), text);
  }
};

TEST_F(DataWorld, EveryNamedFormExistsWithTheKindItsFileExpects) {
  Write("NewAtlantis/FemaleFaceNPCs.txt",
        "\xEF\xBB\xBF"
        "000801_Zoe.esp ; clerk\r\n0x0802_Zoe.esp\r\n");
  Write("NewAtlantis/MaleFaceNPCs_More.txt", "00A_ZoeLight.esl\n0002F9AF\n");
  Write("Cydonia/FemaleClothing.txt", "000900_ZoeTailor.esm ; gown\n");
  Write("Cydonia/MaleAnims.txt", "000A00_Zoe.esp\n");
  Write("Neon/FemaleVoices.txt", "000B00_ZoeLight.esl\n");
  Write("Neon/EncounterPoints.txt",
        "000C00_ZoeWorld.esm ; bench\n000C01_ZoeWorld.esm\n000C02_ZoeWorld.esm\n000C03_ZoeWorld.esm\n");
  Write("UniqueNPCs/Ada.ini",
        "[Character]\r\nsName=Ada\r\niAppearance=000D00_Zoe.esp\r\niFacialAnim=000A01_Zoe.esp\r\n"
        "iVoiceType = \"000B01_ZoeLight.esl\"\r\n[Neon]\r\niEncounterChance=50\r\niClothing=000901_ZoeTailor.esm\r\n");
  sim::LoadWorldFromData(game.dataFolder());

  // Starfield.esm first, then the files in the order the data names them, the plug-in's master after
  // the full ones; .esl files are small.
  const char* fullFiles[] = {"Starfield.esm", "Zoe.esp", "ZoeTailor.esm", "ZoeWorld.esm", "QuillmereLight.esm"};
  for (int i = 0; i < 5; ++i) {
    ASSERT_NE(sim::FindPluginFile(fullFiles[i]), nullptr) << fullFiles[i];
    EXPECT_EQ(sim::FindPluginFile(fullFiles[i])->compileIndex, i) << fullFiles[i];
  }
  ASSERT_NE(sim::FindPluginFile("ZoeLight.esl"), nullptr);
  EXPECT_EQ(sim::FindPluginFile("ZoeLight.esl")->compileIndex, 0xFE);

  EXPECT_TRUE(IsNPCOfSex(FormOf("Zoe.esp", 0x801), true));
  EXPECT_EQ(sim::FormName(FormOf("Zoe.esp", 0x801)), "clerk");
  EXPECT_TRUE(IsNPCOfSex(FormOf("Zoe.esp", 0x802), true));
  EXPECT_TRUE(IsNPCOfSex(FormOf("ZoeLight.esl", 0xA), false));
  EXPECT_TRUE(IsNPCOfSex(FormOf("Starfield.esm", 0x2F9AF), false));
  EXPECT_TRUE(IsOfKind(FormOf("ZoeTailor.esm", 0x900), RE::FormType::kOutfit));
  EXPECT_TRUE(IsOfKind(FormOf("Zoe.esp", 0xA00), RE::FormType::kKeyword));
  EXPECT_TRUE(IsOfKind(FormOf("ZoeLight.esl", 0xB00), RE::FormType::kVoiceType));

  // A unique NPC's forms likewise; an appearance no face file names is a man.
  EXPECT_TRUE(IsNPCOfSex(FormOf("Zoe.esp", 0xD00), false));
  EXPECT_TRUE(IsOfKind(FormOf("Zoe.esp", 0xA01), RE::FormType::kKeyword));
  EXPECT_TRUE(IsOfKind(FormOf("ZoeLight.esl", 0xB01), RE::FormType::kVoiceType));
  EXPECT_TRUE(IsOfKind(FormOf("ZoeTailor.esm", 0x901), RE::FormType::kOutfit));

  // Encounter points stand in their city, near the spot the player enters it at.
  const auto spot = sim::GetWorld().citySpots.at("Neon");
  for (const std::uint32_t id : {0xC00u, 0xC01u, 0xC02u, 0xC03u}) {
    auto* point = FormOf("ZoeWorld.esm", id);
    ASSERT_NE(point, nullptr);
    ASSERT_TRUE(point->Is(RE::FormType::kReference));
    auto* reference = static_cast<RE::TESObjectREFR*>(point);
    EXPECT_EQ(sim::CurrentLocation(reference), sim::CityLocation(4));
    const auto& at = reference->position;
    EXPECT_LT(std::hypot(at.x - spot.x, at.y - spot.y, at.z - spot.z), 500.0f);
  }
  // The plug-in takes every one of them for the player standing on the spot, at the default distances.
  sim::PlacePlayer(spot);
  test::LogCapture log;
  EXPECT_EQ(BuildDataBase(DataBaseKind::EncounterPoints, true, CityRecordOf(City::Neon)), 4)
      << testing::PrintToString(log.lines());
}

TEST_F(DataWorld, LinesThePluginRefusesMakeNoFormAndStayRefused) {
  Write("AkilaCity/FemaleFaceNPCs.txt",
        "000801_Zoe.esp\n12G4_Zoe.esp\n1234567_Zoe.esp\n123456789\n; a comment line\n0000_Zoe.esp\n"
        "001234_ZoeLight.esl\nFF000800\n");
  // The same form named as a face and then as a voice stays the face.
  Write("AkilaCity/FemaleVoices.txt", "000801_Zoe.esp\n");
  sim::LoadWorldFromData(game.dataFolder());

  EXPECT_EQ(FormOf("Zoe.esp", 0x12), nullptr);  // the lookup would read "12G4" as far as "12"
  EXPECT_EQ(FormOf("Zoe.esp", 0x1234567), nullptr);
  EXPECT_EQ(FormOf("ZoeLight.esl", 0x1234), nullptr);
  EXPECT_EQ(sim::FindForm(0xFF000800), nullptr);  // the game's own IDs for what it creates while running
  EXPECT_TRUE(IsNPCOfSex(FormOf("Zoe.esp", 0x801), true));

  test::LogCapture log;
  auto& akila = CityRecordOf(City::AkilaCity);
  EXPECT_EQ(BuildDataBase(DataBaseKind::FaceNPCs, true, akila), 1) << testing::PrintToString(log.lines());
  EXPECT_EQ(BuildDataBase(DataBaseKind::Voices, true, akila), 0) << testing::PrintToString(log.lines());
}

}  // namespace
