#pragma once
#include <cstdint>

// The game executable's module handle, taken when the host loaded the plug-in.
std::uintptr_t GameModuleBase() noexcept;
