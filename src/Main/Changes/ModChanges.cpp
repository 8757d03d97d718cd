#include "Main/Changes/ModChanges.h"

#include "Helpers/Log.h"
#include "Main/Cities/ApplyDataToLocation.h"
#include "Main/Game/Cities.h"
#include "Main/Cities/CityRecord.h"
#include "Main/Changes/FatalErrorBox.h"
#include "Main/Settings/GameSettingAdjustments.h"
#include "Main/UniqueNPCs/UniqueNPCDefinitions.h"
#include "RE/IDs.h"
#include "REL/ID.h"

void BuildUniqueNPCDatabase(const char* operation) {
  const auto [uniqueNPCs, records] = BuildUniqueNPCsDB({});
  if (uniqueNPCs < 1 || records < 1)
    Log::Error(
        operation,
        "Couldn't build UniqueNPCsDB. UniqueNPCCount: {}. UniqueNPCsLocationsCount: {}. Unique NPCs will not be encountered with.",
        uniqueNPCs, records);
  else
    Log::Info(operation, "UniqueNPCsDB has been built. UniqueNPCCount: {}. UniqueNPCsLocationsCount: {}", uniqueNPCs,
              records);
}

bool ApplyDataToAllLocations() {
  for (const City city : kCities)
    if (!ApplyDataToLocation(CityRecordOf(city))) return false;
  return true;
}

void AdjustGameSettings(const char* operation) {
  if (ApplyOptimizations(true, false))
    Log::Warn(operation, "apply optimizations: done");
  else
    Log::Warn(operation, "apply optimizations error");
}

std::uint8_t* GameAppearanceFlagOrExit() {
  auto* flag = reinterpret_cast<std::uint8_t*>(REL::ResolveAddressLibraryID(RE::ID::AppearanceFlag));
  if (!flag) ShowFatalErrorAndExit("Error: custom FaceGen processor couldn't be initialized");
  return flag;
}
