#pragma once

#include "BrindlewickVersion.h"

namespace PluginInfo {

// The plug-in's name, " v", then its short version.
inline constexpr const char* kFatalCaption = BW_PLUGIN_NAME " v" BW_VERSION_TEXT;

}  // namespace PluginInfo
