#pragma once
// The game's full-screen menus the plug-in follows. Written by the menu events and read without a
// lock by the cell events, the background appearance process and the reset hooks, on other threads.
#include "Helpers/Relaxed.h"

struct MenuFlags {
  Relaxed<bool> bPauseMenu = false;
  Relaxed<bool> bMainMenu = false;
  Relaxed<bool> bLoadingMenu = false;
  Relaxed<bool> bFaderMenu = false;
  Relaxed<bool> bEndCredits = false;  // set when the end credits open; cleared when a game reset finishes
};
