// The two exports the host looks for.
#include <windows.h>

#include "BrindlewickVersion.h"
#include "Helpers/Boundary.h"
#include "Helpers/Log.h"
#include "Main/Game/GameObjectCache.h"
#include "Main/Startup/Startup.h"
#include "SFSE/API.h"
#include "SFSE/Interfaces.h"

extern "C" __declspec(dllexport) constinit const SFSE::PluginVersionData SFSEPlugin_Version = {
    SFSE::PluginVersionData::kVersion,
    SFSE::MakeVersion(BW_VERSION_MAJOR, BW_VERSION_MINOR, BW_VERSION_PATCH, BW_VERSION_BUILD),
    BW_PLUGIN_NAME,
    BW_PLUGIN_AUTHOR,
    2,  // address independence: address library
    8,  // structure independence
    {SFSE::MakeVersion(1, 14, 70, 0)},
    0,
    0,
    0,
};

extern "C" __declspec(dllexport) bool SFSEPlugin_Load(const SFSE::LoadInterface* sfse) {
  bool loaded = false;
  Boundary::Guarded("SFSEPlugin_Load", [&] {
    SFSE::Init(sfse);
    const auto gameModuleBase = reinterpret_cast<std::uintptr_t>(GetModuleHandleW(nullptr));
    if (!gameModuleBase) {
      Log::Error("SFSEPlugin_Load", "Starfield.exe handle couldn't be acquired, shutting down");
      return;
    }
    SetGameModuleBase(gameModuleBase);
    SFSE::RegisterListener("SFSE", HandleOnPostDataLoad);
    loaded = true;
  });
  return loaded;
}
