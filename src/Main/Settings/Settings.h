#pragma once
#include "Helpers/PluginSettings.h"

// Re-reads Settings.ini into PluginSettings: writes missing keys with their defaults, parses every
// key, applies the requested logging state and logs a summary. Every caller passes true.
void ReloadINISettings(bool);
