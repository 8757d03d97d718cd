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
#include "Main/Cities/DataBase.h"
#include "Main/Cities/LocationData.h"
#include "Main/Startup/PluginState.h"
#include "WorldFile.h"

namespace fs = std::filesystem;

namespace {

void ClearDataBases(CityRecord& r) {
  r.EncounterPoints.clear(), r.FemaleFaceNPCs.clear(), r.MaleFaceNPCs.clear(), r.FemaleVoices.clear();
  r.MaleVoices.clear(), r.FemaleAnims.clear(), r.MaleAnims.clear(), r.FemaleNames.clear(), r.MaleNames.clear();
  r.FemaleLastNames.clear(), r.MaleLastNames.clear(), r.FemaleClothing.clear(), r.MaleClothing.clear();
}

std::size_t Size(const CityRecord& r, DataBaseKind db, bool female) {
  switch (db) {
    case DataBaseKind::FaceNPCs: return (female ? r.FemaleFaceNPCs : r.MaleFaceNPCs).size();
    case DataBaseKind::Clothing: return (female ? r.FemaleClothing : r.MaleClothing).size();
    case DataBaseKind::Anims: return (female ? r.FemaleAnims : r.MaleAnims).size();
    case DataBaseKind::Voices: return (female ? r.FemaleVoices : r.MaleVoices).size();
    case DataBaseKind::Names: return (female ? r.FemaleNames : r.MaleNames).size();
    case DataBaseKind::LastNames: return (female ? r.FemaleLastNames : r.MaleLastNames).size();
    default: return r.EncounterPoints.size();
  }
}

}  // namespace

TEST(SampleData, EveryCityBuildsCleanly) {
  test::GameFolder game;
  FormsBack restore;
  ResetPluginState();
  fs::copy(test::BinaryDirectory() / "data" / "Quillmere", game.dataFolder(),
           fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  sim::ClearPluginFiles();
  sim::LoadWorld(test::BinaryDirectory() / "data" / "world" / "SampleWorld.json");

  for (const City city : kCities) {
    auto& record = CityRecordOf(city);
    const std::string name = record.name();
    SCOPED_TRACE(name);
    ClearDataBases(record);
    test::LogCapture log;
    ASSERT_TRUE(BuildLocationDataDB(record));
    EXPECT_GT(record.fFemaleMaxHeight, 0.0f);
    EXPECT_LE(record.fFemaleMinHeight, record.fFemaleMaxHeight);
    EXPECT_LE(record.fMaleMinHeight, record.fMaleMaxHeight);
    EXPECT_TRUE(record.iFemalePercent >= 0 && record.iFemalePercent <= 100) << record.iFemalePercent;
    for (const DataBaseKind db : {DataBaseKind::FaceNPCs, DataBaseKind::Clothing, DataBaseKind::Anims,
                                  DataBaseKind::Voices, DataBaseKind::Names, DataBaseKind::LastNames}) {
      for (bool female : {true, false}) {
        const int count = BuildDataBase(db, female, record);
        EXPECT_GT(count, 0) << static_cast<int>(db) << (female ? " female" : " male");
        EXPECT_EQ(Size(record, db, female), static_cast<std::size_t>(std::max(count, 0))) << static_cast<int>(db);
      }
    }
    const auto spot = sim::GetWorld().citySpots.find(name);
    ASSERT_NE(spot, sim::GetWorld().citySpots.end());
    sim::PlacePlayer(spot->second);
    EXPECT_GT(BuildDataBase(DataBaseKind::EncounterPoints, true, record), 0);

    for (const auto& line : log.lines()) {
      EXPECT_FALSE(line.starts_with("error|") || line.starts_with("warning|")) << line;
    }
  }
}
