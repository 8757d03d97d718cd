#include <fmt/format.h>
#include <gtest/gtest.h>

#include "FormsBack.h"
#include <windows.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "GameForms.h"
#include "GameHeap.h"
#include "Helpers/PluginSettings.h"
#include "LogCapture.h"
#include "Main/LeveledLists/LeveledLists.h"
#include "Main/Startup/PluginState.h"

using Entry = RE::LEVELED_OBJECT;
using Lines = std::vector<std::string>;
using NPCs = std::vector<RE::TESNPC*>;
using Forms = std::vector<RE::TESForm*>;

namespace {

RE::TESLeveledList* FreshList(std::uint32_t formID) {
  sim::ClearPluginFiles();
  ResetPluginState();
  return &sim::AddTyped<RE::TESLevCharacter>(formID, RE::FormType::kLeveledCharacter)->leveledList;
}

std::string Hex(const void* p) { return fmt::format("{:X}", reinterpret_cast<std::uintptr_t>(p)); }
RE::TESCondition* SomeCondition() { return static_cast<RE::TESCondition*>(sim::GameAllocate(16)); }
Entry New(RE::TESForm* form, RE::TESCondition* condition = nullptr) { return {form, 0, condition, 1, 1, 0, 0}; }

// A copy of entries in the game's heap, made the list's array.
Entry* Install(RE::TESLeveledList* list, const std::vector<Entry>& entries) {
  auto* array = static_cast<Entry*>(sim::GameAllocate(sizeof(Entry) * (entries.size() + 1)));
  std::memcpy(array, entries.data(), entries.size() * sizeof(Entry));
  list->entryCount = static_cast<std::uint8_t>(entries.size());
  return list->entries = array;
}

NPCs MakeNPCs(std::uint32_t firstID, std::size_t n) {
  NPCs out;
  for (std::size_t i = 0; i < n; ++i) out.push_back(sim::AddNPC(firstID + static_cast<std::uint32_t>(i), i % 2 == 0));
  return out;
}

bool Holds(const Entry* array, const std::vector<Entry>& expected) {
  return std::memcmp(array, expected.data(), expected.size() * sizeof(Entry)) == 0;
}

// Every new entry is {form, 0, condition, 1, 1, 0, 0}, all 32 bytes of it.
template <class T>
void ExpectNew(const Entry* entries, const std::vector<T*>& forms, RE::TESCondition* condition) {
  for (std::size_t k = 0; k < forms.size(); ++k) EXPECT_TRUE(Holds(entries + k, {New(forms[k], condition)})) << k;
}

// Three entries across the window's lower edge: the first lies below it, the second on it, the third inside.
Entry* AcrossLowerEdge() {
  constexpr std::uintptr_t edge = 10'000'000'000ull;
  static const bool usable = VirtualAlloc(reinterpret_cast<void*>(edge & ~std::uintptr_t{0xFFFF}), 0x10000,
                                          MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  return usable ? reinterpret_cast<Entry*>(edge - sizeof(Entry)) : nullptr;
}

Entry aboveModule[2];  // inside the executable's image, above its base

const std::string kAdd = "[AddFormsToLeveledList] ", kRead = "[GetLeveledListEntries] ";
const std::string kTooMany = "error|" + kAdd + "leveledList size cannot exceed 255, given value: 256";

}  // namespace

TEST(LeveledLists, NewFormsFirstThenKeptEntriesUpTo255) {
  FormsBack restore;
  auto* list = FreshList(0x0100B000);
  auto *marker = SomeCondition(), *condition = SomeCondition();
  const auto oldForms = MakeNPCs(0x0100B100, 55);
  std::vector<Entry> old;
  for (std::uint16_t i = 0; i < 55; ++i)  // every field set, so that a partial copy shows
    old.push_back({oldForms[i], 0xA000u + i, i % 3 ? marker : nullptr, std::uint16_t(i + 2), std::uint16_t(300 + i),
                   std::uint16_t(0xBEEF - i), std::uint16_t(7 * i + 1)});
  auto* oldArray = Install(list, old);
  const auto added = MakeNPCs(0x0100C000, 201);
  test::LogCapture log;
  EXPECT_FALSE(AddFormsToLeveledList(list, &added, false, condition));
  EXPECT_EQ(log.lines().back(), kTooMany);
  EXPECT_TRUE(list->entries == oldArray && list->entryCount == 55);
  EXPECT_TRUE(Holds(oldArray, old));
  const NPCs fits(added.begin(), added.begin() + 200);
  ASSERT_TRUE(AddFormsToLeveledList(list, &fits, false, condition));
  ASSERT_EQ(list->entryCount, 255);
  const auto first = reinterpret_cast<std::uintptr_t>(list->entries);
  EXPECT_GT(first, 10'000'000'000ull);  // inside the window where the game's own arrays lie
  EXPECT_LE(first + 255 * sizeof(Entry), reinterpret_cast<std::uintptr_t>(GetModuleHandleW(nullptr)));
  ExpectNew(list->entries, fits, condition);
  EXPECT_TRUE(Holds(list->entries + 200, old));  // whole 32-byte records, in their old order
  EXPECT_TRUE(Holds(oldArray, old));             // the replaced array is left as it was

  // In replacement 256 forms are too many and 255 fit, a form given twice taking two entries.
  auto* full = list->entries;
  Forms forms(added.begin(), added.end());
  forms.insert(forms.end(), oldForms.begin(), oldForms.end());
  EXPECT_FALSE(AddFormsToLeveledList(list, &forms, true, nullptr));
  EXPECT_EQ(log.lines().back(), kTooMany);
  EXPECT_TRUE(list->entries == full && list->entryCount == 255);
  forms.pop_back();
  forms.back() = forms.front();
  ASSERT_TRUE(AddFormsToLeveledList(list, &forms, true, nullptr));
  ASSERT_EQ(list->entryCount, 255);
  ExpectNew(list->entries, forms, nullptr);
  const NPCs none;
  EXPECT_TRUE(AddFormsToLeveledList(list, &none, true, condition));
  EXPECT_EQ(list->entryCount, 0);
  EXPECT_TRUE(GetLeveledListEntries(list).empty());
}

// Resets, loads and the console refill the same lists all evening: each takes its two arrays by turns,
// so the memory stays put, and the array a list points at (or the game's own) is never written.
TEST(LeveledLists, RefillsTakeTheListsTwoArraysByTurnsAndLeaveTheGamesArrayAlone) {
  FormsBack restore;
  auto* list = FreshList(0x0100D000);
  const auto forms = MakeNPCs(0x0100D100, 6);
  const std::vector<Entry> own = {New(forms[0]), New(forms[1])};
  auto* games = Install(list, own);
  const NPCs two(forms.begin() + 2, forms.begin() + 4), one(forms.begin() + 4, forms.begin() + 5);
  ASSERT_TRUE(AddFormsToLeveledList(list, &two, true, nullptr));
  auto* first = list->entries;
  ASSERT_TRUE(AddFormsToLeveledList(list, &one, false, nullptr));  // reads the first, writes the second
  auto* second = list->entries;
  EXPECT_NE(first, second);
  EXPECT_TRUE(Holds(second, {New(forms[4]), New(forms[2]), New(forms[3])}));
  EXPECT_TRUE(Holds(first, {New(forms[2]), New(forms[3])}));
  // Put back to the game's array, as a reset does: the next refill takes the array not given last.
  list->entries = games;
  list->entryCount = 2;
  ASSERT_TRUE(AddFormsToLeveledList(list, &one, false, nullptr));
  EXPECT_EQ(list->entries, first);
  EXPECT_TRUE(Holds(first, {New(forms[4]), New(forms[0]), New(forms[1])}));
  for (int refill = 0; refill < 50; ++refill) {
    auto* before = list->entries;
    ASSERT_TRUE(AddFormsToLeveledList(list, refill % 2 ? &one : &two, refill % 3 == 0, nullptr));
    EXPECT_NE(list->entries, before);
    EXPECT_TRUE(list->entries == first || list->entries == second);
  }
  EXPECT_TRUE(Holds(games, own));
}

TEST(LeveledLists, ImplausibleEntriesAreSkippedAndFormlessOnesFail) {
  FormsBack restore;
  auto* list = FreshList(0x0100E000);
  const auto npcs = MakeNPCs(0x0100E100, 4);
  Entry* edge = AcrossLowerEdge();
  ASSERT_NE(edge, nullptr) << "no memory at the window's lower edge";
  edge[0] = New(npcs[0]), edge[1] = New(npcs[1]), edge[2] = {npcs[2], 9, nullptr, 4, 5, 6, 7};
  list->entries = edge, list->entryCount = 3;
  test::LogCapture log;
  const auto read = GetLeveledListEntries(list);
  ASSERT_EQ(read.size(), 1u);
  EXPECT_TRUE(Holds(&edge[2], read));
  const auto at = [&](int i) { return fmt::format("info|{}LeleveledListEntry [{}] at ({})", kRead, Hex(edge + i), i); };
  const std::string outOfRange = "error|" + kRead + "LeleveledListEntryAddr is out of range";
  EXPECT_EQ(log.lines(), (Lines{"info|" + kRead + "EditorSetFormCount of leveledList " + Hex(list) + " is: 3", at(0),
                                outOfRange, at(1), outOfRange, at(2)}));
  const NPCs add = {npcs[3]};
  ASSERT_TRUE(AddFormsToLeveledList(list, &add, false, nullptr));
  ASSERT_EQ(list->entryCount, 2);
  EXPECT_TRUE(Holds(list->entries, {New(npcs[3]), edge[2]}));

  // Nor is anything at or above the game's module.
  aboveModule[0] = aboveModule[1] = New(npcs[0]);
  list->entries = aboveModule, list->entryCount = 2;
  EXPECT_TRUE(GetLeveledListEntries(list).empty());
  ASSERT_TRUE(AddFormsToLeveledList(list, &add, false, nullptr));
  EXPECT_TRUE(list->entryCount == 1 && list->entries[0].form == npcs[3]);

  // A kept entry without a form stops the add and leaves the list as it was.
  const std::vector<Entry> old = {New(npcs[0]), New(nullptr), New(npcs[1])};
  auto* oldArray = Install(list, old);
  log.clear();
  EXPECT_FALSE(AddFormsToLeveledList(list, &add, false, nullptr));
  const auto lines = log.lines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2],
            "info|" + kAdd + "adding (back) old form [0100E100] to leveledList " + Hex(list) + "  at (0)");
  EXPECT_EQ(lines.back(), "error|" + kAdd + "oldLeveledListEntries->form is nullptr at: 1");
  EXPECT_TRUE(list->entries == oldArray && list->entryCount == 3);
  EXPECT_TRUE(Holds(oldArray, old));
}

TEST(LeveledLists, LogLinesClearingAndMissingArguments) {
  FormsBack restore;
  auto* list = FreshList(0x0100F000);
  const auto npcs = MakeNPCs(0x0100F100, 3);
  auto* array = Install(list, {New(npcs[0])});
  auto* condition = SomeCondition();
  const NPCs add = {npcs[1], npcs[2]}, one = {npcs[2]};
  const std::string a = "info|" + kAdd, r = "info|" + kRead, L = Hex(list), C = Hex(condition);
  test::LogCapture log;
  ASSERT_TRUE(AddFormsToLeveledList(list, &add, false, condition));
  ASSERT_TRUE(AddFormsToLeveledList(list, &one, true, nullptr));
  EXPECT_EQ(log.lines(),
            (Lines{a + "attempting to add 2 forms to leveledList " + L,
                   r + "EditorSetFormCount of leveledList " + L + " is: 1",
                   r + "LeleveledListEntry [" + Hex(array) + "] at (0)",
                   a + "adding new form [0100F101] to leveledList " + L + "  at (0), Condition [" + C + "]",
                   a + "adding new form [0100F102] to leveledList " + L + "  at (1), Condition [" + C + "]",
                   a + "adding (back) old form [0100F100] to leveledList " + L + "  at (0)", a + "complete",
                   a + "attempting to add 1 forms to leveledList " + L,
                   a + "adding new form [0100F102] to leveledList " + L + "  at (0)", a + "complete"}));
  array = list->entries;
  log.clear();
  EXPECT_TRUE(ClearAllFormsFromLeveledList(list));
  EXPECT_TRUE(list->entries == nullptr && list->entryCount == 0);
  EXPECT_TRUE(Holds(array, {New(npcs[2])}));
  EXPECT_TRUE(GetLeveledListEntries(nullptr).empty());
  EXPECT_FALSE(ClearAllFormsFromLeveledList(nullptr));
  const Forms forms(npcs.begin(), npcs.end());
  EXPECT_FALSE(AddFormsToLeveledList(nullptr, &npcs, false, nullptr));
  EXPECT_FALSE(AddFormsToLeveledList(nullptr, &forms, true, nullptr));
  EXPECT_FALSE(AddFormsToLeveledList(list, static_cast<const NPCs*>(nullptr), true, nullptr));
  EXPECT_FALSE(AddFormsToLeveledList(list, static_cast<const Forms*>(nullptr), true, nullptr));
  EXPECT_EQ(log.lines(), (Lines{"info|[ClearAllFormsFromLeveledList] cleared leveledList " + L,
                                "error|" + kRead + "leveledList is nullptr",
                                "error|[ClearAllFormsFromLeveledList] leveledList is nullptr",
                                "error|" + kAdd + "leveledList is nullptr", "error|" + kAdd + "leveledList is nullptr",
                                "error|" + kAdd + "formsToAdd is nullptr", "error|" + kAdd + "formsToAdd is nullptr"}));
  EXPECT_EQ(list->entryCount, 0);
}

TEST(LeveledLists, SavedRecordsAreFoundByNameIgnoringCase) {
  FormsBack restore;
  auto* list = FreshList(0x01010000);
  const auto npcs = MakeNPCs(0x01010100, 2);
  const std::vector<Entry> many(255, New(npcs[0]));
  auto* first = Install(list, many);
  const std::string name = "Neon_MaleOutfitLeveledItemForm", get = "[GetSavedLeveledListDataByName] ";
  test::LogCapture log;
  EXPECT_EQ(GetSavedLeveledListDataByName(name), nullptr);
  EXPECT_FALSE(SaveLeveledList(nullptr, name));
  EXPECT_FALSE(SaveLeveledList(list, ""));
  EXPECT_EQ(GetSavedLeveledListDataByName(""), nullptr);
  EXPECT_EQ(log.lines(), (Lines{"error|" + get + "std::vector SavedLeveledLists is empty, no saved leveled lists",
                                "error|[SaveLeveledList] leveledList is nullptr",
                                "error|[SaveLeveledList] sLeveledListName cannot be empty",
                                "error|" + get + "sLeveledListName cannot be empty"}));
  EXPECT_TRUE(SavedLeveledLists().empty());
  ASSERT_TRUE(SaveLeveledList(list, name));
  const NPCs add = {npcs[1]};
  ASSERT_TRUE(AddFormsToLeveledList(list, &add, true, nullptr));
  log.clear();
  ASSERT_TRUE(SaveLeveledList(list, name));  // appended, not merged
  EXPECT_EQ(log.lines(), Lines{"info|[SaveLeveledList] saving leveledList " + Hex(list) + " named [" + name +
                               "]. New SavedLeveledLists.size = 2"});
  ASSERT_EQ(SavedLeveledLists().size(), 2u);
  const auto& saved = SavedLeveledLists();
  EXPECT_TRUE(saved[0].name == name && saved[0].count == 255 && saved[0].entries == first);
  EXPECT_TRUE(saved[1].name == name && saved[1].count == 1 && saved[1].entries == list->entries);
  log.clear();
  EXPECT_EQ(GetSavedLeveledListDataByName("neon_maleoutfitleveleditemform"), &SavedLeveledLists()[0]);
  EXPECT_EQ(GetSavedLeveledListDataByName("NEON_MaleOutfitLeveledItemForm "), nullptr);
  EXPECT_EQ(GetSavedLeveledListDataByName("Neon_MaleOutfitLeveledItem"), nullptr);
  const auto notFound = [&](const std::string& n) {
    return "error|" + get + "no saved leveledList was found with name [" + n + "], returning nullptr";
  };
  EXPECT_EQ(log.lines(), (Lines{"info|" + get + "returning leveledList " + Hex(&saved[0]) +
                                    " with name [neon_maleoutfitleveleditemform]",
                                notFound("NEON_MaleOutfitLeveledItemForm "), notFound("Neon_MaleOutfitLeveledItem")}));
  EXPECT_TRUE(Holds(first, many));  // saving does not copy: the saved array must stay intact
}
