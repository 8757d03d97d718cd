#pragma once

// Shows text in a message box captioned with the plug-in's name and version, then ends the game.
[[noreturn]] void ShowFatalErrorAndExit(const char* text) noexcept;
