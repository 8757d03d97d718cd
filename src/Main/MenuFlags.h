#pragma once
// The game's full-screen menus the plug-in follows. One byte each, written whole by the menu events
// and read without a lock by the cell events, the background appearance process and the reset hooks.
struct MenuFlags {
  bool bPauseMenu = false;
  bool bMainMenu = false;
  bool bLoadingMenu = false;
  bool bFaderMenu = false;
  bool bEndCredits = false;  // set when the end credits open; cleared when a game reset finishes
};
