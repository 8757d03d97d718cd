#pragma once
// Puts the game's form table back as it was when the object was made, so that forms a test adds
// stay out of the other tests of the process.
#include <cstdint>
#include <map>

#include "GameWorld.h"

struct FormsBack {
  std::map<std::uint32_t, RE::TESForm*> saved = sim::GetWorld().forms;
  ~FormsBack() { sim::GetWorld().forms = saved; }
};
