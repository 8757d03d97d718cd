#pragma once
#include <cstddef>

#include "RE/B/BSFixedString.h"

namespace RE {

// A menu of the game's UI opened (opening true) or closed.
struct MenuOpenCloseEvent {
  BSFixedString menuName;
  bool opening;
};
static_assert(offsetof(MenuOpenCloseEvent, menuName) == 0x00);
static_assert(offsetof(MenuOpenCloseEvent, opening) == 0x08);

}  // namespace RE
