#include <fmt/format.h>
#include <gtest/gtest.h>

#include "FormsBack.h"

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "GameFolder.h"
#include "GameForms.h"
#include "Helpers/PluginSettings.h"
#include "DataBaseTestSupport.h"
#include "LogCapture.h"
#include "Main/Cities/DataBase.h"
#include "Main/Cities/LocationData.h"
#include "RE/IDs.h"
#include "REL/ID.h"

using RE::FormType;
using Lines = std::vector<std::string>;

namespace {

std::string WrongType(const std::string& id, int type, int db) {
  return kError + "found form with FormID " + id + " has unexpected FormType [" + std::to_string(type) +
         "] for iDBIndex [" + std::to_string(db) + "]. Skipping this form...";
}

// Hides the player for as long as it lives.
struct NoPlayer {
  RE::PlayerCharacter** slot =
      reinterpret_cast<RE::PlayerCharacter**>(REL::ResolveAddressLibraryID(RE::ID::PlayerCharacter));
  RE::PlayerCharacter* saved = std::exchange(*slot, nullptr);
  ~NoPlayer() { *slot = saved; }
};

template <class T>
std::vector<RE::TESForm*> Forms(const std::vector<T*>& v) {
  return {v.begin(), v.end()};
}
template <class T>
std::vector<RE::TESForm*> Forms(const DrawPool<T*>& pool) {
  return Forms(pool.Entries());
}

}  // namespace

TEST(DataBase, FormKindsAndSexAreChecked) {
  test::GameFolder game;
  FormsBack restore;
  PluginSettings = PluginSettingsRecord{};
  ResetPlugins();
  auto* woman = sim::AddNPC(0x7D101, true);
  auto* man = sim::AddNPC(0x7D102, false);
  auto* keyword = sim::AddForm(0x7D103, FormType::kKeyword);
  auto* armor = sim::AddForm(0x7D104, FormType::kArmor);
  auto* outfit = sim::AddForm(0x7D105, FormType::kOutfit);
  auto* voice = sim::AddForm(0x7D106, FormType::kVoiceType);
  auto* reference = sim::AddReference(0x7D107, armor, {0, 0, 0});
  auto& record = CityRecordOf(City::AkilaCity);
  auto id = [](RE::TESForm* form) { return fmt::format("{:x}", form->formID); };
  auto mismatch = [&](RE::TESForm* npc, const char* db, int flag) {
    return kError + "  couldn't add [NPCForm:" + id(npc) + "] to database [" + db +
           "] (iDBIndex [2]) due to NPC->IsFemale() [" + std::to_string(flag) + "] mismatch.";
  };
  struct Line {
    RE::TESForm* form;
    std::string refusal;  // empty: appended
  };
  struct Case {
    DataBaseKind db;
    bool female;
    const char *name, *kind;
    std::vector<Line> lines;
    std::vector<RE::TESForm*> (*get)(CityRecord&);
  };
  const Case cases[] = {
      {DataBaseKind::FaceNPCs,
       true,
       "FemaleFaceNPCs",
       "NPCForm",
       {{woman, ""}, {man, mismatch(man, "FemaleFaceNPCs", 1)}, {keyword, WrongType("7d103", 4, 2)}, {woman, ""}},
       [](CityRecord& r) { return Forms(r.FemaleFaceNPCs); }},
      {DataBaseKind::FaceNPCs,
       false,
       "MaleFaceNPCs",
       "NPCForm",
       {{woman, mismatch(woman, "MaleFaceNPCs", 0)}, {man, ""}},
       [](CityRecord& r) { return Forms(r.MaleFaceNPCs); }},
      {DataBaseKind::Clothing,
       false,
       "MaleClothing",
       "ClothingForm",
       {{armor, ""}, {outfit, ""}, {woman, WrongType("7d101", 50, 3)}, {reference, WrongType("7d107", 74, 3)}},
       [](CityRecord& r) { return Forms(r.MaleClothing); }},
      {DataBaseKind::Anims,
       false,
       "MaleAnims",
       "AnimKeyword",
       {{keyword, ""}, {voice, WrongType("7d106", 112, 4)}},
       [](CityRecord& r) { return Forms(r.MaleAnims); }},
      {DataBaseKind::Voices,
       true,
       "FemaleVoices",
       "VoiceType",
       {{voice, ""}, {keyword, WrongType("7d103", 4, 5)}, {voice, ""}},
       [](CityRecord& r) { return Forms(r.FemaleVoices); }},
  };
  record.FemaleFaceNPCs.clear(), record.MaleFaceNPCs.clear(), record.MaleClothing.clear();
  record.MaleAnims.clear(), record.FemaleVoices.clear();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string text;
    std::vector<RE::TESForm*> entries;
    Lines expected{Begin(std::string(c.name) + ".txt", "AkilaCity")};
    for (const auto& [form, refusal] : c.lines) {
      text += fmt::format("{:X}_Starfield.esm\n", form->formID);
      if (!refusal.empty()) {
        expected.push_back(refusal);
        continue;
      }
      entries.push_back(form);  // a form listed twice is kept twice
      expected.push_back(kInfo + "  adding [" + c.kind + ":" + id(form) + "] to database [" + c.name + "] (iDBIndex [" +
                         std::to_string(static_cast<int>(c.db)) + "]).");
    }
    test::WriteFile(game.dataFolder() / "AkilaCity" / (std::string(c.name) + ".txt"), text);
    test::LogCapture log;
    EXPECT_EQ(BuildDataBase(c.db, c.female, record), static_cast<int>(entries.size()));
    EXPECT_EQ(c.get(record), entries);
    EXPECT_EQ(log.linesOf("BuildDataBase"), expected);
  }
}

TEST(DataBase, EncounterPointsFollowThePlayerWindow) {
  test::GameFolder game;
  FormsBack restore;
  PluginSettings = PluginSettingsRecord{};
  ResetPlugins();
  const RE::NiPoint3 p{1000, -2000, 30};
  sim::PlacePlayer(p);
  auto* base = sim::AddForm(0x7D200, FormType::kArmor);
  struct Point {
    std::uint32_t id;
    RE::NiPoint3 offset;
    const char* distance;
    bool inside;
  };
  // Offsets whose distances are exact in float: both ends of the window are inside.
  const Point points[] = {{0x7D201, {3, 4, 0}, "5.000000", true},
                          {0x7D202, {0, 132, -176}, "220.000000", true},
                          {0x7D203, {12, -16, 21}, "29.000000", true},
                          {0x7D204, {4.875f, 0, 0}, "4.875000", false},
                          {0x7D205, {0, 0, -220.125f}, "220.125000", false}};
  std::string text;
  std::vector<RE::TESForm*> inside;
  Lines expected{Begin("EncounterPoints.txt", "Cydonia")};
  for (const auto& point : points) {
    auto* reference =
        sim::AddReference(point.id, base, {p.x + point.offset.x, p.y + point.offset.y, p.z + point.offset.z});
    text += fmt::format("{:X}_Starfield.esm\n", point.id);
    const std::string head = fmt::format("[Reference:{:x} to database [EncounterPoints] (iDBIndex [8])", point.id);
    if (point.inside) {
      inside.push_back(reference);
      expected.push_back(kInfo + "  adding " + head +
                         ". fMinPlayerDistance [5]. fMaxPlayerDistance [220].PlayerDistance [" + point.distance + "].");
    } else {
      expected.push_back(kWarn + "  could not add " + head + " due to distance check. fMinPlayerDistance [5]. " +
                         "fMaxPlayerDistance [220]. PlayerDistance [" + point.distance + "].");
    }
  }
  text += "7D200_Starfield.esm\n";
  expected.push_back(WrongType("7d200", 34, 8));
  test::WriteFile(game.dataFolder() / "Cydonia" / "EncounterPoints.txt", text);
  auto& record = CityRecordOf(City::Cydonia);
  record.EncounterPoints.clear();
  const std::string cleared =
      kWarn + "database 'EncounterPoints' for location [Cydonia] wasn't empty. Cleared array...";
  for (bool female : {true, false}) {  // one database for both sexes
    test::LogCapture log;
    EXPECT_EQ(BuildDataBase(DataBaseKind::EncounterPoints, female, record), 3);
    EXPECT_EQ(Forms(record.EncounterPoints), inside);
    auto lines = log.linesOf("BuildDataBase");
    if (!female) {
      ASSERT_FALSE(lines.empty());
      EXPECT_EQ(lines.front(), cleared);
      lines.erase(lines.begin());
    }
    EXPECT_EQ(lines, expected);
  }

  // The window is read at build time.
  PluginSettings.iEncounterPointMinPlayerDist = PluginSettings.iEncounterPointMaxPlayerDist = 29;
  test::LogCapture log;
  EXPECT_EQ(BuildDataBase(DataBaseKind::EncounterPoints, true, record), 1);
  EXPECT_EQ(Forms(record.EncounterPoints), std::vector<RE::TESForm*>{inside[2]});
  EXPECT_TRUE(
      log.contains(kWarn +
                   "  could not add [Reference:7d201 to database [EncounterPoints] (iDBIndex [8]) due to "
                   "distance check. fMinPlayerDistance [29]. fMaxPlayerDistance [29]. PlayerDistance [5.000000]."));

  // Without a player every point is skipped, silently.
  NoPlayer hidden;
  log.clear();
  EXPECT_EQ(BuildDataBase(DataBaseKind::EncounterPoints, true, record), 0);
  EXPECT_TRUE(record.EncounterPoints.empty());
  EXPECT_EQ(log.linesOf("BuildDataBase"), (Lines{cleared, expected.front(), expected.back()}));
  PluginSettings = PluginSettingsRecord{};
}
