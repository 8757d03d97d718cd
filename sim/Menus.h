#pragma once
// The game's UI singleton and its menus: a menu opening or closing reaches every sink of the UI's
// menu open/close event source with the menu's name (a game string) and whether it opens.
#include <string>
#include <vector>

#include "GameWorld.h"

namespace sim {

void CreateUI();

// The game opens or closes a menu of that name; the game sends no event for a menu already in that
// state, so doing so throws.
void OpenMenu(const std::string& name);
void CloseMenu(const std::string& name);

// The menus open now, in the order they opened.
const std::vector<std::string>& OpenMenus();
std::size_t MenuSinkCount();

std::vector<ModelledAddress> MenuAddresses();

}  // namespace sim
