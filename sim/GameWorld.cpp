#include "GameWorld.h"

#include "Actors.h"
#include "Appearance.h"
#include "Cells.h"
#include "Console.h"
#include "EventSources.h"
#include "GameForms.h"
#include "GameINISettings.h"
#include "Menus.h"
#include "ScriptMachine.h"
#include "GameHeap.h"
#include "PluginMaster.h"
#include "GameIDs.h"

extern "C" {
std::uint64_t sim_ResetGame(std::uint64_t argument);

// Written by the machine code after each of its calls returns.
std::uint64_t sim_observedResetBegin = 0;
std::uint64_t sim_observedResetFinish = 0;
}

namespace sim {
namespace {

// The game's singletons: the address library hands out the address of each pointer.
RE::PlayerCharacter* playerSingleton = nullptr;
RE::ProcessLists* processListsSingleton = nullptr;
std::uint8_t appearanceFlag = 1;  // the game starts with its own appearance processing on

std::uint64_t lastResetBeginReturned = 0;
std::uint64_t lastResetFinishReturned = 0;
std::uint64_t resetFinishCount = 0;
std::array<CityListSizes, 4> listsDuringLastReset{};

RE::TESForm* LookupFormByID(std::uint32_t formID) { return FindForm(formID); }

}  // namespace
}  // namespace sim

// The game's own targets of the patched calls. Their results depend on their input and on how
// often they ran, so a hook that loses or alters a result is seen.
extern "C" std::uint64_t sim_ResetBeginTarget(std::uint64_t argument) {
  sim::lastResetBeginReturned = argument * 2654435761u + 0x5EED;
  return sim::lastResetBeginReturned;
}
// The game resets its state between the two patched calls: it turns its own appearance processing
// back on, as at a new game, and here notes what the cities' lists hold at that point.
extern "C" void sim_ResetGameState() {
  sim::appearanceFlag = 1;
  for (int city = 1; city <= 4; ++city)
    sim::listsDuringLastReset[static_cast<std::size_t>(city - 1)] = sim::ListSizesOf(city);
}
extern "C" std::uint64_t sim_ResetFinishTarget() {
  sim::lastResetFinishReturned = 0xF1A1500000000000ull + ++sim::resetFinishCount;
  return sim::lastResetFinishReturned;
}

namespace sim {

World& GetWorld() {
  static World world;
  return world;
}

void CreateWorld() {
  for (const auto& city : kCities) AddLocation(city.locationFormID);
  CreatePlayer();
  playerSingleton = Player();
  CreateCells();
  processListsSingleton = GameNew<RE::ProcessLists>();
  CreateScriptMachine();
  CreateUI();
  CreateGameINISettings();
  CreateConsole();
}

CityListSizes ListSizesOf(int city) {
  const auto& forms = MasterForms(city);
  if (!forms.citizenList) return {};
  return {forms.citizenList->leveledList.entryCount, forms.femaleOutfitList->leveledList.entryCount,
          forms.maleOutfitList->leveledList.entryCount};
}

ResetRecord RunResetGame(std::uint64_t argument) {
  sim_ResetGame(argument);
  ResetRecord record{argument,
                     lastResetBeginReturned,
                     sim_observedResetBegin,
                     lastResetFinishReturned,
                     sim_observedResetFinish,
                     listsDuringLastReset,
                     appearanceFlag};
  GetWorld().resets.push_back(record);
  return record;
}

std::vector<ModelledAddress> ModelledAddresses() {
  auto address = [](const void* p) { return reinterpret_cast<std::uintptr_t>(p); };
  auto modelled = FormModelAddresses();
  for (auto more : {ScriptMachineAddresses(), EventSourceAddresses(), ActorModelAddresses(), CellModelAddresses(),
                    MenuAddresses(), GameINISettingAddresses(), ConsoleAddresses(), AppearanceModelAddresses()})
    modelled.insert(modelled.end(), more.begin(), more.end());
  modelled.insert(modelled.end(),
                  {
                      {game_id::LookupFormByID, address(reinterpret_cast<const void*>(&LookupFormByID))},
                      {game_id::PlayerCharacter, address(&playerSingleton)},
                      {game_id::ProcessLists, address(&processListsSingleton)},
                      {game_id::ResetGame, ResetGameAddress()},
                      {game_id::AppearanceFlag, address(&appearanceFlag)},
                  });
  return modelled;
}

std::uint8_t AppearanceFlagValue() { return appearanceFlag; }
RE::ProcessLists* GameProcessLists() { return processListsSingleton; }
std::uintptr_t ResetGameAddress() { return reinterpret_cast<std::uintptr_t>(&sim_ResetGame); }
std::uintptr_t AppearanceProcessAddress() { return AppearanceModelAddresses().back().address; }

}  // namespace sim
