#include "Run.h"

#include <windows.h>

#include <stdexcept>

#include "Checks.h"
#include "DataWorld.h"
#include "GameForms.h"
#include "GameModule.h"
#include "Helpers/PluginSettings.h"
#include "Main/Game/GameObjectCache.h"
#include "Main/Startup/PluginState.h"
#include "PluginMessages.h"
#include "RE/IDs.h"
#include "REL/ID.h"
#include "Text.h"
#include "WorldFile.h"

namespace check {
namespace {

namespace fs = std::filesystem;

// A game folder of the check's own holding a copy of the data folder: the plug-in writes missing
// settings back, and never into the author's files.
class GameFolder {
 public:
  explicit GameFolder(const fs::path& data) : previous_(fs::current_path()) {
    path_ = fs::temp_directory_path() / ("bw-check-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(path_);
    copy_ = path_ / L"Data" / L"SFSE" / L"Plugins" / L"Quillmere";
    fs::create_directories(copy_.parent_path());
    // Into a folder that does not exist yet: MinGW's library takes two folders of one drive for the
    // same one, as it sees no file index.
    fs::copy(data, copy_, fs::copy_options::recursive);
    fs::current_path(path_);
  }
  ~GameFolder() {
    // The plug-in watches the city folders it read; a watched folder cannot be removed.
    ResetPluginState();
    std::error_code ignored;
    fs::current_path(previous_, ignored);
    fs::remove_all(path_, ignored);
  }
  GameFolder(const GameFolder&) = delete;
  GameFolder& operator=(const GameFolder&) = delete;

  const fs::path& copy() const noexcept { return copy_; }

 private:
  fs::path previous_, path_, copy_;
};

}  // namespace

Report Run(const RunOptions& options) {
  std::error_code error;
  if (!fs::is_directory(options.data, error))
    throw std::runtime_error("cannot read the data folder " + sim::PathText(options.data));
  fs::directory_iterator probe(options.data, error);
  if (error) throw std::runtime_error("cannot read the data folder " + sim::PathText(options.data));

  GameFolder game(options.data);
  sim::StartGame();
  REL::ResolveAddressLibraryID(RE::ID::LookupFormByID);
  ResetPluginState();
  if (options.world)
    sim::LoadWorld(*options.world);
  else
    sim::LoadWorldFromData(game.copy());  // every form the text names exists: the rest is checked to its end
  RefreshGameObjectCache();

  Report report;
  report.formsChecked = options.world.has_value();
  PluginMessages messages;
  CheckContext context{game.copy(), report.formsChecked, messages, report, {}, {}};
  CheckSettings(context);
  CheckUniqueNPCs(context);
  CheckCities(context);
  return report;
}

}  // namespace check
