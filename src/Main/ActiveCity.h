#pragma once

// The lowest city (1 to 4) whose cached location the game has loaded now; 0 when none has.
int GetActiveLocationIndex() noexcept;
