#pragma once

namespace RE {

// The game's UI singleton; it carries the menu open/close event source.
struct UI;

}  // namespace RE
