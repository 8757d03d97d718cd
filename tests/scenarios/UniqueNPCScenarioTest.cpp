// Unique NPCs in the game: the database built at start-up, the cell events that place them when the
// player walks into a city, and the demo's walk through the four cities.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "GameFolder.h"
#include "SimRun.h"

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using Lines = std::vector<std::string>;

const fs::path kShipped = test::BinaryDirectory() / "data";

// A shipped definition file as its author wrote it, with its form references as runtime IDs.
struct Definition {
  std::string name, appearance, voice, anim;
  float height = 0.0f;
  std::map<std::string, std::string> clothing;  // by city; "" for none
};

// "<hex>_<file>" as the game composes it for the sample world's files.
std::string RuntimeID(const std::string& reference) {
  static const Json files = [] {
    std::ifstream in(kShipped / "world" / "SampleWorld.json");
    return Json::parse(in)["files"];
  }();
  const auto underscore = reference.find('_');
  const auto local = std::stoul(reference.substr(0, underscore), nullptr, 16);
  const auto file = underscore == std::string::npos ? "Starfield.esm" : reference.substr(underscore + 1);
  for (const auto& f : files) {
    if (f["name"] != file) continue;
    unsigned long id = f["compileIndex"].get<unsigned long>() << 24;
    if (f["kind"] == "small") id += f["smallFileIndex"].get<unsigned long>() << 12;
    if (f["kind"] == "medium") id += f["mediumFileIndex"].get<unsigned long>() << 16;
    char text[9];
    std::snprintf(text, sizeof(text), "%08lX", id + local);
    return text;
  }
  throw std::runtime_error("no file " + file);
}

std::vector<Definition> ShippedDefinitions() {
  std::vector<Definition> definitions;
  for (const auto& entry : fs::directory_iterator(kShipped / "Quillmere" / "UniqueNPCs")) {
    std::istringstream ini(test::ReadFile(entry.path()));
    Definition d;
    std::string section;
    for (std::string line; std::getline(ini, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.starts_with("[")) section = line.substr(1, line.size() - 2);
      const auto eq = line.find('=');
      if (line.starts_with(";") || eq == std::string::npos) continue;
      const auto key = line.substr(0, eq), value = line.substr(eq + 1);
      if (key == "sName") d.name = value;
      if (key == "iAppearance") d.appearance = RuntimeID(value);
      if (key == "iVoiceType") d.voice = RuntimeID(value);
      if (key == "iFacialAnim") d.anim = RuntimeID(value);
      if (key == "fHeight") d.height = std::stof(value);
      if (key == "iEncounterChance") d.clothing.emplace(section, "");
      if (key == "iClothing") d.clothing[section] = RuntimeID(value);
    }
    definitions.push_back(d);
  }
  return definitions;
}

// The encounter points a city's file names, as runtime IDs.
std::set<std::string> EncounterPoints(const std::string& city) {
  std::set<std::string> points;
  std::istringstream file(test::ReadFile(kShipped / "Quillmere" / city / "EncounterPoints.txt"));
  for (std::string line; std::getline(file, line);) {
    auto reference = line.substr(0, line.find_first_of(" ;\r"));
    if (reference.starts_with("0x")) reference = reference.substr(2);
    if (!reference.empty()) points.insert(RuntimeID(reference));
  }
  return points;
}

// Every placed unique NPC stands at a point of its city, looking, sounding and dressed as its file
// says, once per city; returns how many there are per city.
std::map<std::string, int> ExpectPlacedAsDefined(const Json& placed) {
  const auto definitions = ShippedDefinitions();
  std::map<std::string, int> perCity;
  std::set<std::pair<std::string, std::string>> seen;
  for (const auto& npc : placed) {
    SCOPED_TRACE(npc.dump());
    const auto city = npc["city"].get<std::string>();
    ++perCity[city];
    EXPECT_TRUE(seen.insert({city, npc["name"]}).second) << "placed twice in one city";
    EXPECT_TRUE(EncounterPoints(city).contains(npc["point"].get<std::string>()));
    const auto d = std::find_if(definitions.begin(), definitions.end(),
                                [&](const Definition& candidate) { return candidate.name == npc["name"]; });
    if (d == definitions.end() || !d->clothing.contains(city)) {
      ADD_FAILURE() << "no file gives it a chance in " << city;
      continue;
    }
    EXPECT_EQ(npc["appearance"], d->appearance);
    EXPECT_EQ(npc["voice"], d->voice);
    EXPECT_EQ(npc["facialAnim"], d->anim);
    EXPECT_EQ(npc["clothing"], d->clothing.at(city).empty() ? Json(nullptr) : Json(d->clothing.at(city)));
    EXPECT_FLOAT_EQ(npc["scale"].get<float>(), d->height >= 0.5f && d->height <= 5.0f ? d->height : 1.0f);
  }
  return perCity;
}

int RecordsFor(const std::string& city) {
  int records = 0;
  for (const auto& d : ShippedDefinitions()) records += d.clothing.contains(city) ? 1 : 0;
  return records;
}

test::SimOptions NoCellChangeTime() {
  test::SimOptions options;
  options.settingsLines = {{"General", "iAllowedCellChangeTime=0"}, {"Debug", "bLogging=1"}};
  return options;
}

Lines HandlerLines(const test::SimRun& run) { return run.EntriesWith("[ProcessEvent] "); }

}  // namespace

TEST(UniqueNPCScenario, StartupBuildsTheDatabaseBeforeTheCitiesAndRegistersTheCellHandlersInOrder) {
  const auto run = test::RunSim("start\nreport\n");
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
  const auto definitions = ShippedDefinitions();
  int records = 0;
  for (const auto& d : definitions) records += static_cast<int>(d.clothing.size());
  const auto built =
      "info|[HandleOnPostDataLoad] UniqueNPCsDB has been built. UniqueNPCCount: " + std::to_string(definitions.size()) +
      ". UniqueNPCsLocationsCount: " + std::to_string(records);
  const auto at = [&](const std::string& text) {
    return std::find_if(run.entries.begin(), run.entries.end(),
                        [&](const auto& e) { return e.find(text) != std::string::npos; }) -
           run.entries.begin();
  };
  EXPECT_LT(at("successfully initialized custom FaceGen processor"), at("[SaveAllowedCellChangeTime] saved time ["));
  EXPECT_LT(at("[SaveAllowedCellChangeTime] saved time ["), at("[BuildUniqueNPCsDB] Processing UniqueNPC"));
  EXPECT_LT(at("[BuildUniqueNPCsDB] "), at(built));
  EXPECT_LT(at(built), at("[ApplyDataToLocation] "));
  EXPECT_EQ(run.report["sinkRegistrations"], (Lines{"ReferenceSet3d", "SaveLoad", "TESLoadGame", "ActorCellChange",
                                                    "CellFullyLoaded", "MenuOpenClose"}));
  // The shipped files only leave cities out and, in some, the clothing.
  int withoutClothing = 0, leftOut = 0;
  for (const auto& d : definitions)
    for (const auto& [city, clothing] : d.clothing) withoutClothing += clothing.empty() ? 1 : 0;
  for (const auto& entry : run.EntriesWith("|[BuildUniqueNPCsDB] ")) {
    if (entry.starts_with("info|")) continue;
    const bool noChance = entry.find("sEncounterChance is empty.") != std::string::npos;
    leftOut += noChance ? 1 : 0;
    EXPECT_TRUE(noChance || entry.find("sClothing is empty.") != std::string::npos ||
                entry.find("ClothingForm is nullptr for line: . ") != std::string::npos)
        << entry;
  }
  EXPECT_EQ(leftOut, 4 * static_cast<int>(definitions.size()) - records);
  EXPECT_EQ(run.EntriesWith("sClothing is empty.").size(), static_cast<std::size_t>(withoutClothing));

  // Without definitions the start-up goes on, and walking into a city places nobody.
  test::SimOptions options = NoCellChangeTime();
  options.removedData = {"UniqueNPCs"};
  const auto empty = test::RunSim("start\nwait 5\nenter Neon\nwait 5\nreport\n", options);
  ASSERT_EQ(empty.process.exitCode, 0u) << empty.process.output;
  EXPECT_EQ(empty.EntriesWith("UniqueNPCsDB"),
            (Lines{"error|[BuildUniqueNPCsDB] folder 'Quillmere/UniqueNPCs' can't be reached.",
                   "error|[HandleOnPostDataLoad] Couldn't build UniqueNPCsDB. UniqueNPCCount: 0. "
                   "UniqueNPCsLocationsCount: 0. Unique NPCs will not be encountered with."}));
  EXPECT_TRUE(empty.report["uniqueNPCs"].empty());
  EXPECT_EQ(HandlerLines(empty),
            Lines{"info|[ProcessEvent] ActorCellChangeEvent: calling 'PlaceUniqueNPCs' for location [Neon]."});
  EXPECT_FALSE(empty.EntriesWith("installation complete").empty());
}

TEST(UniqueNPCScenario, TheGateHoldsBackAnArrivalTooSoonAfterTheLast) {
  test::SimOptions options;
  options.settingsLines = {{"General", "iAllowedCellChangeTime=2000"}, {"Debug", "bLogging=1"}};
  const auto run = test::RunSim(
      "start\nwait 2100\nenter Cydonia\nwait 1\nenter Neon\nwait 2100\nenter Neon\nwait 1\nreport\n", options);
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
  EXPECT_EQ(HandlerLines(run),
            (Lines{"info|[ProcessEvent] ActorCellChangeEvent: calling 'PlaceUniqueNPCs' for location [Cydonia].",
                   "info|[ProcessEvent] ActorCellChangeEvent: calling 'PlaceUniqueNPCs' for location [Neon]."}));
  // The first arrival in Neon came right after Cydonia's placement: only the second one placed.
  EXPECT_EQ(ExpectPlacedAsDefined(run.report["uniqueNPCs"]),
            (std::map<std::string, int>{{"Cydonia", RecordsFor("Cydonia")}, {"Neon", RecordsFor("Neon")}}));
}

TEST(UniqueNPCScenario, TheSpecialCellIsHandledOnlyWhenFullyLoadedWithThePlayerInIt) {
  const auto run = test::RunSim(
      "start\nwait 2\nenter AkilaCity\nwait 2\nplayer-cell 002B3DA2\nwait 2\ncell-change 002B3DA2\nwait 2\n"
      "cell-loaded 0001B0E4\nwait 2\ncell-change 0001B0E4\nwait 2\ncell-loaded 002B3DA2\nwait 2\nreport\n",
      NoCellChangeTime());
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
  EXPECT_EQ(HandlerLines(run),
            (Lines{"info|[ProcessEvent] ActorCellChangeEvent: calling 'PlaceUniqueNPCs' for location [AkilaCity].",
                   "info|[ProcessEvent] ActorCellChangeEvent: calling 'PlaceUniqueNPCs' for location [AkilaCity].",
                   "info|[ProcessEvent] TESCellFullyLoadedEvent: calling 'PlaceUniqueNPCs' for [AkilaCity]."}));
  // The unique NPCs placed on arrival are still around: the later calls place nobody.
  EXPECT_EQ(ExpectPlacedAsDefined(run.report["uniqueNPCs"]),
            (std::map<std::string, int>{{"AkilaCity", RecordsFor("AkilaCity")}}));
  EXPECT_EQ(run.EntriesWith("has already been placed with count: 1").size(), 2u * RecordsFor("AkilaCity"));

  // New Atlantis's own cell is the special one: arriving there places through the cell-loaded event.
  const auto na = test::RunSim("start\nwait 2\nenter NewAtlantis\nwait 2\nreport\n", NoCellChangeTime());
  EXPECT_EQ(HandlerLines(na),
            Lines{"info|[ProcessEvent] TESCellFullyLoadedEvent: calling 'PlaceUniqueNPCs' for [NewAtlantis]."});
  EXPECT_EQ(ExpectPlacedAsDefined(na.report["uniqueNPCs"]),
            (std::map<std::string, int>{{"NewAtlantis", RecordsFor("NewAtlantis")}}));
}

TEST(UniqueNPCScenario, TheDemoPlacesEachCitysUniqueNPCsOnceAndRemovesTheirStrayCopies) {
  std::string scenario = test::ReadFile(kShipped / "scenarios" / "demo.txt");
  const auto run = test::RunSim(scenario);
  ASSERT_EQ(run.process.exitCode, 0u) << run.process.output;
  const auto& placed = run.report["uniqueNPCs"];
  std::map<std::string, int> expected;
  for (const char* city : {"NewAtlantis", "AkilaCity", "Cydonia", "Neon"}) expected[city] = RecordsFor(city);
  EXPECT_EQ(ExpectPlacedAsDefined(placed), expected) << "walking into Neon again placed nobody new";
  for (const auto& npc : placed) EXPECT_FALSE(npc["deleted"].get<bool>()) << npc;

  // The strays were citizens made from Rook Valdez's look; Rook himself stays.
  const auto& removed = run.report["removedActors"];
  EXPECT_FALSE(removed.empty());
  for (const auto& actor : removed) EXPECT_EQ(actor["base"], RuntimeID("0030A006_Starfield.esm")) << actor;
  EXPECT_EQ(run.report["refusedScriptCalls"], 0);
  EXPECT_EQ(run.EntriesWith("| removing...").size(), removed.size());
}
