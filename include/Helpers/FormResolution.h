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

// Form ID texts: shorter than kShortFormIDLength digits are padded with zeros to kPaddedFormIDLength;
// the game's master file takes whole form IDs, every other file local IDs of at most six digits.
inline constexpr std::size_t kShortFormIDLength = 6;
inline constexpr std::size_t kPaddedFormIDLength = 5;
inline constexpr std::size_t kMaxMasterFormIDLength = 8;
inline constexpr std::size_t kMaxPluginFormIDLength = 6;

// The loaded file of that name (case ignored); *pluginType receives its kind.
RE::TESFile* LookupTESFileByName(const std::string& name, std::int32_t* pluginType);

// The form, or null after one log line saying why.
RE::TESForm* GetFormFromFile(std::string sHexFormIDNoPrefix, std::string pluginName);
