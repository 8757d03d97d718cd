#include <fmt/format.h>
#include <gtest/gtest.h>

#include "FormsBack.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "GameForms.h"
#include "GameHeap.h"
#include "Helpers/PluginSettings.h"
#include "LogCapture.h"
#include "Main/Cities/FemaleMaleConditions.h"
#include "Main/LeveledLists/LeveledLists.h"
#include "PluginMaster.h"
#include "WorldFile.h"

using Lines = std::vector<std::string>;
using Kind = RE::TESCondition::Kind;

namespace {

void Reset(bool withMaster) {
  sim::ClearPluginFiles();
  if (withMaster) sim::LoadPluginMasterOnly();
  PluginSettings = PluginSettingsRecord{};
  ClearSavedLeveledLists();
}

std::string Hex(const void* p) { return fmt::format("{:X}", reinterpret_cast<std::uintptr_t>(p)); }
std::string Info(const std::string& m) { return "info|[GetFemaleMaleCondition] " + m; }
std::string Error(const std::string& m) { return "error|[GetFemaleMaleCondition] " + m; }
std::string EntryAt(const void* e, int i) { return Info(fmt::format("LeleveledListEntry [{}] at ({})", Hex(e), i)); }
std::string Found(const void* e, int i) { return Info(fmt::format("found TESCondition [{}] at ({})", Hex(e), i)); }
std::string Header(const void* holder, int n) {
  return Info(fmt::format("EditorSetFormCount of ConditionHolder {} is: {}", Hex(holder), n));
}
std::string NotFound(bool female, const void* holder) {
  return Error(fmt::format("couldn't find dummy Female [{0}] / Male [{0}] NPC on ConditionHolder {1}", female ? 1 : 0,
                           Hex(holder)));
}

RE::LEVELED_OBJECT Entry(RE::TESForm* form, RE::TESCondition* condition) { return {form, 0, condition, 1, 1, 0, 0}; }
RE::TESCondition* NewCondition() { return sim::GameNew<RE::TESCondition>(); }

std::size_t MissingFileLines(const test::LogCapture& log) {
  const auto lines = log.lines();
  return std::count(lines.begin(), lines.end(),
                    "error|[GetFormFromFile] no PluginFile could be found with the name "
                    "[QuillmereLight.esm]. Returning nullptr.");
}

RE::LEVELED_OBJECT aboveModule[1];  // inside the executable's image, above its base

}  // namespace

TEST(FemaleMaleConditions, EachCityKindAndSexGetsItsHoldersCondition) {
  FormsBack restore;
  Reset(true);
  for (const City city : kCities) {
    const auto& forms = sim::MasterForms(IndexOf(city));
    for (const ConditionKind kind : {ConditionKind::Ratio, ConditionKind::Outfit}) {
      for (bool female : {true, false}) {
        const bool ratio = kind == ConditionKind::Ratio;
        SCOPED_TRACE(fmt::format("city {} {} female {}", IndexOf(city), ratio ? "ratio" : "outfit", female));
        const auto* holder = ratio ? forms.ratioHolder : forms.outfitHolder;
        const auto& list = holder->leveledList;
        const RE::TESForm* dummy = female ? forms.femaleDummy : forms.maleDummy;
        Lines expected{Header(holder, list.entryCount)};
        int at = 0;
        for (; at < list.entryCount; ++at) {
          expected.push_back(EntryAt(list.entries + at, at));
          if (list.entries[at].form == dummy) break;
        }
        ASSERT_LT(at, list.entryCount);
        expected.push_back(Found(list.entries + at, at));

        test::LogCapture log;
        auto* condition = GetFemaleMaleCondition(city, kind, female);
        ASSERT_NE(condition, nullptr);
        EXPECT_EQ(condition, list.entries[at].condition);  // shared, not copied
        const Kind want = ratio ? (female ? Kind::kFemaleRatio : Kind::kMaleRatio)
                                : (female ? Kind::kFemaleOutfit : Kind::kMaleOutfit);
        EXPECT_EQ(condition->kind, want);
        EXPECT_EQ(condition->global, forms.ratioGlobal);
        EXPECT_EQ(log.lines(), expected);
      }
    }
  }
}

TEST(FemaleMaleConditions, MissingHolderOrDummy) {
  FormsBack restore;
  Reset(false);  // no plug-in files: every lookup leaves lines behind
  const Lines noHolder{Error("ConditionHolderForm is nullptr")};
  {
    test::LogCapture log;
    EXPECT_EQ(GetFemaleMaleCondition(City::AkilaCity, ConditionKind::Ratio, false), nullptr);
    EXPECT_EQ(MissingFileLines(log), 2u);  // both looked up before either is examined
    EXPECT_EQ(log.lines().back(), noHolder[0]);
  }

  Reset(true);
  sim::RemoveForm(sim::MasterForms(4).femaleDummy->formID);
  sim::RemoveForm(sim::MasterForms(1).outfitHolder->formID);
  test::LogCapture log;
  EXPECT_EQ(GetFemaleMaleCondition(City::Neon, ConditionKind::Ratio, true), nullptr);
  EXPECT_EQ(log.lines().back(), Error("DummyNPC is nullptr"));
  EXPECT_NE(GetFemaleMaleCondition(City::Neon, ConditionKind::Ratio, false), nullptr);
  log.clear();
  EXPECT_EQ(GetFemaleMaleCondition(City::NewAtlantis, ConditionKind::Outfit, true), nullptr);
  EXPECT_EQ(log.lines().back(), noHolder[0]);
  EXPECT_NE(GetFemaleMaleCondition(City::NewAtlantis, ConditionKind::Ratio, true), nullptr);
}

TEST(FemaleMaleConditions, ScanSkipsBadEntriesAndTakesTheFirstWithACondition) {
  FormsBack restore;
  Reset(true);
  const auto& forms = sim::MasterForms(2);
  auto* holder = forms.ratioHolder;
  auto& list = holder->leveledList;
  auto* female = forms.femaleDummy;
  auto* male = forms.maleDummy;
  auto *a = NewCondition(), *b = NewCondition(), *m = NewCondition();

  sim::SetListEntries(list, {Entry(female, nullptr), Entry(male, m), Entry(female, b)});
  test::LogCapture log;
  EXPECT_EQ(GetFemaleMaleCondition(City::AkilaCity, ConditionKind::Ratio, true), b);
  auto* e = list.entries;
  EXPECT_EQ(log.lines(),
            (Lines{Header(holder, 3), EntryAt(e, 0), Error("found TESCondition [" + Hex(e) + "] at (0) is nullptr"),
                   EntryAt(e + 1, 1), EntryAt(e + 2, 2), Found(e + 2, 2)}));

  // A null form is reported and passed; an entry matches by FormID, not by object.
  auto* twin = sim::GameNew<RE::TESNPC>();
  twin->formID = female->formID;
  sim::SetListEntries(list, {Entry(nullptr, m), Entry(twin, a)});
  log.clear();
  EXPECT_EQ(GetFemaleMaleCondition(City::AkilaCity, ConditionKind::Ratio, true), a);
  EXPECT_EQ(log.lines()[2], Error("LeleveledListEntry->form is nullptr"));

  sim::SetListEntries(list, {Entry(male, m)});
  log.clear();
  EXPECT_EQ(GetFemaleMaleCondition(City::AkilaCity, ConditionKind::Ratio, true), nullptr);
  EXPECT_EQ(log.lines().back(), NotFound(true, holder));
  sim::SetListEntries(list, {Entry(female, a)});
  log.clear();
  EXPECT_EQ(GetFemaleMaleCondition(City::AkilaCity, ConditionKind::Ratio, false), nullptr);
  EXPECT_EQ(log.lines().back(), NotFound(false, holder));
  sim::SetListEntries(list, {});
  log.clear();
  EXPECT_EQ(GetFemaleMaleCondition(City::AkilaCity, ConditionKind::Ratio, false), nullptr);
  EXPECT_EQ(log.lines(), (Lines{Header(holder, 0), NotFound(false, holder)}));

  // The last of 255 entries is still reached.
  auto* full = static_cast<RE::LEVELED_OBJECT*>(sim::GameAllocate(255 * sizeof(RE::LEVELED_OBJECT)));
  std::fill(full, full + 254, Entry(male, m));
  full[254] = Entry(female, b);
  list.entries = full;
  list.entryCount = 255;
  log.clear();
  EXPECT_EQ(GetFemaleMaleCondition(City::AkilaCity, ConditionKind::Ratio, true), b);
  EXPECT_EQ(log.lines().back(), Found(full + 254, 254));

  // Entries outside the window (below 4 GiB, or inside the executable's image) are never read.
  std::vector<RE::LEVELED_OBJECT> low{Entry(female, a)};
  aboveModule[0] = Entry(female, a);
  for (auto* array : {low.data(), aboveModule}) {
    list.entries = array;
    list.entryCount = 1;
    log.clear();
    EXPECT_EQ(GetFemaleMaleCondition(City::AkilaCity, ConditionKind::Ratio, true), nullptr);
    EXPECT_EQ(log.lines(), (Lines{Header(holder, 1), EntryAt(array, 0), Error("LeleveledListEntryAddr is out of range"),
                                  NotFound(true, holder)}));
  }
}
