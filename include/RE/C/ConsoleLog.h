#pragma once
// The game console's output.
#include "RE/IDs.h"
#include "REL/ID.h"

namespace RE {

struct ConsoleLog {
  static ConsoleLog* GetSingleton() { return *reinterpret_cast<ConsoleLog**>(REL::GameAddress<ID::ConsoleLog>()); }

  // Prints one line as it stands: the game's print takes a printf format, so the text goes in as
  // its argument and a "%" in it stays a "%".
  void Print(const char* text) {
    using Fn = void (*)(ConsoleLog*, const char*, ...);
    reinterpret_cast<Fn>(REL::GameAddress<ID::ConsolePrint>())(this, "%s", text);
  }
};

}  // namespace RE
