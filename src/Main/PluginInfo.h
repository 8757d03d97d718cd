#pragma once

namespace PluginInfo {

// The plug-in's name, " v", then its short version.
inline constexpr const char* kFatalCaption = "Brindlewick - SFSE Plugin by Tamsryn v5.2";

}  // namespace PluginInfo
