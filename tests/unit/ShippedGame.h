#pragma once
// The shipped data in a game folder of its own, the sample world loaded and the plug-in fresh: the
// game as the plug-in meets it at start-up, for tests that run whole operations against it.
#include <filesystem>
#include <string>

#include "ChildProcess.h"
#include "FormsBack.h"
#include "GameFolder.h"
#include "GameForms.h"
#include "Helpers/Ini.h"
#include "Main/Game/GameObjectCache.h"
#include "Main/Startup/PluginState.h"
#include "WorldFile.h"

struct ShippedGame {
  test::GameFolder game;
  FormsBack restore;

  ShippedGame() {
    namespace fs = std::filesystem;
    ResetPluginState();
    fs::copy(test::BinaryDirectory() / "data" / "Quillmere", game.dataFolder(),
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    SetSetting("Debug", "bLogging", "1");  // shipped off for players; the tests read the log
    sim::ClearPluginFiles();
    sim::LoadWorld(test::BinaryDirectory() / "data" / "world" / "SampleWorld.json");
    RefreshGameObjectCache();
  }
  ~ShippedGame() { ResetPluginState(); }

  // One key of the game folder's Settings.ini, as a player edits it.
  void SetSetting(const std::string& section, const std::string& key, const std::string& value) const {
    Ini::WriteIniValue("Settings", section, key, value, game.dataFolder() / "");
  }
};
