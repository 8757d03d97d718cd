#pragma once
// Each subsystem keeps its own state behind its functions; this puts all of it back.

// Back to the state of a freshly loaded plug-in: the cities' records, the settings, the saved
// leveled lists, the game object cache, the cell-event and appearance-process state, the stored
// vanilla game settings and the kept city folders; for tests.
void ResetPluginState();
