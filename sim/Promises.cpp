#include "Promises.h"

#include <windows.h>

#include <cmath>
#include <fstream>
#include <map>

#include <fmt/format.h>

#include "Actors.h"
#include "AppearanceThreads.h"
#include "ArgumentObjects.h"
#include "Citizens.h"
#include "CityDataRules.h"
#include "FixedStrings.h"
#include "GameForms.h"
#include "GameWorld.h"
#include "PluginMaster.h"
#include "Report.h"
#include "ScriptMachine.h"
#include "Text.h"
#include "UniqueNPCScript.h"

namespace sim {
namespace {

constexpr std::size_t kListLimit = 255;

std::vector<std::uint32_t> IDsOf(const RE::TESLeveledList& list) {
  std::vector<std::uint32_t> ids;
  for (std::uint8_t i = 0; i < list.entryCount; ++i)
    ids.push_back(list.entries[i].form ? list.entries[i].form->formID : 0);
  return ids;
}

std::vector<std::uint32_t> IDsOf(const std::vector<RE::TESForm*>& forms) {
  std::vector<std::uint32_t> ids;
  for (const auto* form : forms) ids.push_back(form->formID);
  return ids;
}

std::string ListText(const std::vector<std::uint32_t>& ids) {
  std::string text = fmt::format("{} entries [", ids.size());
  for (std::size_t i = 0; i < ids.size() && i < 12; ++i) text += fmt::format("{}{:08X}", i ? " " : "", ids[i]);
  return text + (ids.size() > 12 ? " ...]" : "]");
}

const char* CityName(int city) { return kCities[city - 1].name; }

// Every file in the data folder, in bytes: what the plug-in keeps is made from them.
std::int64_t DataFolderBytes() {
  std::int64_t bytes = 0;
  std::error_code error;
  const auto folder = std::filesystem::current_path() / "Data" / "SFSE" / "Plugins" / "Quillmere";
  for (std::filesystem::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
    if (it->is_regular_file(error)) bytes += static_cast<std::int64_t>(it->file_size(error));
  return bytes;
}

PluginMemoryFigures Larger(PluginMemoryFigures a, PluginMemoryFigures b) {
  return {std::max(a.heapBytes, b.heapBytes), std::max(a.pageBytes, b.pageBytes)};
}

}  // namespace

PromiseChecks::PromiseChecks(PromiseLimits limits) : limits_(limits) {
  for (int city = 1; city <= 4; ++city) {
    const auto& forms = MasterForms(city);
    gamesOwn_[city - 1] = {IDsOf(forms.citizenList->leveledList), IDsOf(forms.femaleOutfitList->leveledList),
                           IDsOf(forms.maleOutfitList->leveledList)};
  }
  memory_.start = memory_.peak = memory_.end = PluginMemoryNow();
  DataFilesChanged();
}

void PromiseChecks::Played(const Step& step, const std::string& pluginName) {
  const auto& a = step.arguments;
  if (step.name == "start") {
    memory_.start = memory_.peak = memory_.end = PluginMemoryNow();
    log_ = PathFromUtf8(PluginLogPath(pluginName));
    std::error_code error;
    logOffset_ = std::filesystem::exists(log_, error) ? std::filesystem::file_size(log_, error) : 0;
  }
  if (step.name == "write-file" || step.name == "remove-file" || step.name == "rename-file" ||
      step.name == "hold-file" || step.name == "release-files")
    DataFilesChanged();
  // bLogging in the settings counts from the start, and afterwards once they are read again.
  if (step.name == "ini" && a.size() == 4 && a[0] == "Settings.ini" && a[2] == "bLogging" && !log_.empty())
    LoggingSwitched(std::nullopt);
  if (step.name == "start" || (step.name == "console" && a[0] == "QuillmereCode 4 0")) {
    const auto settings = std::filesystem::current_path() / "Data" / "SFSE" / "Plugins" / "Quillmere" / "Settings.ini";
    wchar_t value[8]{};
    GetPrivateProfileStringW(L"Debug", L"bLogging", L"", value, 8, settings.c_str());
    LoggingSwitched(std::wstring_view(value) == L"1");
  }
}

void PromiseChecks::DataFilesChanged() {
  static constexpr const char* kDatabases[] = {"FemaleFaceNPCs", "MaleFaceNPCs", "FemaleClothing", "MaleClothing",
                                               "FemaleAnims",    "MaleAnims",    "FemaleVoices",   "MaleVoices"};
  for (int city = 1; city <= 4; ++city)
    for (const char* database : kDatabases)
      for (auto* form : FormDatabase(city, database)) everListed_[city - 1][database].insert(form);
  dataBytes_ = DataFolderBytes();
}

void PromiseChecks::LoggingSwitched(std::optional<bool> on) {
  if (on == false && logging_ != false) {
    // Rounded up to the next millisecond: the log stamps microseconds.
    SYSTEMTIME now{};
    GetLocalTime(&now);
    loggingOffSince_ = fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}.{:03}999", now.wYear, now.wMonth, now.wDay,
                                   now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
  }
  logging_ = on;
}

std::optional<BrokenPromise> PromiseChecks::AfterEvent(const Step& step) {
  ++events_;
  std::optional<BrokenPromise> broken;
  const auto check = [&](auto member) {
    if (!broken) {
      ++checks_;
      broken = (this->*member)();
    }
  };
  check(&PromiseChecks::ListsHoldTheirKinds);
  if (step.name == "reset") check(&PromiseChecks::ListsAfterReset);
  if (step.name == "wait") {
    check(&PromiseChecks::UniqueNPCCopies);
    check(&PromiseChecks::CitizensGotIdentity);
    check(&PromiseChecks::ScriptValuesReleased);
  }
  check(&PromiseChecks::MemoryBounded);
  if (!broken) {
    ++checks_;
    const bool reread = step.name == "console" || step.name == "load-save" || step.name == "start";
    broken = LogBounded(reread);
  }
  return broken;
}

std::optional<BrokenPromise> PromiseChecks::AtEnd() {
  std::optional<BrokenPromise> broken;
  for (const auto member :
       {&PromiseChecks::ListsHoldTheirKinds, &PromiseChecks::UniqueNPCCopies, &PromiseChecks::CitizensGotIdentity,
        &PromiseChecks::ScriptValuesReleased, &PromiseChecks::MemoryBounded}) {
    if (broken) break;
    ++checks_;
    broken = (this->*member)();
  }
  return broken;
}

// Each list holds at most 255 entries, each a live form of the list's kind.
std::optional<BrokenPromise> PromiseChecks::ListsHoldTheirKinds() {
  for (int city = 1; city <= 4; ++city) {
    const auto& forms = MasterForms(city);
    const struct {
      const char* name;
      const RE::TESLeveledList& list;
      bool citizens;
    } lists[] = {{"citizen list", forms.citizenList->leveledList, true},
                 {"female outfit list", forms.femaleOutfitList->leveledList, false},
                 {"male outfit list", forms.maleOutfitList->leveledList, false}};
    for (const auto& [name, list, citizens] : lists) {
      if (list.entryCount > 0 && !list.entries)
        return BrokenPromise{"leveled-lists", fmt::format("{}'s {} counts {} entries and has no array", CityName(city),
                                                          name, list.entryCount)};
      for (std::uint8_t i = 0; i < list.entryCount; ++i) {
        const auto* form = list.entries[i].form;
        const bool live = form && FindForm(form->formID) == form;
        const bool kind = live && (citizens ? form->Is(RE::FormType::kNPC) || form->Is(RE::FormType::kLeveledCharacter)
                                            : form->Is(RE::FormType::kArmor) || form->Is(RE::FormType::kOutfit) ||
                                                  form->Is(RE::FormType::kLeveledItem));
        if (!kind)
          return BrokenPromise{"leveled-lists", fmt::format("{}'s {} entry {} is {}", CityName(city), name, i,
                                                            !form   ? "null"
                                                            : !live ? "no live form"
                                                                    : "a form of another kind")};
      }
    }
  }
  return std::nullopt;
}

// After a reset the lists hold what applying the data files to the game's own lists gives: the
// cities in order, each stopping the ones after it when one of its lists cannot take its entries.
std::optional<BrokenPromise> PromiseChecks::ListsAfterReset() {
  bool applying = true;
  for (int city = 1; city <= 4; ++city) {
    auto expected = gamesOwn_[city - 1];
    if (applying) {
      const auto replace = [&](std::vector<std::uint32_t>& list, const std::vector<std::uint32_t>& entries, bool keep) {
        if (entries.empty()) return;
        auto filled = entries;
        if (keep) filled.insert(filled.end(), list.begin(), list.end());
        if (filled.size() > kListLimit)
          applying = false;
        else
          list = filled;
      };
      replace(expected.citizen, IDsOf(FormDatabase(city, "FemaleFaceNPCs")), false);
      replace(expected.citizen, IDsOf(FormDatabase(city, "MaleFaceNPCs")), true);
      replace(expected.femaleOutfit, IDsOf(FormDatabase(city, "FemaleClothing")), false);
      replace(expected.maleOutfit, IDsOf(FormDatabase(city, "MaleClothing")), false);
    }
    const auto& forms = MasterForms(city);
    const struct {
      const char* name;
      std::vector<std::uint32_t> actual, wanted;
    } lists[] = {{"citizen list", IDsOf(forms.citizenList->leveledList), expected.citizen},
                 {"female outfit list", IDsOf(forms.femaleOutfitList->leveledList), expected.femaleOutfit},
                 {"male outfit list", IDsOf(forms.maleOutfitList->leveledList), expected.maleOutfit}};
    for (const auto& [name, actual, wanted] : lists)
      if (actual != wanted)
        return BrokenPromise{"leveled-lists", fmt::format("after the reset {}'s {} holds {}; its data gives {}",
                                                          CityName(city), name, ListText(actual), ListText(wanted))};
  }
  return std::nullopt;
}

// Once the queued script calls have run, each unique NPC stands at most once in each city.
std::optional<BrokenPromise> PromiseChecks::UniqueNPCCopies() {
  std::map<std::pair<int, std::uint32_t>, int> copies;
  for (const auto& placed : PlacedUniqueNPCs()) {
    if (WasFreed(placed.actor) || (placed.actor->formFlags & RE::TESForm::kDeleted)) continue;
    const auto key = std::make_pair(placed.city, placed.actor->baseObject->formID);
    if (++copies[key] > 1)
      return BrokenPromise{"unique-npc-copies",
                           fmt::format("two copies of the unique NPC with appearance {:08X} stand in {}", key.second,
                                       placed.city ? CityName(placed.city) : "no city")};
  }
  return std::nullopt;
}

// Each citizen spawned since the last look got, once the queued calls ran, a name (the cities keep
// their names files), a voice and a facial animation its city's files of its sex have named, and a
// height inside its city's bounds.
std::optional<BrokenPromise> PromiseChecks::CitizensGotIdentity() {
  const auto& citizens = Citizens();
  for (; citizensChecked_ < citizens.size(); ++citizensChecked_) {
    const auto& citizen = citizens[citizensChecked_];
    if (WasFreed(citizen.actor) || (citizen.actor->formFlags & RE::TESForm::kDeleted)) continue;
    const auto who = fmt::format("citizen {:08X} of {}", citizen.actor->formID, CityName(citizen.city));
    const auto& listed = everListed_[citizen.city - 1];
    const std::string sex = citizen.female ? "Female" : "Male";
    const auto* look = LookOf(citizen.actor);
    const auto fromList = [&](const RE::TESForm* form, const char* database) {
      const auto it = listed.find(sex + database);
      return form && it != listed.end() && it->second.contains(form);
    };
    const auto data = LocationDataOf(kCities[citizen.city - 1]);
    if (!data.is_null() && !data["bDisableNames"].get<bool>() && !DisplayName(citizen.actor))
      return BrokenPromise{"citizen-identity", who + " has no name"};
    if (!look || !fromList(look->voice, "Voices"))
      return BrokenPromise{"citizen-identity", who + " speaks with no voice of its city's " + sex + "Voices files"};
    if (!fromList(look->facialAnim, "Anims"))
      return BrokenPromise{"citizen-identity", who + " has no facial animation of its city's " + sex + "Anims files"};
    if (data.is_null()) continue;
    const auto bound = [&](const char* key) {
      const auto& value = data[sex == "Female" ? std::string("fFemale") + key : std::string("fMale") + key];
      return value.is_null() ? std::nan("") : value.get<double>();
    };
    const double low = bound("MinHeight"), high = bound("MaxHeight");
    const bool valid = high > 0 && high < 5.0 && low <= high;
    const bool unchanged = low == 1.0 && high == 1.0;
    if (valid && !unchanged &&
        (!look->scaled || look->scale < std::trunc(low * 100) / 100 - 1e-4 || look->scale > high + 1e-4))
      return BrokenPromise{"citizen-identity",
                           fmt::format("{} stands at {} outside {}'s bounds {} to {}", who,
                                       look->scaled ? fmt::format("{:.2f}", look->scale) : std::string("its own size"),
                                       CityName(citizen.city), low, high)};
  }
  return std::nullopt;
}

// Once the queued script calls have run, nothing the plug-in handed the script machine is alive.
std::optional<BrokenPromise> PromiseChecks::ScriptValuesReleased() {
  const auto objects = LiveScriptObjects();
  const auto strings = LiveFixedStrings();
  const auto arguments = LiveArgumentObjects();
  if (objects || strings || arguments)
    return BrokenPromise{"script-values-released",
                         fmt::format("after the queued calls ran {} script objects, {} fixed strings and {} argument "
                                     "objects are alive",
                                     objects, strings, arguments)};
  return std::nullopt;
}

// After the warm-up the plug-in holds no more than it held then, plus what the data files can make
// it keep (their texts and the databases built from them, three times their size), plus 4 MiB.
std::optional<BrokenPromise> PromiseChecks::MemoryBounded() {
  const auto now = PluginMemoryNow();
  memory_.end = now;
  memory_.peak = Larger(memory_.peak, now);
  if (events_ <= limits_.warmUpEvents) {
    warmUpPeak_ = Larger(warmUpPeak_, now);
    return std::nullopt;
  }
  const std::int64_t limit = warmUpPeak_.Total() + 3 * dataBytes_ + (4 << 20);
  if (now.Total() > limit)
    return BrokenPromise{
        "memory-bounded",
        fmt::format("the plug-in holds {} bytes ({} heap, {} pages) against a limit of {} (warm-up "
                    "peak {}, data files {} bytes)",
                    now.Total(), now.heapBytes, now.pageBytes, limit, warmUpPeak_.Total(), dataBytes_)};
  return std::nullopt;
}

// With logging on an event adds a bounded number of lines; with it off only error lines and the
// settings' summary, which each reading of them writes.
std::optional<BrokenPromise> PromiseChecks::LogBounded(bool settingsReread) {
  if (log_.empty()) return std::nullopt;
  std::ifstream in(log_, std::ios::binary);
  if (!in) return std::nullopt;
  in.seekg(0, std::ios::end);
  const auto size = static_cast<std::uint64_t>(in.tellg());
  if (size < logOffset_) logOffset_ = 0;  // a new log
  in.seekg(static_cast<std::streamoff>(logOffset_));
  std::string added(size - logOffset_, '\0');
  in.read(added.data(), static_cast<std::streamsize>(added.size()));
  // A line still being written is looked at once it is whole.
  added.resize(added.rfind('\n') == std::string::npos ? 0 : added.rfind('\n') + 1);
  logOffset_ += added.size();
  std::uint64_t lines = 0;
  for (std::size_t start = 0; start < added.size();) {
    const auto end = added.find('\n', start);
    const std::string_view line(added.data() + start, end - start);
    ++lines;
    // Every reading of the settings writes their summary, logging on or off; a line another thread
    // began before logging went off may land a moment later.
    const bool inFlight = line.size() > 27 && line.substr(1, 26) <= loggingOffSince_;
    if (logging_ == false && !settingsReread && !inFlight && line.find("[error]") == std::string_view::npos &&
        line.find("[critical]") == std::string_view::npos &&
        line.find("] [ReloadINISettings] ") == std::string_view::npos)
      return BrokenPromise{"log-bounded", "with logging off the log got the line: " + ValidUtf8(line)};
    start = end + 1;
  }
  const auto calls = AppearanceThreadCalls();
  const auto limit = limits_.logLinesPerEvent + limits_.logLinesPerAppearanceCall * (calls - appearanceCalls_);
  appearanceCalls_ = calls;
  if (lines > limit)
    return BrokenPromise{"log-bounded", fmt::format("one event added {} lines to the log (at most {})", lines, limit)};
  return std::nullopt;
}

}  // namespace sim
