#pragma once
// The checks of a data folder, run in a game folder of their own that holds a copy of it, so the
// plug-in's code reads (and, where it does, writes) the copy and never the author's files.
#include <array>
#include <filesystem>
#include <string>

#include "Findings.h"
#include "PluginMessages.h"

namespace check {

struct CheckContext {
  std::filesystem::path copy;  // the copied data folder, as the plug-in reaches it
  bool formsChecked;           // a world file is loaded; else the world is made from the data
  PluginMessages& messages;
  Report& report;
  // City 1 to 4 at 0 to 3: whether a unique NPC file has a section for it, and the records made.
  std::array<bool, 4> citiesNamedByUniqueNPCs{};
  std::array<int, 4> uniqueNPCRecords{};
};

void CheckSettings(CheckContext& context);
void CheckUniqueNPCs(CheckContext& context);
void CheckCities(CheckContext& context);

// A path below the data folder as findings show it.
std::string Shown(const std::filesystem::path& relative);

}  // namespace check
