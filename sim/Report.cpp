#include "Report.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include <fmt/format.h>

#include "Actors.h"
#include "Appearance.h"
#include "Citizens.h"
#include "Console.h"
#include "GameINISettings.h"
#include "GameModule.h"
#include "Menus.h"
#include "PluginMaster.h"
#include "ScriptMachine.h"
#include "UniqueNPCScript.h"
#include "Actors.h"
#include "EventSources.h"
#include "GameWorld.h"
#include "Host.h"
#include "ArgumentObjects.h"
#include "FixedStrings.h"
#include "GameForms.h"
#include "Text.h"

namespace sim {
namespace {

std::string ModuleNameOf(std::uintptr_t address) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(address), &module))
    return {};
  wchar_t path[MAX_PATH]{};
  GetModuleFileNameW(module, path, MAX_PATH);
  auto name = Utf8FromWide(path);
  return name.substr(name.find_last_of("\\/") + 1);
}

// Where the call at site leads now: straight to the game's own target, or through a trampoline slot.
nlohmann::json DescribePatch(const char* site, std::uintptr_t address, std::uintptr_t gameTarget) {
  const auto* code = reinterpret_cast<const std::uint8_t*>(address);
  std::int32_t displacement = 0;
  std::memcpy(&displacement, code + 1, sizeof(displacement));
  const std::uintptr_t target = address + 5 + static_cast<std::intptr_t>(displacement);
  nlohmann::json patch{{"site", site}, {"patched", code[0] != 0xE8 || target != gameTarget}};
  patch["trampoline"] = nullptr;
  patch["destinationModule"] = nullptr;
  const auto* slot = reinterpret_cast<const std::uint8_t*>(target);
  if (patch["patched"] && code[0] == 0xE8 && slot[0] == 0xFF && slot[1] == 0x25) {
    std::uintptr_t destination = 0;
    std::memcpy(&destination, slot + 6, sizeof(destination));
    patch["trampoline"] = InBranchPool(target) ? "host" : "plugin";
    patch["destinationModule"] = ModuleNameOf(destination);
  }
  return patch;
}

nlohmann::json FormIDText(const RE::TESForm* form) {
  if (!form) return nullptr;
  return fmt::format("{:08X}", form->formID);
}

nlohmann::json DisplayNameOf(const RE::TESObjectREFR* reference) {
  const auto name = DisplayName(reference);
  return name ? nlohmann::json(*name) : nlohmann::json(nullptr);
}

// Names come as the plug-in wrote them, maybe in the Windows code page: the report carries only
// valid UTF-8, with what is not replaced.
nlohmann::json WithValidText(nlohmann::json value) {
  if (value.is_string()) return ValidUtf8(value.get_ref<const std::string&>());
  if (value.is_structured())
    for (auto& item : value) item = WithValidText(std::move(item));
  return value;
}

nlohmann::json DescribeCitizen(const Citizen& citizen) {
  const auto* look = LookOf(citizen.actor);
  return {{"formID", FormIDText(citizen.actor)},
          {"female", citizen.female},
          {"face", FormIDText(citizen.face)},
          {"name", DisplayNameOf(citizen.actor)},
          {"voice", look ? FormIDText(look->voice) : nullptr},
          {"facialAnim", look ? FormIDText(look->facialAnim) : nullptr},
          {"scale", look && look->scaled ? nlohmann::json(look->scale) : nlohmann::json(nullptr)},
          {"clothing", FormIDText(citizen.clothing)},
          {"appearanceUpdates", AppearanceUpdatesOf(citizen.actor->formID)}};
}

// Entries of a leveled list by form ID; an NPC counts as the face it wears.
void CountListed(const RE::TESLeveledList& list, std::map<std::string, int>& listed, bool asFaces) {
  for (std::uint8_t i = 0; i < list.entryCount; ++i) {
    const RE::TESForm* form = list.entries[i].form;
    if (!form) continue;
    if (asFaces && form->Is(RE::FormType::kNPC)) {
      const auto* npc = static_cast<const RE::TESNPC*>(form);
      if (npc->faceNPC) form = npc->faceNPC;
    }
    ++listed[FormIDText(form).get<std::string>()];
  }
}

// A city as the game holds it: its lists, its ratio global and the citizens spawned in it, with how
// often each face, clothing, voice, facial animation and name came up.
nlohmann::json DescribeCity(const CityInfo& info) {
  nlohmann::json city{{"index", info.index}, {"name", info.name}};
  const auto& forms = MasterForms(info.index);
  city["femaleRatioGlobal"] = forms.ratioGlobal ? nlohmann::json(forms.ratioGlobal->value) : nlohmann::json(nullptr);
  city["locationData"] = LocationDataOf(info);
  const auto lists = ListSizesOf(info.index);
  city["citizenListSize"] = lists.citizenList;
  city["femaleOutfitListSize"] = lists.femaleOutfitList;
  city["maleOutfitListSize"] = lists.maleOutfitList;
  std::map<std::string, int> facesListed, clothingListed;
  CountListed(forms.citizenList->leveledList, facesListed, true);
  CountListed(forms.femaleOutfitList->leveledList, clothingListed, false);
  CountListed(forms.maleOutfitList->leveledList, clothingListed, false);
  city["facesListed"] = facesListed;
  city["clothingListed"] = clothingListed;
  city["citizens"] = nlohmann::json::array();
  std::map<std::string, int> faces, clothing, voices, anims, names;
  const auto count = [](std::map<std::string, int>& counts, const nlohmann::json& value) {
    if (value.is_string()) ++counts[ValidUtf8(value.get_ref<const std::string&>())];
  };
  int women = 0;
  for (const auto& citizen : Citizens()) {
    if (citizen.city != info.index || WasFreed(citizen.actor)) continue;
    const auto described = DescribeCitizen(citizen);
    women += citizen.female ? 1 : 0;
    count(faces, described["face"]);
    count(clothing, described["clothing"]);
    count(voices, described["voice"]);
    count(anims, described["facialAnim"]);
    count(names, described["name"]);
    city["citizens"].push_back(described);
  }
  const auto citizens = city["citizens"].size();
  city["women"] = women;
  city["femaleShare"] =
      citizens ? nlohmann::json(static_cast<double>(women) / static_cast<double>(citizens)) : nlohmann::json(nullptr);
  city["facesUsed"] = faces;
  city["clothingUsed"] = clothing;
  city["voicesUsed"] = voices;
  city["facialAnimsUsed"] = anims;
  city["namesGiven"] = names;
  return city;
}

nlohmann::json CityName(int city) {
  for (const auto& info : kCities)
    if (info.index == city) return info.name;
  return nullptr;
}

// A placed unique NPC as the game holds it now.
nlohmann::json DescribeUniqueNPC(const PlacedUniqueNPC& placed) {
  const auto* look = LookOf(placed.actor);
  return {{"name", DisplayNameOf(placed.actor)},
          {"appearance", FormIDText(placed.actor->baseObject)},
          {"city", CityName(placed.city)},
          {"formID", FormIDText(placed.actor)},
          {"point", FormIDText(placed.point)},
          {"pointName", placed.point ? DisplayNameOf(placed.point) : nullptr},
          {"position", {placed.actor->position.x, placed.actor->position.y, placed.actor->position.z}},
          {"voice", FormIDText(ActorVoice(placed.actor))},
          {"facialAnim", look ? FormIDText(look->facialAnim) : nullptr},
          {"clothing", look ? FormIDText(look->clothing) : nullptr},
          {"scale", ActorScale(placed.actor)},
          {"deleted", (placed.actor->formFlags & RE::TESForm::kDeleted) != 0},
          {"appearanceUpdates", AppearanceUpdatesOf(placed.actor->formID)}};
}

// The game's names of the forms the cities and the unique NPCs name by ID, so that a reader sees
// "Dock Worker" beside 0001A2B3.
nlohmann::json FormNames(const nlohmann::json& report) {
  std::map<std::string, std::string> names;
  const auto add = [&](const std::string& id) {
    if (names.contains(id)) return;
    const auto* form = FindForm(static_cast<std::uint32_t>(std::stoul(id, nullptr, 16)));
    if (const auto name = form ? FormName(form) : std::nullopt) names[id] = *name;
  };
  for (const auto& city : report["cities"])
    for (const char* counts :
         {"facesListed", "clothingListed", "facesUsed", "clothingUsed", "voicesUsed", "facialAnimsUsed"})
      for (const auto& [id, _] : city[counts].items()) add(id);
  for (const auto& npc : report["uniqueNPCs"])
    for (const char* field : {"appearance", "voice", "facialAnim", "clothing", "point"})
      if (npc[field].is_string()) add(npc[field].get<std::string>());
  return names;
}

nlohmann::json DescribeRemoved(const RE::Actor* actor) {
  return {{"formID", FormIDText(actor)}, {"base", FormIDText(actor->baseObject)}, {"name", DisplayNameOf(actor)}};
}

}  // namespace

// The city's LocationData.ini in the game folder's data, read by the rule its authors are given
// (digits and "." only, else 1.0 for a height and 50 for the percent), so that what the game drew
// can be set beside what the author asked for. Null when the city has no such file.
nlohmann::json LocationDataOf(const CityInfo& info) {
  const auto file =
      std::filesystem::current_path() / "Data" / "SFSE" / "Plugins" / "Quillmere" / info.name / "LocationData.ini";
  if (!std::filesystem::is_regular_file(file)) return nullptr;
  const auto read = [&](const wchar_t* section, const wchar_t* key) {
    wchar_t value[256]{};
    GetPrivateProfileStringW(section, key, L"", value, 256, file.wstring().c_str());
    return Utf8FromWide(value);
  };
  const auto only = [](const std::string& text, std::string_view allowed) {
    return !text.empty() && text.find_first_not_of(allowed) == std::string::npos;
  };
  const auto height = [&](const wchar_t* key) -> nlohmann::json {
    const auto text = read(L"Height", key);
    if (!only(text, ".0123456789")) return 1.0;
    try {
      return std::stod(text);
    } catch (const std::exception&) {
      return nullptr;  // "." alone: nothing the author can have meant
    }
  };
  nlohmann::json data{{"fFemaleMinHeight", height(L"fFemaleMinHeight")},
                      {"fFemaleMaxHeight", height(L"fFemaleMaxHeight")},
                      {"fMaleMinHeight", height(L"fMaleMinHeight")},
                      {"fMaleMaxHeight", height(L"fMaleMaxHeight")}};
  const auto percent = read(L"General", L"iFemalePercent");
  data["iFemalePercent"] = 50;
  if (only(percent, "0123456789")) {
    try {
      data["iFemalePercent"] = std::stoi(percent);
    } catch (const std::exception&) {
      data["iFemalePercent"] = nullptr;  // more digits than a number holds
    }
  }
  data["bDisableNames"] = read(L"General", L"bDisableNames") == "1";
  return data;
}

extern "C" std::uint64_t sim_ResetBeginTarget(std::uint64_t);
extern "C" std::uint64_t sim_ResetFinishTarget();
extern "C" char sim_AppearanceTarget(RE::Actor*, std::uint64_t);

std::string PluginLogPath(const std::string& pluginName) {
  wchar_t* documents = nullptr;
  static constexpr GUID kDocuments = {0xFDD39AD0, 0x238F, 0x46AF, {0xAD, 0xB4, 0x6C, 0x85, 0x48, 0x03, 0x69, 0xC7}};
  if (FAILED(SHGetKnownFolderPath(kDocuments, 0, nullptr, &documents))) return {};
  std::wstring path = documents;
  CoTaskMemFree(documents);
  return Utf8FromWide(path) + "\\My Games\\Starfield\\SFSE\\Logs\\" + pluginName + ".log";
}

nlohmann::json BuildReport(const ReportContext& context) {
  nlohmann::json report;
  report["log"] = PluginLogPath(context.pluginName);
  report["console"] = ConsoleLines();
  report["consoleCommands"] = nlohmann::json::array();
  for (const auto& run : ConsoleRuns())
    report["consoleCommands"].push_back(
        {{"line", run.line},
         {"command", run.command ? nlohmann::json(*run.command) : nlohmann::json(nullptr)},
         {"returned", run.returned ? nlohmann::json(*run.returned) : nlohmann::json(nullptr)}});
  report["pluginLoaded"] = context.pluginLoaded;
  report["cities"] = nlohmann::json::array();
  for (const auto& city : kCities) report["cities"].push_back(DescribeCity(city));
  report["uniqueNPCs"] = nlohmann::json::array();
  for (const auto& placed : PlacedUniqueNPCs())
    if (!WasFreed(placed.actor)) report["uniqueNPCs"].push_back(DescribeUniqueNPC(placed));
  report["formNames"] = FormNames(report);
  report["removedActors"] = nlohmann::json::array();
  for (const auto* actor : ActorsDeletedByScript()) report["removedActors"].push_back(DescribeRemoved(actor));
  report["refusedScriptCalls"] = RefusedUniqueNPCCalls();
  report["sinkRegistrations"] = SinkRegistrations();
  const auto number = [](std::optional<double> value) { return value ? nlohmann::json(*value) : nlohmann::json(); };
  report["gameSettings"] = report["gameSettingsAtStart"] = nlohmann::json::object();
  for (const char* name : kCrowdSettings) {
    report["gameSettings"][name] = number(GameSettingValue(name));
    report["gameSettingsAtStart"][name] = number(StartingGameSettingValue(name));
  }
  report["menus"] = OpenMenus();

  const auto reset = ResetGameAddress();
  const auto appearance = AppearanceProcessAddress();
  report["patches"] = {
      DescribePatch("ResetGame+0x132F", reset + RE::Offset::ResetGameBeginCall,
                    reinterpret_cast<std::uintptr_t>(&sim_ResetBeginTarget)),
      DescribePatch("ResetGame+0x18D3", reset + RE::Offset::ResetGameFinishCall,
                    reinterpret_cast<std::uintptr_t>(&sim_ResetFinishTarget)),
      DescribePatch("ActorAppearanceProcess+0x4F", appearance + RE::Offset::AppearanceProcessCall,
                    reinterpret_cast<std::uintptr_t>(&sim_AppearanceTarget)),
  };
  report["appearanceFlag"] = AppearanceFlagValue();
  report["scriptCallsRun"] = ScriptCallsRun().size();
  report["scriptCallsQueued"] = QueuedScriptCalls();
  report["scriptCallsRefused"] = nlohmann::json::array();
  for (const auto& call : ScriptCallsRefused())
    report["scriptCallsRefused"].push_back({{"script", call.script},
                                            {"function", call.function},
                                            {"arguments", call.arguments},
                                            {"reason", call.refusal}});
  // What the plug-in made of the game's and not yet given back: a leak shows as a count that grows.
  report["liveScriptObjects"] = LiveScriptObjects();
  report["liveFixedStrings"] = LiveFixedStrings();
  report["liveArgumentObjects"] = LiveArgumentObjects();

  report["resets"] = nlohmann::json::array();
  for (const auto& r : GetWorld().resets) {
    nlohmann::json during = nlohmann::json::array();
    for (const auto& city : kCities) {
      const auto& lists = r.listsDuringReset[static_cast<std::size_t>(city.index - 1)];
      during.push_back({{"index", city.index},
                        {"name", city.name},
                        {"citizenListSize", lists.citizenList},
                        {"femaleOutfitListSize", lists.femaleOutfitList},
                        {"maleOutfitListSize", lists.maleOutfitList}});
    }
    report["resets"].push_back({{"argument", r.argument},
                                {"beginReturned", r.beginReturned},
                                {"beginObserved", r.beginObserved},
                                {"finishReturned", r.finishReturned},
                                {"finishObserved", r.finishObserved},
                                {"appearanceFlagAfter", r.appearanceFlagAfter},
                                {"cities", during}});
  }
  const auto totals = AppearanceCallTotals();
  report["appearance"] = {{"calls", totals.calls},
                          {"targetCalls", totals.targetCalls},
                          {"resultsAltered", totals.resultsAltered},
                          {"updatesWithOtherArguments", totals.updatesWithOtherArguments}};
  return WithValidText(std::move(report));
}

std::string FormatReport(const nlohmann::json& report) {
  std::ostringstream out;
  out << "=== Brindlewick sim report ===\n";
  out << "plug-in loaded: " << (report["pluginLoaded"].get<bool>() ? "yes" : "no") << "\n";
  out << "code patches:\n";
  for (const auto& patch : report["patches"]) {
    out << "  " << patch["site"].get<std::string>() << ": ";
    if (!patch["patched"].get<bool>())
      out << "game's own call\n";
    else if (patch["trampoline"].is_null())
      out << "patched (not through a trampoline slot)\n";
    else
      out << "-> " << patch["destinationModule"].get<std::string>() << " via the "
          << (patch["trampoline"] == "host" ? "host's branch pool" : "plug-in's own trampoline") << "\n";
  }
  out << "appearance flag: " << report["appearanceFlag"].get<int>() << "\n";
  out << "game settings (now, and as the game started):\n";
  const auto setting = [](const nlohmann::json& value) {
    return value.is_null() ? std::string("(none)") : fmt::format("{:g}", value.get<double>());
  };
  for (const auto& [name, value] : report["gameSettings"].items())
    out << "  " << name << " = " << setting(value) << " (started at " << setting(report["gameSettingsAtStart"][name])
        << ")\n";
  out << "menus open: ";
  if (report["menus"].empty()) out << "none";
  for (std::size_t i = 0; i < report["menus"].size(); ++i)
    out << (i ? ", " : "") << report["menus"][i].get<std::string>();
  out << "\n";
  for (const auto& r : report["resets"]) {
    const bool same = r["beginReturned"] == r["beginObserved"] && r["finishReturned"] == r["finishObserved"];
    out << "reset(" << r["argument"].get<std::uint64_t>() << "): game's own results "
        << (same ? "passed through unchanged" : "ALTERED") << "\n";
    out << "  lists during the reset (citizens/female outfits/male outfits):";
    for (const auto& city : r["cities"])
      out << " " << city["name"].get<std::string>() << " " << city["citizenListSize"].get<int>() << "/"
          << city["femaleOutfitListSize"].get<int>() << "/" << city["maleOutfitListSize"].get<int>();
    out << "\n";
  }
  if (const auto& a = report["appearance"]; a["calls"].get<std::uint64_t>() > 0) {
    const bool same = a["resultsAltered"] == 0 && a["targetCalls"] == a["calls"];
    out << "appearance: " << a["calls"].get<std::uint64_t>() << " calls, game's own call and result "
        << (same ? "passed through unchanged" : "ALTERED") << "\n";
  }
  out << "cities:\n";
  for (const auto& city : report["cities"]) {
    out << "  " << city["index"].get<int>() << " " << city["name"].get<std::string>() << ": citizen list of "
        << city["citizenListSize"].get<int>() << " entries, outfit lists of " << city["femaleOutfitListSize"].get<int>()
        << " (female) and " << city["maleOutfitListSize"].get<int>() << " (male)";
    if (!city["femaleRatioGlobal"].is_null()) out << ", female ratio global " << city["femaleRatioGlobal"].get<float>();
    out << "\n";
    if (city["citizens"].empty()) continue;
    out << "    " << city["citizens"].size() << " citizens spawned, "
        << fmt::format("{:.1f}", 100.0 * city["femaleShare"].get<double>()) << "% women, " << city["facesUsed"].size()
        << " distinct faces, " << city["clothingUsed"].size() << " distinct clothes\n";
    std::set<std::string> removed;
    for (const auto& actor : report["removedActors"]) removed.insert(actor["formID"].get<std::string>());
    int once = 0, more = 0, never = 0, neverRemoved = 0;
    for (const auto& citizen : city["citizens"]) {
      const auto updates = citizen["appearanceUpdates"].get<int>();
      once += updates == 1, more += updates > 1, never += updates == 0;
      neverRemoved += updates == 0 && removed.contains(citizen["formID"].get<std::string>());
    }
    if (once + more > 0)
      out << "    appearance updates: " << once << " once, " << more << " more than once, " << never << " never ("
          << neverRemoved << " of them removed by the script)\n";
    int shown = 0;
    for (const auto& citizen : city["citizens"]) {
      if (shown++ == 5) {
        out << "      ...\n";
        break;
      }
      auto text = [](const nlohmann::json& value) {
        return value.is_null() ? std::string("-") : value.get<std::string>();
      };
      out << "      " << citizen["formID"].get<std::string>() << (citizen["female"].get<bool>() ? " woman" : " man  ")
          << fmt::format("  {:<24}", text(citizen["name"])) << " face " << text(citizen["face"]) << "  clothing "
          << text(citizen["clothing"]) << "  voice " << text(citizen["voice"]) << "  anim "
          << text(citizen["facialAnim"]) << "  scale "
          << (citizen["scale"].is_null() ? std::string("-") : fmt::format("{:.2f}", citizen["scale"].get<float>()))
          << "  appearance updates " << citizen["appearanceUpdates"].get<int>() << "\n";
    }
  }
  out << "script calls: " << report["scriptCallsRun"].get<std::size_t>() << " run, "
      << report["scriptCallsQueued"].get<std::size_t>() << " queued, " << report["scriptCallsRefused"].size()
      << " refused\n";
  for (const auto& call : report["scriptCallsRefused"])
    out << "  refused " << call["script"].get<std::string>() << "." << call["function"].get<std::string>() << ": "
        << call["reason"].get<std::string>() << "\n";
  out << "alive in the game: " << report["liveScriptObjects"].get<int>() << " script objects, "
      << report["liveFixedStrings"].get<std::size_t>() << " fixed strings, "
      << report["liveArgumentObjects"].get<std::size_t>() << " argument objects\n";
  auto text = [](const nlohmann::json& value) { return value.is_null() ? std::string("-") : value.get<std::string>(); };
  out << "unique NPCs placed: " << report["uniqueNPCs"].size() << "\n";
  for (const auto& npc : report["uniqueNPCs"]) {
    out << "  " << npc["formID"].get<std::string>() << fmt::format("  {:<22}", text(npc["name"])) << " in "
        << fmt::format("{:<12}", text(npc["city"])) << " at " << text(npc["point"]) << "  appearance "
        << text(npc["appearance"]) << "  clothing " << text(npc["clothing"]) << "  voice " << text(npc["voice"])
        << "  anim " << text(npc["facialAnim"]) << fmt::format("  scale {:.2f}", npc["scale"].get<float>())
        << (npc["deleted"].get<bool>() ? "  (deleted)" : "") << "\n";
  }
  out << "actors removed by the script: " << report["removedActors"].size() << "\n";
  for (const auto& actor : report["removedActors"])
    out << "  " << actor["formID"].get<std::string>() << "  " << text(actor["name"]) << "  base " << text(actor["base"])
        << "\n";
  out << "console commands: " << report["consoleCommands"].size() << "\n";
  for (const auto& run : report["consoleCommands"])
    out << "  > " << run["line"].get<std::string>() << "   ("
        << (run["command"].is_null()
                ? std::string("unknown command")
                : run["command"].get<std::string>() + " returned " + (run["returned"].get<bool>() ? "true" : "false"))
        << ")\n";
  out << "console lines: " << report["console"].size() << "\n";
  for (const auto& line : report["console"]) out << "  " << line.get<std::string>() << "\n";
  out << "plug-in log: " << report["log"].get<std::string>() << "\n";
  return out.str();
}

}  // namespace sim
