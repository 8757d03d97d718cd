#pragma once
// How brindlewick-sim ends, so that whoever started it can tell a played scenario from a failure.
namespace sim::exit_code {

inline constexpr int kPlayed = 0;
inline constexpr int kPluginFatal = 1;    // the plug-in's own fatal report ended the game
inline constexpr int kBadInput = 2;       // bad command line, scenario or world file
inline constexpr int kGameStopped = 3;    // an unmodelled game ID, or a game rule the plug-in broke
inline constexpr int kCrash = 4;          // an exception nobody handled: the real game would have crashed
inline constexpr int kPromiseBroken = 5;  // a soak found one of the plug-in's promises broken

}  // namespace sim::exit_code
