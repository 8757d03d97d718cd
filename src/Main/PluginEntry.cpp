// The two exports the host looks for.
#include <windows.h>

#include "Helpers/Log.h"
#include "Main/PluginInfo.h"
#include "Main/Startup.h"
#include "SFSE/API.h"
#include "SFSE/Interfaces.h"

namespace {
std::uintptr_t gameModuleBase = 0;
}

// Taken at load; code that runs without the host (the in-process tests) falls back to the same call.
std::uintptr_t GameModuleBase() noexcept {
  return gameModuleBase ? gameModuleBase : reinterpret_cast<std::uintptr_t>(GetModuleHandleA(nullptr));
}

extern "C" __declspec(dllexport) constinit const SFSE::PluginVersionData SFSEPlugin_Version = {
    SFSE::PluginVersionData::kVersion,
    SFSE::MakeVersion(5, 2, 0, 0),
    "Brindlewick - SFSE Plugin by Tamsryn",
    "Tamsryn",
    2,  // address independence: address library
    8,  // structure independence
    {SFSE::MakeVersion(1, 14, 70, 0)},
    0,
    0,
    0,
};

extern "C" __declspec(dllexport) bool SFSEPlugin_Load(const SFSE::LoadInterface* sfse) {
  try {
    SFSE::Init(sfse);
    gameModuleBase = reinterpret_cast<std::uintptr_t>(GetModuleHandleA(nullptr));
    if (!gameModuleBase) {
      Log::Error("SFSEPlugin_Load", "Starfield.exe handle couldn't be acquired, shutting down");
      return false;
    }
    SFSE::RegisterListener("SFSE", HandleOnPostDataLoad);
    return true;
  } catch (...) {
    return false;
  }
}
