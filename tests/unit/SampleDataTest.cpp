#include <gtest/gtest.h>

#include "FormsBack.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "GameFolder.h"
#include "GameForms.h"
#include "GameWorld.h"
#include "Helpers/PluginSettings.h"
#include "LogCapture.h"
#include "Main/DataBase.h"
#include "Main/LocationData.h"
#include "WorldFile.h"

namespace fs = std::filesystem;

namespace {

void ClearDataBases(LocationData& r) {
  r.EncounterPoints.clear(), r.FemaleFaceNPCs.clear(), r.MaleFaceNPCs.clear(), r.FemaleVoices.clear();
  r.MaleVoices.clear(), r.FemaleAnims.clear(), r.MaleAnims.clear(), r.FemaleNames.clear(), r.MaleNames.clear();
  r.FemaleLastNames.clear(), r.MaleLastNames.clear(), r.FemaleClothing.clear(), r.MaleClothing.clear();
}

std::size_t Size(const LocationData& r, int db, bool female) {
  switch (db) {
    case 2: return (female ? r.FemaleFaceNPCs : r.MaleFaceNPCs).size();
    case 3: return (female ? r.FemaleClothing : r.MaleClothing).size();
    case 4: return (female ? r.FemaleAnims : r.MaleAnims).size();
    case 5: return (female ? r.FemaleVoices : r.MaleVoices).size();
    case 6: return (female ? r.FemaleNames : r.MaleNames).size();
    case 7: return (female ? r.FemaleLastNames : r.MaleLastNames).size();
    default: return r.EncounterPoints.size();
  }
}

}  // namespace

TEST(SampleData, EveryCityBuildsCleanly) {
  test::GameFolder game;
  FormsBack restore;
  PluginSettings = PluginSettingsRecord{};
  fs::copy(test::BinaryDirectory() / "data" / "Quillmere", game.dataFolder(),
           fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  sim::ClearPluginFiles();
  sim::LoadWorld(test::BinaryDirectory() / "data" / "world" / "SampleWorld.json");

  for (int city = 1; city <= 4; ++city) {
    const auto name = GetLocationNameByIndex(city);
    SCOPED_TRACE(name);
    auto& record = *GetLocationStructByIndex(city);
    ClearDataBases(record);
    test::LogCapture log;
    ASSERT_TRUE(BuildLocationDataDB(city));
    EXPECT_GT(record.fFemaleMaxHeight, 0.0f);
    EXPECT_LE(record.fFemaleMinHeight, record.fFemaleMaxHeight);
    EXPECT_LE(record.fMaleMinHeight, record.fMaleMaxHeight);
    EXPECT_TRUE(record.iFemalePercent >= 0 && record.iFemalePercent <= 100) << record.iFemalePercent;
    for (int db = 2; db <= 7; ++db) {
      for (bool female : {true, false}) {
        const int count = BuildDataBase(db, female, city);
        EXPECT_GT(count, 0) << db << (female ? " female" : " male");
        EXPECT_EQ(Size(record, db, female), static_cast<std::size_t>(std::max(count, 0))) << db;
      }
    }
    const auto spot = sim::GetWorld().citySpots.find(name);
    ASSERT_NE(spot, sim::GetWorld().citySpots.end());
    sim::PlacePlayer(spot->second);
    EXPECT_GT(BuildDataBase(8, true, city), 0);

    for (const auto& line : log.lines()) {
      EXPECT_FALSE(line.starts_with("error|") || line.starts_with("warning|")) << line;
    }
  }
}
