#pragma once

namespace RE::Events {

// A save game has been loaded; the plug-in reads nothing of it.
struct SaveLoadEvent;

}  // namespace RE::Events
