#pragma once
// Turns a form reference written as text (hexadecimal local ID + plug-in file name) into a game form.
#include <cstdint>
#include <string>

#include "RE/T/TESDataHandler.h"
#include "RE/T/TESForm.h"

// Plug-in kinds: the data handler's list a file was found in.
enum PluginKind : std::int32_t {
  kPluginFull = 1,
  kPluginSmall = 2,
  kPluginMedium = 3,
};

inline constexpr const char* kMasterFileName = "Starfield.esm";

// The loaded file of that name (case ignored); *pluginType receives its kind.
RE::TESFile* LookupTESFileByName(const std::string& name, std::int32_t* pluginType);

// The form, or null after one log line saying why.
RE::TESForm* GetFormFromFile(std::string sHexFormIDNoPrefix, std::string pluginName);
