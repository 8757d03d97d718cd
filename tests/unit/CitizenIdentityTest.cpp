#include <fmt/format.h>
#include <gtest/gtest.h>

#include "FormsBack.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <utility>

#include "ChildProcess.h"
#include "Citizens.h"
#include "EventSources.h"
#include "GameFolder.h"
#include "GameForms.h"
#include "Helpers/PluginSettings.h"
#include "Helpers/ScriptCalls.h"
#include "LogCapture.h"
#include "Main/Cities/ApplyDataToLocation.h"
#include "Main/Citizens/CitizenIdentity.h"
#include "Main/LeveledLists/LeveledLists.h"
#include "Main/Cities/LocationData.h"
#include "PluginMaster.h"
#include "ScriptMachine.h"
#include "WorldFile.h"

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

namespace {

// The shipped city data in the sample world, every city applied as the start-up leaves them.
struct Cities {
  test::GameFolder game;
  FormsBack forms;
  std::mt19937 random{11};
  Cities() {
    PluginSettings = PluginSettingsRecord{};
    fs::copy(test::BinaryDirectory() / "data" / "Quillmere", game.dataFolder(), fs::copy_options::recursive);
    sim::ClearPluginFiles();
    sim::LoadWorld(test::BinaryDirectory() / "data" / "world" / "SampleWorld.json");
    ClearSavedLeveledLists();
    for (const City city : kCities) EXPECT_TRUE(ApplyDataToLocation(CityRecordOf(city))) << IndexOf(city);
  }
  ~Cities() { sim::RunQueuedScriptCalls(), ClearSavedLeveledLists(); }
  // No sink is registered in this process: the tests send the event themselves.
  RE::Actor* Spawn(int city) { return sim::SpawnCitizens(city, 1, random), sim::Citizens().back().actor; }
};

std::string Describe(const RE::TESForm* form) {
  return fmt::format("[{:X} | {:08X}]", reinterpret_cast<std::uintptr_t>(form), form->formID);
}
std::string Arg(const RE::TESForm* form) { return fmt::format("form:{:08X}", form->formID); }

std::optional<std::string> DisplayName(const RE::TESObjectREFR* ref) {
  for (auto* extra = ref && ref->extraList ? ref->extraList->data : nullptr; extra; extra = extra->next)
    if (extra->type == static_cast<std::uint32_t>(RE::ExtraDataType::kDisplayName))
      return std::string(static_cast<const RE::ExtraTextDisplayData*>(extra)->displayName.view());
  return {};
}

struct Outcome {
  Lines lines;           // the sink's own log lines
  std::size_t allLines;  // the draws' lines too
  std::vector<sim::ScriptCallRecord> calls;
  std::optional<std::string> name;
  Lines functions;  // "<script>.<function>" of each call
};

// Sends the event as the game does, through slot 1, then lets game time pass.
Outcome Fire(RE::TESObjectREFR* reference) {
  test::LogCapture log;
  const auto ran = static_cast<std::ptrdiff_t>(sim::ScriptCallsRun().size());
  const RE::Events::ReferenceSet3d event{reference};
  EXPECT_EQ(RE::VirtualCall<RE::BSEventNotifyControl>(Events::QuillmereReferenceSet3dClass::GetSingleton(), 1, &event,
                                                      static_cast<RE::BSTEventSource*>(nullptr)),
            RE::BSEventNotifyControl::kContinue);
  EXPECT_EQ(sim::ScriptCallsRun().size(), static_cast<std::size_t>(ran)) << "script calls are only queued";
  sim::RunQueuedScriptCalls();
  Outcome out{log.linesOf("ProcessEvent"), log.lines().size(), {}, DisplayName(reference), {}};
  out.calls.assign(sim::ScriptCallsRun().begin() + ran, sim::ScriptCallsRun().end());
  for (const auto& call : out.calls) out.functions.push_back(call.script + "." + call.function);
  return out;
}

void ExpectSilent(const char* what, RE::TESObjectREFR* reference) {
  const auto out = Fire(reference);
  EXPECT_TRUE(out.allLines == 0 && out.calls.empty() && !out.name) << what;
}

void SetNames(CityRecord& r, const Lines& first, const Lines& last) {
  for (auto* names : {&r.FemaleNames, &r.MaleNames}) names->assign(first);
  for (auto* names : {&r.FemaleLastNames, &r.MaleLastNames}) names->assign(last);
}

const Lines kAll{"Quillmere:Handler.SetFacialAnim", "Quillmere:Handler.SetOverrideVoice",
                 "Quillmere:Handler.SetActorScale"};
const Lines kNoScale(kAll.begin(), kAll.begin() + 2);

}  // namespace

TEST(CitizenIdentity, IgnoresAnythingButASetUpActor) {
  Cities world;
  ASSERT_EQ(sim::SinkCount(), 0u);
  auto* actor = world.Spawn(2);
  ExpectSilent("no reference", nullptr);
  ExpectSilent("the player", sim::Player());
  ExpectSilent("a plain reference", sim::AddReference(0x7E000101, actor->baseObject, {}));
  // The same citizen, changed in one thing at a time.
  RE::Actor original;
  std::memcpy(&original, actor, sizeof original);
  const std::vector<std::pair<const char*, std::function<void()>>> changes = {
      {"form ID 0", [&] { actor->formID = 0; }},
      {"form ID 7", [&] { actor->formID = 7; }},
      {"the player's form ID", [&] { actor->formID = 0x14; }},
      {"deleted", [&] { actor->formFlags |= RE::TESForm::kDeleted; }},
      {"not an actor", [&] { actor->formType = static_cast<std::uint8_t>(RE::FormType::kReference); }},
      {"state bit 21 clear", [&] { actor->stateFlags = ~0x00200000u; }},
      {"no base object", [&] { actor->baseObject = nullptr; }}};
  for (const auto& [what, change] : changes) {
    change();
    ExpectSilent(what, actor);
    std::memcpy(actor, &original, sizeof original);
  }
  const auto out = Fire(actor);
  EXPECT_TRUE(out.name && out.functions == kAll);
}

TEST(CitizenIdentity, CityIsTheLowestWhoseKeywordTheActorCarries) {
  Cities world;
  // Each city's only first name is its own name: the name tells whose data was drawn.
  const auto cityOf = [&](RE::Actor* actor) {
    for (const City c : kCities) SetNames(CityRecordOf(c), {CityRecordOf(c).name()}, {"Doe"});
    return Fire(actor).name.value_or("no name");
  };
  EXPECT_EQ(cityOf(world.Spawn(4)), "Neon Doe");
  // AkilaCity publishes Cydonia's keyword as its own: a Cydonia citizen carries both cities' keywords.
  auto& slot = sim::GetWorld().forms[sim::MasterForms(2).citizenKeyword->formID];
  auto* akilaKeyword = std::exchange(slot, sim::MasterForms(3).citizenKeyword);
  auto& akila = CityRecordOf(City::AkilaCity);
  EXPECT_TRUE(ApplyDataToLocation(akila) &&
              akila.citizenKeyword.load() == CityRecordOf(City::Cydonia).citizenKeyword.load());
  EXPECT_EQ(cityOf(world.Spawn(3)), "AkilaCity Doe");
  slot = akilaKeyword;
  EXPECT_TRUE(ApplyDataToLocation(akila));
  EXPECT_EQ(cityOf(world.Spawn(3)), "Cydonia Doe");

  auto* stranger = sim::AddTyped<RE::Actor>(0x7E000111, RE::FormType::kActor);
  auto* npc = sim::AddNPC(0x7E000112, true);
  stranger->baseObject = npc;
  stranger->stateFlags = 0x00200000u;
  ExpectSilent("no city, with a face", stranger);
  npc->faceNPC = nullptr;
  auto out = Fire(stranger);
  const std::string faceless = "error|[ProcessEvent] FaceNPC is nullptr at 3DSet event of citizen actor [";
  EXPECT_EQ(out.lines, Lines{faceless + Describe(stranger) + "] at unkown"});
  EXPECT_TRUE(out.allLines == 1 && out.calls.empty() && !out.name);
  // A citizen without a face NPC still names its city.
  auto* citizen = world.Spawn(3);
  auto* base = static_cast<RE::TESNPC*>(citizen->baseObject);
  auto* face = std::exchange(base->faceNPC, nullptr);
  out = Fire(citizen);
  base->faceNPC = face;
  EXPECT_EQ(out.lines, Lines{faceless + Describe(citizen) + "] at Cydonia"});
  EXPECT_TRUE(out.calls.empty() && !out.name);
}

TEST(CitizenIdentity, NamesFromTheCitysDatabases) {
  Cities world;
  auto& r = CityRecordOf(City::AkilaCity);
  const auto folder = world.game.dataFolder() / "AkilaCity";
  const auto left = [&] {
    return r.FemaleNames.size() + r.MaleNames.size() + r.FemaleLastNames.size() + r.MaleLastNames.size();
  };
  auto* actor = world.Spawn(2);
  const auto warning = [&](const std::string& what) {
    return "warning|[ProcessEvent] " + what + " at 3DSet event of citizen actor [" + Describe(actor) + "] at AkilaCity";
  };
  const auto applying = [&](const std::string& what) {
    return "info|[ProcessEvent] applying " + what + " to citizen actor " + Describe(actor);
  };
  SetNames(r, {"Ada"}, {"Quill"});
  auto out = Fire(actor);
  ASSERT_TRUE(out.name == "Ada Quill" && out.functions == kAll && out.lines.size() == 4);
  // What the log names is what the script is handed, after the actor.
  const auto* look = sim::LookOf(actor);
  EXPECT_EQ(Lines(out.lines.begin(), out.lines.begin() + 3),
            (Lines{applying("name Ada Quill"), applying("anim keyword " + Describe(look->facialAnim)),
                   applying("voice " + Describe(look->voice))}));
  EXPECT_EQ(out.calls[0].arguments, (Lines{Arg(actor), Arg(look->facialAnim)}));
  EXPECT_EQ(out.calls[1].arguments, (Lines{Arg(actor), Arg(look->voice)}));

  // Disabled names are still drawn, never applied; the rest still applies.
  test::WriteFile(folder / "LocationData.ini",
                  "[Height]\nfMaleMaxHeight=1.1\nfFemaleMaxHeight=1.1\n"
                  "[General]\nbDisableNames=1\n");
  ASSERT_TRUE(BuildLocationDataDB(r));
  actor = world.Spawn(2);
  SetNames(r, {"Bea"}, {"Quill", "Rook"});
  out = Fire(actor);
  EXPECT_TRUE(!out.name && left() == 4u && out.functions == kAll && out.lines.size() == 3) << out.lines.at(0);

  // No first name: nothing applied, the last name drawn all the same, the later steps go on.
  test::WriteFile(folder / "LocationData.ini", "[General]\nbDisableNames=0\n");
  ASSERT_TRUE(BuildLocationDataDB(r));
  test::RemoveFile(folder / "FemaleNames.txt"), test::RemoveFile(folder / "MaleNames.txt");
  SetNames(r, {}, {"Quill", "Rook"});
  out = Fire(actor);
  EXPECT_TRUE(!out.name && left() == 3u && out.functions == kNoScale && out.lines.size() == 4);
  EXPECT_EQ(out.lines.at(0), warning("Name from DB is empty"));

  SetNames(r, {"Ada"}, {"Quill"});
  auto* extra = std::exchange(actor->extraList, nullptr);
  out = Fire(actor);
  actor->extraList = extra;
  EXPECT_TRUE(out.lines.at(0) == warning("extraDataList is nullptr") && !DisplayName(actor)) << out.lines[0];
}

TEST(CitizenIdentity, ScriptCallsPackTheirArgumentsWhenTheyRun) {
  FormsBack restore;
  PluginSettings = PluginSettingsRecord{};
  auto* actor = sim::AddTyped<RE::Actor>(0x7E000201, RE::FormType::kActor);
  auto* npc = sim::AddNPC(0x7E000202, false);
  auto* refused = sim::AddForm(0x7E000203, RE::FormType::kKeyword);
  sim::RefuseBinding(refused);
  sim::RunQueuedScriptCalls();
  const auto ran = sim::ScriptCallsRun().size();
  test::LogCapture log;
  EXPECT_TRUE(CallStaticScriptFunction("Test:Script", "Everything", actor, npc, 2.5f, std::string("Ada Quill"),
                                       static_cast<RE::TESForm*>(nullptr), refused, -0.25f, std::string()));
  EXPECT_TRUE(CallStaticScriptFunction("Test:Script", "Nothing"));
  // No call without both names or without a machine.
  EXPECT_FALSE(CallStaticScriptFunction("", "Everything", actor));
  EXPECT_FALSE(CallStaticScriptFunction("Test:Script", "", 1.0f));
  auto* holder = RE::GameVM::GetSingleton();
  auto* vm = std::exchange(holder->impl, nullptr);
  EXPECT_FALSE(CallStaticScriptFunction("Test:Script", "Later", actor));
  holder->impl = vm;
  EXPECT_TRUE(sim::QueuedScriptCalls() == 2u && log.lines().empty()) << "nothing is packed before the machine asks";
  EXPECT_EQ(sim::RunQueuedScriptCalls(), 2u);
  ASSERT_EQ(sim::ScriptCallsRun().size(), ran + 2);
  const auto& call = sim::ScriptCallsRun()[ran];
  EXPECT_EQ(call.script + "." + call.function, "Test:Script.Everything");
  EXPECT_EQ(call.arguments, (Lines{"form:7E000201", "form:7E000202", "float:2.5", "string:Ada Quill", "none", "none",
                                   "float:-0.25", "string:"}));
  EXPECT_EQ(log.lines(), Lines{"error|[CallStaticScriptFunction] failed to pack variable"});
  EXPECT_TRUE(sim::ScriptCallsRun()[ran + 1].function == "Nothing" && sim::ScriptCallsRun()[ran + 1].arguments.empty());
}

namespace {

// A citizen of the city who wears a face of the given sex, on a base NPC of the other sex: only the face counts.
RE::Actor* SpawnWearing(Cities& world, int city, bool female) {
  auto& share = sim::MasterForms(city).ratioGlobal->value;  // the female share the citizen list reads
  const auto kept = std::exchange(share, female ? 100.0f : 0.0f);
  const auto before = sim::Citizens().size();
  world.Spawn(city);
  share = kept;
  if (sim::Citizens().size() != before + 1 || sim::Citizens().back().female != female) {
    ADD_FAILURE() << "no citizen of that sex in city " << city;
    return nullptr;
  }
  const auto& citizen = sim::Citizens().back();
  auto* base = sim::AddNPC(0x7E000400 + static_cast<std::uint32_t>(before), !female);
  base->faceNPC = citizen.face;
  citizen.actor->baseObject = base;
  return citizen.actor;
}

}  // namespace

TEST(CitizenIdentity, FacialAnimationAndVoiceFromTheCitizensOwnSexAndCity) {
  Cities world;
  // One keyword and one voice type per city and sex: what the script is handed tells whose database it came from.
  std::map<std::pair<int, bool>, std::pair<RE::BGSKeyword*, RE::BGSVoiceType*>> own;
  std::uint32_t formID = 0x7E000300;
  for (int city = 1; city <= 4; ++city)
    for (const bool female : {true, false}) {
      auto* anim = static_cast<RE::BGSKeyword*>(sim::AddForm(formID++, RE::FormType::kKeyword));
      own[{city, female}] = {anim, static_cast<RE::BGSVoiceType*>(sim::AddForm(formID++, RE::FormType::kVoiceType))};
    }
  const auto fill = [&] {  // each draw takes its entry out
    for (const auto& [key, forms] : own) {
      auto& r = *FindCityRecord(key.first);
      (key.second ? r.FemaleAnims : r.MaleAnims).assign(1, forms.first);
      (key.second ? r.FemaleVoices : r.MaleVoices).assign(1, forms.second);
    }
  };
  for (const auto& [key, forms] : own) {
    SCOPED_TRACE(fmt::format("city {} female {}", key.first, key.second));
    auto* actor = SpawnWearing(world, key.first, key.second);
    ASSERT_NE(actor, nullptr);
    fill();
    EXPECT_EQ(Fire(actor).functions, kAll);
    const auto* look = sim::LookOf(actor);
    ASSERT_NE(look, nullptr);
    EXPECT_EQ(look->facialAnim, forms.first);
    EXPECT_EQ(look->voice, forms.second);
  }

  // The citizen's own databases empty with no file to rebuild them from, the other sex's and the other cities'
  // full: nothing stands in, each missing draw is reported, and the later steps go on.
  const auto folder = world.game.dataFolder() / "AkilaCity";
  ASSERT_TRUE(test::RemoveFile(folder / "FemaleAnims.txt") && test::RemoveFile(folder / "FemaleVoices.txt"));
  auto& akila = CityRecordOf(City::AkilaCity);
  for (const auto& [anims, voices] : {std::pair{false, true}, {true, false}, {false, false}}) {
    SCOPED_TRACE(fmt::format("anims {} voices {}", anims, voices));
    auto* actor = SpawnWearing(world, 2, true);
    ASSERT_NE(actor, nullptr);
    fill();
    if (!anims) akila.FemaleAnims.clear();
    if (!voices) akila.FemaleVoices.clear();
    const auto out = Fire(actor);
    const auto missing = [&](const std::string& what) {
      return "warning|[ProcessEvent] " + what + " is nullptr at 3DSet event of citizen actor [" + Describe(actor) +
             "] at AkilaCity";
    };
    Lines functions, warnings, warned;
    if (anims)
      functions.push_back(kAll[0]);
    else
      warnings.push_back(missing("AnimKeyword"));
    if (voices)
      functions.push_back(kAll[1]);
    else
      warnings.push_back(missing("Voice"));
    functions.push_back(kAll[2]);
    std::copy_if(out.lines.begin(), out.lines.end(), std::back_inserter(warned),
                 [](const std::string& line) { return !line.starts_with("info|"); });
    EXPECT_EQ(out.functions, functions);
    EXPECT_EQ(warned, warnings);
    EXPECT_TRUE(out.name.has_value());
    const auto* look = sim::LookOf(actor);
    ASSERT_NE(look, nullptr);
    const auto& [ownAnim, ownVoice] = own[std::pair{2, true}];
    EXPECT_EQ(look->facialAnim, anims ? ownAnim : nullptr);
    EXPECT_EQ(look->voice, voices ? ownVoice : nullptr);
  }
}
