#pragma once
#include <optional>

#include "Main/Game/Cities.h"

// The lowest city whose cached location the game has loaded now; none when none has.
std::optional<City> ActiveCity() noexcept;
