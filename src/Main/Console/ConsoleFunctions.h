#pragma once
// The numbered functions of the console command "QuillmereCode".
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Main/Game/Cities.h"

// What the command line gave: its words, the first two parsed.
struct ConsoleCall {
  std::vector<std::string> Parameters;  // at least two
  int FuncIndex = 0;
  std::uint32_t FuncParam1 = 0;
  std::optional<City> activeCity;  // none when no city is loaded
};

// Runs the function FuncIndex names and returns its result; an index that names none prints an error
// in the console and gives false.
bool RunConsoleFunction(const ConsoleCall& call);

// Writes every unique NPC record of cities 1 to 4 to the log, twelve lines each.
void DumpAllUniqueNPCData();
