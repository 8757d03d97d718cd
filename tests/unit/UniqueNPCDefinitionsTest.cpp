#include <gtest/gtest.h>

#include "FormsBack.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "DataBaseTestSupport.h"
#include "GameFolder.h"
#include "GameForms.h"
#include "Helpers/PluginSettings.h"
#include "LogCapture.h"
#include "Main/Cities/LocationData.h"
#include "Main/UniqueNPCs/UniqueNPCDefinitions.h"

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using Counts = std::pair<std::int32_t, std::int32_t>;
using RE::FormType;

namespace {

const std::string kNpcInfo = "info|[BuildUniqueNPCsDB] ", kNpcWarn = "warning|[BuildUniqueNPCsDB] ",
                  kNpcError = "error|[BuildUniqueNPCsDB] ";

// A UniqueNPCs folder and the forms its files name: Starfield.esm's 7C001 (NPC), 7C002 (keyword),
// 7C003 (voice type), 7C004 (outfit), 7C005 (armor), 7C006 (weapon).
struct Definitions {
  test::GameFolder game;
  FormsBack restore;
  fs::path folder = game.dataFolder() / "UniqueNPCs";
  RE::TESForm *npc, *anim, *voice, *outfit, *armor, *weapon;

  Definitions() {
    PluginSettings = PluginSettingsRecord{};
    ResetPlugins();
    ClearUniqueNPCRecords();
    fs::create_directories(folder);
    npc = sim::AddNPC(0x7C001, true, "Ada");
    anim = sim::AddForm(0x7C002, FormType::kKeyword);
    voice = sim::AddForm(0x7C003, FormType::kVoiceType);
    outfit = sim::AddForm(0x7C004, FormType::kOutfit);
    armor = sim::AddForm(0x7C005, FormType::kArmor);
    weapon = sim::AddForm(0x7C006, static_cast<FormType>(45));
  }
  ~Definitions() { ClearUniqueNPCRecords(); }
  void Write(const std::string& file, const std::string& text) const { test::WriteFile(folder / file, text); }
};

// The "Character" section with every key, some replaced or left out (an empty value drops the key).
std::string Character(const std::map<std::string, std::string>& changed = {}) {
  const std::vector<std::pair<std::string, std::string>> keys = {{"sName", "Ada Quinn"},
                                                                 {"iAppearance", "7C001_Starfield.esm"},
                                                                 {"iFacialAnim", "7C002_Starfield.esm"},
                                                                 {"iVoiceType", "7C003_Starfield.esm"},
                                                                 {"fHeight", "1.05"}};
  std::string text = "[Character]\r\n";
  for (const auto& [name, value] : keys) {
    const auto it = changed.find(name);
    const auto& written = it == changed.end() ? value : it->second;
    if (!written.empty()) text += name + "=" + written + "\r\n";
  }
  return text;
}
std::string Character(const std::string& key, const std::string& value) { return Character({{key, value}}); }

// The names of the records in a city's list, in order.
Lines Names(City city) {
  Lines names;
  for (const auto* record : CityRecordOf(city).UniqueNPCs) names.push_back(record->sDefineFileName);
  return names;
}

// The trace of one file up to its "Character" values, as the log builds it.
std::string FileTrace(std::size_t files, std::size_t index, const std::string& file) {
  return " [UniqueNPCFileNames.size: " + std::to_string(files) +
         "] [Looping UniqueNPCFileNames... Index:" + std::to_string(index) + "] [UniqueNPCFileName: " + file +
         "] [FileNameNoExt: " + file.substr(0, file.rfind('.')) + "]";
}

std::string CityTrace(int index, const std::string& city) {
  return "[Looping INI... Index: " + std::to_string(index) + "] [sLocName: " + city + "]";
}

Lines With(const test::LogCapture& log, const std::string& text) {
  Lines found;
  for (const auto& line : log.lines())
    if (line.find(text) != std::string::npos) found.push_back(line);
  return found;
}

}  // namespace

TEST(UniqueNPCDefinitions, AChanceInTwoCitySectionsMakesTwoRecordsAndTracesWhatWasRead) {
  Definitions defs;
  defs.Write("Ada.ini", Character() +
                            "[NewAtlantis]\r\niEncounterChance=25\r\niClothing=7C004_Starfield.esm\r\n"
                            "[Cydonia]\r\niEncounterChance=25\r\n");
  test::LogCapture log;
  EXPECT_EQ(BuildUniqueNPCsDB(""), (Counts{1, 2}));

  ASSERT_EQ(Names(City::NewAtlantis), Lines{"Ada"});
  ASSERT_EQ(Names(City::Cydonia), Lines{"Ada"});
  EXPECT_TRUE(Names(City::AkilaCity).empty() && Names(City::Neon).empty());
  const auto& na = *CityRecordOf(City::NewAtlantis).UniqueNPCs[0];
  EXPECT_EQ(na.sName, "Ada Quinn");
  EXPECT_TRUE(na.appearanceNPC == defs.npc && na.FacialAnim == defs.anim && na.VoiceType == defs.voice);
  EXPECT_TRUE(na.iEncounterChance == 25 && na.OutfitFormID == 0x7C004 && na.ArmorFormID == 0 && na.Height == 1.05f);
  const auto& cy = *CityRecordOf(City::Cydonia).UniqueNPCs[0];
  EXPECT_TRUE(cy.iEncounterChance == 25 && cy.OutfitFormID == 0 && cy.ArmorFormID == 0);

  // The trace starts afresh after the "Processing" line and then runs on through the four cities.
  const std::string character = FileTrace(1, 0, "Ada.ini") +
                                " [sName: Ada Quinn] [sAppearance: 7C001_Starfield.esm] [sFacialAnimType: "
                                "7C002_Starfield.esm] [sVoiceType: 7C003_Starfield.esm] [fHeight: 1.05]";
  const auto c1 =
      CityTrace(1, "NewAtlantis") +
      " [sEncounterChance: 25] [iEncounterChance: 25] [sClothing: 7C004_Starfield.esm] [sDefineFileName: Ada]";
  const auto c2 = c1 + CityTrace(2, "AkilaCity") + " [sEncounterChance: ]";
  const auto c3 = c2 + CityTrace(3, "Cydonia") + " [sEncounterChance: 25] [iEncounterChance: 25] [sClothing: ]";
  const auto c4 = c3 + " [sDefineFileName: Ada]" + CityTrace(4, "Neon") + " [sEncounterChance: ]";
  EXPECT_EQ(log.linesOf("BuildUniqueNPCsDB"),
            (Lines{kNpcInfo + "Processing UniqueNPC... RetrievedData: " + character,
                   kNpcInfo + "   initialized  UniqueNPC for location [NewAtlantis]. RetrievedData: " + c1,
                   kNpcError + "  sEncounterChance is empty. Skipping this UniqueNPC. RetrievedData: " + c2,
                   kNpcWarn + "  sClothing is empty. This UniqueNPC will not have any Outfit or Armor at Cydonia.",
                   kNpcError + "ClothingForm is nullptr for line: . RetrievedData: " + c3,
                   kNpcInfo + "   initialized  UniqueNPC for location [Cydonia]. RetrievedData: " + c3 +
                       " [sDefineFileName: Ada]",
                   kNpcError + "  sEncounterChance is empty. Skipping this UniqueNPC. RetrievedData: " + c4}));

  // Nothing of the trace is built while the log is off, and the records come out the same.
  PluginSettings.bLogging = false;
  log.clear();
  EXPECT_EQ(BuildUniqueNPCsDB(""), (Counts{1, 2}));
  EXPECT_TRUE(log.lines().empty());
}

TEST(UniqueNPCDefinitions, EncounterChancesAreDigitsFromOneToAHundred) {
  Definitions defs;
  defs.Write("Ada.ini", Character() +
                            "[NewAtlantis]\niEncounterChance=0\n[AkilaCity]\niEncounterChance=101\n"
                            "[Cydonia]\niEncounterChance=-5\n[Neon]\niEncounterChance=007\n");
  // A file that gives no city a record is not counted.
  defs.Write("Bea.ini", Character() + "[NewAtlantis]\niEncounterChance=99999999999\n[Neon]\niEncounterChance=1.5\n");
  test::LogCapture log;
  EXPECT_EQ(BuildUniqueNPCsDB(""), (Counts{1, 1}));
  EXPECT_TRUE(Names(City::NewAtlantis).empty() && Names(City::AkilaCity).empty() && Names(City::Cydonia).empty());
  ASSERT_EQ(Names(City::Neon), Lines{"Ada"});
  EXPECT_EQ(CityRecordOf(City::Neon).UniqueNPCs[0]->iEncounterChance, 7);

  // The messages, each followed by the trace.
  const auto messages = [&](const std::string& start) {
    Lines found;
    for (const auto& line : log.lines())
      if (line.starts_with(start)) found.push_back(line.substr(0, line.find(" RetrievedData: ")));
    return found;
  };
  const std::string skipping = ". Skipping this UniqueNPC.";
  EXPECT_EQ(messages(kNpcWarn + "  iEncounterChance"),
            (Lines{kNpcWarn + "  iEncounterChance is out of range. It is 0" + skipping,
                   kNpcWarn + "  iEncounterChance is out of range. It is 101" + skipping}));
  EXPECT_EQ(messages(kNpcError + "  isdigit"),
            (Lines{kNpcError + "  isdigit returned false for sEncounterChance: -5" + skipping,
                   kNpcError + "  isdigit returned false for sEncounterChance: 1.5" + skipping}));
  EXPECT_EQ(messages(kNpcError + "  std::stoi"),
            Lines{kNpcError + "  std::stoi exception thrown for sEncounterChance: 99999999999" + skipping});
  // The out-of-range chance was converted before it was refused; the digit test refuses before.
  // Its own line, Cydonia's, and Neon's clothing and record lines.
  EXPECT_EQ(With(log, "[iEncounterChance: 101]").size(), 4u);
  EXPECT_TRUE(With(log, "[iEncounterChance: -5]").empty());
}

TEST(UniqueNPCDefinitions, HeightThatIsNoNumberIsOneAndAMissingHeightSkipsTheFile) {
  Definitions defs;
  const std::string everywhere = "[NewAtlantis]\niEncounterChance=50\n";
  defs.Write("Tall.ini", Character("fHeight", "tall") + everywhere);
  defs.Write("Huge.ini", Character("fHeight", "5.5") + everywhere);
  defs.Write("Flat.ini", Character("fHeight", "") + everywhere);
  test::LogCapture log;
  EXPECT_EQ(BuildUniqueNPCsDB(""), (Counts{2, 2}));
  auto names = Names(City::NewAtlantis);
  std::sort(names.begin(), names.end());
  ASSERT_EQ(names, (Lines{"Huge", "Tall"}));
  for (const auto* record : CityRecordOf(City::NewAtlantis).UniqueNPCs)
    EXPECT_EQ(record->Height, record->sDefineFileName == "Tall" ? 1.0f : 5.5f) << "not range-checked here";
  EXPECT_TRUE(log.contains(kNpcError + "std::stof exception thrown for sHeight: tall. fHeight will be forced to 1.00"));
  const auto flat = With(log, "sHeight is empty");
  ASSERT_EQ(flat.size(), 1u);
  EXPECT_TRUE(flat[0].starts_with(kNpcError + "sHeight is empty. Skipping this UniqueNPC. RetrievedData:") &&
              flat[0].ends_with(" [sVoiceType: 7C003_Starfield.esm] [fHeight: ]"))
      << flat[0];
}

TEST(UniqueNPCDefinitions, CharacterValuesAreCheckedInOrderAndEachSkipsTheFile) {
  Definitions defs;
  const std::string na = "[NewAtlantis]\niEncounterChance=50\n";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {Character("sName", ""), kNpcError + "sName is empty."},
      {Character("iAppearance", ""), kNpcInfo + "sAppearance is empty."},
      {Character("iFacialAnim", ""), kNpcError + "sFacialAnimType is empty."},
      {Character("iVoiceType", ""), kNpcError + "sVoiceType is empty."},
      // Every value is read and tested before any reference is resolved.
      {Character({{"iAppearance", "7CFFF_Starfield.esm"}, {"iVoiceType", ""}}), kNpcError + "sVoiceType is empty."},
      {Character("iAppearance", "7CFFF_Starfield.esm"),
       kNpcError + "AppearanceForm is nullptr for line: 7CFFF_Starfield.esm."},
      {Character("iFacialAnim", "7C002_Nowhere.esm"),
       kNpcError + "FacialAnimForm is nullptr for line: 7C002_Nowhere.esm."},
      {Character("iVoiceType", "7CFFF"), kNpcError + "VoiceTypeForm is nullptr for line: 7CFFF."},
      // Every reference resolves before any kind is checked.
      {Character({{"iAppearance", "7C002_Starfield.esm"}, {"iVoiceType", "7CFFF_Starfield.esm"}}),
       kNpcError + "VoiceTypeForm is nullptr for line: 7CFFF_Starfield.esm."},
      {Character("iAppearance", "7C002_Starfield.esm"),
       kNpcError + "AppearanceForm with FormID 0007C002 is not TESNPC."},
      {Character("iFacialAnim", "7C003_Starfield.esm"),
       kNpcError + "FacialAnimForm with FormID 0007C003 is not BGSKeyword."},
      {Character("iVoiceType", "7C002_Starfield.esm"),
       kNpcError + "VoiceTypeForm with FormID 0007C002 is not BGSVoiceType."},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const auto name = "Case" + std::to_string(i);
    SCOPED_TRACE(name);
    defs.Write(name + ".ini", cases[i].first + na);
    test::LogCapture log;
    EXPECT_EQ(BuildUniqueNPCsDB(name), (Counts{0, 0}));
    const auto lines = log.linesOf("BuildUniqueNPCsDB");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0],
              kNpcWarn + "'UniqueNPCFileNames' wasn't empty (size = " + std::to_string(i + 1) + "). Clearing array.");
    EXPECT_TRUE(lines.back().starts_with(cases[i].second + " Skipping this UniqueNPC. RetrievedData: "))
        << lines.back();
    EXPECT_TRUE(Names(City::NewAtlantis).empty());
  }
}

TEST(UniqueNPCDefinitions, ClothingIsAnOutfitOrAnArmorAndNeverSkipsTheRecord) {
  Definitions defs;
  defs.Write("Ada.ini", Character() +
                            "[NewAtlantis]\niEncounterChance=10\niClothing=7C004_Starfield.esm\n"
                            "[AkilaCity]\niEncounterChance=20\niClothing=7C005\n"
                            "[Cydonia]\niEncounterChance=30\niClothing=7C006_Starfield.esm\n"
                            "[Neon]\niEncounterChance=40\niClothing=7CFFF_Starfield.esm\n");
  test::LogCapture log;
  EXPECT_EQ(BuildUniqueNPCsDB(""), (Counts{1, 4}));
  const auto clothing = [](City city) {
    const auto* r = CityRecordOf(city).UniqueNPCs.at(0);
    return std::pair{r->OutfitFormID, r->ArmorFormID};
  };
  EXPECT_EQ(clothing(City::NewAtlantis), (std::pair{0x7C004u, 0u}));
  EXPECT_EQ(clothing(City::AkilaCity), (std::pair{0u, 0x7C005u}));
  EXPECT_EQ(clothing(City::Cydonia), (std::pair{0u, 0u}));
  EXPECT_EQ(clothing(City::Neon), (std::pair{0u, 0u}));
  const auto weapon = With(log, "0007C006");
  ASSERT_EQ(weapon.size(), 2u);
  EXPECT_TRUE(weapon[0].starts_with(
      kNpcWarn + "ClothingFormFormType with FormID 0007C006 is not TESObjectARMO or BGSOutfit. RetrievedData: "));
  EXPECT_TRUE(
      weapon[1].starts_with(kNpcWarn +
                            "ClothingForm with FormID 0007C006 couldn't be resolved to TESObjectARMO or "
                            "BGSOutfit. This UniqueNPC will not have any Outfit or Armor at Cydonia. RetrievedData: "));
  EXPECT_EQ(With(log, kNpcError + "ClothingForm is nullptr for line: 7CFFF_Starfield.esm. RetrievedData: ").size(), 1u);
}

TEST(UniqueNPCDefinitions, OnlyRegularIniFilesOfAReachableFolderAreRead) {
  Definitions defs;
  test::LogCapture log;
  EXPECT_EQ(BuildUniqueNPCsDB(""), (Counts{0, 0}));
  EXPECT_EQ(BuildUniqueNPCsDB("Ghost"), (Counts{0, 0}));
  EXPECT_EQ(log.lines(),
            (Lines{kNpcError + "array 'UniqueNPCFileNames' (and 'sHotLoadUniqueNPCFileNameNoExt' too) are empty.",
                   kNpcError + "std::filesystem : FilePath [.\\Data\\SFSE\\Plugins\\Quillmere\\UniqueNPCs\\Ghost.ini] "
                               "doesn't exist. Skipping this UniqueNPC. RetrievedData:  [UniqueNPCFileNames.size: 1] "
                               "[Looping UniqueNPCFileNames... Index:0] [UniqueNPCFileName: Ghost.ini]"}));

  const std::string body = Character() + "[Neon]\niEncounterChance=5\n";
  for (const auto* name : {"a.ini", "b.ini.bak", "c.txt", "d.INI", "noext", "f.inix"}) defs.Write(name, body);
  fs::create_directories(defs.folder / "e.ini");
  auto listed = GetUniqueNPCFileNames();
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, (Lines{"a.ini", "f.inix"})) << "the extension is at most four characters from the last dot";
  log.clear();
  EXPECT_EQ(BuildUniqueNPCsDB(""), (Counts{1, 1}));
  EXPECT_EQ(Names(City::Neon), Lines{"a"});
  // f.inix is listed, but its values are read from f.ini, which is not there.
  EXPECT_EQ(With(log, kNpcError + "sName is empty.").size(), 1u);

  fs::remove_all(defs.folder);
  log.clear();
  EXPECT_EQ(BuildUniqueNPCsDB(""), (Counts{0, 0}));
  EXPECT_EQ(BuildUniqueNPCsDB("a"), (Counts{0, 0}));
  EXPECT_EQ(log.lines(), Lines(2, kNpcError + "folder 'Quillmere/UniqueNPCs' can't be reached."));
  EXPECT_EQ(Names(City::Neon), Lines{"a"}) << "an unreachable folder changes nothing";
}

TEST(UniqueNPCDefinitions, HotLoadAddsOneFileBesideTheOthersAndAFullRebuildStartsOver) {
  Definitions defs;
  defs.Write("Ada.ini", Character() + "[NewAtlantis]\niEncounterChance=10\n");
  defs.Write("Bea.ini", Character() + "[AkilaCity]\niEncounterChance=20\n[Neon]\niEncounterChance=30\n");
  ASSERT_EQ(BuildUniqueNPCsDB(""), (Counts{2, 3}));
  const auto* ada = CityRecordOf(City::NewAtlantis).UniqueNPCs.at(0);

  defs.Write("Cyd.ini", Character() + "[Cydonia]\niEncounterChance=40\n[Neon]\niEncounterChance=50\n");
  test::LogCapture log;
  EXPECT_EQ(BuildUniqueNPCsDB("Cyd"), (Counts{1, 2}));
  EXPECT_EQ(Names(City::NewAtlantis), Lines{"Ada"});
  EXPECT_EQ(Names(City::AkilaCity), Lines{"Bea"});
  EXPECT_EQ(Names(City::Cydonia), Lines{"Cyd"});
  EXPECT_EQ(Names(City::Neon), (Lines{"Bea", "Cyd"}));
  EXPECT_EQ(CityRecordOf(City::NewAtlantis).UniqueNPCs.at(0), ada) << "records stay where they are";
  EXPECT_EQ(ada->sDefineFileName, "Ada");
  EXPECT_TRUE(log.contains(kNpcWarn + "'UniqueNPCFileNames' wasn't empty (size = 3). Clearing array."));
  EXPECT_TRUE(With(log, "Clearing vector").empty());

  // A name the lists know, in any letter case, changes nothing and says nothing.
  for (const auto* known : {"cyd", "ADA", "Bea"}) {
    log.clear();
    EXPECT_EQ(BuildUniqueNPCsDB(known), (Counts{0, 0})) << known;
    EXPECT_TRUE(log.lines().empty()) << known;
    EXPECT_FALSE(CanAddUniqueNPCToDB(known));
  }
  EXPECT_EQ(Names(City::Neon), (Lines{"Bea", "Cyd"}));
  EXPECT_FALSE(CanAddUniqueNPCToDB(""));
  EXPECT_TRUE(CanAddUniqueNPCToDB("Dot"));

  // A full rebuild empties every filled list and reads every file again.
  log.clear();
  EXPECT_EQ(BuildUniqueNPCsDB(""), (Counts{3, 5}));
  EXPECT_EQ(With(log, "Clearing vector"),
            (Lines{kNpcWarn + "  locationData->UniqueNPCs.size = 1. Clearing vector...",
                   kNpcWarn + "  locationData->UniqueNPCs.size = 1. Clearing vector...",
                   kNpcWarn + "  locationData->UniqueNPCs.size = 1. Clearing vector...",
                   kNpcWarn + "  locationData->UniqueNPCs.size = 2. Clearing vector..."}));
  for (const City city : kCities) EXPECT_EQ(CityRecordOf(city).uniqueNPCRecords.size(), Names(city).size());
  EXPECT_EQ(Names(City::NewAtlantis), Lines{"Ada"});
}
