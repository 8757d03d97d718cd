#include <fmt/format.h>
#include <gtest/gtest.h>

#include "FormsBack.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "GameFolder.h"
#include "GameForms.h"
#include "Helpers/PluginSettings.h"
#include "LogCapture.h"
#include "Main/Cities/ApplyDataToLocation.h"
#include "Main/LeveledLists/LeveledLists.h"
#include "Main/Cities/LocationData.h"
#include "PluginMaster.h"
#include "WorldFile.h"

using Lines = std::vector<std::string>;
using Entry = RE::LEVELED_OBJECT;
using Kind = RE::TESCondition::Kind;

namespace {

const std::string kInfo = "info|[ApplyDataToLocation] ", kError = "error|[ApplyDataToLocation] ";
const std::string kRule(36, '-');

Lines Of(const test::LogCapture& log, const std::string& prefix) {
  Lines out;
  for (const auto& line : log.lines())
    if (line.starts_with(prefix)) out.push_back(line);
  return out;
}

// Starfield.esm, then the plug-in's master with fresh forms.
void LoadGame() {
  sim::ClearPluginFiles();
  sim::AddPluginFile("Starfield.esm", 1, 0);
  sim::LoadPluginMasterOnly();
  PluginSettings = PluginSettingsRecord{};
  ClearSavedLeveledLists();
}

struct CityData {
  std::vector<RE::TESNPC*> femaleFaces, maleFaces;
  std::vector<RE::TESForm*> femaleClothing, maleClothing;
};

std::vector<RE::TESNPC*> NPCs(std::uint32_t firstID, std::size_t n, bool female) {
  std::vector<RE::TESNPC*> out;
  for (std::size_t i = 0; i < n; ++i) out.push_back(sim::AddNPC(firstID + static_cast<std::uint32_t>(i), female));
  return out;
}

// The city's folder anew: its female percentage and, one form a line, its face and clothing databases.
void WriteCity(const test::GameFolder& game, const std::string& city, const CityData& d, int femalePercent) {
  const auto folder = game.dataFolder() / city;
  std::filesystem::remove_all(folder);
  test::WriteFile(folder / "LocationData.ini", fmt::format("[General]\niFemalePercent={}\n", femalePercent));
  const auto write = [&](const char* file, const auto& forms) {
    std::string text;
    for (auto* form : forms) text += fmt::format("{:X}_Starfield.esm\n", form->formID);
    if (!forms.empty()) test::WriteFile(folder / file, text);
  };
  write("FemaleFaceNPCs.txt", d.femaleFaces), write("MaleFaceNPCs.txt", d.maleFaces);
  write("FemaleClothing.txt", d.femaleClothing), write("MaleClothing.txt", d.maleClothing);
}

// From position `from` on, the list holds forms in order as new entries, each with a condition admitting
// `kind` and reading the city's global, or with none.
template <class T>
void ExpectList(const RE::TESLeveledList& list, std::size_t from, const std::vector<T*>& forms,
                std::optional<Kind> kind = {}, const RE::TESGlobal* global = nullptr) {
  ASSERT_GE(list.entryCount, from + forms.size());
  for (std::size_t k = 0; k < forms.size(); ++k) {
    const Entry& e = list.entries[from + k];
    const bool condition =
        kind ? e.condition && e.condition->kind == *kind && e.condition->global == global : !e.condition;
    EXPECT_TRUE(e.form == forms[k] && e.count == 1 && e.level == 1 && condition) << k;
  }
}

}  // namespace

TEST(ApplyDataToLocation, MissingFormsStopBeforeAnythingChanges) {
  test::GameFolder game;
  FormsBack restore;
  PluginSettings = PluginSettingsRecord{};
  ClearSavedLeveledLists();

  WriteCity(game, "NewAtlantis", {NPCs(0x61000, 2, true), NPCs(0x61100, 2, false), {}, {}}, 20);
  auto& record = CityRecordOf(City::NewAtlantis);
  const auto expectUntouched = [&](const char* what, const Lines& errors) {
    SCOPED_TRACE(what);
    const auto& forms = sim::MasterForms(1);
    auto* citizens = forms.citizenList->leveledList.entries;
    record.FemaleFaceNPCs.assign(1, nullptr);  // a rebuild would empty it
    test::LogCapture log;
    EXPECT_FALSE(ApplyDataToLocation(record));
    EXPECT_EQ(Of(log, kError), errors);
    EXPECT_TRUE(Of(log, "info|[BuildDataBase]").empty() && Of(log, "error|[BuildDataBase]").empty());
    EXPECT_EQ(record.FemaleFaceNPCs, std::vector<RE::TESNPC*>(1, nullptr));
    EXPECT_TRUE(SavedLeveledLists().empty());
    EXPECT_EQ(forms.citizenList->leveledList.entries, citizens);
    EXPECT_EQ(forms.ratioGlobal->value, 50.0f);
    EXPECT_NE(record.citizenKeyword.load(), forms.citizenKeyword);
  };

  LoadGame();
  auto& outfitHolder = sim::MasterForms(1).outfitHolder->leveledList;
  auto* femaleEntry = std::find_if(outfitHolder.entries, outfitHolder.entries + outfitHolder.entryCount,
                                   [](const Entry& e) { return e.form == sim::MasterForms(1).femaleDummy; });
  sim::SetListEntries(outfitHolder, {*femaleEntry});
  expectUntouched("male outfit condition", {kError + "MaleOutfitCondition is nullptr"});

  LoadGame();
  const auto& forms = sim::MasterForms(1);
  sim::RemoveForm(forms.femaleOutfitList->formID);
  sim::AddForm(forms.citizenList->formID, RE::FormType::kLeveledItem);
  sim::AddForm(forms.ratioGlobal->formID, RE::FormType::kKeyword);
  expectUntouched("three forms", {kError + "FemaleOutfitLeveledItemForm is nullptr or not the right type",
                                  kError + "CitizenLeveledCharacterForm is nullptr or not the right type",
                                  kError + "FemaleMaleRatioGlobalForm is nullptr or not the right type"});

  LoadGame();
  sim::AddForm(sim::MasterForms(1).citizenKeyword->formID, RE::FormType::kGlobal);
  expectUntouched("keyword", {kError + "CitizenKeywordForm is nullptr or not the right type"});
}

TEST(ApplyDataToLocation, TooManyMaleFacesFailOnlyTheirStep) {
  test::GameFolder game;
  FormsBack restore;
  LoadGame();
  const auto& forms = sim::MasterForms(1);
  const std::vector<RE::TESForm*> femaleClothing = {sim::AddForm(0x62000, RE::FormType::kArmor),
                                                    sim::AddForm(0x62001, RE::FormType::kOutfit)};
  const std::vector<RE::TESForm*> maleClothing = {sim::AddForm(0x62002, RE::FormType::kOutfit)};
  const auto males = NPCs(0x63000, 300, false);
  WriteCity(game, "NewAtlantis", {{}, males, femaleClothing, maleClothing}, 30);
  auto& citizens = forms.citizenList->leveledList;
  const std::vector<Entry> gameEntries(citizens.entries, citizens.entries + citizens.entryCount);
  auto* gameArray = citizens.entries;

  auto& record = CityRecordOf(City::NewAtlantis);
  test::LogCapture log;
  EXPECT_FALSE(ApplyDataToLocation(record));
  EXPECT_EQ(Of(log, "error|[AddFormsToLeveledList]"),
            Lines{"error|[AddFormsToLeveledList] leveledList size cannot exceed 255, given value: " +
                  std::to_string(300 + gameEntries.size())});
  EXPECT_EQ(Of(log, kError), Lines{kError + "MaleFaceNPCs at NewAtlantis couldn't be registered"});
  const auto info = Of(log, kInfo);
  ASSERT_GE(info.size(), 3u);
  EXPECT_EQ(Lines(info.end() - 3, info.end()),
            (Lines{kInfo + "FemaleOutfits at NewAtlantis have been successfully registered",
                   kInfo + "MaleOutfits at NewAtlantis have been successfully registered",
                   kInfo + "set FemalePercent for NewAtlantis to: 30.000000"}));
  EXPECT_TRUE(citizens.entries == gameArray && citizens.entryCount == gameEntries.size());
  ExpectList(forms.femaleOutfitList->leveledList, 0, femaleClothing);
  ExpectList(forms.maleOutfitList->leveledList, 0, maleClothing);
  EXPECT_EQ(forms.ratioGlobal->value, 30.0f);
  EXPECT_EQ(record.citizenKeyword.load(), forms.citizenKeyword);
  EXPECT_EQ(SavedLeveledLists().size(), 3u);

  // Male faces alone go in front of the game's own entries, which stay; without clothing the outfit
  // lists hold the game's own entries again, not the last application's.
  const std::vector<RE::TESNPC*> few(males.begin(), males.begin() + 3);
  WriteCity(game, "NewAtlantis", {{}, few, {}, {}}, 0);
  const auto* gameOutfits = FindSavedLeveledList("NewAtlantis_MaleOutfitLeveledItemForm");
  ASSERT_NE(forms.maleOutfitList->leveledList.entries, gameOutfits->entries);
  EXPECT_TRUE(ApplyDataToLocation(record));
  EXPECT_EQ(forms.maleOutfitList->leveledList.entries, gameOutfits->entries);
  EXPECT_EQ(forms.maleOutfitList->leveledList.entryCount, gameOutfits->count);
  ASSERT_EQ(citizens.entryCount, 3 + gameEntries.size());
  ExpectList(citizens, 0, few, Kind::kMaleRatio, forms.ratioGlobal);
  EXPECT_EQ(std::memcmp(citizens.entries + 3, gameEntries.data(), gameEntries.size() * sizeof(Entry)), 0);
  EXPECT_EQ(forms.ratioGlobal->value, 0.0f);
}

TEST(ApplyDataToLocation, RefillsListsSetsGlobalAndKeyword) {
  test::GameFolder game;
  FormsBack restore;
  LoadGame();
  const auto& forms = sim::MasterForms(3);
  const CityData data{NPCs(0x64000, 3, true),
                      NPCs(0x64100, 2, false),
                      {sim::AddForm(0x64200, RE::FormType::kArmor), sim::AddForm(0x64201, RE::FormType::kOutfit)},
                      {sim::AddForm(0x64202, RE::FormType::kArmor)}};
  WriteCity(game, "Cydonia", data, 55);
  RE::TESLeveledList* lists[] = {&forms.citizenList->leveledList, &forms.femaleOutfitList->leveledList,
                                 &forms.maleOutfitList->leveledList};
  const char* names[] = {"Cydonia_CitizenLeveledCharacterForm", "Cydonia_FemaleOutfitLeveledItemForm",
                         "Cydonia_MaleOutfitLeveledItemForm"};
  std::vector<std::pair<Entry*, std::uint8_t>> gameArrays;
  for (auto* list : lists) gameArrays.emplace_back(list->entries, list->entryCount);

  auto& record = CityRecordOf(City::Cydonia);
  test::LogCapture log;
  ASSERT_TRUE(ApplyDataToLocation(record));
  Lines expected{kInfo + kRule + " Cydonia " + kRule};
  const std::pair<const char*, int> counts[] = {{"FemaleFaceNPCs", 3}, {"MaleFaceNPCs", 2},    {"FemaleClothing", 2},
                                                {"MaleClothing", 1},   {"FemaleAnims", 0},     {"MaleAnims", 0},
                                                {"FemaleVoices", 0},   {"MaleVoices", 0},      {"FemaleNames", 0},
                                                {"MaleNames", 0},      {"FemaleLastnames", 0}, {"MaleLastnames", 0}};
  for (const auto& [label, n] : counts) expected.push_back(kInfo + fmt::format("{}Count for Cydonia is: {}", label, n));
  expected.push_back(kInfo + "LocationDataLoaded for Cydonia is: 1");
  for (const char* what : {"FemaleFaceNPCs", "MaleFaceNPCs", "FemaleOutfits", "MaleOutfits"})
    expected.push_back(kInfo + what + " at Cydonia have been successfully registered");
  expected.push_back(kInfo + "set FemalePercent for Cydonia to: 55.000000");
  EXPECT_EQ(Of(log, "info|[ApplyDataToLocation]"), expected);
  EXPECT_TRUE(Of(log, kError).empty());

  const auto expectFilled = [&] {
    EXPECT_TRUE(lists[0]->entryCount == 5 && lists[1]->entryCount == 2 && lists[2]->entryCount == 1);
    ExpectList(*lists[0], 0, data.maleFaces, Kind::kMaleRatio, forms.ratioGlobal);
    ExpectList(*lists[0], 2, data.femaleFaces, Kind::kFemaleRatio, forms.ratioGlobal);
    ExpectList(*lists[1], 0, data.femaleClothing);
    ExpectList(*lists[2], 0, data.maleClothing);
    EXPECT_EQ(forms.ratioGlobal->value, 55.0f);
    EXPECT_EQ(record.citizenKeyword.load(), forms.citizenKeyword);
  };
  expectFilled();
  ASSERT_EQ(SavedLeveledLists().size(), 3u);
  for (int i = 0; i < 3; ++i) {
    const auto& saved = SavedLeveledLists()[i];
    EXPECT_TRUE(saved.name == names[i] && saved.entries == gameArrays[i].first && saved.count == gameArrays[i].second);
  }

  // Again, and again: the lists rebuilt rather than grown, and no more records, the game's arrays
  // still the ones kept.
  for (int again = 0; again < 2; ++again) {
    ASSERT_TRUE(ApplyDataToLocation(record));
    expectFilled();
    ASSERT_EQ(SavedLeveledLists().size(), 3u);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(GetSavedLeveledListDataByName(names[i]), &SavedLeveledLists()[i]);
      EXPECT_EQ(SavedLeveledLists()[i].entries, gameArrays[i].first);
    }
  }
}

TEST(ApplyDataToLocation, TooManyFemaleFacesOrOutfitsFailOnlyTheirSteps) {
  test::GameFolder game;
  FormsBack restore;
  LoadGame();
  const auto& forms = sim::MasterForms(4);
  // One more than a list holds, each.
  std::vector<RE::TESForm*> femaleClothing, maleClothing;
  for (std::uint32_t i = 0; i < 256; ++i) {
    femaleClothing.push_back(sim::AddForm(0x66000 + i, i % 2 ? RE::FormType::kArmor : RE::FormType::kOutfit));
    maleClothing.push_back(sim::AddForm(0x66200 + i, i % 2 ? RE::FormType::kOutfit : RE::FormType::kArmor));
  }
  const auto males = NPCs(0x65200, 2, false);
  WriteCity(game, "Neon", {NPCs(0x65000, 256, true), males, femaleClothing, maleClothing}, 45);
  RE::TESLeveledList* lists[] = {&forms.citizenList->leveledList, &forms.femaleOutfitList->leveledList,
                                 &forms.maleOutfitList->leveledList};
  std::vector<std::vector<Entry>> gameEntries;
  std::vector<Entry*> gameArrays;
  for (auto* list : lists) {
    gameEntries.emplace_back(list->entries, list->entries + list->entryCount);
    gameArrays.push_back(list->entries);
  }

  auto& record = CityRecordOf(City::Neon);
  test::LogCapture log;
  EXPECT_FALSE(ApplyDataToLocation(record));
  EXPECT_EQ(Of(log, "error|[AddFormsToLeveledList]"),
            Lines(3, "error|[AddFormsToLeveledList] leveledList size cannot exceed 255, given value: 256"));
  EXPECT_EQ(Of(log, kError), (Lines{kError + "FemaleFaceNPCs at Neon couldn't be registered",
                                    kError + "FemaleOutfits at Neon couldn't be registered",
                                    kError + "MaleOutfits at Neon couldn't be registered"}));
  EXPECT_TRUE(log.contains(kInfo + "MaleFaceNPCs at Neon have been successfully registered"));
  EXPECT_TRUE(log.contains(kInfo + "set FemalePercent for Neon to: 45.000000"));
  // The female faces did not replace the game's citizens: the male faces go in front of them.
  ASSERT_EQ(lists[0]->entryCount, males.size() + gameEntries[0].size());
  ExpectList(*lists[0], 0, males, Kind::kMaleRatio, forms.ratioGlobal);
  EXPECT_EQ(std::memcmp(lists[0]->entries + males.size(), gameEntries[0].data(), gameEntries[0].size() * sizeof(Entry)),
            0);
  for (int i : {1, 2})
    EXPECT_TRUE(lists[i]->entries == gameArrays[i] && lists[i]->entryCount == gameEntries[i].size()) << i;
  EXPECT_EQ(forms.ratioGlobal->value, 45.0f);
  EXPECT_EQ(record.citizenKeyword.load(), forms.citizenKeyword);
}
