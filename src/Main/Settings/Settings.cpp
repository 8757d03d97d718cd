#include "Main/Settings/Settings.h"

#include <atomic>
#include <mutex>
#include <string>
#include <variant>

#include "Helpers/Ini.h"
#include "Helpers/Log.h"
#include "Parse/SettingValues.h"

PluginSettingsRecord PluginSettings;

namespace {

// Even while no record is being written: a snapshot that saw the same even number before and after
// its copy holds one whole record.
std::atomic<std::uint32_t> settingsVersion{0};
std::mutex publishLock;

enum class Parsing { Flag, DigitsOnly, Integer, Decimal, LoggingRequest };

struct SettingKey {
  const char* name;
  const char* section;
  const char* writtenWhenMissing;
  Parsing parsing;
  std::variant<std::monostate, Relaxed<bool> PluginSettingsRecord::*, Relaxed<std::int32_t> PluginSettingsRecord::*,
               Relaxed<float> PluginSettingsRecord::*>
      field;
  double valueWhenEmpty;  // flags keep their previous value instead
  bool inSummary;
};

using R = PluginSettingsRecord;
const SettingKey kKeys[] = {
    {"bExtraOptimized", "General", "0", Parsing::Flag, &R::bExtraOptimized, 0, false},
    {"iAllowedCellChangeTime", "General", "3000", Parsing::DigitsOnly, &R::iAllowedCellChangeTime, 3000, true},
    {"iEncounterPointMinPlayerDist", "General", "5", Parsing::DigitsOnly, &R::iEncounterPointMinPlayerDist, 5, true},
    {"iEncounterPointMaxPlayerDist", "General", "220", Parsing::DigitsOnly, &R::iEncounterPointMaxPlayerDist, 220,
     true},
    {"bLogging", "Debug", "0", Parsing::LoggingRequest, std::monostate{}, 0, false},
    {"bOptimizeFullyInitializedActorsMaxCount", "General", "1", Parsing::Flag,
     &R::bOptimizeFullyInitializedActorsMaxCount, 0, true},
    {"bOptimizeFullyInitializedActorsMaxDistance", "General", "1", Parsing::Flag,
     &R::bOptimizeFullyInitializedActorsMaxDistance, 0, true},
    {"bEnableOutfitPhysics", "General", "1", Parsing::Flag, &R::bEnableOutfitPhysics, 0, true},
    {"bDynamicCleanUpUniqueNPCs", "General", "1", Parsing::Flag, &R::bDynamicCleanUpUniqueNPCs, 0, true},
    {"iQueuedActorTime", "FaceGen", "100", Parsing::Integer, &R::iQueuedActorTime, 50, true},
    {"iFaceGenActorUpdateTime", "FaceGen", "20", Parsing::Integer, &R::iFaceGenActorUpdateTime, 80, true},
    {"fFaceGenCloseDistance", "FaceGen", "18.0", Parsing::Decimal, &R::fFaceGenCloseDistance, 18.0, true},
    {"fFaceGenFarDistance", "FaceGen", "70.0", Parsing::Decimal, &R::fFaceGenFarDistance, 45.0, true},
    {"fFaceGenMaxDistance", "FaceGen", "120.0", Parsing::Decimal, &R::fFaceGenMaxDistance, 1000.0, true},
    {"iTESLoadGameEventTimeTicks", "FaceGen", "300", Parsing::Integer, &R::iTESLoadGameEventTimeTicks, 30, true},
    {"bFaceGenProcessor", "FaceGen", "1", Parsing::Flag, &R::bFaceGenProcessor, 0, true},
};

constexpr const char* kFileName = "Settings";

std::string Read(const SettingKey& key) {
  return Ini::ReadIniValue(kFileName, key.section, key.name, Ini::kDataFolder);
}

void Apply(const SettingKey& key, const std::string& text, PluginSettingsRecord& record) {
  switch (key.parsing) {
    case Parsing::Flag:
      if (const auto on = Parse::SettingFlag(text)) record.*std::get<Relaxed<bool> R::*>(key.field) = *on;
      break;
    case Parsing::DigitsOnly:
      record.*std::get<Relaxed<std::int32_t> R::*>(key.field) =
          Parse::SettingDigits(text, static_cast<std::int32_t>(key.valueWhenEmpty));
      break;
    case Parsing::Integer:
      record.*std::get<Relaxed<std::int32_t> R::*>(key.field) =
          Parse::SettingInteger(text, static_cast<std::int32_t>(key.valueWhenEmpty));
      break;
    case Parsing::Decimal:
      record.*std::get<Relaxed<float> R::*>(key.field) =
          Parse::SettingDecimal(text, static_cast<float>(key.valueWhenEmpty));
      break;
    case Parsing::LoggingRequest: break;  // applied after the summary is written
  }
}

}  // namespace

void PublishSettings(const PluginSettingsRecord& record) noexcept {
  std::scoped_lock guard(publishLock);
  const auto version = settingsVersion.load(std::memory_order_relaxed);
  settingsVersion.store(version + 1, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);
  PluginSettings = record;
  settingsVersion.store(version + 2, std::memory_order_release);
}

PluginSettingsRecord SettingsSnapshot() noexcept {
  for (;;) {
    const auto before = settingsVersion.load(std::memory_order_acquire);
    if (before % 2 == 0) {
      PluginSettingsRecord copy = PluginSettings;
      std::atomic_thread_fence(std::memory_order_acquire);
      if (settingsVersion.load(std::memory_order_relaxed) == before) return copy;
    }
  }
}

void ReloadINISettings(bool) {
  // The console and the load handlers may reload at once; each reload's summary stays whole.
  static std::mutex reloadLock;
  std::scoped_lock guard(reloadLock);
  constexpr const char* kOp = "ReloadINISettings";
  const bool fileExisted = Ini::IniFileExists(kFileName, Ini::kDataFolder);
  for (const auto& key : kKeys) {
    if (!fileExisted || Read(key).empty())
      Ini::WriteIniValue(kFileName, key.section, key.name, key.writtenWhenMissing, Ini::kDataFolder);
  }
  const bool readable = Ini::IniFileReadable(kFileName, Ini::kDataFolder);

  auto next = SettingsSnapshot();
  const SettingKey* loggingKey = nullptr;
  for (const auto& key : kKeys) {
    if (key.parsing == Parsing::LoggingRequest)
      loggingKey = &key;
    else
      Apply(key, Read(key), next);
  }
  PublishSettings(next);
  const bool loggingRequested = Read(*loggingKey) == "1";

  if (!PluginSettings.bLogging && loggingRequested) {
    PluginSettings.bLogging = true;
    Log::Info(kOp, "logging was requested to be turned on");
  }
  if (!readable)
    Log::ErrorAlways(kOp, "couldn't read {}: running on the default settings",
                     Ini::IniFilePath(kFileName, Ini::kDataFolder));
  Log::InfoAlways(kOp, "final settings struct >> ------------------------- ");
  for (const auto& key : kKeys) {
    if (key.inSummary) Log::InfoAlways(kOp, "{} = {}", key.name, Read(key));
  }
  Log::InfoAlways(kOp, "bLogging = {}", loggingRequested ? 1 : 0);
  Log::InfoAlways(kOp, " << ------------------------- ");
  if (!loggingRequested) {
    Log::InfoAlways(kOp, "logging was requested to be turned off");
    PluginSettings.bLogging = false;
  }
}
