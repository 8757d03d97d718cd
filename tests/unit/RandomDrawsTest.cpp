#include <fmt/format.h>
#include <gtest/gtest.h>

#include "FormsBack.h"

#include <algorithm>
#include <climits>
#include <functional>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "GameFolder.h"
#include "GameForms.h"
#include "Helpers/PluginSettings.h"
#include "LogCapture.h"
#include "Main/Cities/LocationData.h"
#include "Main/Cities/LazyMt19937.h"
#include "Main/Cities/RandomDraws.h"

using RE::FormType;
using Lines = std::vector<std::string>;

namespace {

template <class T>
struct Draws {
  std::function<T()> draw;
  DrawPool<T>& database;
  std::vector<T> file;  // what one build yields, in file order
  std::string operation, kind, name, countLabel, city;
  std::function<std::string(const T&)> show;
};

// Four full cycles: each starts with a rebuild, every draw takes element r of the database as it
// was and removes the first copy of it, and a cycle hands out exactly what the file holds.
template <class T>
void CheckCycles(const Draws<T>& d) {
  SCOPED_TRACE(d.name);
  d.database.clear();
  const std::regex found("info\\|\\[" + d.operation + "\\] found random " + d.kind + " \\[(.*)\\] in '" + d.name +
                         "' at RandomInt \\[(-?\\d+)\\]\\. Returning it\\.");
  for (int cycle = 0; cycle < 4; ++cycle) {
    std::vector<T> drawn;
    for (std::size_t k = 0; k < d.file.size(); ++k) {
      auto before = d.database.Entries();
      test::LogCapture log;
      const T entry = d.draw();
      auto lines = log.linesOf(d.operation);
      if (k == 0) {
        ASSERT_TRUE(before.empty());
        before = d.file;
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.front(), "warning|[" + d.operation + "] " + d.name + ".size is 0 for iLocIndex [" + d.city +
                                     "]. Rebuilt DataBase. " + d.name + d.countLabel + std::to_string(d.file.size()) +
                                     "].");
        lines.erase(lines.begin());
      }
      ASSERT_EQ(lines.size(), 2u);
      std::smatch match;
      ASSERT_TRUE(std::regex_match(lines[0], match, found)) << lines[0];
      const int r = std::stoi(match[2]);
      ASSERT_GE(r, 0);
      ASSERT_LT(r, static_cast<int>(before.size()));
      EXPECT_EQ(before[static_cast<std::size_t>(r)], entry);
      EXPECT_EQ(match[1].str(), d.show(entry));
      EXPECT_EQ(lines[1], "info|[" + d.operation + "] returned random " + d.kind + " has been removed from DB.");
      before.erase(std::find(before.begin(), before.end(), entry));
      EXPECT_EQ(d.database.Entries(), before);
      drawn.push_back(entry);
    }
    EXPECT_TRUE(d.database.empty());
    auto expected = d.file;
    std::sort(expected.begin(), expected.end());
    std::sort(drawn.begin(), drawn.end());
    EXPECT_EQ(drawn, expected);
  }
}

std::string Text(const std::string& s) { return s; }
std::string Hex(RE::TESForm* const& form) { return fmt::format("{:08X}", form->formID); }

}  // namespace

TEST(RandomDraws, EveryEntryOncePerCycle) {
  test::GameFolder game;
  FormsBack restore;
  PluginSettings = PluginSettingsRecord{};
  sim::ClearPluginFiles();
  sim::AddPluginFile("Starfield.esm", 1, 0);
  const auto city = game.dataFolder() / "NewAtlantis";
  auto& record = CityRecordOf(City::NewAtlantis);

  test::WriteFile(city / "FemaleNames.txt", "Ada\nBea\nAda\nCyd\n");  // Ada comes out twice per cycle
  CheckCycles<std::string>({[&record] { return GetRandomNameFromDB(true, record); },
                            record.FemaleNames,
                            {"Ada", "Bea", "Ada", "Cyd"},
                            "GetRandomNameFromDB",
                            "Name",
                            "FemaleNames",
                            " + Count: [",
                            "1",
                            Text});
  test::WriteFile(city / "MaleLastNames.txt", "Orr\nPike\n");
  CheckCycles<std::string>({[&record] { return GetRandomLastNameFromDB(false, record); },
                            record.MaleLastNames,
                            {"Orr", "Pike"},
                            "GetRandomLastNameFromDB",
                            "LastName",
                            "MaleLastNames",
                            "Count: [",
                            "1",
                            Text});
  test::WriteFile(city / "FemaleLastNames.txt", "Quill\n");  // one entry: r is 0
  CheckCycles<std::string>({[&record] { return GetRandomLastNameFromDB(true, record); },
                            record.FemaleLastNames,
                            {"Quill"},
                            "GetRandomLastNameFromDB",
                            "LastName",
                            "FemaleLastNames",
                            "Count: [",
                            "1",
                            Text});

  auto* k1 = static_cast<RE::BGSKeyword*>(sim::AddForm(0x7D301, FormType::kKeyword));
  auto* k2 = static_cast<RE::BGSKeyword*>(sim::AddForm(0x7D302, FormType::kKeyword));
  auto* k3 = static_cast<RE::BGSKeyword*>(sim::AddForm(0x7D303, FormType::kKeyword));
  test::WriteFile(city / "MaleAnims.txt", "7D301\n7D302\n7D303\n");
  CheckCycles<RE::BGSKeyword*>({[&record] { return GetRandomAnimFromDB(false, record); },
                                record.MaleAnims,
                                {k1, k2, k3},
                                "GetRandomAnimFromDB",
                                "Anim",
                                "MaleAnims",
                                "Count: [",
                                "1",
                                [](RE::BGSKeyword* const& k) { return Hex(k); }});

  auto* v1 = static_cast<RE::BGSVoiceType*>(sim::AddForm(0x7D311, FormType::kVoiceType));
  auto* v2 = static_cast<RE::BGSVoiceType*>(sim::AddForm(0x7D312, FormType::kVoiceType));
  test::WriteFile(city / "FemaleVoices.txt", "7D311\n7D312\n7D311\n");
  CheckCycles<RE::BGSVoiceType*>({[&record] { return GetRandomVoiceFromDB(true, record); },
                                  record.FemaleVoices,
                                  {v1, v2, v1},
                                  "GetRandomVoiceFromDB",
                                  "Voice",
                                  "FemaleVoices",
                                  "Count: [",
                                  "1",
                                  [](RE::BGSVoiceType* const& v) { return Hex(v); }});

  // A database that is not empty is drawn from as it stands, never rebuilt.
  record.MaleNames.assign(1, "Zed");
  test::LogCapture log;
  EXPECT_EQ(GetRandomNameFromDB(false, record), "Zed");
  EXPECT_EQ(log.lines(),
            (Lines{"info|[GetRandomNameFromDB] found random Name [Zed] in 'MaleNames' at RandomInt [0]. Returning it.",
                   "info|[GetRandomNameFromDB] returned random Name has been removed from DB."}));
}

TEST(RandomDraws, NothingToRebuild) {
  test::GameFolder game;
  FormsBack restore;
  PluginSettings = PluginSettingsRecord{};
  sim::ClearPluginFiles();
  sim::AddPluginFile("Starfield.esm", 1, 0);

  // Files that yield nothing, and no files at all: every draw tries again and fails again.
  sim::AddForm(0x7D321, FormType::kArmor);
  test::WriteFile(game.dataFolder() / "AkilaCity" / "MaleVoices.txt", "; nothing here\n7D321\n");
  test::WriteFile(game.dataFolder() / "AkilaCity" / "FemaleNames.txt", "");
  auto& record = CityRecordOf(City::AkilaCity);
  record.MaleVoices.clear(), record.FemaleNames.clear(), record.FemaleAnims.clear(), record.MaleLastNames.clear();
  for (int attempt = 0; attempt < 3; ++attempt) {
    test::LogCapture log;
    EXPECT_EQ(GetRandomVoiceFromDB(false, record), nullptr);
    EXPECT_EQ(GetRandomNameFromDB(true, record), "");
    EXPECT_EQ(GetRandomAnimFromDB(true, record), nullptr);
    EXPECT_EQ(GetRandomLastNameFromDB(false, record), "");
    auto failed = [](const char* op, const char* db) {
      return Lines{std::string("error|[") + op + "] " + db +
                   ".size is 0 for iLocIndex [2]. Could not rebuild DataBase."};
    };
    EXPECT_EQ(log.linesOf("GetRandomVoiceFromDB"), failed("GetRandomVoiceFromDB", "MaleVoices"));
    EXPECT_EQ(log.linesOf("GetRandomNameFromDB"), failed("GetRandomNameFromDB", "FemaleNames"));
    EXPECT_EQ(log.linesOf("GetRandomAnimFromDB"), failed("GetRandomAnimFromDB", "FemaleAnims"));
    EXPECT_EQ(log.linesOf("GetRandomLastNameFromDB"), failed("GetRandomLastNameFromDB", "MaleLastNames"));
  }
  EXPECT_TRUE(record.MaleVoices.empty() && record.FemaleNames.empty());
}

TEST(RandomDraws, RandomIntInRangeCoversBothEnds) {
  auto sample = [](int a, int b, int n) {
    std::map<int, int> seen;
    for (int i = 0; i < n; ++i) {
      const int v = GetRandomIntInRange(a, b);
      EXPECT_GE(v, std::min(a, b));
      EXPECT_LE(v, std::max(a, b));
      ++seen[v];
    }
    return seen;
  };
  const auto four = sample(0, 3, 4000);
  ASSERT_EQ(four.size(), 4u);
  for (const auto& [value, count] : four) EXPECT_TRUE(count > 800 && count < 1200) << value << ": " << count;
  EXPECT_EQ(sample(7, 7, 20), (std::map<int, int>{{7, 20}}));
  EXPECT_EQ(sample(2, -2, 600).size(), 5u);  // a reversed range is the same range
  const auto top = sample(INT_MAX - 1, INT_MAX, 200);
  EXPECT_TRUE(top.count(INT_MAX - 1) && top.count(INT_MAX));
  const auto bottom = sample(INT_MIN, INT_MIN + 1, 200);
  EXPECT_TRUE(bottom.count(INT_MIN) && bottom.count(INT_MIN + 1));
  // Every call seeds afresh: over the whole range, repeats are all but impossible.
  EXPECT_GE(sample(INT_MIN, INT_MAX, 50).size(), 45u);
}

TEST(RandomDraws, TheLazyEngineGivesStdMt19937sOutputs) {
  // Seeds at the edges and spread over the range; 300 outputs cross from the lazy words to the full engine.
  std::vector<std::uint32_t> seeds = {0, 1, 5489, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
  for (std::uint32_t i = 0; i < 200; ++i) seeds.push_back(i * 2654435761u);
  for (const auto seed : seeds) {
    SCOPED_TRACE(seed);
    std::mt19937 standard(seed);
    LazyMt19937 lazy(seed);
    for (int k = 0; k < 300; ++k) ASSERT_EQ(lazy(), standard()) << "output " << k;
    // What a draw does with it: the standard distribution, over small, large and full ranges.
    for (const auto& [low, high] : std::vector<std::pair<int, int>>{{0, 9}, {0, 4999}, {-3, 3}, {INT_MIN, INT_MAX}}) {
      std::mt19937 fresh(seed);
      LazyMt19937 fresher(seed);
      EXPECT_EQ(std::uniform_int_distribution<int>(low, high)(fresher),
                std::uniform_int_distribution<int>(low, high)(fresh));
    }
  }
}
