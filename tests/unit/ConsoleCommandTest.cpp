// The console command as the game's console runs it: the table entry taken over, lines typed into the
// console, and what each numbered function does and prints.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "Actors.h"
#include "Console.h"
#include "GameINISettings.h"
#include "Helpers/Naming.h"
#include "Helpers/PluginSettings.h"
#include "LogCapture.h"
#include "Main/Console/ConsoleCommand.h"
#include "Main/Console/ConsoleFunctions.h"
#include "Main/Settings/GameSettingAdjustments.h"
#include "Main/LeveledLists/LeveledLists.h"
#include "Main/Cities/LocationData.h"
#include "Main/UniqueNPCs/UniqueNPCDefinitions.h"
#include "PluginMaster.h"
#include "ShippedGame.h"

using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

namespace {

const std::string kInfo = "info|[QuillmereCodeCommand] ", kError = "error|[QuillmereCodeCommand] ";

// The game's table as it was, whatever a test rewrites in it.
struct ConsoleTableBack {
  std::vector<sim::ConsoleCommand> saved{sim::ConsoleCommandTable().begin(), sim::ConsoleCommandTable().end()};
  ~ConsoleTableBack() {
    std::ranges::copy(saved, sim::ConsoleCommandTable().begin());
    sim::ClearConsoleRecord();
  }
};

struct ConsoleGame : ShippedGame {
  ConsoleTableBack table;
  ConsoleGame() {
    sim::ClearConsoleRecord();
    EXPECT_TRUE(Install_Command_Quillmere());
  }
  ~ConsoleGame() {
    for (int city = 1; city <= 4; ++city) sim::CityLocation(city)->loadedCount = 0;
  }
  static void EnterCity(int city) {
    sim::CityLocation(city)->loadedCount = 1;
    RefreshGameObjectCache();
  }
};

// One line typed into the game's console after the command's name.
struct Typed {
  bool returned = false;
  Lines log;      // every line the plug-in wrote
  Lines console;  // what it printed in the console
};
Typed Type(const std::string& parameters) {
  test::LogCapture log;
  const auto printed = sim::ConsoleLines().size();
  const auto run = sim::RunConsoleLine("QuillmereCode " + parameters);
  EXPECT_EQ(run.command, "QuillmereCode");
  const auto& lines = sim::ConsoleLines();
  return {run.returned.value_or(false), log.lines(),
          Lines(lines.begin() + static_cast<std::ptrdiff_t>(printed), lines.end())};
}
Lines Of(const Lines& lines, const std::string& operation) {
  Lines out;
  for (const auto& line : lines)
    if (line.find("|[" + operation + "] ") != std::string::npos) out.push_back(line);
  return out;
}

}  // namespace

TEST(ConsoleCommand, TakesOverSetMemCheckPointInPlaceAndLeavesTheRestOfTheTableAlone) {
  ConsoleTableBack back;
  auto table = sim::ConsoleCommandTable();
  EXPECT_EQ(static_cast<void*>(GetFirstConsoleCommand()), static_cast<void*>(table.data()));
  auto* entry = sim::FindConsoleCommand("SetMemCheckPoint");
  ASSERT_NE(entry, nullptr);
  // Marks in the fields the game keeps, so that a write to any of them shows.
  entry->unknown14 = 0xA5A5A5A5, entry->unknown21 = 0x5A, entry->unknown24 = 0xC3C3C3C3;
  entry->invalidatesCellList = 1, entry->unknown4A[5] = 0x77;
  const auto before = *entry;
  const std::vector<sim::ConsoleCommand> tableBefore(table.begin(), table.end());

  test::LogCapture log;
  ASSERT_TRUE(Install_Command_Quillmere());
  EXPECT_EQ(log.lines(), Lines{"info|[Install_Command_Quillmere] QuillmereCode command registered."});
  EXPECT_STREQ(entry->name, "QuillmereCode");
  ASSERT_NE(entry->shortName, nullptr);
  EXPECT_STREQ(entry->shortName, "");
  ASSERT_NE(entry->help, nullptr);
  EXPECT_STREQ(entry->help, "");
  EXPECT_EQ(entry->needsReference, 0);
  ASSERT_EQ(entry->parameterCount, 3);
  const char* names[] = {"FuncIndex", "FuncParam1", "FuncParam2"};
  for (int i = 0; i < 3; ++i) {
    EXPECT_STREQ(entry->parameters[i].name, names[i]);
    EXPECT_EQ(entry->parameters[i].type, 0u);
    EXPECT_EQ(entry->parameters[i].optional, 1);
  }
  EXPECT_EQ(reinterpret_cast<void*>(entry->execute), reinterpret_cast<void*>(&QuillmereCodeCommand));
  EXPECT_EQ(entry->opcode, before.opcode);
  EXPECT_EQ(entry->unknown14, before.unknown14);
  EXPECT_EQ(entry->unknown21, before.unknown21);
  EXPECT_EQ(entry->unknown24, before.unknown24);
  EXPECT_EQ(entry->compile, before.compile);
  EXPECT_EQ(entry->condition, before.condition);
  EXPECT_EQ(entry->editorFilter, before.editorFilter);
  EXPECT_EQ(entry->invalidatesCellList, before.invalidatesCellList);
  EXPECT_EQ(std::memcmp(entry->unknown4A, before.unknown4A, sizeof(before.unknown4A)), 0);
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (&table[i] == entry) continue;
    EXPECT_EQ(std::memcmp(&table[i], &tableBefore[i], sizeof(sim::ConsoleCommand)), 0) << table[i].name;
  }

  // The console finds it by its new name, case ignored; the old name is gone.
  EXPECT_EQ(sim::RunConsoleLine("quillmerecode 99 0").returned, false);
  EXPECT_EQ(sim::RunConsoleLine("SetMemCheckPoint x").command, std::nullopt);
}

TEST(ConsoleCommand, OnlyTheFirstExactSetMemCheckPointAmongTheConsoleCommandsIsTakenOver) {
  const Lines notFound{"error|[Install_Command_Quillmere] QuillmereCode command couldn't be registered."};
  const auto install = [](const char* what) {
    SCOPED_TRACE(what);
    test::LogCapture log;
    const bool installed = Install_Command_Quillmere();
    EXPECT_EQ(log.lines().size(), 1u);
    return installed && log.lines() == Lines{"info|[Install_Command_Quillmere] QuillmereCode command registered."};
  };
  {
    ConsoleTableBack back;
    sim::FindConsoleCommand("SetMemCheckPoint")->opcode = 0x344;
    EXPECT_TRUE(install("the last console opcode"));
  }
  {
    ConsoleTableBack back;
    auto* entry = sim::FindConsoleCommand("SetMemCheckPoint");
    entry->opcode = 0x345;
    EXPECT_FALSE(install("the first opcode past the console commands"));
    EXPECT_STREQ(entry->name, "SetMemCheckPoint");
  }
  {
    ConsoleTableBack back;
    // Only a script function past the console commands carries the name: the walk ends before it.
    sim::FindConsoleCommand("SetMemCheckPoint")->name = "SetMemCheckPointOld";
    auto* scriptFunction = sim::FindConsoleCommand("GetStartingPos");
    scriptFunction->name = "SetMemCheckPoint";
    EXPECT_FALSE(install("a script function of that name"));
    EXPECT_EQ(scriptFunction->execute,
              back.saved[static_cast<std::size_t>(scriptFunction - sim::ConsoleCommandTable().data())].execute);
  }
  {
    ConsoleTableBack back;
    sim::FindConsoleCommand("SetMemCheckPoint")->name = "setmemcheckpoint";
    EXPECT_FALSE(install("the name in other letters"));
  }
  {
    ConsoleTableBack back;
    auto* later = sim::FindConsoleCommand("SetMemCheckPoint");
    auto* earlier = sim::FindConsoleCommand("ToggleGodMode");
    earlier->name = "SetMemCheckPoint";
    sim::FindConsoleCommand("ToggleCollision")->name = nullptr;  // a nameless entry before them is passed over
    EXPECT_TRUE(install("two of that name"));
    EXPECT_STREQ(earlier->name, "QuillmereCode");
    EXPECT_STREQ(later->name, "SetMemCheckPoint");
  }
}

TEST(ConsoleCommand, AFailedParseIsReportedOnceAndChangesNothing) {
  ConsoleGame game;
  PluginSettings.iAllowedCellChangeTime = 1;  // a reload of the settings would show here
  struct Case {
    std::string parameters;
    Lines lines;  // after "function called."
  };
  const Case cases[] = {
      {"", {kError + "std::string sParamRAW is empty"}},
      {"4", {kInfo + "raw parameters [4]", kError + "std::vector Parameters.size < 2"}},
      {"4 zz", {kInfo + "raw parameters [4 zz]", kError + "std::stoul exception for input String: zz"}},
      {"zz 0", {kInfo + "raw parameters [zz 0]", kError + "std::stoi exception for input String: zz"}},
      {"99999999999 0",
       {kInfo + "raw parameters [99999999999 0]", kError + "std::stoi exception for input String: 99999999999"}},
      {"4 100000000",
       {kInfo + "raw parameters [4 100000000]", kError + "std::stoul exception for input String: 100000000"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.parameters);
    const auto typed = Type(c.parameters);
    EXPECT_FALSE(typed.returned);
    Lines expected{kInfo + "function called."};
    expected.insert(expected.end(), c.lines.begin(), c.lines.end());
    EXPECT_EQ(typed.log, expected);
    EXPECT_TRUE(typed.console.empty());
  }
  EXPECT_EQ(PluginSettings.iAllowedCellChangeTime, 1);

  // The console gives the compiled data; without it nothing can be read.
  test::LogCapture log;
  EXPECT_FALSE(QuillmereCodeCommand(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(log.lines(), (Lines{kInfo + "function called.", kError + "text is nullptr, parameters cannot be read"}));
}

TEST(ConsoleCommand, WordsAreReadAsTheStandardConversionsReadThemAndAnUnknownIndexIsAnError) {
  ConsoleGame game;
  const Lines reloaded{
      "Mod INI settings have been reloaded. Note: this doesn't apply to the custom FaceGen processor."};
  for (const std::string parameters : {"  4    0  ", "+4 0x1F", "4abc 0", "4 0 and more words"}) {
    SCOPED_TRACE(parameters);
    const auto typed = Type(parameters);
    EXPECT_TRUE(typed.returned);
    EXPECT_EQ(typed.console, reloaded);
    EXPECT_FALSE(Of(typed.log, "ReloadINISettings").empty());
  }
  EXPECT_EQ(Of(Type("  4    0  ").log, "QuillmereCodeCommand")[1], kInfo + "raw parameters [4 0]");

  for (const std::string index : {"7", "0", "-3", "10"}) {
    SCOPED_TRACE(index);
    const auto typed = Type(index + " 0");
    const auto text = "Error: FunctionIndex (" + index + ") does not point to a function.";
    EXPECT_FALSE(typed.returned);
    EXPECT_EQ(typed.console, Lines{text});
    EXPECT_EQ(typed.log.back(), kError + text);
  }
}

TEST(ConsoleCommand, RawTextBeyondOneHundredFiftyCharactersIsCutOff) {
  ConsoleGame game;
  // 255 characters, the most the console gives: the first 150 are "4 0 " and a word of x.
  const std::string xs(146, 'x');
  auto typed = Type("4 0 " + xs + std::string(105, 'y'));
  EXPECT_TRUE(typed.returned);
  EXPECT_EQ(typed.log[1], kInfo + "raw parameters [4 0 " + xs + "]");
  // The cut falls between the two words here: only one is left.
  typed = Type("4" + std::string(149, ' ') + "0");
  EXPECT_FALSE(typed.returned);
  EXPECT_EQ(typed.log.back(), kError + "std::vector Parameters.size < 2");
}

TEST(ConsoleCommand, FunctionTwoNamesTheActorWithAtMostTwoWords) {
  ConsoleGame game;
  auto* npc = sim::AddNPC(0x1A2B00, true, "Dock Worker");
  auto* actor = sim::CreateActor(0x1A2B3C, npc, {100.0f, 200.0f, 10.0f}, sim::CityLocation(2));
  auto* bare = sim::CreateActor(0x1A2B3D, npc, {100.0f, 200.0f, 10.0f}, sim::CityLocation(2));
  bare->extraList = nullptr;
  const auto described = DescribeForm(actor, false);

  auto typed = Type("2 1A2B3C Ada Quinn");
  EXPECT_FALSE(typed.returned);
  EXPECT_EQ(typed.log.back(), kError + "location is nullptr");
  EXPECT_EQ(GetReferenceName(actor), "Dock Worker");

  ConsoleGame::EnterCity(2);
  typed = Type("2 1A2B3C Ada Quinn Smith");
  EXPECT_TRUE(typed.returned);
  EXPECT_EQ(typed.log, (Lines{kInfo + "function called.", kInfo + "raw parameters [2 1A2B3C Ada Quinn Smith]",
                              kInfo + "setting DisplayName for [" + described + "] to: Ada Quinn"}));
  EXPECT_TRUE(typed.console.empty());
  EXPECT_EQ(GetReferenceName(actor), "Ada Quinn");
  EXPECT_TRUE(Type("2 0x1a2b3c Bo").returned);
  EXPECT_EQ(GetReferenceName(actor), "Bo");

  const struct {
    std::string parameters, error;
  } failures[] = {
      {"2 1A2B3C", "std::vector Parameters.size < 3"},
      {"2 FFFFFF Ada", "no Form could be found with FormID: 00FFFFFF"},
      {"2 1A2B00 Ada", "Form [" + DescribeForm(npc, false) + "] is not an Actor"},
      {"2 1A2B3D Ada", "extraDataList is nullptr for Form [" + DescribeForm(bare, false) + "]"},
  };
  for (const auto& f : failures) {
    SCOPED_TRACE(f.parameters);
    typed = Type(f.parameters);
    EXPECT_FALSE(typed.returned);
    EXPECT_EQ(typed.log.back(), kError + f.error);
    EXPECT_EQ(GetReferenceName(actor), "Bo");
  }
  sim::DeleteActor(actor);
  sim::DeleteActor(bare);
}

TEST(ConsoleCommand, FunctionThreeDumpsTwelveLinesPerRecordAndPrintsWhateverTheLogging) {
  ConsoleGame game;
  auto* voice = sim::AddForm(0x7C001, RE::FormType::kVoiceType, "Voice");
  auto* anim = sim::AddForm(0x7C002, RE::FormType::kKeyword, "Anim");
  auto* look = sim::AddNPC(0x7C003, true, "Ada");
  AddUniqueNPCRecord(CityRecordOf(City::Cydonia),
                     {"Ada Quinn", static_cast<RE::BGSVoiceType*>(voice), static_cast<RE::BGSKeyword*>(anim), look, 25,
                      0, 0x1139E4, "AdaQuinn", 1.06f});
  AddUniqueNPCRecord(CityRecordOf(City::NewAtlantis), {"Bo", nullptr, nullptr, nullptr, 0, 0xFD020013, 0, "Bo", 0.5f});
  const auto dump = [](const std::vector<std::string>& values) {
    const char* keys[] = {"sName",         "myLocation",       "FacialAnim",  "Armor.formID",
                          "Outfit.formID", "iEncounterChance", "iAppearance", "VoiceType",
                          "Height",        "sDefineFileName"};
    Lines lines{"info|[DumpAllUniqueNPCData]  ++++++++++++++++ DumpAllUniqueNPCData ++++++++++++++++ "};
    for (std::size_t i = 0; i < values.size(); ++i)
      lines.push_back("info|[DumpAllUniqueNPCData]    " + std::string(keys[i]) + " = " + values[i]);
    lines.push_back("info|[DumpAllUniqueNPCData]  ---------------- DumpAllUniqueNPCData ---------------- ");
    return lines;
  };
  Lines expected = dump({"Bo", "NewAtlantis", "", "", "FD020013", "0", "", "", "0.500000", "Bo"});
  const auto ada =
      dump({"Ada Quinn", "Cydonia", "0007C002", "001139E4", "", "25", "0007C003", "0007C001", "1.060000", "AdaQuinn"});
  expected.insert(expected.end(), ada.begin(), ada.end());
  const Lines printed{
      "UniqueNPCData has been exported to Documents/My Games/Starfield/SFSE/Logs/Brindlewick - SFSE Plugin by "
      "Tamsryn.log"};

  auto typed = Type("3 0");
  EXPECT_TRUE(typed.returned);
  EXPECT_EQ(Of(typed.log, "DumpAllUniqueNPCData"), expected);
  EXPECT_EQ(typed.console, printed);

  PluginSettings.bLogging = false;
  typed = Type("3 0");
  EXPECT_TRUE(typed.returned);
  EXPECT_TRUE(typed.log.empty());
  EXPECT_EQ(typed.console, printed);
  typed = Type("0 0");
  EXPECT_TRUE(typed.log.empty());
  EXPECT_EQ(typed.console, Lines{"Error: FunctionIndex (0) does not point to a function."});
}

TEST(ConsoleCommand, FunctionsOneFourFiveAndSixUseTheActiveCityTheSettingsTheCitiesAndTheGameSettings) {
  ConsoleGame game;
  sim::ResetGameINISettings();
  GameSettingAdjustmentState.Reset();
  BuildUniqueNPCsDB({});
  // No city loaded: no city to place in; with Cydonia loaded, placement is asked for Cydonia, which has
  // no encounter points here.
  auto typed = Type("1 0");
  EXPECT_TRUE(typed.returned);
  EXPECT_EQ(Of(typed.log, "PlaceUniqueNPCs"), Lines{"error|[PlaceUniqueNPCs] location is nullptr"});
  test::RemoveFile(game.game.dataFolder() / "Cydonia" / "EncounterPoints.txt");
  ConsoleGame::EnterCity(3);
  typed = Type("1 0");
  EXPECT_TRUE(typed.returned);
  EXPECT_EQ(Of(typed.log, "PlaceUniqueNPCs"),
            Lines{"warning|[PlaceUniqueNPCs] Couldn't build EncounterPointDB for [Cydonia]. UniqueNPCs at this "
                  "location will not be placed."});

  game.SetSetting("General", "iAllowedCellChangeTime", "1234");
  typed = Type("4 0");
  EXPECT_TRUE(typed.returned);
  EXPECT_EQ(PluginSettings.iAllowedCellChangeTime, 1234);

  // The flags of the adjustment's call make no difference: the option of the settings file counts.
  typed = Type("6 0");
  EXPECT_TRUE(typed.returned);
  EXPECT_EQ(typed.console, Lines{"Optimizations have been applied."});
  EXPECT_EQ(sim::GameSettingValue("fCrowdInhibitThresholdMaxActor:AI"), 175.0);
  game.SetSetting("General", "bOptimizeFullyInitializedActorsMaxCount", "0");
  EXPECT_TRUE(Type("4 0").returned);
  EXPECT_TRUE(Type("6 0").returned);
  EXPECT_EQ(sim::GameSettingValue("fCrowdInhibitThresholdMaxActor:AI"), 200.0);
  sim::ResetGameINISettings();
  GameSettingAdjustmentState.Reset();

  typed = Type("5 0");
  EXPECT_TRUE(typed.returned);
  EXPECT_EQ(typed.console, Lines{"Databases have been reloaded. Note: this doesn't apply to Unique Characters."});
  EXPECT_EQ(SavedLeveledLists().size(), 12u);
  EXPECT_GT(sim::MasterForms(4).citizenList->leveledList.entryCount, 2);

  // A city that fails stops the rest and is reported as a failure; the cities before it stay applied.
  auto* global = sim::MasterForms(2).ratioGlobal;
  global->formType = static_cast<std::uint8_t>(RE::FormType::kKeyword);
  typed = Type("5 0");
  global->formType = static_cast<std::uint8_t>(RE::FormType::kGlobal);
  EXPECT_FALSE(typed.returned);
  EXPECT_EQ(typed.console, Lines{"Databases could not be reloaded due to an error."});
  EXPECT_EQ(typed.log.back(), kError + "Databases could not be reloaded due to an error.");
  EXPECT_EQ(SavedLeveledLists().size(), 12u) << "applied again, no record added";
  for (const auto& line : typed.log) EXPECT_EQ(line.find("------------ Cydonia"), std::string::npos);
}

TEST(ConsoleCommand, FunctionsEightAndNineLoadOneUniqueNPCOrRebuildThemAll) {
  ConsoleGame game;
  const auto folder = game.game.dataFolder() / "UniqueNPCs";
  EXPECT_EQ(BuildUniqueNPCsDB({}).first, 7);
  fs::copy_file(folder / "TobiasWren.ini", folder / "TobiasTwin.ini");

  auto typed = Type("8 0 TobiasTwin");
  EXPECT_TRUE(typed.returned);
  EXPECT_EQ(typed.console, Lines{"Unique Character 'TobiasTwin' was loaded into the database."});
  EXPECT_FALSE(CanAddUniqueNPCToDB("TobiasTwin"));
  for (const std::string name : {"TobiasTwin", "Nobody"}) {
    typed = Type("8 0 " + name);
    EXPECT_FALSE(typed.returned);
    EXPECT_EQ(typed.console, Lines{"Unique Character '" + name + "' could not be loaded into the database."});
  }
  const auto records = CityRecordOf(City::NewAtlantis).UniqueNPCs.size();
  typed = Type("8 0");
  EXPECT_FALSE(typed.returned);
  EXPECT_EQ(typed.console, Lines{"Usage: QuillmereCode 8 0 <file name without .ini>"});
  EXPECT_TRUE(Of(typed.log, "BuildUniqueNPCsDB").empty());
  EXPECT_EQ(CityRecordOf(City::NewAtlantis).UniqueNPCs.size(), records);

  typed = Type("9 0");
  EXPECT_TRUE(typed.returned);
  EXPECT_EQ(typed.console, Lines{"All Unique Characters were reloaded."});
  // One unique NPC is a database too.
  for (const auto& file : fs::directory_iterator(folder))
    if (file.path().filename() != "ImaniSato.ini") fs::remove(file.path());
  typed = Type("9 0");
  EXPECT_TRUE(typed.returned);
  EXPECT_EQ(typed.console, Lines{"All Unique Characters were reloaded."});
  EXPECT_EQ(CityRecordOf(City::Cydonia).UniqueNPCs.size(), 1u);
  fs::remove(folder / "ImaniSato.ini");
  typed = Type("9 0");
  EXPECT_FALSE(typed.returned);
  EXPECT_EQ(typed.console, Lines{"Unique Characters could not be reloaded due to an error."});
}

TEST(ConsoleCommand, PercentSignsInThePlayersWordsArePrintedAsWritten) {
  ConsoleGame game;
  const auto folder = game.game.dataFolder() / "UniqueNPCs";
  EXPECT_EQ(BuildUniqueNPCsDB({}).first, 7);
  fs::copy_file(folder / "TobiasWren.ini", folder / "a%sb.ini");

  auto typed = Type("8 0 a%sb");
  EXPECT_TRUE(typed.returned);
  EXPECT_EQ(typed.console, Lines{"Unique Character 'a%sb' was loaded into the database."});
  typed = Type("8 0 %s%n%x%%");
  EXPECT_FALSE(typed.returned);
  EXPECT_EQ(typed.console, Lines{"Unique Character '%s%n%x%%' could not be loaded into the database."});
  EXPECT_EQ(std::ranges::count(typed.log, "info|[QuillmereCodeCommand] raw parameters [8 0 %s%n%x%%]"), 1);
}
