#include "Main/Console/ConsoleFunctions.h"

#include <string>

#include "Helpers/Log.h"
#include "Helpers/Naming.h"
#include "Main/Game/Cities.h"
#include "Main/Game/GameObjectCache.h"
#include "Main/Settings/GameSettingAdjustments.h"
#include "Main/Cities/CityRecord.h"
#include "Main/Changes/ModChanges.h"
#include "Main/Settings/Settings.h"
#include "Main/UniqueNPCs/UniqueNPCDefinitions.h"
#include "Main/UniqueNPCs/UniqueNPCPlacement.h"
#include "RE/C/ConsoleLog.h"
#include "RE/E/ExtraDataList.h"
#include "RE/T/TESObjectREFR.h"

namespace {

constexpr const char* kOp = "QuillmereCodeCommand";

// The player reads the console whether logging is on or not; the log keeps the same line.
void Print(bool success, const std::string& text) {
  if (success)
    Log::Info(kOp, "{}", text);
  else
    Log::Error(kOp, "{}", text);
  auto* console = RE::ConsoleLog::GetSingleton();
  if (!console) {
    Log::Error(kOp, "the game console is missing, the message above was not shown");
    return;
  }
  console->Print(text.c_str());
}

// Function 2: the actor FuncParam1 names shows the next one or two words as its name.
bool SetActorDisplayName(const ConsoleCall& call) {
  const auto& words = call.Parameters;
  if (words.size() < 3) {
    Log::Error(kOp, "std::vector Parameters.size < 3");
    return false;
  }
  std::string name = words[2];
  if (words.size() > 3) name += " " + words[3];
  if (!call.activeCity) {
    Log::Error(kOp, "location is nullptr");
    return false;
  }
  auto* form = RE::LookupFormByID(call.FuncParam1);
  if (!form) {
    Log::Error(kOp, "no Form could be found with FormID: {}", HexFormID{call.FuncParam1});
    return false;
  }
  const auto description = DescribeForm(form, false);
  if (!form->Is(RE::FormType::kActor)) {
    Log::Error(kOp, "Form [{}] is not an Actor", description);
    return false;
  }
  auto* actor = static_cast<RE::TESObjectREFR*>(form);
  if (!actor->extraList) {
    Log::Error(kOp, "extraDataList is nullptr for Form [{}]", description);
    return false;
  }
  Log::Info(kOp, "setting DisplayName for [{}] to: {}", description, name);
  RE::SetRefDisplayName(actor->extraList, name.c_str());
  return true;
}

// Function 5. A city that fails stops the rest; the cities before it stay applied.
bool ReloadDatabases() {
  RefreshGameObjectCache();
  if (!ApplyDataToAllLocations()) {
    Print(false, "Databases could not be reloaded due to an error.");
    return false;
  }
  Print(true, "Databases have been reloaded. Note: this doesn't apply to Unique Characters.");
  return true;
}

// Function 8: one unique NPC file, named without its extension.
bool HotLoadUniqueNPC(const ConsoleCall& call) {
  if (call.Parameters.size() < 3) {
    Log::Error(kOp, "std::vector Parameters.size < 3");
    Print(false, "Usage: QuillmereCode 8 0 <file name without .ini>");
    return false;
  }
  const auto& fileName = call.Parameters[2];
  if (BuildUniqueNPCsDB(fileName).first == 1) {
    Print(true, "Unique Character '" + fileName + "' was loaded into the database.");
    return true;
  }
  Print(false, "Unique Character '" + fileName + "' could not be loaded into the database.");
  return false;
}

// Function 9: every unique NPC file again. One unique NPC is a database too.
bool RebuildUniqueNPCs() {
  if (BuildUniqueNPCsDB({}).first >= 1) {
    Print(true, "All Unique Characters were reloaded.");
    return true;
  }
  Print(false, "Unique Characters could not be reloaded due to an error.");
  return false;
}

}  // namespace

void DumpAllUniqueNPCData() {
  constexpr const char* kDumpOp = "DumpAllUniqueNPCData";
  if (!Log::Enabled()) return;
  for (const City city : kCities) {
    const auto& record = CityRecordOf(city);
    const auto* cityName = record.name();
    for (const auto* npc : record.UniqueNPCs) {
      if (!npc) continue;
      Log::Info(kDumpOp, " ++++++++++++++++ DumpAllUniqueNPCData ++++++++++++++++ ");
      Log::Info(kDumpOp, "   sName = {}", npc->sName);
      Log::Info(kDumpOp, "   myLocation = {}", cityName);
      Log::Info(kDumpOp, "   FacialAnim = {}", GetFormIDAsHex(npc->FacialAnim));
      Log::Info(kDumpOp, "   Armor.formID = {}", HexFormID{npc->ArmorFormID});
      Log::Info(kDumpOp, "   Outfit.formID = {}", HexFormID{npc->OutfitFormID});
      Log::Info(kDumpOp, "   iEncounterChance = {}", npc->iEncounterChance);
      Log::Info(kDumpOp, "   iAppearance = {}", GetFormIDAsHex(npc->appearanceNPC));
      Log::Info(kDumpOp, "   VoiceType = {}", GetFormIDAsHex(npc->VoiceType));
      Log::Info(kDumpOp, "   Height = {:f}", npc->Height);
      Log::Info(kDumpOp, "   sDefineFileName = {}", npc->sDefineFileName);
      Log::Info(kDumpOp, " ---------------- DumpAllUniqueNPCData ---------------- ");
    }
  }
}

bool RunConsoleFunction(const ConsoleCall& call) {
  switch (call.FuncIndex) {
    case 1:
      if (call.activeCity)
        PlaceUniqueNPCs(CityRecordOf(*call.activeCity));
      else
        Log::Error("PlaceUniqueNPCs", "location is nullptr");  // as placement says of no city
      return true;
    case 2: return SetActorDisplayName(call);
    case 3:
      DumpAllUniqueNPCData();
      Print(
          true,
          "UniqueNPCData has been exported to Documents/My Games/Starfield/SFSE/Logs/Brindlewick - SFSE Plugin by Tamsryn.log");
      return true;
    case 4:
      ReloadINISettings(true);
      Print(true, "Mod INI settings have been reloaded. Note: this doesn't apply to the custom FaceGen processor.");
      return true;
    case 5: return ReloadDatabases();
    case 6:
      if (ApplyOptimizations(false, false))
        Print(true, "Optimizations have been applied.");
      else
        Print(false, "Optimizations couldn not be applied due to an error.");
      return true;
    case 8: return HotLoadUniqueNPC(call);
    case 9: return RebuildUniqueNPCs();
    default:
      Print(false, "Error: FunctionIndex (" + std::to_string(call.FuncIndex) + ") does not point to a function.");
      return false;
  }
}
