#pragma once

namespace RE::Events {

// The game has finished loading a game; the plug-in reads nothing of it.
struct TESLoadGameEvent;

}  // namespace RE::Events
